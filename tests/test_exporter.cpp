// zerval-exporter: its text format and request reading directly, the program against the
// game-server simulator on 127.0.0.1.
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "exporter.h"
#include "floodpeer.h"
#include "metrics_text.h"
#include "probe_metrics.h"
#include "probe_request.h"
#include "process_stats.h"
#include "simulator.h"
#include "store/stdfuncs.h"
#include "udppeer.h"

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

using StatusRows = std::vector<std::pair<std::string, int>>;

// A server played by the test: details, a players reply of `names` and, for the console password
// "pw", a status listing of `rows` (nick, user id) in datagrams of 4,000 bytes.
UdpPeer::Script PlayedServer(std::function<std::vector<std::string>()> names,
                             std::function<StatusRows()> rows) {
  return [=](const UdpPeer::Request& request) -> std::vector<std::string> {
    const std::string command = request.command();
    if (command == "details")
      return {Reply('m', std::string("127.0.0.1:1\0Played\0dm_canyon\0arena\0Arena Deathmatch\0"
                                     "\x05\x10\x2F"
                                     "dl\0\0",
                                     59))};
    if (command == "players") {
      std::string payload(1, char(names().size()));
      for (const std::string& name : names())
        payload += '\0' + name + std::string("\0\x03\0\0\0\0\0\x70\x42", 9);
      return {Reply('D', payload)};
    }
    if (command == "challenge rcon") return {Reply('c', std::string("hallenge rcon 77\n\0", 18))};
    if (command != "rcon 77 pw status") return {};
    std::string text =
        "hostname: Played\nversion : 47\ntcp/ip  : 127.0.0.1:1\nmap     : dm_canyon\n"
        "players : many\n\n#      name userid uniqueid frag time ping loss adr\n";
    for (const auto& [nick, userId] : rows())
      text += "#  1 \"" + nick + "\" " + std::to_string(userId) + " x 0 05:00 50 0 a\n";
    text += "0 users";
    std::vector<std::string> datagrams;
    for (std::size_t at = 0; at < text.size(); at += 4000)
      datagrams.push_back(Reply('l', text.substr(at, 4000)));
    return datagrams;
  };
}

