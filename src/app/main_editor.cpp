// The server list editor on the left of the Options page.
//
// The store ServerList, the rows of lw_serverlist and the items of cb_servers are kept in
// step: entry i is row i and item i. Rows and items added or changed from the edits show the
// texts as typed; the store keeps them cut to their field widths, and a rebuild shows that.
//
// Stale indices: the Tags of Remove and Modify keep the row selected last. After the last
// entry was removed or a shorter list was loaded such a Tag names no entry any more; a click
// with it then does nothing at all, and reads or writes neither the store nor the views.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "displaytext.h"
#include "main.h"
#include "platform/dialogs.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

constexpr int NameColumn = 0;
constexpr int AddressColumn = 1;
constexpr int PingColumn = 2;
constexpr int ProtocolColumn = 3;
constexpr int NameColumnWidth = 100;
constexpr int AddressColumnWidth = 121;
constexpr int PingColumnWidth = 40;
constexpr int ProtocolColumnWidth = 45;
// How long the pointer has to rest on a row before hot tracking selects it.
constexpr int HotTrackDelayMs = 400;

// "description|pattern|description|pattern" as Qt name filters. "*.*" stands for every file,
// also for names without an extension.
QStringList NameFilters(const QString& pairs) {
  const QStringList parts = pairs.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString pattern =
        parts[i + 1] == QStringLiteral("*.*") ? QStringLiteral("*") : parts[i + 1];
    filters << parts[i] + QStringLiteral(" (") + pattern + u')';
  }
  return filters;
}

void PrepareListDialog(QFileDialog& dialog, const QString& title,
                       QFileDialog::AcceptMode acceptMode) {
  dialog.setWindowTitle(title);
  dialog.setAcceptMode(acceptMode);
  // Neither dialog insists that the chosen file exists; the load reports a missing one.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(
      NameFilters(Tfrm_main::tr("Zerval Serverlist [*.zsl]|*.zsl|All Files [*.*]|*.*")));
  dialog.setDefaultSuffix(QStringLiteral("zsl"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
}

bool IsEntryIndex(const TServerList& list, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

// Add and Modify need a name and an address text; false after telling the operator which one
// is missing. Blanks count as text.
bool NameAndAddressGiven(const QString& name, const QString& address) {
  if (name.isEmpty()) {
    ShowMessage(DialogKind::Error, Tfrm_main::tr("Kein Servername eingegeben!!!"));
    return false;
  }
  if (address.isEmpty()) {
    ShowMessage(DialogKind::Error, Tfrm_main::tr("Kein Server IP eingegeben!!!"));
    return false;
  }
  return true;
}

// An entry from the texts of the three edits, each cut to its field.
TServerEntry EntryFromTexts(const QString& name, const QString& address, const QString& password) {
  TServerEntry entry;
  entry.Name = FromDisplay(name);
  entry.Address = FromDisplay(address);
  if (!password.isEmpty()) {
    entry.HasPassword = 1;
    entry.Password = FromDisplay(password);
  }
  return entry;
}

QString ComboText(const TServerEntry& entry, std::uint8_t comboShowsNames) {
  return comboShowsNames != 0 ? ToDisplay(entry.Name) : ToDisplay(entry.Address);
}

// Rebuilds the items of the server combo box from the store and selects item `selected`
// (-1: none). Quietly: no server is selected or queried by a rebuild, and without a selected
// item the box goes on showing the text it showed before.
void RefillServerCombo(QComboBox& combo, const TServerList& list, std::uint8_t comboShowsNames,
                       int selected) {
  const QSignalBlocker quiet(combo);
  const QString shownText = combo.currentText();
  combo.clear();
  for (const TServerEntry& entry : list) combo.addItem(ComboText(entry, comboShowsNames));
  combo.setCurrentIndex(selected);
  if (combo.currentIndex() < 0) combo.setEditText(shownText);
}

void AddRow(QTreeWidget& list, const QString& name, const QString& address) {
  new QTreeWidgetItem(&list, QStringList{name, address, QStringLiteral("0")});
}

// Selecting a row by resting the pointer on it, with a hand cursor over the rows.
void EnableHotTracking(QTreeWidget& list) {
  auto* rest = new QTimer(&list);
  rest->setSingleShot(true);
  rest->setInterval(HotTrackDelayMs);
  auto restingOn = std::make_shared<QPersistentModelIndex>();
  QObject::connect(&list, &QAbstractItemView::entered, rest,
                   [&list, rest, restingOn](const QModelIndex& index) {
                     *restingOn = index;
                     list.viewport()->setCursor(Qt::PointingHandCursor);
                     rest->start();
                   });
  QObject::connect(&list, &QAbstractItemView::viewportEntered, rest, [&list, rest] {
    list.viewport()->unsetCursor();
    rest->stop();
  });
  QObject::connect(rest, &QTimer::timeout, &list, [&list, restingOn] {
    if (restingOn->isValid() && list.viewport()->underMouse()) list.setCurrentIndex(*restingOn);
  });
}

void DisarmRemove(QPushButton& remove) {
  Tfrm_main::SetTag(&remove, -1);
  remove.setEnabled(false);
}

}  // namespace

void Tfrm_main::SetupEditor() {
  QTreeWidget* list = uiOptions.lw_serverlist;
  list->setColumnWidth(NameColumn, NameColumnWidth);
  list->setColumnWidth(AddressColumn, AddressColumnWidth);
  list->setColumnWidth(PingColumn, PingColumnWidth);
  list->setColumnWidth(ProtocolColumn, ProtocolColumnWidth);
  list->header()->setSectionsClickable(false);
  EnableHotTracking(*list);
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this, list](const QItemSelection& selected, const QItemSelection& deselected) {
            for (const QModelIndex& index : deselected.indexes())
              if (index.column() == NameColumn)
                lw_serverlistSelectItem(list->topLevelItem(index.row()), false);
            for (const QModelIndex& index : selected.indexes())
              if (index.column() == NameColumn)
                lw_serverlistSelectItem(list->topLevelItem(index.row()), true);
          });

  connect(uiOptions.ed_servername, &QLineEdit::textChanged, this,
          [this] { ed_servernameChange(); });
  connect(uiOptions.ed_ip, &QLineEdit::textChanged, this, [this] { ed_ipChange(); });
  connect(uiOptions.ed_rconpwd, &QLineEdit::textChanged, this, [this] { ed_rconpwdChange(); });
  connect(uiOptions.btn_add, &QPushButton::clicked, this, [this] { btn_addClick(); });
  connect(uiOptions.btn_mod, &QPushButton::clicked, this, [this] { btn_modClick(); });
  connect(uiOptions.btn_remove, &QPushButton::clicked, this, [this] { btn_removeClick(); });
  connect(uiOptions.btn_openserverlist, &QPushButton::clicked, this,
          [this] { btn_openserverlistClick(); });
  connect(uiOptions.btn_saveslist, &QPushButton::clicked, this, [this] { btn_saveslistClick(); });

  PrepareListDialog(dlg_openfile, tr("Open Serverlist"), QFileDialog::AcceptOpen);
  PrepareListDialog(dlgSavefile, tr("Save Serverlist"), QFileDialog::AcceptSave);
}

