// Server selection and the query cycle.
//
// Re-entry: an exchange waits for its reply in a nested event loop, and the exchange refuses
// to start a second one meanwhile. The operator's choices (a server, a page, Refresh) arriving
// then run once the wait is over, in their order (ActionQueue); a timer tick arriving then is
// skipped, since a refused request would count as a missing reply and stop the timer.
#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QString>
#include <QTabWidget>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "main.h"
#include "platform/dialogs.h"
#include "store/IPfuncs.h"
#include "store/mytypes.h"

namespace {

QString NoServerWarning() {
  return Tfrm_main::tr("Kein Server gewählt!!!");
}
constexpr int MillisecondsPerSecond = 1000;
constexpr std::int32_t MaxUdpPort = 65535;

struct QueryAddress {
  std::string HostIP;
  std::int32_t Port = 0;
};

// The IP and port of an entry's address. Raises for an address that cannot be queried, before
// anything of the current server is changed: one without an IP part or with a port outside
// the UDP range is refused like a malformed one.
QueryAddress SplitAddress(std::string_view text) {
  QueryAddress address;
  address.HostIP = ExtractIP(text);
  address.Port = ExtractPort(text);
  if (address.HostIP.empty()) throw EInvalidIP();
  if (address.Port < 1 || address.Port > MaxUdpPort) throw EInvalidHostString();
  return address;
}

// The requests of a selection in their order, each sent only after the one before was
// answered. False at the first request without a reply.
bool QuerySelection(Tfrm_main& window, const TServerEntry& entry) {
  TCurrentServer& server = window.CurrentServer;
  // A password, a challenge and a console connection belong to their server; none may reach
  // another one.
  server.Challenge.clear();
  window.CloseConsole();
  if (entry.HasPassword != 0) {
    server.RconEnabled = true;
    server.RconPassword = entry.Password.str();
    // Console lines never go to a broadcast address, nor without a password, so a challenge
    // would serve nothing there; the console actions tell the operator why.
    if (server.RconPassword.empty()) {
      if (server.Log) server.Log("Kein Rcon-Passwort: keine Rcon-Challenge angefordert");
    } else if (IsBroadcastHost(server.HostIP)) {
      if (server.Log) server.Log("Broadcast-Adresse: keine Rcon-Challenge angefordert");
    } else if (!window.OpenConsole()) {
      return false;
    }
  } else {
    server.RconEnabled = false;
    server.RconPassword.clear();
  }
  if (!window.QueryDetailsInOwnProtocol()) return false;
  for (const char* request : {"players", "rules"})
    if (!window.UDPClient.QueryServer(server.HostIP, server.Port, request, server.Log, true))
      return false;
  return true;
}

// The auto query period in seconds; a text that is no number counts as the minimum.
int AutoQuerySeconds(const QSpinBox& period) {
  bool isNumber = false;
  const int seconds = period.cleanText().toInt(&isNumber);
  if (!isNumber) return period.minimum();
  return std::clamp(seconds, period.minimum(), period.maximum());
}

// The request that brings a result page up to date, by the page's Tag; empty for other pages.
std::string PageRequest(int tag) {
  switch (tag) {
    case 1:
      return "details";
    case 2:
      return "players";
    case 3:
      return "rules";
    default:
      return {};
  }
}

}  // namespace

void Tfrm_main::cb_serversChange() {
  const int index = ui.cb_servers->currentIndex();
  if (index < 0 || index >= static_cast<int>(ServerList.size())) return;
  actions.Run([this, index] { SelectServer(index); });
}

void Tfrm_main::SelectServer(int index) {
  if (index < 0 || index >= static_cast<int>(ServerList.size())) return;
  // A selection that failed while this one was kept has cleared the combo.
  ui.cb_servers->setCurrentIndex(index);
  // A copy: the list may change while the exchanges wait.
  const TServerEntry entry = ServerList[static_cast<std::size_t>(index)];
  const QueryAddress address = SplitAddress(entry.Address.view());
  CurrentServer.HostIP = address.HostIP;
  CurrentServer.Port = address.Port;

  // A cancelled selection is no selection either: nothing of it stays current.
  try {
    if (QuerySelection(*this, entry)) {
      CurrentServer.ServerSelected = true;
      if (CurrentServer.RconEnabled) QueryRconStatus();
    } else {
      // A missing "rules" reply deselects like the other steps: a half-answered server does
      // not count as selected.
      Deselect();
    }
  } catch (const ExchangeCancelled&) {
    Deselect();
    throw;
  }
  ui.cb_rconctrl->setChecked(CurrentServer.RconEnabled);
}

