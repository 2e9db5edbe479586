// The options side of the Options page, driven through its real widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "main.h"
#include "platform/ownaddresses.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

TServerEntry Entry(const char* name, const char* address) {
  TServerEntry entry;
  entry.Name = name;
  entry.Address = address;
  return entry;
}

TServerList ThreeServers() {
  return {Entry("Alpha", "10.0.0.1:27015"), Entry("Beta", "10.0.0.2:27016"),
          Entry("Gamma", "10.0.0.3:27017")};
}

// A main window in a fresh working directory with scripted dialogs. The options the window
// reads at creation can be put into the directory's "config.dat" first.
struct Fixture {
  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<Tfrm_main> window;

  explicit Fixture(const TOptions* stored = nullptr) {
    EnterSandbox(dir);
    if (stored != nullptr) {
      TOptions copy = *stored;
      SaveOptions(copy, dir.filePath(QStringLiteral("config.dat")));
    }
    window = std::make_unique<Tfrm_main>();
  }

  Tfrm_main& w() { return *window; }
  Ui::tb_options& page() { return window->uiOptions; }
  QComboBox& combo() { return *window->ui.cb_servers; }

  QStringList comboItems() {
    QStringList items;
    for (int i = 0; i < combo().count(); ++i) items << combo().itemText(i);
    return items;
  }
};

QString ProgramFile(const QString& name) {
  return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QByteArray ReadAll(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& fileName, const QByteArray& bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(fileName).path()));
  QFile file(fileName);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Options that load the standard list "servers.zsl", named relative to their own folder.
QByteArray RelativeListOptions() {
  TOptions options;
  options.LoadListOnStartup = 1;
  options.StandardListFile = "servers.zsl";
  return QByteArray::fromStdString(OptionsToBytes(options));
}

}  // namespace

class TestOptionsPage : public QObject {
  Q_OBJECT

 private slots:
  // One test keeps its options beside the program; whatever was there is put back.
  void initTestCase() {
    for (const QString& name : {QStringLiteral("config.dat"), QStringLiteral("zerval.ini")})
      programFiles_[name] = ReadAll(ProgramFile(name));
  }
  void cleanupTestCase() {
    for (auto file = programFiles_.cbegin(); file != programFiles_.cend(); ++file) {
      QDir(ProgramFile(file.key())).removeRecursively();
      QFile::remove(ProgramFile(file.key()));
      if (!file.value().isNull()) WriteAll(ProgramFile(file.key()), file.value());
    }
  }

  // Options come from the working directory when it holds a "config.dat", otherwise from the
  // per-user folder; a relative standard list is looked for there, and "Save Options" writes
  // back there, where the next start reads them.
  void optionsStayInTheFolderTheyCameFrom_data() {
    QTest::addColumn<bool>("inWorkingDirectory");
    QTest::newRow("working directory") << true;
    QTest::newRow("per-user folder") << false;
  }
  void optionsStayInTheFolderTheyCameFrom() {
    QFETCH(bool, inWorkingDirectory);
    Fixture f;
    const QString folder = inWorkingDirectory ? f.dir.path() : UserOptionsFolder(f.dir);
    const QString other = inWorkingDirectory ? UserOptionsFolder(f.dir) : f.dir.path();
    WriteAll(QDir(folder).filePath("config.dat"), RelativeListOptions());
    SaveServerList(ThreeServers(), QDir(folder).filePath("servers.zsl"));
    WriteAll(QDir(other).filePath("zerval.ini"), "[Query]\nProtocol=steam\n");
    for (int start = 1; start <= 2; ++start) {
      f.window = std::make_unique<Tfrm_main>();
      f.w().show();
      QVERIFY(f.dialogs.shown.empty());
      QCOMPARE(f.w().ServerList.size(), std::size_t{3});
      QCOMPARE(f.page().cb_protocol->currentIndex(), start == 1 ? 0 : 1);
      QCOMPARE(f.page().ud_timeout->value(), start == 1 ? 5000 : 1234);
      f.page().ud_timeout->setValue(1234);
      QTest::keyClick(f.page().cb_protocol, Qt::Key_Down);
      f.page().btn_saveoptions->click();
      QVERIFY(f.dialogs.shown.empty());
    }
    QVERIFY(!QFile::exists(QDir(other).filePath("config.dat")));
    QCOMPARE(ReadAll(QDir(other).filePath("zerval.ini")), QByteArray("[Query]\nProtocol=steam\n"));
    QVERIFY(ReadAll(QDir(folder).filePath("zerval.ini")).contains("Protocol=steam"));
  }

