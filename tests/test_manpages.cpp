// Every program's man page describes exactly the long options that its --help names.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

// The long options in `text`, sorted, with groff's "\-" read as "-"; not "--option" of
// "--option=value". Every program takes --help, whether its text names it or not.
QStringList LongOptions(QString text) {
  QSet<QString> options{"--help"};
  const QRegularExpression option("--[a-z][a-z0-9-]*(?![a-z0-9=-])");
  for (auto match = option.globalMatch(text.replace("\\-", "-")); match.hasNext();)
    options.insert(match.next().captured());
  QStringList sorted = options.values();
  sorted.sort();
  return sorted;
}

}  // namespace

class TestManPages : public QObject {
  Q_OBJECT

 private slots:
  void manPageMatchesHelp_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("zerval-query") << ZERVAL_QUERY_BIN;
    QTest::newRow("zerval-exporter") << ZERVAL_EXPORTER_BIN;
    QTest::newRow("zerval-gameserver") << ZERVAL_GAMESERVER_BIN;
#ifdef ZERVAL_ZERVTALK_BIN
    QTest::newRow("zervtalk") << ZERVAL_ZERVTALK_BIN;
#endif
  }
  void manPageMatchesHelp() {
    QFETCH(QString, program);
    QProcess help;
    help.start(program, {"--help"});
    QVERIFY(help.waitForFinished(10000) && help.exitCode() == 0);
    QFile page(ZERVAL_SOURCE_DIR "/packaging/man/" + QString(QTest::currentDataTag()) + ".1.in");
    QVERIFY(page.open(QIODevice::ReadOnly));
    // The options a page describes are the tags of its tagged paragraphs (.TP).
    const QRegularExpression tag("^\\.TP\\n(.*)$", QRegularExpression::MultilineOption);
    QString tags;
    for (auto match = tag.globalMatch(page.readAll()); match.hasNext();)
      tags += match.next().captured(1) + '\n';
    QCOMPARE(LongOptions(tags), LongOptions(help.readAllStandardOutput()));
  }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "test_manpages.moc"