// A failed selection goes back to the start situation: besides the combo and the console flag
// it clears ServerSelected and switches the auto query off, so that neither the pages, the timer
// nor Refresh go on querying an address whose selection failed. The box is unchecked quietly:
// this is no attempt of the operator to switch the auto query.
void Tfrm_main::Deselect() {
  ui.cb_servers->setCurrentIndex(-1);
  ui.cb_servers->setEditText(tr("kein Server gewählt"));
  CurrentServer.RconEnabled = false;
  CurrentServer.ServerSelected = false;
  CloseConsole();
  querytimer.stop();
  const QSignalBlocker quiet(ui.cb_autoQuery);
  ui.cb_autoQuery->setChecked(false);
  ui.cb_rconctrl->setChecked(false);
}

void Tfrm_main::cb_rconctrlClick() {
  ui.cb_rconctrl->setChecked(CurrentServer.RconEnabled);
}

void Tfrm_main::pc_ServerChange() {
  const QWidget* page = ui.pc_Server->currentWidget();
  if (page == nullptr || PageRequest(TagOf(page)).empty()) return;
  actions.Run([this, tag = TagOf(page)] { QueryPage(tag); });
}

void Tfrm_main::QueryPage(int tag) {
  const std::string request = PageRequest(tag);
  if (!CurrentServer.ServerSelected) {
    ShowMessage(DialogKind::Warning, NoServerWarning());
    return;
  }
  if (querytimer.isActive()) return;
  UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port, request, CurrentServer.Log, true);
  if (request == "players" && CurrentServer.RconEnabled) QueryRconStatus();
}

void Tfrm_main::cb_autoQueryClick() {
  QCheckBox* box = ui.cb_autoQuery;
  if (!CurrentServer.ServerSelected) {
    // Unchecking the box below runs this handler once more; the Tag lets only one of the two
    // calls warn.
    if (TagOf(box) == 1) {
      ShowMessage(DialogKind::Warning, NoServerWarning());
      SetTag(box, 0);
    } else {
      SetTag(box, 1);
    }
    box->setChecked(false);
    return;
  }
  if (!box->isChecked()) {
    querytimer.stop();
    return;
  }
  querytimer.setInterval(AutoQuerySeconds(*ui.ed_autoquery) * MillisecondsPerSecond);
  querytimerTimer();
  // The operator may have unchecked the box, or the server may have gone, while the first tick
  // waited; the timer runs even after a failed first tick.
  if (box->isChecked() && CurrentServer.ServerSelected) querytimer.start();
}

void Tfrm_main::querytimerTimer() {
  // The operator's actions go first.
  if (UDPClient.IsBusy() || !actions.IsIdle()) return;
  for (const char* request : {"details", "players", "rules"}) {
    const bool answered = UDPClient.QueryServerEx(CurrentServer.HostIP, CurrentServer.Port, request,
                                                  CurrentServer.Log, true, false);
    // The overview takes the auto query's details in place of its own sweep's.
    if (request == PageRequest(1)) ReportToOverview(ui.cb_servers->currentIndex(), answered);
    if (!answered) {
      querytimer.stop();
      return;
    }
  }
  CurrentServer.ServerSelected = true;
}

void Tfrm_main::btn_refreshClick() {
  actions.Run([this] { RefreshPlayers(); });
}

void Tfrm_main::RefreshPlayers() {
  if (!CurrentServer.ServerSelected || querytimer.isActive()) return;
  ClearPlayerDetails();
  UDPClient.QueryServer(CurrentServer.HostIP, CurrentServer.Port, "players", CurrentServer.Log,
                        true);
  if (CurrentServer.RconEnabled) QueryRconStatus();
}