  // "zerval.ini" cannot be written, as a folder has its name: "config.dat" is not replaced
  // either, and the error is shown. The options are kept beside the program, which is started
  // in its own folder.
  void failedSaveLeavesBothFilesAsTheyWere() {
    Fixture f;
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const QByteArray stored = QByteArray::fromStdString(OptionsToBytes(TOptions()));
    WriteAll(ProgramFile("config.dat"), stored);
    QFile::remove(ProgramFile("zerval.ini"));
    QVERIFY(QDir().mkdir(ProgramFile("zerval.ini")));
    f.window = std::make_unique<Tfrm_main>();
    f.w().show();
    f.dialogs.shown.clear();
    f.page().ud_timeout->setValue(1234);
    QString reported;
    try {
      f.page().btn_saveoptions->click();
    } catch (const EZerval& error) {
      reported = QString::fromLocal8Bit(error.what());
    }
    QCOMPARE(ReadAll(ProgramFile("config.dat")), stored);
    QCOMPARE(reported, QStringLiteral("Cannot create file zerval.ini"));
    QVERIFY(QFileInfo(ProgramFile("zerval.ini")).isDir());
    QDir(ProgramFile("zerval.ini")).removeRecursively();
  }

  void displayStyleRelabelsTheServerCombo() {
    Fixture f;
    f.w().show();
    f.w().ServerList = ThreeServers();
    f.w().FillServerList();
    {
      const QSignalBlocker quiet(f.combo());
      f.combo().setCurrentIndex(1);
    }
    f.w().CurrentServer.HostIP = "10.0.0.2";

    QTest::keyClick(f.page().cb_optcbstyle, Qt::Key_Down);
    QCOMPARE(f.page().cb_optcbstyle->currentText(), QStringLiteral("Servername"));
    QCOMPARE(f.w().Options.ComboShowsNames, std::uint8_t{1});
    QCOMPARE(f.comboItems(), (QStringList{"Alpha", "Beta", "Gamma"}));
    QCOMPARE(f.combo().currentIndex(), 1);
    QCOMPARE(f.combo().currentText(), QStringLiteral("Beta"));

    QTest::keyClick(f.page().cb_optcbstyle, Qt::Key_Up);
    QCOMPARE(f.w().Options.ComboShowsNames, std::uint8_t{0});
    QCOMPARE(f.comboItems(), (QStringList{"10.0.0.1:27015", "10.0.0.2:27016", "10.0.0.3:27017"}));
    QCOMPARE(f.combo().currentText(), QStringLiteral("10.0.0.2:27016"));
    // Nothing was queried: no dialog, the current server untouched.
    QVERIFY(f.dialogs.shown.empty());
    QCOMPARE(f.w().CurrentServer.HostIP, std::string("10.0.0.2"));
  }

  void displayStyleWithoutSelectionKeepsTheComboText() {
    Fixture f;
    f.w().show();
    f.w().ServerList = ThreeServers();
    f.w().FillServerList();
    QTest::keyClick(f.page().cb_optcbstyle, Qt::Key_Down);
    QCOMPARE(f.combo().currentIndex(), -1);
    QCOMPARE(f.combo().currentText(), QStringLiteral("kein Server gewählt"));
  }

