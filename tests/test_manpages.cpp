// Every program's man page describes the long options that its --help lists, and no others.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QTest>

namespace {

// The texts of `group` in every match, with groff's "\-" read as "-".
QSet<QString> Matches(const QRegularExpression& pattern, const QString& text, int group) {
  QSet<QString> found;
  for (auto match = pattern.globalMatch(text); match.hasNext();)
    found.insert(match.next().captured(group).replace("\\-", "-"));
  return found;
}

// The long options that --help names; not "--option" of "--option=value".
QSet<QString> HelpOptions(const QString& program) {
  QProcess process;
  process.start(program, {"--help"});
  if (!process.waitForFinished(10000) || process.exitCode() != 0) return {};
  return Matches(QRegularExpression("(--[a-z][a-z0-9-]*)(?![a-z0-9=-])"),
                 QString::fromUtf8(process.readAllStandardOutput()), 1);
}

// The long options that the man page's tagged paragraphs (.TP) name in their tags.
QSet<QString> ManOptions(const QString& page) {
  QFile file(QStringLiteral(ZERVAL_SOURCE_DIR "/packaging/man/") + page + ".1.in");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QRegularExpression tag("^\\.TP\\n(.*)$", QRegularExpression::MultilineOption);
  QSet<QString> options;
  for (const QString& line : Matches(tag, QString::fromUtf8(file.readAll()), 1))
    options += Matches(QRegularExpression("(--[a-z][a-z0-9-]*)"), line, 1);
  return options;
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
    QSet<QString> help = HelpOptions(program);
    QVERIFY2(!help.isEmpty(), qPrintable(program + " --help listed no options"));
    QSet<QString> manual = ManOptions(QString::fromLatin1(QTest::currentDataTag()));
    // Every program takes --help, whether its text names it or not.
    help.insert("--help");
    manual.insert("--help");
    const QStringList missing = QStringList((help - manual).values());
    const QStringList unknown = QStringList((manual - help).values());
    QVERIFY2(missing.isEmpty(), qPrintable("not in the man page: " + missing.join(' ')));
    QVERIFY2(unknown.isEmpty(), qPrintable("not in --help: " + unknown.join(' ')));
  }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "test_manpages.moc"
