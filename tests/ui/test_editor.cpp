// The server list editor on the Options page, driven through its real widgets.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <memory>
#include <string>

#include "main.h"
#include "platform/icmpecho.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"
#include "udppeer.h"

namespace {

const QString Unreachable = QStringLiteral("Ziel nicht erreichbar!");

// A shown main window in a fresh working directory (so no "config.dat" of another run is
// read), a silent server on 127.0.0.1 for the queries that Add and Modify start, and scripted
// dialogs.
struct Fixture {
  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  UdpPeer server;
  std::unique_ptr<Tfrm_main> window;

  Fixture() {
    EnterSandbox(dir);
    ForceClassicQueries(UserOptionsFolder(dir));
    window = std::make_unique<Tfrm_main>();
    window->UDPClient.SetReceiveTimeout(200);
    window->show();
  }

  Tfrm_main& w() { return *window; }
  Ui::tb_options& page() { return window->uiOptions; }
  QTreeWidget& rows() { return *window->uiOptions.lw_serverlist; }
  QComboBox& combo() { return *window->ui.cb_servers; }
  QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.port()); }

  void type(const QString& name, const QString& ip, const QString& password = {}) {
    page().ed_servername->setText(name);
    page().ed_ip->setText(ip);
    page().ed_rconpwd->setText(password);
  }

  // Adds an entry through the Add button; its query times out.
  void add(const QString& name, const QString& password = {}) {
    type(name, address(), password);
    page().btn_add->click();
  }

  // Selects a row as a click does. The echo that follows goes to 127.0.0.1; a system that
  // allows no ICMP socket refuses it after the edits and buttons were set, which these tests
  // do not look at.
  void select(int row) {
    try {
      window->lw_serverlistSelectItem(rows().topLevelItem(row), true);
    } catch (const EZerval& error) {
      if (std::string(error.what()).rfind("Cannot open an ICMP socket", 0) != 0) throw;
    }
  }

  // Puts the combo box on an item without selecting the server.
  void chooseQuietly(int index) {
    const QSignalBlocker quiet(combo());
    combo().setCurrentIndex(index);
  }

  QStringList rowTexts(int column) {
    QStringList texts;
    for (int i = 0; i < rows().topLevelItemCount(); ++i)
      texts << rows().topLevelItem(i)->text(column);
    return texts;
  }

  QStringList comboItems() {
    QStringList items;
    for (int i = 0; i < combo().count(); ++i) items << combo().itemText(i);
    return items;
  }

  std::string storedNames() const {
    std::string names;
    for (const TServerEntry& entry : window->ServerList) names += entry.Name.str() + ";";
    return names;
  }
};

}  // namespace

class TestEditor : public QObject {
  Q_OBJECT