void Tfrm_main::FillServerList() {
  QTreeWidget* list = uiOptions.lw_serverlist;
  list->clear();
  const int count = static_cast<int>(ServerList.size());
  int selected = ui.cb_servers->currentIndex();
  if (selected >= count) selected = count - 1;
  for (const TServerEntry& entry : ServerList)
    AddRow(*list, ToDisplay(entry.Name), ToDisplay(entry.Address));
  RefillServerCombo(*ui.cb_servers, ServerList, Options.ComboShowsNames, selected);
  FillOverview();
}

void Tfrm_main::FillServerCombo() {
  RefillServerCombo(*ui.cb_servers, ServerList, Options.ComboShowsNames,
                    ui.cb_servers->currentIndex());
}

void Tfrm_main::btn_addClick() {
  const QString name = uiOptions.ed_servername->text();
  const QString address = uiOptions.ed_ip->text();
  if (!NameAndAddressGiven(name, address)) return;
  ServerList.push_back(EntryFromTexts(name, address, uiOptions.ed_rconpwd->text()));
  ListChanged = true;
  AddRow(*uiOptions.lw_serverlist, name, address);
  {
    const QSignalBlocker quiet(ui.cb_servers);
    ui.cb_servers->addItem(Options.ComboShowsNames != 0 ? name : address);
    ui.cb_servers->setCurrentIndex(ui.cb_servers->count() - 1);
  }
  FillOverview();
  cb_serversChange();
  QSpinBox* startupServer = uiOptions.ud_queryserver;
  startupServer->setMaximum(static_cast<int>(ServerList.size()));
  startupServer->setMinimum(1);
  startupServer->setValue(1);
}

void Tfrm_main::btn_modClick() {
  const QString name = uiOptions.ed_servername->text();
  const QString address = uiOptions.ed_ip->text();
  if (!NameAndAddressGiven(name, address)) return;
  const int index = TagOf(uiOptions.btn_mod);
  if (!IsEntryIndex(ServerList, index)) return;
  ServerList[static_cast<std::size_t>(index)] =
      EntryFromTexts(name, address, uiOptions.ed_rconpwd->text());
  ListChanged = true;
  QTreeWidgetItem* row = uiOptions.lw_serverlist->topLevelItem(index);
  row->setText(NameColumn, name);
  row->setText(AddressColumn, address);
  row->setText(PingColumn, QStringLiteral("0"));
  {
    // Replacing the text in place keeps a selected item selected, so the query below goes to
    // the modified server.
    const QSignalBlocker quiet(ui.cb_servers);
    ui.cb_servers->setItemText(index, Options.ComboShowsNames != 0 ? name : address);
  }
  ui.cb_servers->update();
  FillOverview();
  cb_serversChange();
}

