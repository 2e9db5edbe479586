// The options on the right of the Options page.
//
// The display style is a pick list of its two choices ("IP", "Servername"), so no typed text
// can leave it without one. It acts on the operator's choice only: ApplyOptionsToUI selects an
// item without running the change handler.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <QStyle>
#include <cstddef>
#include <cstdint>
#include <string>

#include "displaytext.h"
#include "main.h"
#include "platform/dialogs.h"
#include "platform/ownaddresses.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

// The up-downs take an option's lower 16 bits, signed; the spin box then keeps the value within
// its range.
int LowerWordSigned(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

// The edit inside a spin box, named as the buddy edit it stands for.
void NameBuddyEdit(QSpinBox& upDown, const QString& name) {
  if (auto* edit = upDown.findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
    edit->setObjectName(name);
}

bool NamesStandardList(const QString& text) {
  const std::string name = Trim(FromDisplay(text));
  return !name.empty() && name != "none";
}

}  // namespace

void Tfrm_main::SetupOptions() {
  NameBuddyEdit(*uiOptions.ud_timeout, QStringLiteral("ed_timeout"));
  NameBuddyEdit(*uiOptions.ud_queryserver, QStringLiteral("ed_quser"));
  uiOptions.SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));

  connect(uiOptions.SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(uiOptions.ed_serverfile, &QLineEdit::textChanged, this,
          [this] { ed_serverfileChange(); });
  connect(uiOptions.cb_optcbstyle, &QComboBox::activated, this, [this] { cb_optcbstyleChange(); });
  connect(uiOptions.ud_timeout, &QSpinBox::valueChanged, this, [this] { ud_timeoutChanging(); });
  connect(uiOptions.cb_tray, &QCheckBox::toggled, this, [this] { cb_trayClick(); });
  connect(uiOptions.btn_saveoptions, &QPushButton::clicked, this,
          [this] { btn_saveoptionsClick(); });
}

void Tfrm_main::ApplyOptionsToUI() {
  uiOptions.ud_timeout->setValue(LowerWordSigned(Options.Timeout));
  uiOptions.cb_optcbstyle->setCurrentIndex(Options.ComboShowsNames != 0 ? 1 : 0);
  uiOptions.ed_serverfile->setText(ToDisplay(Options.StandardListFile.view()));
  uiOptions.cb_loadslist->setChecked(Options.LoadListOnStartup != 0);
  uiOptions.cb_Startupquery->setChecked(Options.QueryOnStartup != 0);
  // The range comes first: a spin box clamps its value to the range it has, so a start-up
  // server beyond the range left by the first showing would be lost at the next save.
  if (ServerList.size() > 1) {
    uiOptions.ud_queryserver->setMaximum(static_cast<int>(ServerList.size()));
    uiOptions.ud_queryserver->setMinimum(1);
  }
  uiOptions.ud_queryserver->setValue(LowerWordSigned(Options.StartupServer));
  uiOptions.cb_tray->setChecked(Options.TrayIcon != 0);
  // A dotted address resolves to itself, so the own addresses are listed as they are.
  QComboBox* ownAddresses = uiOptions.cb_ip;
  for (const std::string& address : OwnIPv4Addresses())
    ownAddresses->addItem(QString::fromStdString(address));
  ownAddresses->setCurrentIndex(ownAddresses->count() - 1);
}

void Tfrm_main::SpeedButton2Click() {
  const QString fileName = Dialogs().ChooseFile(dlg_openfile);
  if (!fileName.isEmpty()) uiOptions.ed_serverfile->setText(fileName);
}

void Tfrm_main::ed_serverfileChange() {
  const bool hasStandardList = NamesStandardList(uiOptions.ed_serverfile->text());
  if (!hasStandardList) {
    uiOptions.cb_loadslist->setChecked(false);
    uiOptions.cb_Startupquery->setChecked(false);
  }
  uiOptions.cb_loadslist->setEnabled(hasStandardList);
  uiOptions.cb_Startupquery->setEnabled(hasStandardList);
  uiOptions.ud_queryserver->setEnabled(hasStandardList);
}

void Tfrm_main::cb_optcbstyleChange() {
  Options.ComboShowsNames = uiOptions.cb_optcbstyle->currentIndex() == 0 ? 0 : 1;
  FillServerCombo();
  const int selected = ui.cb_servers->currentIndex();
  if (selected >= 0 && static_cast<std::size_t>(selected) < ServerList.size()) {
    const TServerEntry& entry = ServerList[static_cast<std::size_t>(selected)];
    const QSignalBlocker quiet(ui.cb_servers);
    ui.cb_servers->setEditText(
        ToDisplay(Options.ComboShowsNames != 0 ? entry.Name.view() : entry.Address.view()));
  }
}

void Tfrm_main::ud_timeoutChanging() {
  UDPClient.SetReceiveTimeout(uiOptions.ud_timeout->value());
}

void Tfrm_main::cb_trayClick() {
  Options.TrayIcon = uiOptions.cb_tray->isChecked() ? 1 : 0;
}

void Tfrm_main::btn_saveoptionsClick() {
  const bool queryOnStartup = uiOptions.cb_Startupquery->isChecked();
  Options.QueryOnStartup = queryOnStartup ? 1 : 0;
  Options.StartupServer = queryOnStartup ? uiOptions.ud_queryserver->value() : -1;
  Options.ComboShowsNames = uiOptions.cb_optcbstyle->currentIndex() == 0 ? 0 : 1;
  Options.LoadListOnStartup = uiOptions.cb_loadslist->isChecked() ? 1 : 0;
  const QString listFile = uiOptions.ed_serverfile->text();
  Options.StandardListFile =
      listFile == QStringLiteral("keine") ? std::string() : FromDisplay(listFile);
  Options.Timeout = uiOptions.ud_timeout->value();
  SaveOptions(Options,
              QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("config.dat")));
}
