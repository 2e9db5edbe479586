// zerval-exporter: its text format and request reading directly, the program against the
// game-server simulator on 127.0.0.1.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "exporter.h"
#include "metrics_text.h"
#include "probe_request.h"
#include "simulator.h"
#include "store/stdfuncs.h"

namespace {

using std::chrono::milliseconds;

std::unique_ptr<SimulatorProcess> StartSimulator(const QStringList& arguments) {
  auto simulator = std::make_unique<SimulatorProcess>();
  if (!simulator->start(arguments)) qWarning("%s", qPrintable(simulator->errorText()));
  return simulator;
}

QByteArray Target(std::uint16_t port) {
  return "127.0.0.1:" + QByteArray::number(port);
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
  QFile file(dir.filePath(name));
  file.open(QIODevice::WriteOnly);
  file.write(content);
  return file.fileName();
}

std::variant<ProbeRequest, HttpRefusal> Admit(const QueryParameters& parameters,
                                              std::optional<std::string> timeout = {},
                                              const ServerTable* allowed = nullptr) {
  return AdmitProbe(parameters, timeout, milliseconds(5000), allowed);
}

int StatusOf(const std::variant<ProbeRequest, HttpRefusal>& admitted) {
  const auto* refusal = std::get_if<HttpRefusal>(&admitted);
  return refusal ? refusal->status : 200;
}

// The console lines that reached the simulator.
int ConsoleLines(const SimulatorProcess& simulator) {
  int lines = 0;
  for (const std::string& command : simulator.commands()) lines += command.rfind("rcon ", 0) == 0;
  return lines;
}

}  // namespace

class TestExporter : public QObject {
  Q_OBJECT

 private slots:
  void textFormat() {
    // Escapes, and Latin-1 bytes that are no UTF-8 shown as the characters they are.
    QCOMPARE(LabelValue("a\\b\"c\nd"), std::string("a\\\\b\\\"c\\nd"));
    QCOMPARE(LabelValue("M\xFCller"), std::string("M\xC3\xBCller"));
    QCOMPARE(LabelValue("M\xC3\xBCller"), std::string("M\xC3\xBCller"));
    QCOMPARE(SampleValue(0.000213), std::string("0.000213"));
    QCOMPARE(SampleValue(16), std::string("16"));
    QCOMPARE(SampleValue(std::nan("")), std::string("NaN"));
    // Repeated names never make a series twice, even beside a name that looks like a repeat.
    const std::vector<std::string> names = UniqueNames({"Player", "Player (2)", "Player", "x"});
    QCOMPARE(names, (std::vector<std::string>{"Player", "Player (2)", "Player (3)", "x"}));
    MetricsText text;
    text.Sample("zerval_info", 1, {{"name", "A \"B\""}, {"map", "\xE9t\xE9"}});
    QCOMPARE(text.Text(),
             std::string("zerval_info{name=\"A \\\"B\\\"\",map=\"\xC3\xA9t\xC3\xA9\"} 1\n"));
  }

