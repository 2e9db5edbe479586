// The options on the right of the Options page.
//
// The display style is a pick list of its two choices ("IP", "Servername"), so no typed text
// can leave it without one. It acts on the operator's choice only: ApplyOptionsToUI selects an
// item without running the change handler.
//
// The query protocol has no room in the fixed layout of "config.dat", so it is kept in the
// settings file "zerval.ini" (main_settings.cpp). The two files go together: both are read from
// one folder at start and written back there by "Save Options", both or neither. That folder is
// the working directory when it holds a "config.dat", so set-ups that keep their options there
// go on working; otherwise the per-user folder, so a program started from a desktop launcher, or
// installed where its user may not write, keeps its options. Like the time-out, the protocol
// acts at once and reaches the file only with "Save Options", so trying another protocol on one
// server leaves the next start as it was.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>
#include <QString>
#include <QStyle>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "application.h"
#include "displaytext.h"
#include "main.h"
#include "platform/dialogs.h"
#include "platform/ownaddresses.h"
#include "store/mytypes.h"
#include "store/savefiles.h"
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

const QString OptionsFileName = QStringLiteral("config.dat");

// The items of cb_protocol, in this order: "Auto", "Classic", "Steam (A2S)".
std::optional<WireProtocol> ProtocolOfItem(int index) {
  if (index == 1) return WireProtocol::Classic;
  if (index == 2) return WireProtocol::A2s;
  return std::nullopt;
}

int ItemOfProtocol(std::optional<WireProtocol> protocol) {
  if (!protocol) return 0;
  return *protocol == WireProtocol::Classic ? 1 : 2;
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
  connect(uiOptions.cb_protocol, &QComboBox::activated, this, [this] { cb_protocolChange(); });
  connect(uiOptions.ud_timeout, &QSpinBox::valueChanged, this, [this] { ud_timeoutChanging(); });
  connect(uiOptions.cb_tray, &QCheckBox::toggled, this, [this] { cb_trayClick(); });
  connect(uiOptions.btn_saveoptions, &QPushButton::clicked, this,
          [this] { btn_saveoptionsClick(); });
}

QString Tfrm_main::OptionsFile(const QString& name) const {
  return OptionsFolder.isEmpty() ? name : QDir(OptionsFolder).filePath(name);
}

void Tfrm_main::LoadOptionFiles() {
  OptionsFolder =
      QFile::exists(OptionsFileName)
          ? QString()
          : QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                .filePath(QStringLiteral("zerval"));
  if (QFile::exists(OptionsFile(OptionsFileName))) {
    // An unreadable options file is reported, and the window still opens with the defaults.
    try {
      LoadOptions(Options, OptionsFile(OptionsFileName));
    } catch (const EZerval& error) {
      ShowErrorBox(error);
    }
  }
  LoadSettingsFile();
}

void Tfrm_main::ApplyOptionsToUI() {
  uiOptions.ud_timeout->setValue(LowerWordSigned(Options.Timeout));
  uiOptions.cb_protocol->setCurrentIndex(ItemOfProtocol(ProtocolChoice));
  uiOptions.cb_optcbstyle->setCurrentIndex(Options.ComboShowsNames != 0 ? 1 : 0);
  uiOptions.ed_serverfile->setText(ToDisplay(Options.StandardListFile));
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
  PrepareListFolder(dlg_openfile);
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
    ui.cb_servers->setEditText(Options.ComboShowsNames != 0 ? ToDisplay(entry.Name)
                                                            : ToDisplay(entry.Address));
  }
}

void Tfrm_main::ud_timeoutChanging() {
  UDPClient.SetReceiveTimeout(uiOptions.ud_timeout->value());
}

void Tfrm_main::cb_protocolChange() {
  SetProtocolChoice(ProtocolOfItem(uiOptions.cb_protocol->currentIndex()));
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
  // A folder that cannot be made shows as the options file that cannot be created.
  if (!OptionsFolder.isEmpty()) QDir().mkpath(OptionsFolder);
  SaveOptions(Options, OptionsFile(OptionsFileName),
              {{SettingsFilePath(), SettingsFileBytes(true)}});
  RememberedWritten = RememberedText();
}