// The series of samples: each line without its value.
QList<QByteArray> SeriesOf(const QList<QByteArray>& samples) {
  QList<QByteArray> series;
  for (const QByteArray& sample : samples) series << sample.left(sample.lastIndexOf(' '));
  return series;
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
    // Escapes, Latin-1 bytes that are no UTF-8 shown as the characters they are, control
    // characters replaced, and at most 128 bytes, cut between characters.
    QCOMPARE(LabelValue("a\\b\"c\nd\x7F"), std::string("a\\\\b\\\"c\xEF\xBF\xBD"
                                                       "d\xEF\xBF\xBD"));
    QCOMPARE(LabelValue("M\xFCller\x85"), std::string("M\xC3\xBCller\xEF\xBF\xBD"));
    QCOMPARE(LabelValue("M\xC3\xBCller"), std::string("M\xC3\xBCller"));
    std::string cut = "a";
    for (int character = 0; character < 63; ++character) cut += "\xC3\xA9";
    QCOMPARE(LabelText("a" + std::string(200, '\xE9')), cut);
    QCOMPARE(SampleValue(0.000213), std::string("0.000213"));
    QCOMPARE(SampleValue(16), std::string("16"));
    QCOMPARE(SampleValue(1796740123.45), std::string("1796740123.45"));
    QCOMPARE(SampleValue(std::nan("")), std::string("NaN"));
    // Repeats get a number after conversion, beside a name that looks like a repeat, within their
    // group only, and within 128 bytes.
    const std::string longName(128, 'x');
    QCOMPARE(
        UniqueLabelValues({LabelText("M\xFCller"), LabelText("M\xC3\xBCller"), "P (2)", "P", "P"}),
        (std::vector<std::string>{"M\xC3\xBCller", "M\xC3\xBCller (2)", "P (2)", "P", "P (3)"}));
    QCOMPARE(UniqueLabelValues({"a", "a", "a", longName, longName}, {"5", "5", "6", "1", "1"}),
             (std::vector<std::string>{"a", "a (2)", "a", longName, longName.substr(4) + " (2)"}));
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
    QCOMPARE(std::get<ProbeRequest>(Admit({{"target", "::1"}, {"protocol", "auto"}})).protocol,
             std::nullopt);
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

  // Without a protocol each probe finds the server's, names it in zerval_info and asks for the
  // players in it; a server of the other generation at the same address is found at the next.
  void probesFindEachServersProtocol() {
    auto classic = StartSimulator({});
    const auto steam = StartSimulator({"--protocol", "steam", "--info-challenge"});
    const auto both = StartSimulator({"--protocol", "both"});
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    ExporterProcess exporter;
    QVERIFY2(exporter.start(), qPrintable(exporter.errorText()));
    // "PROTOCOL PLAYERS", or "down".
    const auto probe = [&](std::uint16_t port, const QByteArray& more = {}) -> QByteArray {
      const HttpAnswer answer =
          HttpGet(exporter.port(), "/probe?players=1&target=" + Target(port) + more,
                  {{"X-Prometheus-Scrape-Timeout-Seconds", "1"}});
      const QList<QByteArray> info = SamplesNamed(answer.body, "zerval_info");
      if (SampleOf(answer.body, "zerval_up") != 1.0 || info.size() != 1) return "down";
      const QByteArray label = "query_protocol=\"";
      return info[0].mid(info[0].indexOf(label) + label.size()).split('"')[0] + ' ' +
             QByteArray::number(SamplesNamed(answer.body, "zerval_player_frags").size());
    };
    QCOMPARE(probe(classic->port()), QByteArray("classic 8"));
    QCOMPARE(probe(steam->port()), QByteArray("a2s 8"));
    QCOMPARE(probe(both->port()), QByteArray("classic 8"));
    QCOMPARE(probe(silent.localPort()), QByteArray("down"));
    QCOMPARE(probe(steam->port(), "&protocol=classic"), QByteArray("down"));

    const std::uint16_t port = classic->port();
    QVERIFY(classic->stop());
    classic = StartSimulator({"--protocol", "steam", "--port", QString::number(port)});
    QCOMPARE(probe(port), QByteArray("a2s 8"));
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
    QCOMPARE(HttpGet(exporter.port(), "/nothing").status, 404);
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

  void processFigures() {
    // The command name may hold blanks and parentheses of its own.
    const std::optional<ProcessStats> stats = ParseProcessStat(
        "42 (a) (b) S 1 2 3 4 5 6 7 8 9 10 250 150 0 0 20 0 3 0 1000 8192 16 18446744073709551615",
        100, 4096, 1700000000);
    QVERIFY(stats);
    QCOMPARE(stats->cpuSeconds, 4.0);
    QCOMPARE(stats->startTimeSeconds, 1700000010.0);
    QCOMPARE(stats->virtualBytes, 8192.0);
    QCOMPARE(stats->residentBytes, 65536.0);
    QVERIFY(!ParseProcessStat("42 (a) S 1 2", 100, 4096, 0));
  }

  void crowdedServerAddsBoundedSeries() {
    // 15,000 players with new names at every probe.
    UdpPeer server;
    int round = 0;
    server.setScript(PlayedServer({}, [&round] {
      StatusRows rows;
      for (int i = 0; i < 15000; ++i)
        rows.emplace_back("p" + std::to_string(round) + "-" + std::to_string(i), i);
      ++round;
      return rows;
    }));
    QTemporaryDir dir;
    const QString passwords = WriteFile(dir, "p.txt", Target(server.port()) + " pw\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));
    QSet<QByteArray> all;
    HttpAnswer answer;
    for (int probe = 0; probe < 20; ++probe) {
      answer = HttpGetServing(exporter.port(), "/probe?target=" + Target(server.port()));
      const QList<QByteArray> series =
          SeriesOf(SamplesNamed(answer.body, "zerval_player_ping_seconds") +
                   SamplesNamed(answer.body, "zerval_player_loss_ratio"));
      QCOMPARE(series.size(), int(MaxPlayerSeries));
      QCOMPARE(QSet<QByteArray>(series.begin(), series.end()).size(), series.size());
      QCOMPARE(SampleOf(answer.body, "zerval_players_truncated"), 1.0);
      all.unite(QSet<QByteArray>(series.begin(), series.end()));
    }
    QVERIFY(all.size() <= int(MaxPlayerSeries) * 20);
    QCOMPARE(PromtoolComplaint(answer.body), QByteArray());
  }

  void namesThatCollideAfterConversion() {
    UdpPeer server;
    server.setScript(PlayedServer(
        [] {
          return std::vector<std::string>{"M\xFCller", "M\xC3\xBCller"};
        },
        [] {
          return StatusRows{{"a", 5}, {"a", 5}, {"a", 6}, {"b\x01", 7}};
        }));
    QTemporaryDir dir;
    const QString passwords = WriteFile(dir, "p.txt", Target(server.port()) + " pw\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));
    const HttpAnswer answer =
        HttpGetServing(exporter.port(), "/probe?players=1&target=" + Target(server.port()));
    QCOMPARE(SeriesOf(SamplesNamed(answer.body, "zerval_player_frags")),
             (QList<QByteArray>{"zerval_player_frags{player=\"M\xC3\xBCller\"}",
                                "zerval_player_frags{player=\"M\xC3\xBCller (2)\"}"}));
    QCOMPARE(
        SeriesOf(SamplesNamed(answer.body, "zerval_player_loss_ratio")),
        (QList<QByteArray>{"zerval_player_loss_ratio{player=\"a\",userid=\"5\"}",
                           "zerval_player_loss_ratio{player=\"a (2)\",userid=\"5\"}",
                           "zerval_player_loss_ratio{player=\"a\",userid=\"6\"}",
                           "zerval_player_loss_ratio{player=\"b\xEF\xBF\xBD\",userid=\"7\"}"}));
    QCOMPARE(SampleOf(answer.body, "zerval_players_truncated"), 0.0);
    QCOMPARE(PromtoolComplaint(answer.body), QByteArray());
  }

  void garbageServerAddsNoSeries() {
    const auto server = StartSimulator({"--garbage", "all"});
    ExporterProcess exporter;
    QVERIFY2(exporter.start(), qPrintable(exporter.errorText()));
    QSet<QByteArray> series;
    for (int probe = 0; probe < 20; ++probe) {
      const HttpAnswer answer = HttpGet(exporter.port(), "/probe?target=" + Target(server->port()));
      QCOMPARE(SampleOf(answer.body, "zerval_up"), 0.0);
      QCOMPARE(SampleOf(answer.body, "zerval_probe_failure_info{reason=\"unreadable\"}"), 1.0);
      for (const QByteArray& line : answer.body.split('\n'))
        if (!line.startsWith('#') && !line.isEmpty()) series << line.left(line.lastIndexOf(' '));
    }
    QCOMPARE(series, (QSet<QByteArray>{"zerval_up", "zerval_probe_duration_seconds",
                                       "zerval_probe_failure_info{reason=\"unreadable\"}"}));
  }

  void probesKeepTheirBudget() {
    // A flood from another port beside a server that never answers, and a server named by a host
    // name.
    FloodPeer flood(Reply('m', "x"), std::chrono::milliseconds(3000), FloodPeer::From::Foreign);
    const auto server = StartSimulator({});
    ExporterProcess exporter;
    QVERIFY2(exporter.start(), qPrintable(exporter.errorText()));
    const HttpHeaders soon{{"X-Prometheus-Scrape-Timeout-Seconds", "0.8"}};
    const HttpAnswer flooded =
        HttpGet(exporter.port(), "/probe?target=" + Target(flood.port()), soon);
    QVERIFY(flood.sent() > 0);
    QCOMPARE(SampleOf(flooded.body, "zerval_probe_failure_info{reason=\"timeout\"}"), 1.0);
    // The budget of 0.4 s, and room for a busy machine: a probe that let the flood hold it would
    // take the flood's 3 s.
    QVERIFY(SampleOf(flooded.body, "zerval_probe_duration_seconds") < 0.4 + 0.3);
    const QByteArray named = "/probe?target=localhost:" + QByteArray::number(server->port());
    QCOMPARE(SampleOf(HttpGet(exporter.port(), named).body, "zerval_up"), 1.0);
  }

  void debugPageIndexAndFailureLog() {
    const auto server = StartSimulator({"--password", "geheim", "--players", "2"});
    QTemporaryDir dir;
    const QString passwords = WriteFile(dir, "p.txt", Target(server->port()) + " geheim\n");
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords}), qPrintable(exporter.errorText()));
    const QByteArray probe = "/probe?players=1&target=" + Target(server->port());

    const HttpAnswer debug = HttpGet(exporter.port(), probe + "&debug=true");
    QVERIFY(debug.head.contains("Content-Type: text/plain"));
    for (const char* step : {"details: sent 12 bytes", "players: received", "reply of",
                             "console \"status\": sent", "\nSucceeded after ", "\nzerval_up 1\n"})
      QVERIFY2(debug.body.contains(step), step);
    QVERIFY(!debug.body.contains("geheim"));
    QCOMPARE(HttpGet(exporter.port(), probe + "&debug=yes").status, 400);

    const HttpAnswer index = HttpGet(exporter.port(), "/");
    QVERIFY(index.head.contains("Content-Type: text/html"));
    QVERIFY(index.body.contains("href=\"/metrics\"") && index.body.contains("href=\"/probe?"));

    // Every answer in the text format passes Prometheus's own check.
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    const HttpHeaders soon{{"X-Prometheus-Scrape-Timeout-Seconds", "0.8"}};
    const QByteArray down = "/probe?target=" + Target(silent.localPort());
    for (const QByteArray& path : {probe, down, QByteArray("/metrics")})
      QCOMPARE(PromtoolComplaint(HttpGet(exporter.port(), path, soon).body), QByteArray());
    QCOMPARE(SampleOf(HttpGet(exporter.port(), down, soon).body,
                      "zerval_probe_failure_info{reason=\"timeout\"}"),
             1.0);
    const QByteArray metrics = HttpGet(exporter.port(), "/metrics").body;
    for (const char* figure : {"process_cpu_seconds_total", "process_open_fds", "process_max_fds",
                               "process_virtual_memory_bytes"})
      QVERIFY2(SampleOf(metrics, figure) >= 0, figure);
    QVERIFY(SampleOf(metrics, "process_start_time_seconds") > 1e9);

    // Two failed probes of one target, one line.
    QVERIFY(exporter.stop());
    const QByteArray failed = "zerval-exporter: probe of " + Target(silent.localPort()) + " failed";
    const QByteArray log = exporter.process()->readAllStandardError();
    QCOMPARE(log.count(failed), 1);
    QVERIFY2(log.contains(failed + " (timeout) after 0."), log);
  }
};

QTEST_GUILESS_MAIN(TestExporter)
#include "test_exporter.moc"
