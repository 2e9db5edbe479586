// Wire texts shown on screen: UTF-8 when they are UTF-8, Latin-1 otherwise.
#include <QTest>

#include "displaytext.h"

class TestDisplayText : public QObject {
  Q_OBJECT

 private slots:
  void toDisplay_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cutByLimit");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ascii") << QByteArray("Player") << false << QStringLiteral("Player");
    QTest::newRow("utf-8") << QByteArray("J\xC3\xBCrgen") << false << QStringLiteral("Jürgen");
    QTest::newRow("latin-1") << QByteArray("J\xFCrgen") << false << QStringLiteral("Jürgen");
    QTest::newRow("latin-1 at the end") << QByteArray("caf\xE9") << false << QStringLiteral("café");
    QTest::newRow("cut at a limit")
        << QByteArray("Spieler\xC3") << true << QStringLiteral("Spieler");
    QTest::newRow("cut, utf-8 before")
        << QByteArray("\xC3\xA4\xE2\x82") << false << QStringLiteral("ä");
    QTest::newRow("overlong is latin-1")
        << QByteArray("\xC0\xAF") << false << QString::fromLatin1("\xC0\xAF");
    QTest::newRow("surrogate is latin-1")
        << QByteArray("\xED\xA0\x80") << false << QString::fromLatin1("\xED\xA0\x80");
  }
  void toDisplay() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cutByLimit);
    QFETCH(QString, shown);
    QCOMPARE(ToDisplay(std::string_view(bytes.constData(), bytes.size()), cutByLimit), shown);
  }

  void shortStringFullToCapacityCountsAsCut() {
    const ShortString<8> name(std::string_view("Spieler\xC3", 8));
    QCOMPARE(ToDisplay(name), QStringLiteral("Spieler"));
  }

  void typedTextBackToBytes() {
    QCOMPARE(FromDisplay(QStringLiteral("Jürgen")), std::string("J\xFCrgen"));
    QCOMPARE(FromDisplay(QStringLiteral("Дима")), std::string("\xD0\x94\xD0\xB8\xD0\xBC\xD0\xB0"));
  }
};

QTEST_GUILESS_MAIN(TestDisplayText)
#include "test_displaytext.moc"