void Tfrm_main::btn_removeClick() {
  const int index = TagOf(uiOptions.btn_remove);
  if (!IsEntryIndex(ServerList, index)) return;
  DeleteServer(ServerList, index);
  ListChanged = true;
  FillServerList();
  uiOptions.ed_servername->clear();
  uiOptions.ed_ip->clear();
  uiOptions.ed_rconpwd->clear();
  uiOptions.btn_remove->setEnabled(false);
  if (ui.cb_servers->currentIndex() < 0) {
    // Back to the start situation. Unchecking the auto query runs its handler first, while
    // the flags below still hold.
    if (ui.cb_autoQuery->isChecked()) ui.cb_autoQuery->setChecked(false);
    {
      const QSignalBlocker quiet(ui.cb_servers);
      ui.cb_servers->setCurrentIndex(-1);
      ui.cb_servers->setEditText(tr("kein Server gewählt"));
    }
    CurrentServer.RconEnabled = false;
    ui.cb_rconctrl->setChecked(false);
    CurrentServer.ServerSelected = false;
    uiDetails.sg_details->clearContents();
  }
  SetTag(uiOptions.btn_remove, -1);
}

void Tfrm_main::lw_serverlistSelectItem(QTreeWidgetItem* item, bool selected) {
  if (ServerList.empty() || !selected || item == nullptr) return;
  const int index = uiOptions.lw_serverlist->indexOfTopLevelItem(item);
  if (!IsEntryIndex(ServerList, index)) return;
  // A copy: the edits' change handlers run while the texts are set.
  const TServerEntry entry = ServerList[static_cast<std::size_t>(index)];
  uiOptions.ed_servername->setText(ToDisplay(entry.Name));
  uiOptions.ed_ip->setText(ToDisplay(entry.Address));
  uiOptions.ed_rconpwd->setText(ToDisplay(entry.Password));
  uiOptions.btn_remove->setEnabled(true);
  SetTag(uiOptions.btn_remove, index);
  uiOptions.btn_mod->setEnabled(true);
  SetTag(uiOptions.btn_mod, index);

  // A row selected while an echo still waits is not pinged: the waiting echo's answer must
  // land in the row it was sent for.
  if (icmpPing.IsBusy()) return;
  const QString address = uiOptions.ed_ip->text();
  const qsizetype colon = address.indexOf(u':');
  const QString host = colon < 0 ? QString() : address.left(colon);
  const QPersistentModelIndex pinged(uiOptions.lw_serverlist->model()->index(index, NameColumn));
  icmpPing.Tag = index;
  const std::uint32_t roundTripMs = icmpPing.Ping(FromDisplay(host));
  // Remove, Load and Modify may have rebuilt or rewritten the rows while the echo waited: the
  // time goes to the row it was sent for, or nowhere.
  const QTreeWidgetItem* row = uiOptions.lw_serverlist->topLevelItem(pinged.row());
  const bool sameRow = pinged.isValid() && row != nullptr && row->text(AddressColumn) == address;
  icmpPing.Tag = sameRow ? pinged.row() : -1;
  icmpPingReply(roundTripMs);
}

void Tfrm_main::icmpPingReply(std::uint32_t roundTripMs) {
  if (QTreeWidgetItem* row = uiOptions.lw_serverlist->topLevelItem(icmpPing.Tag))
    row->setText(PingColumn, QString::number(roundTripMs));
}

void Tfrm_main::ed_servernameChange() {
  DisarmRemove(*uiOptions.btn_remove);
}

void Tfrm_main::ed_ipChange() {
  DisarmRemove(*uiOptions.btn_remove);
}

void Tfrm_main::ed_rconpwdChange() {
  DisarmRemove(*uiOptions.btn_remove);
}

void Tfrm_main::btn_openserverlistClick() {
  PrepareListFolder(dlg_openfile);
  const QString fileName = Dialogs().ChooseFile(dlg_openfile);
  if (fileName.isEmpty()) return;
  // The file is read into a list of its own, which replaces the store only when the whole
  // file was read: a file that cannot be opened or is refused leaves the old list in store
  // and views, and its error goes on to the top-level handler.
  TServerList loaded;
  LoadServerList(loaded, fileName);
  ServerList.swap(loaded);
  ListFile = fileName;
  ListChanged = false;
  FillServerList();
}

void Tfrm_main::btn_saveslistClick() {
  PrepareListFolder(dlgSavefile);
  const QString fileName = Dialogs().ChooseFile(dlgSavefile);
  if (!fileName.isEmpty()) SaveListTo(fileName);
}

void Tfrm_main::SaveListTo(const QString& fileName) {
  SaveServerList(ServerList, fileName);
  ListFile = fileName;
  ListChanged = false;
}

void Tfrm_main::PrepareListFolder(QFileDialog& dialog) {
  if (!ListFile.isEmpty()) return;
  // The per-user folder may not exist before the first "Save Options"; a dialog pointed at a
  // missing folder would fall back to the working directory.
  if (!OptionsFolder.isEmpty()) QDir().mkpath(OptionsFolder);
  dialog.setDirectory(OptionsFolder.isEmpty() ? QDir::currentPath() : OptionsFolder);
}
