// The datagram exchange against a UDP peer on 127.0.0.1.
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>

#include "floodpeer.h"
#include "protocol/UDPIOfuncs.h"
#include "protocol/datafuncs.h"
#include "udppeer.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

// Records what the exchange shows and where replies go, in one sequence with the log lines.
class Recorder : public ExchangeUi, public ReplyTarget {
 public:
  std::vector<std::string> events;
  std::vector<TDetailInfo> details;
  std::vector<TPlayerList> players;
  std::function<void()> duringTimeoutDialog;

  std::shared_ptr<void> OpenWaitDialog() override {
    events.push_back("wait open");
    return std::shared_ptr<void>(this, [this](void*) { events.push_back("wait close"); });
  }
  void PlayTimeoutSound() override { events.push_back("sound"); }
  void ShowTimeoutDialog() override {
    events.push_back("timeout dialog");
    if (duringTimeoutDialog) duringTimeoutDialog();
  }
  void UpdateByteCounter() override { events.push_back("counter"); }
  void ShowDetails(const TDetailInfo& info) override { details.push_back(info); }
  void ShowPlayers(const TPlayerList& list) override { players.push_back(list); }
  void ShowRules(const TRuleList&) override { events.push_back("rules"); }
  void AppendConsoleLine(const std::string& line) override { events.push_back("console " + line); }

  LogCallback log() {
    return [this](const std::string& line) { events.push_back("log " + line); };
  }
  int indexOf(const std::string& event) const {
    for (std::size_t i = 0; i < events.size(); ++i)
      if (events[i] == event) return static_cast<int>(i);
    return -1;
  }
};

std::string DetailsReply(const std::string& name) {
  return Reply('m', std::string("127.0.0.1:27015\0", 16) + name +
                        std::string("\0map\0dir\0game\0", 14) +
                        std::string("\x05\x10\x2F"
                                    "dl\x00\x00",
                                    7));
}

struct Fixture {
  TCurrentServer server;
  Recorder recorder;
  UdpExchange exchange{server, recorder, recorder};
  UdpPeer peer;
  Fixture() { exchange.SetReceiveTimeout(300); }
  // The peer as the selected server, with a console password.
  void SelectPeer(const std::string& password) {
    server.HostIP = "127.0.0.1";
    server.Port = peer.port();
    server.RconEnabled = true;
    server.RconPassword = password;
  }
};

using Strings = std::vector<std::string>;

const std::string InfoRequest("\xFF\xFF\xFF\xFFTSource Engine Query\0", 25);
const std::string Challenge("\x0A\x0B\x0C\x0D");

std::string InfoReply(const std::string& name) {
  const std::string texts = name + '\0' + "map" + '\0' + "dir" + '\0' + "game" + '\0';
  const std::string appIdPlayersMaxBots("\x0A\x00\x05\x10\x00", 5);
  const std::string typeOsVisibilityVac("dl\x00\x01", 4);
  return Reply('I', "\x11" + texts + appIdPlayersMaxBots + typeOsVisibilityVac);
}

std::string PlayersReply() {
  const std::string countIndex("\x01\x00", 2);
  const std::string scoreDuration("\x07\x00\x00\x00\x00\x00\x80\x3F", 8);
  return Reply('D', countIndex + "Alpha" + '\0' + scoreDuration);
}

std::string ConsoleReply(const std::string& text) {
  return Reply('l', text + std::string(2, '\0'));
}

