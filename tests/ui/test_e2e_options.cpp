// The Options page round trip of the real window against two simulators: servers added in
// the editor, the list saved and loaded, the options saved, and a new window started from them.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <cstdint>
#include <string>

#include "e2ewindow.h"

using namespace e2e;

namespace {

const std::string Password = "pw";

// The operator types an entry into the editor and presses "Add".
void AddServer(Tfrm_main& w, const QString& name, const std::string& address,
               const std::string& password) {
  Ui::tb_options& page = w.uiOptions;
  for (QLineEdit* edit : {page.ed_servername, page.ed_ip, page.ed_rconpwd}) edit->clear();
  QTest::keyClicks(page.ed_servername, name);
  QTest::keyClicks(page.ed_ip, QString::fromStdString(address));
  QTest::keyClicks(page.ed_rconpwd, QString::fromStdString(password));
  page.btn_add->click();
}

QStringList Rows(const Tfrm_main& w) {
  QStringList rows;
  const QTreeWidget* list = w.uiOptions.lw_serverlist;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list->topLevelItem(i);
    rows << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
  }
  return rows;
}

QStringList ComboItems(const Tfrm_main& w) {
  QStringList items;
  for (int i = 0; i < w.ui.cb_servers->count(); ++i) items << w.ui.cb_servers->itemText(i);
  return items;
}

void VerifyEntries(const TServerList& list, const TServerList& expected) {
  QCOMPARE(list.size(), expected.size());
  for (std::size_t i = 0; i < list.size(); ++i) {
    QCOMPARE(list[i].Name.str(), expected[i].Name.str());
    QCOMPARE(list[i].Address.str(), expected[i].Address.str());
    QCOMPARE(list[i].HasPassword, expected[i].HasPassword);
    QCOMPARE(list[i].Password.str(), expected[i].Password.str());
  }
}

}  // namespace

class TestE2eOptions : public QObject {
  Q_OBJECT

 private slots:
  void optionsPageRoundTrip();
};

