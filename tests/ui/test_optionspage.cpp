// The options side of the Options page, driven through its real widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
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
    QDir::setCurrent(dir.path());
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

QString ProgramConfig() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("config.dat"));
}

}  // namespace

class TestOptionsPage : public QObject {
  Q_OBJECT

 private slots:
  // "Save Options" writes beside the program file; whatever was there is put back.
  void initTestCase() {
    QFile existing(ProgramConfig());
    if (existing.open(QIODevice::ReadOnly)) programConfig_ = existing.readAll();
  }
  void cleanupTestCase() {
    QFile::remove(ProgramConfig());
    if (programConfig_.isNull()) return;
    QFile restored(ProgramConfig());
    if (restored.open(QIODevice::WriteOnly)) restored.write(programConfig_);
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
    LoadOptions(saved, ProgramConfig());
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
  QByteArray programConfig_;
};

QTEST_MAIN(TestOptionsPage)
#include "test_optionspage.moc"