 private slots:
  void listDialogsAreConfigured_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("title");
    QTest::newRow("load") << false << "Open Serverlist";
    QTest::newRow("save") << true << "Save Serverlist";
  }
  void listDialogsAreConfigured() {
    QFETCH(bool, save);
    QFETCH(QString, title);
    Fixture f;
    QFileDialog& dialog = save ? f.w().dlgSavefile : f.w().dlg_openfile;
    QCOMPARE(dialog.windowTitle(), title);
    QCOMPARE(dialog.nameFilters(), (QStringList{QStringLiteral("Zerval Serverlist [*.zsl] (*.zsl)"),
                                                QStringLiteral("All Files [*.*] (*)")}));
    QCOMPARE(dialog.defaultSuffix(), QStringLiteral("zsl"));
    QCOMPARE(dialog.fileMode(), QFileDialog::AnyFile);
    QVERIFY(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(dialog.acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  }

  void addShowsTextsAsTypedAndStoresThemCut() {
    Fixture f;
    f.w().Options.ComboShowsNames = 1;
    const QString name = QString(50, u'a') + QString(10, u'b');
    f.add(name);

    QCOMPARE(f.w().ServerList.size(), std::size_t{1});
    const TServerEntry& entry = f.w().ServerList[0];
    QCOMPARE(entry.Name.str(), std::string(50, 'a'));
    QCOMPARE(QString::fromStdString(entry.Address.str()), f.address());
    QCOMPARE(entry.HasPassword, std::uint8_t{0});
    QCOMPARE(f.rowTexts(0), QStringList{name});
    QCOMPARE(f.rowTexts(1), QStringList{f.address()});
    QCOMPARE(f.rowTexts(2), QStringList{"0"});
    QCOMPARE(f.comboItems(), QStringList{name});
    // The new server was selected and queried at once.
    QCOMPARE(f.server.commands(), (std::vector<std::string>{"details"}));
    QCOMPARE(f.dialogs.texts(), QStringList{Unreachable});
    QCOMPARE(f.page().ud_queryserver->minimum(), 1);
    QCOMPARE(f.page().ud_queryserver->maximum(), 1);

    f.w().FillServerList();
    QCOMPARE(f.rowTexts(0), QStringList{QString(50, u'a')});
    QCOMPARE(f.comboItems(), QStringList{QString(50, u'a')});

    f.page().ed_rconpwd->setText(QStringLiteral("left over"));
    f.select(0);
    QCOMPARE(f.page().ed_rconpwd->text(), QString());
  }

  void unparsableAddressIsStoredBeforeItsError() {
    Fixture f;
    f.type(QStringLiteral("broken"), QStringLiteral("no port here"));
    QVERIFY_THROWS_EXCEPTION(EZerval, f.w().btn_addClick());
    QCOMPARE(f.storedNames(), std::string("broken;"));
    QCOMPARE(f.rowTexts(0), QStringList{"broken"});
    QCOMPARE(f.comboItems(), QStringList{"no port here"});
    // The range of the start-up server is left as it was.
    QCOMPARE(f.page().ud_queryserver->maximum(), 0);
    QVERIFY(f.server.requests.empty());
  }

  void missingTextsAreRefused_data() {
    QTest::addColumn<bool>("modify");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("message");
    const QString noName = QStringLiteral("Kein Servername eingegeben!!!");
    const QString noIp = QStringLiteral("Kein Server IP eingegeben!!!");
    for (const bool modify : {false, true}) {
      const char* action = modify ? "modify" : "add";
      QTest::addRow("%s without name", action) << modify << ""
                                               << "10.0.0.1:27015" << noName;
      QTest::addRow("%s without ip", action) << modify << "x"
                                             << "" << noIp;
      QTest::addRow("%s without both", action) << modify << ""
                                               << "" << noName;
    }
  }
  void missingTextsAreRefused() {
    QFETCH(bool, modify);
    QFETCH(QString, name);
    QFETCH(QString, ip);
    QFETCH(QString, message);
    Fixture f;
    f.add(QStringLiteral("kept"));
    f.select(0);
    f.dialogs.shown.clear();
    const std::size_t requests = f.server.requests.size();

    f.type(name, ip);
    (modify ? f.page().btn_mod : f.page().btn_add)->click();
    QCOMPARE(f.dialogs.texts(), QStringList{message});
    QCOMPARE(f.dialogs.shown[0].kind, DialogKind::Error);
    QCOMPARE(f.storedNames(), std::string("kept;"));
    QCOMPARE(f.rowTexts(0), QStringList{"kept"});
    QCOMPARE(f.server.requests.size(), requests);
  }

  void typingAfterSelectionDisarmsRemoveOnly_data() {
    QTest::addColumn<int>("edit");
    QTest::newRow("name") << 0;
    QTest::newRow("ip") << 1;
    QTest::newRow("password") << 2;
  }
  void typingAfterSelectionDisarmsRemoveOnly() {
    QFETCH(int, edit);
    Fixture f;
    f.add(QStringLiteral("first"));
    f.add(QStringLiteral("second"), QStringLiteral("pw"));
    QVERIFY(!f.page().btn_remove->isEnabled());
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_remove), -1);

    f.select(1);
    QCOMPARE(f.page().ed_servername->text(), QStringLiteral("second"));
    QCOMPARE(f.page().ed_ip->text(), f.address());
    QCOMPARE(f.page().ed_rconpwd->text(), QStringLiteral("pw"));
    QVERIFY(f.page().btn_remove->isEnabled());
    QVERIFY(f.page().btn_mod->isEnabled());
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_remove), 1);
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_mod), 1);

    QLineEdit* edits[] = {f.page().ed_servername, f.page().ed_ip, f.page().ed_rconpwd};
    QTest::keyClick(edits[edit], Qt::Key_X);
    QVERIFY(!f.page().btn_remove->isEnabled());
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_remove), -1);
    QVERIFY(f.page().btn_mod->isEnabled());
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_mod), 1);
  }

  void modifyBeforeAnySelectionDoesNothing() {
    Fixture f;
    f.add(QStringLiteral("only"));
    f.dialogs.shown.clear();
    const std::size_t requests = f.server.requests.size();

    f.type(QStringLiteral("other"), QStringLiteral("10.0.0.9:27015"));
    f.w().btn_modClick();
    QCOMPARE(f.storedNames(), std::string("only;"));
    QCOMPARE(f.rowTexts(0), QStringList{"only"});
    QCOMPARE(f.comboItems(), QStringList{f.address()});
    QVERIFY(f.dialogs.shown.empty());
    QCOMPARE(f.server.requests.size(), requests);
  }

  void modifyReplacesEntryRowAndComboItem() {
    Fixture f;
    f.add(QStringLiteral("first"));
    f.add(QStringLiteral("second"));
    f.select(1);
    f.rows().topLevelItem(1)->setText(2, QStringLiteral("17"));
    f.chooseQuietly(1);
    f.dialogs.shown.clear();
    f.server.requests.clear();
    int selectedDuringQuery = -2;
    f.dialogs.onMessage = [&](const ScriptedDialogs::Shown&) {
      selectedDuringQuery = f.combo().currentIndex();
    };

    const QString renamed = QString(55, u'r');
    f.type(renamed, f.address(), QString(25, u'p'));
    f.page().btn_mod->click();

    const TServerEntry& entry = f.w().ServerList[1];
    QCOMPARE(entry.Name.str(), std::string(50, 'r'));
    QCOMPARE(entry.HasPassword, std::uint8_t{1});
    QCOMPARE(entry.Password.str(), std::string(20, 'p'));
    QCOMPARE(f.rowTexts(0), (QStringList{"first", renamed}));
    QCOMPARE(f.rowTexts(2)[1], QStringLiteral("0"));
    // The modified item stayed selected, so the selection queried the modified server
    // (with a password, the console challenge comes first).
    QCOMPARE(selectedDuringQuery, 1);
    QCOMPARE(f.server.commands(), (std::vector<std::string>{"challenge rcon"}));
    QCOMPARE(f.dialogs.texts(), QStringList{Unreachable});
  }

  void removingTheOnlyEntryRestoresTheStartSituation() {
    Fixture f;
    f.add(QStringLiteral("only"));
    f.select(0);
    f.chooseQuietly(0);
    {
      const QSignalBlocker quiet(f.w().ui.cb_autoQuery);
      f.w().ui.cb_autoQuery->setChecked(true);
    }
    f.w().querytimer.start(60000);
    f.w().ui.cb_rconctrl->setChecked(true);
    f.w().CurrentServer.ServerSelected = true;
    f.w().CurrentServer.RconEnabled = true;
    f.w().uiDetails.sg_details->setItem(0, 0, new QTableWidgetItem(QStringLiteral("Server Name")));
    f.w().uiDetails.sg_details->setItem(0, 1, new QTableWidgetItem(QStringLiteral("old")));
    f.dialogs.shown.clear();

    f.page().btn_remove->click();
    QVERIFY(f.w().ServerList.empty());
    QCOMPARE(f.rows().topLevelItemCount(), 0);
    QCOMPARE(f.combo().count(), 0);
    QCOMPARE(f.combo().currentIndex(), -1);
    QCOMPARE(f.combo().currentText(), QStringLiteral("kein Server gewählt"));
    QVERIFY(!f.w().ui.cb_autoQuery->isChecked());
    QVERIFY(!f.w().querytimer.isActive());
    QVERIFY(!f.w().ui.cb_rconctrl->isChecked());
    QVERIFY(!f.w().CurrentServer.ServerSelected);
    QVERIFY(!f.w().CurrentServer.RconEnabled);
    QVERIFY(f.w().uiDetails.sg_details->item(0, 0) == nullptr);
    QVERIFY(f.w().uiDetails.sg_details->item(0, 1) == nullptr);
    QCOMPARE(f.page().ed_servername->text(), QString());
    QCOMPARE(f.page().ed_ip->text(), QString());
    QVERIFY(!f.page().btn_remove->isEnabled());
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_remove), -1);
    QVERIFY(f.dialogs.shown.empty());

    // Modify still holds the removed row's index; it names no entry now.
    f.type(QStringLiteral("ghost"), f.address());
    f.page().btn_mod->click();
    QVERIFY(f.w().ServerList.empty());
    QCOMPARE(f.rows().topLevelItemCount(), 0);
    QVERIFY(f.dialogs.shown.empty());
  }

  void removeKeepsTheComboIndex_data() {
    QTest::addColumn<int>("removed");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("expectedIndex");
    QTest::addColumn<QString>("expectedText");
    QTest::newRow("before the chosen entry") << 0 << 1 << 1 << "C";
    QTest::newRow("the chosen entry, others follow") << 1 << 1 << 1 << "C";
    QTest::newRow("the chosen last entry") << 2 << 2 << 1 << "B";
    QTest::newRow("after the chosen entry") << 2 << 0 << 0 << "A";
  }
  void removeKeepsTheComboIndex() {
    QFETCH(int, removed);
    QFETCH(int, chosen);
    QFETCH(int, expectedIndex);
    QFETCH(QString, expectedText);
    Fixture f;
    f.w().Options.ComboShowsNames = 1;
    for (const char* name : {"A", "B", "C"}) f.add(QString::fromLatin1(name));
    f.chooseQuietly(chosen);
    f.w().CurrentServer.HostIP = "10.9.9.9";
    f.select(removed);
    f.dialogs.shown.clear();
    f.server.requests.clear();

    f.page().btn_remove->click();
    QCOMPARE(f.w().ServerList.size(), std::size_t{2});
    QCOMPARE(f.combo().currentIndex(), expectedIndex);
    QCOMPARE(f.combo().currentText(), expectedText);
    // Nothing is queried; the current server stays as it was until the next selection.
    QVERIFY(f.server.requests.empty());
    QVERIFY(f.dialogs.shown.empty());
    QCOMPARE(f.w().CurrentServer.HostIP, std::string("10.9.9.9"));
  }

  void failedLoadKeepsTheOldList_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("entry cut short") << QByteArray("\x01\x00\x00\x00\x05Alpha", 10) << true;
    QTest::newRow("negative count") << QByteArray("\xFF\xFF\xFF\xFF", 4) << true;
  }
  void failedLoadKeepsTheOldList() {
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    Fixture f;
    f.add(QStringLiteral("first"));
    f.add(QStringLiteral("second"));
    const QString fileName = f.dir.filePath(QStringLiteral("bad.zsl"));
    if (exists) {
      QFile file(fileName);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(content);
    }

    f.dialogs.files = {fileName};
    QVERIFY_THROWS_EXCEPTION(EZerval, f.w().btn_openserverlistClick());
    QCOMPARE(f.storedNames(), std::string("first;second;"));
    QCOMPARE(f.rowTexts(0), (QStringList{"first", "second"}));
    QCOMPARE(f.combo().count(), 2);

    f.dialogs.files = {QString()};
    f.page().btn_openserverlist->click();
    QCOMPARE(f.storedNames(), std::string("first;second;"));
    QCOMPARE(f.rows().topLevelItemCount(), 2);
  }

  void saveThenLoadGivesTheSameRows() {
    Fixture f;
    f.add(QStringLiteral("alpha"));
    f.add(QStringLiteral("beta"), QStringLiteral("secret"));
    f.add(QStringLiteral("gamma"));
    for (int i = 0; i < 3; ++i) f.rows().topLevelItem(i)->setText(2, QStringLiteral("42"));
    const QString fileName = f.dir.filePath(QStringLiteral("servers.zsl"));

    f.dialogs.files = {fileName};
    f.page().btn_saveslist->click();
    f.add(QStringLiteral("delta"));
    f.dialogs.files = {fileName};
    f.page().btn_openserverlist->click();

    QCOMPARE(f.dialogs.fileDialogs.size(), std::size_t{2});
    QCOMPARE(f.dialogs.fileDialogs[0], &f.w().dlgSavefile);
    QCOMPARE(f.dialogs.fileDialogs[1], &f.w().dlg_openfile);
    QCOMPARE(f.storedNames(), std::string("alpha;beta;gamma;"));
    QCOMPARE(f.w().ServerList[1].Password.str(), std::string("secret"));
    QCOMPARE(f.rowTexts(0), (QStringList{"alpha", "beta", "gamma"}));
    QCOMPARE(f.rowTexts(1), (QStringList{f.address(), f.address(), f.address()}));
    QCOMPARE(f.rowTexts(2), (QStringList{"0", "0", "0"}));
    QCOMPARE(f.comboItems(), (QStringList{f.address(), f.address(), f.address()}));
  }

  // A name cut at its 50 bytes inside a UTF-8 character shows without the cut character's
  // first byte, wherever it is shown after the list was loaded.
  void nameCutInsideACharacterShowsWhole() {
    Fixture f;
    TServerEntry entry;
    entry.Name = std::string(49, 'a') + "\xC3\xB6";
    entry.Address = f.address().toStdString();
    const QString fileName = f.dir.filePath(QStringLiteral("cut.zsl"));
    SaveServerList({entry}, fileName);
    QTest::keyClick(f.page().cb_optcbstyle, Qt::Key_Down);
    f.dialogs.files = {fileName};
    f.page().btn_openserverlist->click();
    f.select(0);
    const QString shown(49, u'a');
    QCOMPARE(f.rowTexts(0), QStringList{shown});
    QCOMPARE(f.comboItems(), QStringList{shown});
    QCOMPARE(f.page().ed_servername->text(), shown);
  }

  void staleIndicesAfterAShorterLoadTouchNothing() {
    Fixture f;
    for (const char* name : {"a", "b", "c"}) f.add(QString::fromLatin1(name));
    f.select(2);
    TServerEntry single;
    single.Name = "single";
    single.Address = "10.0.0.1:27015";
    const QString fileName = f.dir.filePath(QStringLiteral("short.zsl"));
    SaveServerList({single}, fileName);
    f.dialogs.files = {fileName};
    f.page().btn_openserverlist->click();
    f.dialogs.shown.clear();
    f.server.requests.clear();

    f.page().btn_mod->click();
    f.page().btn_remove->click();
    QCOMPARE(f.storedNames(), std::string("single;"));
    QCOMPARE(f.rowTexts(0), QStringList{"single"});
    QVERIFY(f.dialogs.shown.empty());
    QVERIFY(f.server.requests.empty());
  }

  void hostWithoutPortCannotBePinged() {
    Fixture f;
    TServerEntry entry;
    entry.Name = "bare";
    entry.Address = "127.0.0.1";
    f.w().ServerList = {entry};
    f.w().FillServerList();
    QVERIFY_THROWS_EXCEPTION(EZerval,
                             f.w().lw_serverlistSelectItem(f.rows().topLevelItem(0), true));
    // The edits and buttons were set before the echo was refused.
    QCOMPARE(f.page().ed_ip->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(Tfrm_main::TagOf(f.page().btn_remove), 0);
    QCOMPARE(f.rowTexts(2), QStringList{"0"});
  }

  // The rows may be rebuilt or rewritten while an echo waits; its time goes only to its row.
  void pingTimeGoesToItsOwnRowOnly_data() {
    QTest::addColumn<QString>("duringWait");
    QTest::newRow("nothing") << "";
    QTest::newRow("pinged row removed") << "remove";
    QTest::newRow("list loaded") << "load";
    QTest::newRow("pinged row modified") << "modify";
  }
  void pingTimeGoesToItsOwnRowOnly() {
    QFETCH(QString, duringWait);
    try {
      IcmpEcho().Ping("127.0.0.1");
    } catch (const EZerval& error) {
      QSKIP(error.what());
    }
    Fixture f;
    for (const char* name : {"a", "b", "c"}) f.add(QString::fromLatin1(name));
    f.dialogs.files = {f.dir.filePath(QStringLiteral("copy.zsl"))};
    SaveServerList(f.w().ServerList, f.dialogs.files.front());
    QTimer::singleShot(0, [&] {  // runs inside the echo's wait
      if (duringWait == "remove") f.page().btn_remove->click();
      if (duringWait == "load") f.page().btn_openserverlist->click();
      f.type(QStringLiteral("b2"), QStringLiteral("127.0.0.2:1"));
      if (duringWait == "modify") f.page().btn_mod->click();
      for (int i = 0; i < f.rows().topLevelItemCount(); ++i)
        f.rows().topLevelItem(i)->setText(2, QStringLiteral("-"));
    });
    f.select(1);
    QCOMPARE(f.rowTexts(2).count(QStringLiteral("-")),
             f.rows().topLevelItemCount() - (duringWait.isEmpty() ? 1 : 0));
  }

  void restingThePointerOnARowSelectsIt() {
    // A selection by the pointer pings its row, and a refused echo would leave the handler.
    try {
      IcmpEcho().Ping("127.0.0.1");
    } catch (const EZerval& error) {
      QSKIP(error.what());
    }
    Fixture f;
    f.add(QStringLiteral("first"));
    f.add(QStringLiteral("second"));
    f.w().ui.pc_Server->setCurrentWidget(f.w().ui.tb_options);
    QVERIFY(QTest::qWaitForWindowExposed(&f.w()));
    QWidget* viewport = f.rows().viewport();
    const QPoint onSecond = f.rows().visualItemRect(f.rows().topLevelItem(1)).center();

    f.type(QString(), QString());
    QTest::mouseMove(viewport, onSecond);
    QCOMPARE(viewport->cursor().shape(), Qt::PointingHandCursor);
    QTRY_COMPARE(Tfrm_main::TagOf(f.page().btn_mod), 1);
    QCOMPARE(f.page().ed_servername->text(), QStringLiteral("second"));

    const QPoint onFirst = f.rows().visualItemRect(f.rows().topLevelItem(0)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, onFirst);
    QCOMPARE(f.page().ed_servername->text(), QStringLiteral("first"));
  }
};

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
