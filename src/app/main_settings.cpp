// The settings file "zerval.ini" (zervalini.h) and each server's own query protocol.
//
// "Save Options" writes the whole file with "config.dat". What the window remembers of its
// servers (the [Servers] section) is written then and also when the program ends, so that what a
// run found is not lost without a save; the other settings then stay as they were saved.
//
// The protocol of a selection: the one the Options page forces, else the one remembered for the
// server's address and port, else the one found at a first contact (UdpExchange). A server that
// does not answer in its remembered protocol at two selections in a row is forgotten and found
// afresh at the next one (ProtocolMemory).
#include <QDir>
#include <QFileInfo>
#include <optional>
#include <string>

#include "application.h"
#include "main.h"
#include "protocol/steadyclock.h"
#include "store/savefiles.h"
#include "zervalini.h"

namespace {

QueryProtocol QueryProtocolOf(WireProtocol protocol) {
  return protocol == WireProtocol::A2s ? QueryProtocol::Steam : QueryProtocol::Classic;
}

}  // namespace

QString Tfrm_main::SettingsFilePath() const {
  return OptionsFile(QStringLiteral("zerval.ini"));
}

void Tfrm_main::LoadSettingsFile() {
  const QString fileName = SettingsFilePath();
  // Like an unreadable "config.dat", a bad settings file is reported and its defaults hold.
  try {
    const IniFile file = ReadSettingsFile(fileName);
    ReadRememberedServers(file);
    RememberedWritten = RememberedText();
    Watch = OverviewSetting(file);
    SetProtocolChoice(ProtocolSetting(file, fileName));
  } catch (const EZerval& error) {
    ShowErrorBox(error);
  }
}

void Tfrm_main::ReadRememberedServers(const IniFile& file) {
  ReadServerProtocols(file, ServerProtocols);
  ReadServerConsoles(file, Consoles, SteadyMicros());
}

void Tfrm_main::PutRememberedServers(IniFile& file) const {
  PutServerProtocols(file, ServerProtocols);
  PutServerConsoles(file, Consoles);
}

std::string Tfrm_main::RememberedText() const {
  IniFile file;
  PutRememberedServers(file);
  return file.Text();
}

std::string Tfrm_main::SettingsFileBytes(bool withOptions) const {
  // Something else in the file's place is for the save to report: it cannot be replaced.
  IniFile file =
      QFileInfo(SettingsFilePath()).isFile() ? ReadSettingsFile(SettingsFilePath()) : IniFile();
  if (withOptions) {
    PutProtocolSetting(file, ProtocolChoice);
    PutOverviewSetting(file, WatchSettingsShown());
  }
  PutRememberedServers(file);
  return file.Text();
}

void Tfrm_main::SaveRememberedServers() {
  // Unchanged, the file stays as it is: another instance or the operator may have written it.
  const std::string remembered = RememberedText();
  if (remembered == RememberedWritten) return;
  try {
    if (!OptionsFolder.isEmpty()) QDir().mkpath(OptionsFolder);
    SaveFilesTogether({{SettingsFilePath(), SettingsFileBytes(false)}});
    RememberedWritten = remembered;
  } catch (const EZerval& error) {
    ShowErrorBox(error);
  }
}

void Tfrm_main::SetProtocolChoice(std::optional<WireProtocol> protocol) {
  ProtocolChoice = protocol;
  if (!protocol) protocol = ServerProtocols.Known(CurrentServerKey());
  if (protocol) UDPClient.SetProtocol(QueryProtocolOf(*protocol));
}

std::string Tfrm_main::CurrentServerKey() const {
  return CurrentServer.HostIP + ":" + std::to_string(CurrentServer.Port);
}

bool Tfrm_main::QueryDetailsInOwnProtocol() {
  const std::string key = CurrentServerKey();
  const std::optional<WireProtocol> remembered = ServerProtocols.Known(key);
  std::optional<WireProtocol> protocol = ProtocolChoice ? ProtocolChoice : remembered;
  if (protocol) {
    UDPClient.SetProtocol(QueryProtocolOf(*protocol));
    if (!UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port, "details",
                               CurrentServer.Log, true)) {
      if (remembered == protocol) ServerProtocols.Missed(key);
      ReportToOverview(ui.cb_servers->currentIndex(), false);
      return false;
    }
  } else {
    protocol = UDPClient.QueryFirstContact(CurrentServer.HostIP, CurrentServer.Port,
                                           CurrentServer.Log, true);
    if (!protocol) {
      ReportToOverview(ui.cb_servers->currentIndex(), false);
      return false;
    }
    UDPClient.SetProtocol(QueryProtocolOf(*protocol));
  }
  ServerProtocols.Answered(key, *protocol);
  ReportToOverview(ui.cb_servers->currentIndex(), true);
  return true;
}