int CountPrefixed(const Strings& events, const std::string& prefix) {
  return static_cast<int>(std::count_if(
      events.begin(), events.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
}

Strings ConsoleLines(const Strings& events) {
  Strings lines;
  for (const std::string& e : events)
    if (e.rfind("console ", 0) == 0) lines.push_back(e.substr(8));
  return lines;
}

// A "status" listing of a full server, about 4,000 bytes, ending in a line feed.
std::string StatusListing() {
  std::string text =
      "hostname:  Zerval Test\nversion :  48/1.1.2.7 8684 secure\n"
      "tcp/ip  :  127.0.0.1:27015\nmap     :  dm_ridge at: 0 x, 0 y, 0 z\n"
      "players :  32 active (32 max)\n\n"
      "#      name userid uniqueid frag time ping loss adr\n";
  for (int i = 1; i <= 32; ++i)
    text += "#" + std::to_string(i) + " \"Player number " + std::to_string(i) +
            " of the Zerval test clan [ZTC]\" " + std::to_string(100 + i) +
            " STEAM_0:1:" + std::to_string(40000000 + i) + "   3 12:34   45    0 192.168.100." +
            std::to_string(i) + ":27005\n";
  return text + "32 users\n";
}

}  // namespace

class TestExchange : public QObject {
  Q_OBJECT

 private slots:
  void framesRequestCountsAndLogsBeforeWaiting() {
    Fixture f;
    const bool answered =
        f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", f.recorder.log(), true);
    QVERIFY(!answered);
    QCOMPARE(f.peer.requests.size(), std::size_t(1));
    QCOMPARE(f.peer.requests[0].bytes, std::string("\xFF\xFF\xFF\xFF"
                                                   "details\0",
                                                   12));
    QCOMPARE(f.server.BytesSent, 12);
    const std::vector<std::string> expected = {
        "log Daten gesendet (12)", "log FF FF FF FF 64 65 74 61 69 6C 73 00 ", "wait open"};
    QCOMPARE(std::vector<std::string>(f.recorder.events.begin(), f.recorder.events.begin() + 3),
             expected);
  }

  void replyIsCountedLoggedAndDispatched() {
    Fixture f;
    f.peer.setScript([](const UdpPeer::Request&) {
      return std::vector<std::string>{DetailsReply(std::string(1400 - 42, 'x'))};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", f.recorder.log(), true));
    QCOMPARE(f.server.BytesReceived, 1400);
    QCOMPARE(f.recorder.details.size(), std::size_t(1));
    QCOMPARE(f.recorder.details[0].MapName, std::string("map"));
    const std::string received =
        "log Daten Empfangen von 127.0.0.1:" + std::to_string(f.peer.port()) + " (1.400 bytes)";
    const int wait = f.recorder.indexOf("wait open");
    const int counter = f.recorder.indexOf("counter");
    const int close = f.recorder.indexOf("wait close");
    const int log = f.recorder.indexOf(received);
    QVERIFY(wait < counter && counter < close && close < log);
    QCOMPARE(f.recorder.events.back().substr(0, 16), std::string("log FF FF FF FF "));
    QCOMPARE(f.recorder.indexOf("sound"), -1);
  }

  void timeoutShowsSoundThenDialogThenLogs() {
    Fixture f;
    QVERIFY(!f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rules", f.recorder.log(), true));
    QCOMPARE(f.server.BytesReceived, 0);
    const std::vector<std::string> tail = {"counter", "wait close", "sound", "timeout dialog",
                                           "log TimeOut!!!"};
    QCOMPARE(std::vector<std::string>(f.recorder.events.end() - 5, f.recorder.events.end()), tail);
  }

  void withoutLogCallbackNoLineIsWritten() {
    Fixture f;
    QVERIFY(!f.exchange.QueryServerEx("127.0.0.1", f.peer.port(), "rules", nullptr, true, false));
    const std::vector<std::string> all = {"counter", "sound", "timeout dialog"};
    QCOMPARE(f.recorder.events, all);
  }

  void lateReplyIsTakenByTheNextExchange() {
    Fixture f;
    QVERIFY(!f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    f.peer.sendToLastClient(DetailsReply("late"));
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "players", nullptr, true));
    QCOMPARE(f.recorder.details.size(), std::size_t(1));
    QCOMPARE(f.recorder.details[0].ServerName, std::string("late"));
    QVERIFY(f.recorder.players.empty());
  }

  void foreignSourceIsIgnored() {
    Fixture f;
    UdpPeer stranger;
    // The stranger answers first, the server later: only the server's reply counts.
    f.peer.setScript([&](const UdpPeer::Request& request) {
      QUdpSocket foreign;
      foreign.bind(QHostAddress::LocalHost, 0);
      const std::string forged = DetailsReply("forged");
      foreign.writeDatagram(forged.data(), qint64(forged.size()), request.from, request.fromPort);
      QTimer::singleShot(50, [&f] { f.peer.sendToLastClient(DetailsReply("real")); });
      return std::vector<std::string>{};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", f.recorder.log(), true));
    QCOMPARE(f.recorder.details.size(), std::size_t(1));
    QCOMPARE(f.recorder.details[0].ServerName, std::string("real"));
    bool dropLogged = false;
    for (const std::string& e : f.recorder.events)
      dropLogged = dropLogged || e.rfind("log Fremdes Datagramm verworfen von 127.0.0.1:", 0) == 0;
    QVERIFY(dropLogged);
  }

  void socketLayerErrors() {
    Fixture f;
    f.peer.setScript([](const UdpPeer::Request&) { return std::vector<std::string>{""}; });
    QVERIFY_THROWS_EXCEPTION(
        EZerval, f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    try {
      f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true);
    } catch (const EZerval& error) {
      QCOMPARE(std::string(error.what()), std::string("UDP Receive Error = 0."));
    }
    QCOMPARE(f.recorder.indexOf("timeout dialog"), -1);
    QCOMPARE(f.recorder.indexOf("wait open") >= 0, f.recorder.indexOf("wait close") >= 0);
    QVERIFY(!f.exchange.IsBusy());

    const std::int32_t sentBefore = f.server.BytesSent;
    for (const int port : {0, -1, 65536, 27015 + 65536})
      QVERIFY_THROWS_EXCEPTION(EZerval,
                               f.exchange.QueryServer("127.0.0.1", port, "details", nullptr, true));
    QCOMPARE(f.server.BytesSent, sentBefore);
  }

  void oversizedDatagramIsCut() {
    Fixture f;
    f.peer.setScript([](const UdpPeer::Request&) {
      return std::vector<std::string>{Reply('x', std::string(9000, 'y'))};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    QCOMPARE(f.server.BytesReceived, UdpExchange::BufferSize);
  }

  void exchangeDuringAWaitIsRefused() {
    Fixture f;
    f.peer.setScript([&](const UdpPeer::Request& request) {
      if (request.command() == "details")
        QTimer::singleShot(150, [&f] { f.peer.sendToLastClient(DetailsReply("first")); });
      return std::vector<std::string>{};
    });
    bool refused = false;
    QTimer::singleShot(50, [&] {
      QVERIFY(f.exchange.IsBusy());
      try {
        f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rules", nullptr, true);
      } catch (const EZerval&) {
        refused = true;
      }
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    QVERIFY(refused);
    QCOMPARE(f.peer.commands(), std::vector<std::string>{"details"});
    QCOMPARE(f.recorder.details.at(0).ServerName, std::string("first"));
    QVERIFY(!f.exchange.IsBusy());
  }

  void challengeFollowUpGoesToTheSelectedServer() {
    Fixture f;
    f.SelectPeer("pass word");
    f.peer.setScript([](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon")
        return std::vector<std::string>{Reply('c', "hallenge rcon 12345\n")};
      return std::vector<std::string>{Reply('l', "ok\n\0\0")};
    });
    QVERIFY(f.exchange.QueryChallenge("127.0.0.1", f.peer.port(), nullptr, true, ""));
    QCOMPARE(f.server.Challenge, std::string("12345"));
    const std::vector<std::string> wire = {"challenge rcon", "rcon 12345 pass word "};
    QCOMPARE(f.peer.commands(), wire);
    QVERIFY(f.recorder.indexOf("console Sending :\"\"") >= 0);
  }

  // A challenge reply runs at most one console line, and only for the exchange that asked for
  // it while the selected entry has a password: never nested, never twice, never for an
  // unasked one, and never with a password the selected entry does not have.
  void challengeRepliesRunAtMostOneLine() {
    Fixture f;
    f.SelectPeer("secretB");
    const std::string challenge = Reply('c', "hallenge rcon 5\n");
    f.peer.setScript([&](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon") return Strings{challenge, challenge};
      if (request.command() == "details") return Strings{DetailsReply("d")};
      return Strings{ConsoleReply("ok\n")};
    });
    QVERIFY(f.exchange.QueryChallenge("127.0.0.1", f.peer.port(), nullptr, true, "say x"));
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    QTest::qWait(50);
    QCOMPARE(f.peer.commands(), (Strings{"challenge rcon", "rcon 5 secretB say x", "details"}));
    // The copy of the challenge reply took no one's answer.
    QCOMPARE(ConsoleLines(f.recorder.events), (Strings{"Sending :\"say x\"", "ok"}));
    QCOMPARE(f.recorder.details.at(0).ServerName, std::string("d"));
    QCOMPARE(f.server.Challenge, std::string("5"));

    Fixture stale;
    stale.server.RconPassword = "secretB";
    stale.server.Challenge = "old";
    stale.peer.setScript([&](const UdpPeer::Request&) { return Strings{challenge}; });
    QVERIFY(stale.exchange.QueryChallenge("127.0.0.1", stale.peer.port(), stale.recorder.log(),
                                          true, "x"));
    QTest::qWait(50);
    QCOMPARE(stale.peer.commands(), Strings{"challenge rcon"});
    QCOMPARE(stale.server.Challenge, std::string("old"));
    QCOMPARE(CountPrefixed(stale.recorder.events, "log Challenge ignoriert"), 1);
  }

  // The renewal waits for its own challenge: a reply of another kind that comes first is kept
  // for the next exchange instead of ending the renewal.
  void renewalWaitsForItsChallenge() {
    Fixture f;
    f.server.Challenge = "111";
    f.server.RconPassword = "pw";
    f.peer.setScript([&](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon") {
        QTimer::singleShot(50,
                           [&f] { f.peer.sendToLastClient(Reply('c', "hallenge rcon 222\n")); });
        return Strings{DetailsReply("kept")};
      }
      if (request.command() == "rcon 222 pw quit") return Strings{ConsoleReply("done\n")};
      return Strings{ConsoleReply("Bad rcon_password.\nBad challenge.\n")};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rcon 111 pw quit", nullptr, true));
    QCOMPARE(f.peer.commands(),
             (Strings{"rcon 111 pw quit", "challenge rcon", "rcon 222 pw quit"}));
    QCOMPARE(ConsoleLines(f.recorder.events), Strings{"done"});
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rules", nullptr, true));
    QCOMPARE(f.recorder.details.at(0).ServerName, std::string("kept"));
  }

  void burstsEndByTheDeadline_data() {
    QTest::addColumn<std::string>("datagram");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<std::string>("command");
    std::string piece = std::string("\xFE\xFF\xFF\xFF\x01\x00\x00\x00\x12", 9);
    piece += std::string(8192 - piece.size(), 'p');
    QTest::newRow("small datagrams from a foreign port")
        << Reply('m', "x") << true << std::string("details");
    QTest::newRow("split pieces from the server") << piece << false << std::string("rules");
    QTest::newRow("console text from the server")
        << Reply('l', std::string(1400, 'c')) << false << std::string("rcon 1 pw status");
  }

  // A flood of datagrams keeps no exchange past its deadline and costs a bounded log.
  void burstsEndByTheDeadline() {
    QFETCH(std::string, datagram);
    QFETCH(bool, foreign);
    QFETCH(std::string, command);
    Fixture f;
    FloodPeer flood(datagram, std::chrono::milliseconds(1200),
                    foreign ? FloodPeer::From::Foreign : FloodPeer::From::Server);
    bool floodingAtTheEnd = false;
    f.recorder.duringTimeoutDialog = [&] { floodingAtTheEnd = flood.flooding(); };
    if (f.exchange.QueryServer("127.0.0.1", flood.port(), command, f.recorder.log(), true))
      floodingAtTheEnd = flood.flooding();
    QVERIFY(floodingAtTheEnd);
    QVERIFY(CountPrefixed(f.recorder.events, "log Daten Empfangen") <= 256);
    QVERIFY(CountPrefixed(f.recorder.events, "log Fremdes") <= 4);
    std::size_t logged = 0;
    for (const std::string& event : f.recorder.events) logged += event.size();
    QVERIFY(logged < 2 * ReplyPolicy::MaxLogBytes);
  }

  // Anyone may send an empty datagram; only one from the asked server is an error.
  void foreignEmptyDatagramIsIgnored() {
    Fixture f;
    QUdpSocket foreign;
    foreign.bind(QHostAddress::LocalHost, 0);
    f.peer.setScript([&](const UdpPeer::Request& request) {
      foreign.writeDatagram("", 0, request.from, request.fromPort);
      return Strings{DetailsReply("real")};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", nullptr, true));
    QCOMPARE(f.recorder.details.at(0).ServerName, std::string("real"));
  }

  void consoleLineNeverBroadcast() {
    Fixture f;
    QVERIFY_THROWS_EXCEPTION(EZerval, f.exchange.QueryServer("255.255.255.255", 27015,
                                                             "rcon 1 pw status", nullptr, true));
    QCOMPARE(f.server.BytesSent, 0);
  }

  void consoleTextOnlyWithDisplayFlag() {
    Fixture f;
    const Datagram text{Reply('l', std::string("one\ntwo\n\0\0", 10)), "127.0.0.1", 1};
    f.exchange.HandleReply(text, nullptr, false);
    QCOMPARE(f.recorder.indexOf("console one"), -1);
    f.exchange.HandleReply(text, nullptr, true);
    QVERIFY(f.recorder.indexOf("console one") >= 0 && f.recorder.indexOf("console two") >= 0);
    f.exchange.HandleReply(Datagram{"\xFF\xFF\xFF\xFF", "127.0.0.1", 1}, nullptr, true);
    f.exchange.HandleReply(Datagram{Reply('M', "x"), "127.0.0.1", 1}, nullptr, true);
    QVERIFY(f.recorder.details.empty());
  }
  void steamRequestsAnswerTheirChallenge_data() {
    QTest::addColumn<std::string>("command");
    QTest::addColumn<std::string>("first");
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<std::string>("shown");
    QTest::newRow("details") << std::string("details") << InfoRequest << InfoReply("Zerval")
                             << std::string("details");
    QTest::newRow("players") << std::string("players")
                             << std::string("\xFF\xFF\xFF\xFFU\xFF\xFF\xFF\xFF") << PlayersReply()
                             << std::string("players");
    QTest::newRow("rules") << std::string("rules")
                           << std::string("\xFF\xFF\xFF\xFFV\xFF\xFF\xFF\xFF")
                           << Reply('E', std::string("\0\0", 2)) << std::string("rules");
  }

  // The challenge reply makes the same request go out again with the challenge; every
  // datagram is counted and logged in its order.
  void steamRequestsAnswerTheirChallenge() {
    QFETCH(std::string, command);
    QFETCH(std::string, first);
    QFETCH(std::string, reply);
    QFETCH(std::string, shown);
    Fixture f;
    f.exchange.SetProtocol(QueryProtocol::Steam);
    const std::string second =
        command == "details" ? first + Challenge : first.substr(0, 5) + Challenge;
    f.peer.setScript([&](const UdpPeer::Request& request) {
      return Strings{request.bytes == second ? reply : Reply('A', Challenge)};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), command, f.recorder.log(), true));

    QCOMPARE(f.peer.requests.size(), std::size_t(2));
    QCOMPARE(f.peer.requests[0].bytes, first);
    QCOMPARE(f.peer.requests[1].bytes, second);
    QCOMPARE(f.server.BytesSent, std::int32_t(first.size() + second.size()));
    QCOMPARE(f.server.BytesReceived, std::int32_t(9 + reply.size()));
    const std::string from = "log Daten Empfangen von 127.0.0.1:" + std::to_string(f.peer.port());
    const Strings expected = {"log Daten gesendet (" + std::to_string(first.size()) + ")",
                              "log " + HexLine(first),
                              "wait open",
                              "counter",
                              "wait close",
                              from + " (9 bytes)",
                              "log " + HexLine(Reply('A', Challenge)),
                              "log Daten gesendet (" + std::to_string(second.size()) + ")",
                              "log " + HexLine(second),
                              from + " (" + std::to_string(reply.size()) + " bytes)",
                              "log " + HexLine(reply)};
    QCOMPARE(Strings(f.recorder.events.begin(), f.recorder.events.begin() + 11), expected);
    if (shown == "details") {
      QCOMPARE(f.recorder.details.at(0).ServerName, std::string("Zerval"));
      QCOMPARE(f.recorder.details.at(0).ServerAddress,
               "127.0.0.1:" + std::to_string(f.peer.port()));
    } else if (shown == "players") {
      QCOMPARE(f.recorder.players.at(0).Items.at(0).Name.str(), std::string("Alpha"));
    } else {
      QVERIFY(f.recorder.indexOf("rules") > 0);
    }
  }

  // A server that answers only with challenges is asked three times in all, then times out.
  void challengeRepliesAnsweredAtMostTwice() {
    Fixture f;
    f.exchange.SetProtocol(QueryProtocol::Steam);
    f.peer.setScript([](const UdpPeer::Request&) { return Strings{Reply('A', Challenge)}; });
    QVERIFY(!f.exchange.QueryServer("127.0.0.1", f.peer.port(), "players", nullptr, true));
    QCOMPARE(f.peer.requests.size(), std::size_t(3));
    QCOMPARE(f.recorder.indexOf("timeout dialog") >= 0, true);
  }

  // Console lines go out as text with either protocol; with the older one a challenge reply
  // is a reply of a kind not known, answered by nothing.
  void whatEachProtocolSends() {
    Fixture f;
    f.peer.setScript([](const UdpPeer::Request&) { return Strings{Reply('A', Challenge)}; });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "players", nullptr, true));
    f.exchange.SetProtocol(QueryProtocol::Steam);
    QCOMPARE(f.exchange.Protocol(), QueryProtocol::Steam);
    for (const char* command : {"challenge rcon", "rcon 1 pw players"})
      QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), command, nullptr, true));
    QCOMPARE(f.peer.commands(), (Strings{"players", "challenge rcon", "rcon 1 pw players"}));
  }

  void infoReplyOfBothKinds_data() {
    QTest::addColumn<std::string>("first");
    QTest::addColumn<std::string>("second");
    QTest::newRow("older kind first") << DetailsReply("older") << InfoReply("newer");
    QTest::newRow("newer kind first") << InfoReply("newer") << DetailsReply("older");
  }

  // Servers of the older engine answer the Steam info request with both kinds: the first is
  // shown, and the second does not pass for the reply to the next request.
  void infoReplyOfBothKinds() {
    QFETCH(std::string, first);
    QFETCH(std::string, second);
    Fixture f;
    f.exchange.SetProtocol(QueryProtocol::Steam);
    f.peer.setScript([&](const UdpPeer::Request& request) {
      if (request.bytes == InfoRequest) return Strings{first, second};
      return Strings{PlayersReply()};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "details", f.recorder.log(), true));
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "players", f.recorder.log(), true));
    QCOMPARE(f.recorder.details.size(), std::size_t(1));
    QCOMPARE(f.recorder.details[0].ServerName, std::string(first[4] == 'm' ? "older" : "newer"));
    QCOMPARE(f.recorder.players.size(), std::size_t(1));
    QCOMPARE(f.recorder.indexOf("log Nicht angefragte Info-Antwort verworfen") >= 0, true);
    QCOMPARE(f.server.BytesReceived,
             std::int32_t(first.size() + second.size() + PlayersReply().size()));
  }

  void longConsoleOutputIsJoined_data() {
    QTest::addColumn<bool>("wholeLines");
    QTest::addColumn<int>("delay");
    QTest::newRow("whole lines, at once") << true << 0;
    QTest::newRow("cut inside a line, at once") << false << 0;
    QTest::newRow("cut inside a line, spread") << false << 5;
  }

  // A 4,000-byte status listing in three datagrams comes out as the lines of one reply.
  void longConsoleOutputIsJoined() {
    QFETCH(bool, wholeLines);
    QFETCH(int, delay);
    const std::string text = StatusListing();
    QVERIFY(text.size() > 3900 && text.size() < 4200);
    Strings datagrams;
    if (wholeLines) {
      const std::size_t cut1 = text.find('\n', 1300) + 1;
      const std::size_t cut2 = text.find('\n', 2600) + 1;
      datagrams = {ConsoleReply(text.substr(0, cut1)), ConsoleReply(text.substr(cut1, cut2 - cut1)),
                   ConsoleReply(text.substr(cut2))};
    } else {
      datagrams = {Reply('l', text.substr(0, 1350) + '\0'), Reply('l', text.substr(1350, 1350)),
                   ConsoleReply(text.substr(2700))};
    }
    Fixture f;
    f.exchange.SetReceiveTimeout(2000);
    f.peer.setScript([&](const UdpPeer::Request&) {
      if (delay == 0) return datagrams;
      f.peer.sendToLastClient(datagrams[0]);
      QTimer::singleShot(delay, [&] { f.peer.sendToLastClient(datagrams[1]); });
      QTimer::singleShot(2 * delay, [&] { f.peer.sendToLastClient(datagrams[2]); });
      return Strings{};
    });
    const std::optional<Datagram> reply =
        f.exchange.QueryQuiet("127.0.0.1", f.peer.port(), "rcon 1 pw status", false);
    QVERIFY(reply);
    const auto lines = ParseRconReply(reply->Bytes);
    QCOMPARE(*lines, *ParseRconReply(ConsoleReply(text)));
    QCOMPARE(lines->size(), std::size_t(40));
    QCOMPARE(lines->at(38),
             std::string("#32 \"Player number 32 of the Zerval test clan [ZTC]\" 132 "
                         "STEAM_0:1:40000032   3 12:34   45    0 192.168.100.32:27005"));
    std::int32_t received = 0;
    for (const std::string& d : datagrams) received += std::int32_t(d.size());
    QCOMPARE(f.server.BytesReceived, received);

    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rcon 1 pw status", nullptr, true));
    QCOMPARE(ConsoleLines(f.recorder.events), *lines);
  }

  // Short console text ends the wait at once: what follows is the next exchange's. A
  // datagram of another kind after long text is not lost but left for the next exchange.
  void datagramsAfterConsoleText() {
    Fixture f;
    f.peer.setScript([](const UdpPeer::Request& request) {
      if (request.command() == "rcon 1 pw echo")
        return Strings{ConsoleReply("short\n"), ConsoleReply("next\n")};
      if (request.command() == "rcon 1 pw long")
        return Strings{ConsoleReply(std::string(1200, 'x') + "\n"), DetailsReply("kept")};
      return Strings{};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rcon 1 pw echo", nullptr, true));
    QCOMPARE(ConsoleLines(f.recorder.events), Strings{"short"});
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rcon 1 pw none", nullptr, true));
    QCOMPARE(ConsoleLines(f.recorder.events), (Strings{"short", "next"}));

    const std::optional<Datagram> reply =
        f.exchange.QueryQuiet("127.0.0.1", f.peer.port(), "rcon 1 pw long", false);
    QVERIFY(reply);
    QCOMPARE(*ParseRconReply(reply->Bytes), Strings{std::string(1200, 'x')});
    QVERIFY(f.recorder.details.empty());
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "rules", nullptr, true));
    QCOMPARE(f.recorder.details.at(0).ServerName, std::string("kept"));
  }

  void consoleRefusals_data() {
    QTest::addColumn<Strings>("refusal");
    QTest::addColumn<std::string>("renewed");
    QTest::addColumn<bool>("acceptsRenewed");
    QTest::addColumn<bool>("display");
    QTest::addColumn<Strings>("sent");
    QTest::addColumn<Strings>("console");
    const Strings expired = {"Bad rcon_password.\nBad challenge.\n"};
    const Strings retried = {"rcon 111 pw kick #3", "challenge rcon", "rcon 222 pw kick #3"};
    QTest::newRow("expired, one reply")
        << expired << std::string("222") << true << true << retried << Strings{"done"};
    QTest::newRow("expired, two replies, quiet")
        << Strings{"Bad rcon_password.\n", "Bad challenge.\n"} << std::string("222") << true
        << false << retried << Strings{};
    QTest::newRow("expired, refused again")
        << expired << std::string("222") << false << true << retried
        << Strings{"Bad rcon_password.", "Bad challenge."};
    QTest::newRow("expired, same challenge again")
        << expired << std::string("111") << true << true
        << Strings{"rcon 111 pw kick #3", "challenge rcon"}
        << Strings{"Bad rcon_password.", "Bad challenge."};
    QTest::newRow("wrong password, never retried")
        << Strings{"Bad rcon_password.\n"} << std::string("222") << true << true
        << Strings{"rcon 111 pw kick #3"} << Strings{"Bad rcon_password."};
    QTest::newRow("wrong password, quiet")
        << Strings{"Bad rcon_password.\n"} << std::string("222") << true << false
        << Strings{"rcon 111 pw kick #3"} << Strings{};
    QTest::newRow("banned") << Strings{"You have been banned from this server.\n"}
                            << std::string("222") << true << true << Strings{"rcon 111 pw kick #3"}
                            << Strings{"You have been banned from this server."};
  }

  // An expired challenge is renewed and the line sent once more, once only; a wrong password
  // is never retried. What is not retried is shown as the reply.
  void consoleRefusals() {
    QFETCH(Strings, refusal);
    QFETCH(std::string, renewed);
    QFETCH(bool, acceptsRenewed);
    QFETCH(bool, display);
    QFETCH(Strings, sent);
    QFETCH(Strings, console);
    Fixture f;
    f.server.Challenge = "111";
    f.server.RconPassword = "pw";
    f.peer.setScript([&](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon")
        return Strings{Reply('c', "hallenge rcon " + renewed + "\n")};
      if (acceptsRenewed && request.command() == "rcon 222 pw kick #3")
        return Strings{ConsoleReply("done\n")};
      Strings replies;
      for (const std::string& text : refusal) replies.push_back(ConsoleReply(text));
      return replies;
    });
    QVERIFY(f.exchange.QueryServerEx("127.0.0.1", f.peer.port(), "rcon 111 pw kick #3",
                                     f.recorder.log(), display, false));
    QCOMPARE(f.peer.commands(), sent);
    QCOMPARE(ConsoleLines(f.recorder.events), console);
    QCOMPARE(f.server.Challenge, sent.size() > 1 ? renewed : std::string("111"));
    QCOMPARE(CountPrefixed(f.recorder.events, "log Daten gesendet"), int(sent.size()));
    QCOMPARE(f.recorder.indexOf("timeout dialog"), -1);
  }

  void statusFetchRenewsAnExpiredChallenge() {
    Fixture f;
    f.server.Challenge = "111";
    f.server.RconPassword = "pw";
    f.peer.setScript([](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon") return Strings{Reply('c', "hallenge rcon 222\n")};
      if (request.command() == "rcon 222 pw status") return Strings{ConsoleReply("listing\n")};
      return Strings{ConsoleReply("Bad rcon_password.\nBad challenge.\n")};
    });
    const std::optional<Datagram> reply =
        f.exchange.QueryQuiet("127.0.0.1", f.peer.port(), "rcon 111 pw status", true);
    QVERIFY(reply);
    QCOMPARE(*ParseRconReply(reply->Bytes), Strings{"listing"});
    QCOMPARE(f.server.Challenge, std::string("222"));
    QCOMPARE(f.recorder.indexOf("wait open"), 0);
    QCOMPARE(f.recorder.events.back(), std::string("wait close"));
  }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "test_exchange.moc"