void TestE2eOptions::optionsPageRoundTrip() {
  SimulatorProcess open;
  QVERIFY2(open.start({"--name", "Open"}), qPrintable(open.errorText()));
  SimulatorProcess guarded;
  QVERIFY2(guarded.start({"--name", "Guarded", "--password", QString::fromStdString(Password)}),
           qPrintable(guarded.errorText()));
  const TServerList entries = {Entry("Alpha", Address(open)),
                               Entry("Bravo", Address(guarded), Password)};
  const QStringList rows = {"Alpha|" + QString::fromStdString(Address(open)) + "|0",
                            "Bravo|" + QString::fromStdString(Address(guarded)) + "|0"};
  QTemporaryDir lists;
  const QString listFile = lists.filePath(QStringLiteral("mine.zsl"));
  const Commands guardedSelection = {"challenge rcon", "rcon CH pw ", "details",
                                     "players",        "rules",       "rcon CH pw status"};
  auto guardedCommands = [&](const std::string& challenge) {
    Commands commands = guardedSelection;
    for (std::string& command : commands)
      if (command.rfind("rcon CH", 0) == 0) command.replace(5, 2, challenge);
    return commands;
  };

  QByteArray savedConfig;
  {
    Window first;
    Tfrm_main& w = *first.w;
    // Each added server is selected and queried at once.
    AddServer(w, QStringLiteral("Alpha"), Address(open), {});
    QCOMPARE(open.commands(), (Commands{"details", "players", "rules"}));
    AddServer(w, QStringLiteral("Bravo"), Address(guarded), Password);
    QCOMPARE(guarded.commands(), guardedCommands(w.CurrentServer.Challenge));
    QCOMPARE(first.dialogTexts(), QStringList());
    QCOMPARE(Rows(w), rows);
    QCOMPARE(ComboItems(w), (QStringList{QString::fromStdString(Address(open)),
                                         QString::fromStdString(Address(guarded))}));
    QCOMPARE(w.ui.cb_servers->currentIndex(), 1);
    QVERIFY(w.ui.cb_rconctrl->isChecked());
    QCOMPARE(w.uiOptions.ud_queryserver->maximum(), 2);

    first.dialogs.files = {listFile};
    w.uiOptions.btn_saveslist->click();
    TServerList saved;
    LoadServerList(saved, listFile);
    VerifyEntries(saved, entries);

    // Loading the list back gives the same rows, and queries nothing.
    const std::size_t sent = open.commands().size() + guarded.commands().size();
    first.dialogs.files = {listFile};
    w.uiOptions.btn_openserverlist->click();
    VerifyEntries(w.ServerList, entries);
    QCOMPARE(Rows(w), rows);
    QCOMPARE(open.commands().size() + guarded.commands().size(), sent);

    first.dialogs.files = {listFile};
    w.uiOptions.SpeedButton2->click();
    QCOMPARE(w.uiOptions.ed_serverfile->text(), listFile);
    w.uiOptions.cb_loadslist->click();
    w.uiOptions.cb_Startupquery->click();
    w.uiOptions.ud_queryserver->setValue(2);
    QTest::keyClick(w.uiOptions.cb_optcbstyle, Qt::Key_Down);
    QCOMPARE(ComboItems(w), (QStringList{"Alpha", "Bravo"}));
    w.uiOptions.ud_timeout->setValue(1500);
    w.uiOptions.btn_saveoptions->click();
    QFile config(UserOptionsFile(first.dir, QStringLiteral("config.dat")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    savedConfig = config.readAll();
    QCOMPARE(savedConfig.size(), 268);
    QCOMPARE(first.dialogTexts(), QStringList());
  }

  // The program started again, in a folder holding the saved options: it loads the standard
  // list and queries the second server.
  const std::size_t openSent = open.commands().size();
  const std::size_t guardedSent = guarded.commands().size();
  Window second(savedConfig);
  Tfrm_main& w = *second.w;
  QCOMPARE(second.dialogTexts(), QStringList());
  QCOMPARE(open.commands().size(), openSent);
  const Commands all = guarded.commands();
  QCOMPARE(Commands(all.begin() + static_cast<std::ptrdiff_t>(guardedSent), all.end()),
           guardedCommands(w.CurrentServer.Challenge));
  VerifyEntries(w.ServerList, entries);
  QCOMPARE(Rows(w), rows);
  QCOMPARE(ComboItems(w), (QStringList{"Alpha", "Bravo"}));
  QCOMPARE(w.ui.cb_servers->currentIndex(), 1);
  QVERIFY(w.CurrentServer.ServerSelected);
  QVERIFY(w.ui.cb_rconctrl->isChecked());
  QCOMPARE(w.uiDetails.sg_details->item(0, 1)->text(), QStringLiteral("Guarded"));

  Ui::tb_options& page = w.uiOptions;
  QCOMPARE(page.ed_serverfile->text(), listFile);
  QVERIFY(page.cb_loadslist->isChecked());
  QVERIFY(page.cb_Startupquery->isChecked());
  QCOMPARE(page.ud_queryserver->maximum(), 2);
  QCOMPARE(page.cb_optcbstyle->currentText(), QStringLiteral("Servername"));
  QCOMPARE(page.ud_timeout->value(), 1500);

  // Saving again without a change keeps every option, in the folder they were read from.
  page.btn_saveoptions->click();
  TOptions saved;
  LoadOptions(saved, second.dir.filePath(QStringLiteral("config.dat")));
  QCOMPARE(QString::fromStdString(saved.StandardListFile.str()), listFile);
  QCOMPARE(saved.LoadListOnStartup, std::uint8_t{1});
  QCOMPARE(saved.QueryOnStartup, std::uint8_t{1});
  QCOMPARE(saved.ComboShowsNames, std::uint8_t{1});
  QCOMPARE(saved.Timeout, 1500);
  QCOMPARE(page.ud_queryserver->value(), 2);
  QCOMPARE(saved.StartupServer, 2);
}

QTEST_MAIN(TestE2eOptions)
#include "test_e2e_options.moc"