  void standardListTextGatesTheStartupControls_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("names");
    QTest::newRow("none") << "none" << false;
    QTest::newRow("none with blanks") << " none " << false;
    QTest::newRow("none with a tab") << "none\t" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("None") << "None" << true;
    QTest::newRow("keine") << "keine" << true;
    QTest::newRow("a file") << "/srv/lists/clan.zsl" << true;
  }
  void standardListTextGatesTheStartupControls() {
    QFETCH(QString, text);
    QFETCH(bool, names);
    Fixture f;
    f.page().ed_serverfile->setText(QStringLiteral("start.zsl"));
    f.page().cb_loadslist->setChecked(true);
    f.page().cb_Startupquery->setChecked(true);

    f.page().ed_serverfile->setText(text);
    QCOMPARE(f.page().cb_loadslist->isEnabled(), names);
    QCOMPARE(f.page().cb_Startupquery->isEnabled(), names);
    QCOMPARE(f.page().ud_queryserver->isEnabled(), names);
    QCOMPARE(f.w().findChild<QLineEdit*>(QStringLiteral("ed_quser"))->isEnabled(), names);
    QCOMPARE(f.page().cb_loadslist->isChecked(), names);
    QCOMPARE(f.page().cb_Startupquery->isChecked(), names);
  }

  void storedTimeoutReachesTheExchange_data() {
    QTest::addColumn<std::int32_t>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("2000") << 2000 << 2000;
    QTest::newRow("lower 16 bits") << 65536 + 3000 << 3000;
    QTest::newRow("lower 16 bits above the maximum") << 70000 << 4464;
    QTest::newRow("below the minimum") << 500 << 1000;
    QTest::newRow("negative") << -1 << 1000;
  }
  void storedTimeoutReachesTheExchange() {
    QFETCH(std::int32_t, stored);
    QFETCH(int, shown);
    TOptions options;
    options.Timeout = stored;
    Fixture f(&options);
    f.w().show();
    QCOMPARE(f.page().ud_timeout->value(), shown);
    QCOMPARE(f.w().findChild<QLineEdit*>(QStringLiteral("ed_timeout"))->text(),
             QString::number(shown));
    QCOMPARE(f.w().UDPClient.ReceiveTimeout(), shown);
  }

  void storedFlagsReachTheControls() {
    TOptions options;
    options.ComboShowsNames = 1;
    options.StandardListFile = "";
    options.LoadListOnStartup = 0;
    options.TrayIcon = 1;
    Fixture f(&options);
    f.w().show();
    QCOMPARE(f.page().cb_optcbstyle->currentText(), QStringLiteral("Servername"));
    QCOMPARE(f.page().ed_serverfile->text(), QString());
    QVERIFY(!f.page().cb_loadslist->isEnabled());
    QVERIFY(f.page().cb_tray->isChecked());
    QCOMPARE(f.w().Options.TrayIcon, std::uint8_t{1});

    const std::vector<std::string> own = OwnIPv4Addresses();
    QVERIFY(std::find(own.begin(), own.end(), "127.0.0.1") != own.end());
    QCOMPARE(f.page().cb_ip->count(), static_cast<int>(own.size()));
    QCOMPARE(f.page().cb_ip->currentText(), QString::fromStdString(own.back()));
  }

  void arrowStepSetsTheReceiveTimeout() {
    Fixture f;
    f.w().show();
    QTest::keyClick(f.page().ud_timeout, Qt::Key_Up);
    QCOMPARE(f.page().ud_timeout->value(), 5001);
    QCOMPARE(f.w().UDPClient.ReceiveTimeout(), 5001);
  }

  void startupServerRunsOverTheList() {
    Fixture f;
    f.w().ServerList = ThreeServers();
    f.w().show();
    QCOMPARE(f.page().ud_queryserver->minimum(), 1);
    QCOMPARE(f.page().ud_queryserver->maximum(), 3);
  }

  void storedStartupServerIsShownWithTheStandardList() {
    QTemporaryDir lists;
    const QString listFile = lists.filePath(QStringLiteral("standard.zsl"));
    SaveServerList(ThreeServers(), listFile);
    TOptions options;
    options.LoadListOnStartup = 1;
    options.StandardListFile = listFile.toStdString();
    options.StartupServer = 2;
    Fixture f(&options);
    f.w().show();
    QCOMPARE(f.w().ServerList.size(), std::size_t{3});
    QCOMPARE(f.page().ud_queryserver->minimum(), 1);
    QCOMPARE(f.page().ud_queryserver->maximum(), 3);
    QCOMPARE(f.page().ud_queryserver->value(), 2);
    QVERIFY(f.page().cb_loadslist->isChecked());
    QVERIFY(f.dialogs.shown.empty());
  }

  void saveOptionsWritesTheControls_data() {
    QTest::addColumn<QString>("listText");
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<bool>("startupQuery");
    QTest::newRow("keine stores no name") << "keine"
                                          << "" << true;
    QTest::newRow("Keine is a name") << "Keine"
                                     << "Keine" << true;
    QTest::newRow("blanks are trimmed") << " /lists/a.zsl "
                                        << "/lists/a.zsl" << true;
    QTest::newRow("none stays, start-up boxes off") << "none"
                                                    << "none" << false;
  }
  void saveOptionsWritesTheControls() {
    QFETCH(QString, listText);
    QFETCH(QString, storedName);
    QFETCH(bool, startupQuery);
    Fixture f;
    f.w().show();
    f.page().ed_serverfile->setText(QStringLiteral("start.zsl"));
    f.page().cb_loadslist->setChecked(true);
    f.page().cb_Startupquery->setChecked(true);
    f.page().ed_serverfile->setText(listText);
    f.page().ud_queryserver->setRange(1, 3);
    f.page().ud_queryserver->setValue(2);
    f.page().cb_optcbstyle->setCurrentIndex(1);
    f.page().ud_timeout->setValue(2500);
    f.page().cb_tray->click();

    f.page().btn_saveoptions->click();
    TOptions saved;
    saved.StandardListFile = "unread";
    LoadOptions(saved, UserOptionsFile(f.dir, QStringLiteral("config.dat")));
    QCOMPARE(QString::fromStdString(saved.StandardListFile.str()), storedName);
    QCOMPARE(QString::fromStdString(f.w().Options.StandardListFile.str()), storedName);
    QCOMPARE(saved.QueryOnStartup, std::uint8_t{startupQuery});
    QCOMPARE(saved.StartupServer, startupQuery ? 2 : -1);
    QCOMPARE(saved.LoadListOnStartup, std::uint8_t{startupQuery});
    QCOMPARE(saved.ComboShowsNames, std::uint8_t{1});
    QCOMPARE(saved.Timeout, 2500);
    QCOMPARE(saved.TrayIcon, std::uint8_t{1});
  }

  void browsingSetsTheStandardListOnly() {
    Fixture f;
    f.page().ed_serverfile->setText(QStringLiteral("none"));
    f.dialogs.files = {QString()};
    f.page().SpeedButton2->click();
    QCOMPARE(f.page().ed_serverfile->text(), QStringLiteral("none"));

    f.dialogs.files = {QStringLiteral("/srv/lists/clan.zsl")};
    f.page().SpeedButton2->click();
    QCOMPARE(f.page().ed_serverfile->text(), QStringLiteral("/srv/lists/clan.zsl"));
    QVERIFY(f.page().cb_loadslist->isEnabled());
    QCOMPARE(f.dialogs.fileDialogs.back(), &f.w().dlg_openfile);
    QVERIFY(f.w().ServerList.empty());
  }

  void trayOptionFollowsTheCheckBoxAtOnce() {
    Fixture f;
    f.page().cb_tray->click();
    QCOMPARE(f.w().Options.TrayIcon, std::uint8_t{1});
    f.page().cb_tray->click();
    QCOMPARE(f.w().Options.TrayIcon, std::uint8_t{0});
  }

 private:
  QMap<QString, QByteArray> programFiles_;
};

QTEST_MAIN(TestOptionsPage)
#include "test_optionspage.moc"
