// The settings file's lines: what is set changes, everything else stays as it was written.
#include <QTest>
#include <string>

#include "store/inifile.h"

class TestIniFile : public QObject {
  Q_OBJECT

 private slots:
  void setKeepsOtherLines_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("new file") << ""
                              << "[Query]\nProtocol=auto\n[Servers]\n[::1]:27015=a2s\n";
    QTest::newRow("value replaced in place, blanks and comments kept")
        << "; mine\n[Query]\n Protocol = steam \n\n[Other]\nx=1\n"
        << "; mine\n[Query]\nProtocol=auto\n\n[Other]\nx=1\n[Servers]\n[::1]:27015=a2s\n";
    QTest::newRow("new key at the end of its section, before its blank line")
        << "[Query]\nOld=1\n\n[Servers]\n10.0.0.1:1=classic\n"
        << "[Query]\nOld=1\nProtocol=auto\n\n[Servers]\n[::1]:27015=a2s\n";
  }
  void setKeepsOtherLines() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    IniFile file = IniFile::Parse(before.toStdString());
    file.Set("Query", "Protocol", "auto");
    file.ReplaceSection("Servers", {{"[::1]:27015", "a2s"}});
    QCOMPARE(QString::fromStdString(file.Text()), after);
  }

  void valuesAsWritten() {
    const IniFile file = IniFile::Parse(
        "[Servers]\r\n127.0.0.1:27015 = classic\r\n[::1]:27016=a2s\n;c=1\nnoequals\n"
        "[Overview]\nWatch=true\n");
    QCOMPARE(file.Section("Servers"),
             (IniFile::Entries{{"127.0.0.1:27015", "classic"}, {"[::1]:27016", "a2s"}}));
    QCOMPARE(file.Value("Overview", "Watch"), std::optional<std::string>("true"));
    QCOMPARE(file.Value("Servers", "Watch"), std::optional<std::string>());
  }
};

QTEST_MAIN(TestIniFile)
#include "test_inifile.moc"