  void requestReading() {
    QCOMPARE(StatusOf(Admit({})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}, {"target", "127.0.0.1:2"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}, {"protcol", "a2s"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}, {"protocol", "quake"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}, {"players", "yes"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "300.0.0.1:1"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:70000"}})), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}}, "soon")), 400);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:1"}}, "-1")), 400);
    // A reason is one line, whatever the request held.
    const auto refused = Admit({{"target", "a\nb\x1b[2J:1:2:3"}});
    QVERIFY(std::get<HttpRefusal>(refused).reason.find_first_of("\n\x1b") == std::string::npos);

    const auto admitted = Admit({{"target", "[::1]:27016"}, {"protocol", "a2s"}, {"players", "1"}});
    const auto& request = std::get<ProbeRequest>(admitted);
    QVERIFY(request.address && request.protocol == WireProtocol::A2s && request.players);
    QCOMPARE(request.budget, milliseconds(5000));
    // The scraper's time-out less half a second, never more than half of it, never above --timeout.
    QCOMPARE(ProbeBudget("10"), std::optional<milliseconds>(9500));
    QCOMPARE(ProbeBudget("0.6"), std::optional<milliseconds>(300));
    QCOMPARE(std::get<ProbeRequest>(Admit({{"target", "127.0.0.1"}}, "30")).budget,
             milliseconds(5000));

    ServerTable allowed;
    allowed.Add("127.0.0.1:27015");
    allowed.Add("LocalHost:27016");
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1"}}, {}, &allowed)), 200);
    QCOMPARE(StatusOf(Admit({{"target", "localhost:27016"}}, {}, &allowed)), 200);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:27016"}}, {}, &allowed)), 200);
    QCOMPARE(StatusOf(Admit({{"target", "127.0.0.1:27017"}}, {}, &allowed)), 403);
    // Refused as written: a name outside the list is never looked up.
    QCOMPARE(StatusOf(Admit({{"target", "other.example.invalid"}}, {}, &allowed)), 403);
  }

  void passwordLists() {
    QTemporaryDir dir;
    TServerList list(2);
    list[0].Address = "127.0.0.1:27015";
    list[0].HasPassword = 1;
    list[0].Password = "pass word";
    list[1].Address = "127.0.0.1:27016";
    const QString zsl =
        WriteFile(dir, "list.zsl", QByteArray::fromStdString(ServerListToBytes(list)));
    const ServerTable fromList = ReadConsolePasswords(zsl.toStdString());
    const std::string* found = fromList.Find(SplitServerAddress("127.0.0.1:27015"), {});
    QVERIFY(found && *found == "pass word");
    QVERIFY(!fromList.Find(SplitServerAddress("127.0.0.1:27016"), {}));

    const QString text = WriteFile(dir, "p.txt", "# comment\n\n[::1]:27015  se#cret \r\n");
    const ServerTable fromText = ReadConsolePasswords(text.toStdString());
    found = fromText.Find(SplitServerAddress("[::1]"), {});
    QVERIFY(found && *found == "se#cret");
    const QString bad = WriteFile(dir, "bad.txt", "127.0.0.1:27015 ok\n127.0.0.1:27016\n");
    QVERIFY_THROWS_EXCEPTION(EZerval, ReadConsolePasswords(bad.toStdString()));
  }

  void probesBothProtocolsWithConsole() {
    const auto classic = StartSimulator(
        {"--password", "geheim", "--players", "3", "--bots", "1", "--name", "Classic \"One\""});
    const auto steam = StartSimulator({"--protocol", "steam", "--players", "5", "--bots", "2"});
    QTemporaryDir dir;
    const QString passwords = WriteFile(
        dir, "passwords.txt", "# console passwords\n" + Target(classic->port()) + " geheim\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));

    const HttpAnswer first =
        HttpGet(exporter.port(), "/probe?target=" + Target(classic->port()) + "&players=1");
    QCOMPARE(first.status, 200);
    QCOMPARE(SampleOf(first.body, "zerval_up"), 1.0);
    QCOMPARE(SampleOf(first.body, "zerval_players"), 4.0);
    QCOMPARE(SampleOf(first.body, "zerval_max_players"), 16.0);
    QCOMPARE(SamplesNamed(first.body, "zerval_info").size(), 1);
    QVERIFY(SamplesNamed(first.body, "zerval_info")[0].contains("name=\"Classic \\\"One\\\"\""));
    QCOMPARE(SamplesNamed(first.body, "zerval_player_frags").size(), 4);
    QCOMPARE(SamplesNamed(first.body, "zerval_player_connected_seconds").size(), 4);
    QCOMPARE(SampleOf(first.body, "zerval_rcon_up"), 1.0);
    QCOMPARE(SamplesNamed(first.body, "zerval_player_ping_seconds").size(), 4);
    QCOMPARE(SamplesNamed(first.body, "zerval_player_loss_ratio").size(), 4);
    QVERIFY(SamplesNamed(first.body, "zerval_bots").isEmpty());

    // No password for this one, no players asked for.
    const HttpAnswer second =
        HttpGet(exporter.port(), "/probe?target=" + Target(steam->port()) + "&protocol=a2s");
    QCOMPARE(SampleOf(second.body, "zerval_up"), 1.0);
    QCOMPARE(SampleOf(second.body, "zerval_players"), 7.0);
    QCOMPARE(SampleOf(second.body, "zerval_bots"), 2.0);
    QVERIFY(SamplesNamed(second.body, "zerval_player_frags").isEmpty());
    QVERIFY(SamplesNamed(second.body, "zerval_rcon_up").isEmpty());

    const HttpAnswer own = HttpGet(exporter.port(), "/metrics");
    QCOMPARE(SampleOf(own.body, "zerval_exporter_probes_total"), 2.0);
    QCOMPARE(SampleOf(own.body, "zerval_exporter_probe_failures_total"), 0.0);
    QVERIFY(SampleOf(own.body, "process_resident_memory_bytes") > 0);
    QVERIFY(exporter.stop());
  }

  void wrongPasswordIsSentOnce() {
    const auto server = StartSimulator({"--password", "right"});
    QTemporaryDir dir;
    const QString passwords = WriteFile(dir, "p.txt", Target(server->port()) + " wrong\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));
    for (int probe = 0; probe < 2; ++probe) {
      const HttpAnswer answer = HttpGet(exporter.port(), "/probe?target=" + Target(server->port()));
      QCOMPARE(SampleOf(answer.body, "zerval_up"), 1.0);
      QCOMPARE(SampleOf(answer.body, "zerval_rcon_up"), 0.0);
    }
    // Not again within the probe, nor in the next one.
    QCOMPARE(ConsoleLines(*server), 1);
  }

  // The race finds the TCP console once; the next probe goes there directly, one connection and
  // one password each.
  void probesTcpConsole() {
    const auto server =
        StartSimulator({"--console", "tcp", "--password", "pw", "--players", "3", "--bots", "1"});
    QTemporaryDir dir;
    const QString passwords = WriteFile(dir, "p.txt", Target(server->port()) + " pw\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));
    for (int probe = 0; probe < 2; ++probe) {
      const HttpAnswer answer = HttpGet(exporter.port(), "/probe?target=" + Target(server->port()));
      QCOMPARE(SampleOf(answer.body, "zerval_rcon_up"), 1.0);
      QCOMPARE(SamplesNamed(answer.body, "zerval_player_ping_seconds").size(), 4);
      QCOMPARE(SamplesNamed(answer.body, "zerval_player_loss_ratio").size(), 4);
    }
    const std::vector<std::string> commands = server->commands();
    QCOMPARE(std::count(commands.begin(), commands.end(), "challenge rcon"), 1);
    QCOMPARE(server->tcpBodies(3).size(), std::size_t(2));
  }

  void refusesWhatItMustNotDo() {
    QTemporaryDir dir;
    const QString allowedList = WriteFile(dir, "targets.txt", "a2s 127.0.0.1:27015\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--allowed-targets", allowedList}), qPrintable(exporter.errorText()));
    QCOMPARE(HttpGet(exporter.port(), "/probe?target=127.0.0.1:27016").status, 403);
    QCOMPARE(HttpGet(exporter.port(), "/probe?target=127.0.0.1:x").status, 400);
    QCOMPARE(HttpGet(exporter.port(), "/probe?target=127.0.0.1&protocol=gopher").status, 400);
    QCOMPARE(HttpGet(exporter.port(), "/").status, 404);
    QCOMPARE(HttpGet(exporter.port(), "/probe/../metrics").status, 404);
    // An allowed server where nothing answers: a scrape that waits one second gets its answer.
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    const HttpHeaders oneSecond{{"X-Prometheus-Scrape-Timeout-Seconds", "1"}};
    ExporterProcess open;
    QVERIFY(open.start());
    const HttpAnswer down =
        HttpGet(open.port(), "/probe?target=" + Target(silent.localPort()), oneSecond);
    QCOMPARE(SampleOf(down.body, "zerval_up"), 0.0);
    QVERIFY(SamplesNamed(down.body, "zerval_players").isEmpty());
    QCOMPARE(SampleOf(HttpGet(exporter.port(), "/metrics").body,
                      "zerval_exporter_requests_refused_total{code=\"403\"}"),
             1.0);

    // A port in use is refused, not shared.
    ExporterProcess second;
    QVERIFY(!second.start({"--listen", "127.0.0.1:" + QString::number(open.port())}));
    QVERIFY(second.errorText().contains("in use"));

    // Listening beyond loopback needs a list of allowed servers.
    ExporterProcess wide;
    QVERIFY(!wide.start({"--listen", "0.0.0.0:0"}));
    QVERIFY(wide.errorText().contains("--allowed-targets"));
    QVERIFY2(wide.start({"--listen", "0.0.0.0:0", "--allowed-targets", allowedList}),
             qPrintable(wide.errorText()));
  }
};

QTEST_GUILESS_MAIN(TestExporter)
#include "test_exporter.moc"
