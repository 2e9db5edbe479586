// The datagram exchange against a UDP peer on 127.0.0.1.
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "protocol/UDPIOfuncs.h"
#include "udppeer.h"

namespace {

// Records what the exchange shows and where replies go, in one sequence with the log lines.
class Recorder : public ExchangeUi, public ReplyTarget {
 public:
  std::vector<std::string> events;
  std::vector<TDetailInfo> details;
  std::vector<TPlayerList> players;
  std::string commandText = "status";
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
  std::string RconCommandText() override { return commandText; }

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
};

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
    f.server.HostIP = "127.0.0.1";
    f.server.Port = f.peer.port();
    f.server.RconPassword = "pass word";
    f.recorder.commandText = "";
    f.peer.setScript([](const UdpPeer::Request& request) {
      if (request.command() == "challenge rcon")
        return std::vector<std::string>{Reply('c', "hallenge rcon 12345\n")};
      return std::vector<std::string>{Reply('l', "ok\n\0\0")};
    });
    QVERIFY(f.exchange.QueryServer("127.0.0.1", f.peer.port(), "challenge rcon", nullptr, true));
    QCOMPARE(f.server.Challenge, std::string("12345"));
    const std::vector<std::string> wire = {"challenge rcon", "rcon 12345 pass word "};
    QCOMPARE(f.peer.commands(), wire);
    QVERIFY(f.recorder.indexOf("console Sending :\"\"") >= 0);
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
};

QTEST_GUILESS_MAIN(TestExchange)
#include "test_exchange.moc"
