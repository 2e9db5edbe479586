// Which console the selected server speaks, and its TCP session.
//
// A server with a console password speaks either the classic console in UDP datagrams or today's
// over TCP. At its first selection both are tried together (ConsoleRace): the classic challenge
// request and a TCP connection; a challenge reply means the classic console, an accepted
// connection the TCP console once a grace for a challenge reply has passed. The answer is kept
// per address and port in "zerval.ini", section [Consoles], written with the options and when the
// program ends; a server whose remembered console stops answering is tried afresh at its next
// selection. Over TCP one connection serves the selected server while it stays selected.
#include <QString>
#include <memory>
#include <optional>
#include <string>

#include "application.h"
#include "language.h"
#include "main.h"
#include "platform/dialogs.h"
#include "protocol/consoleprobe.h"
#include "protocol/steadyclock.h"
#include "store/mytypes.h"

namespace {

std::string KindName(ConsoleKind kind) {
  return kind == ConsoleKind::Tcp ? "TCP" : "klassisch (UDP)";
}

Micros Timeout(const UdpExchange& exchange) {
  return static_cast<Micros>(exchange.ReceiveTimeout()) * 1000;
}

}  // namespace

void Tfrm_main::CloseConsole() {
  Rcon.reset();
}

void Tfrm_main::NoteConsole(ConsoleKind kind, const std::string& how) {
  const std::string key = CurrentServerKey();
  if (Consoles.Kind(key) != kind) {
    Consoles.Learn(key, kind, SteadyMicros());
    ShowKnownProtocol(ui.cb_servers->currentIndex());
  }
  AddStatusLine("Rcon-Konsole von " + key + ": " + KindName(kind) + " (" + how + ")");
}

void Tfrm_main::ForgetConsole() {
  const std::string key = CurrentServerKey();
  if (!Consoles.Kind(key)) return;
  Consoles.Forget(key);
  ShowKnownProtocol(ui.cb_servers->currentIndex());
  AddStatusLine("Rcon-Konsole von " + key + " antwortet nicht: bei der nächsten Wahl neu gesucht");
}

bool Tfrm_main::OpenConsole() {
  const std::optional<ConsoleKind> known = Consoles.Kind(CurrentServerKey());
  if (known == ConsoleKind::Udp) {
    NoteConsole(ConsoleKind::Udp, "gemerkt");
    if (UDPClient.QueryChallenge(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log, false,
                                 std::string()))
      return true;
    ForgetConsole();
    return false;
  }
  const QHostAddress address = ResolveHost(CurrentServer.HostIP);
  const auto port = static_cast<quint16>(CurrentServer.Port);
  if (known == ConsoleKind::Tcp) {
    NoteConsole(ConsoleKind::Tcp, "gemerkt");
    Rcon =
        std::make_unique<RconLink>(address, port, CurrentServer.RconPassword, Timeout(UDPClient));
    return AuthenticateConsole();
  }
  ConsoleProbe probe(address, port, Timeout(UDPClient));
  connect(&probe, &ConsoleProbe::changed, &UDPClient, &UdpExchange::Wake);
  if (UDPClient.QueryChallengeRaced(CurrentServer.HostIP, CurrentServer.Port, CurrentServer.Log,
                                    std::string(), probe)) {
    probe.ChallengeAnswered();
    NoteConsole(ConsoleKind::Udp, "gefunden");
    return true;
  }
  if (probe.State() != ConsoleRace::State::Tcp) return false;
  NoteConsole(ConsoleKind::Tcp, "gefunden");
  Rcon = std::make_unique<RconLink>(address, port, CurrentServer.RconPassword, Timeout(UDPClient));
  Rcon->Adopt(probe.TakeConnection());
  return AuthenticateConsole();
}

// In place of the challenge and its console line. A refused password leaves the selection
// going, as a refused console line does on the classic console.
bool Tfrm_main::AuthenticateConsole() {
  const std::string key = CurrentServerKey();
  if (Consoles.RefusedRecently(key, SteadyMicros())) {
    AddStatusLine("Rcon-Passwort vor kurzem abgelehnt: nicht wieder gesendet");
    return true;
  }
  const RconResult result =
      UDPClient.AwaitConsole(*Rcon, Rcon->Authenticate(), CurrentServer.Log, true, true);
  if (result.end == RconEnd::WrongPassword) Consoles.NoteRefusal(key, SteadyMicros());
  if (result.end == RconEnd::Complete || result.end == RconEnd::WrongPassword) return true;
  ForgetConsole();
  return false;
}

RconResult Tfrm_main::RunTcpCommand(const std::string& command, const LogCallback& log,
                                    bool waitDialog, bool reportTimeout) {
  const std::string key = CurrentServerKey();
  // Servers ban addresses that send wrong passwords again and again.
  if (Consoles.RefusedRecently(key, SteadyMicros()))
    return RconResult{0, command, RconEnd::WrongPassword, {}, {}};
  const RconResult result =
      UDPClient.AwaitConsole(*Rcon, Rcon->Submit(command), log, waitDialog, reportTimeout);
  if (result.end == RconEnd::WrongPassword) Consoles.NoteRefusal(key, SteadyMicros());
  if (result.end == RconEnd::NotSent)
    ShowMessage(DialogKind::Error, tr("Rcon-Befehl nicht gesendet: länger als %1 Bytes!")
                                       .arg(FormatCount(RconSession::MaxBodyBytes)));
  return result;
}
