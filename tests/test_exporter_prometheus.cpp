// The real thing: Debian's Prometheus scrapes zerval-exporter through the multi-target
// relabelling, against two simulators and one address where nothing answers; the example files
// of contrib/ pass Prometheus's and systemd's own checks.
#include <signal.h>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <QUrl>
#include <map>
#include <memory>

#include "exporter.h"
#include "simulator.h"

namespace {

// Everything the test waits for ends by this bound, so a failure never hangs the run.
constexpr int WaitMs = 60000;

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Run RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  Run run;
  if (!process.waitForFinished(WaitMs)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

QString Source(const QString& path) {
  return QStringLiteral(ZERVAL_SOURCE_DIR "/") + path;
}

// A TCP port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreeTcpPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// Prometheus as a child process with its own port and data folder, stopped when it goes.
class PrometheusProcess {
 public:
  ~PrometheusProcess() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  bool start(const QString& config, const QString& dataDir) {
    port_ = FreeTcpPort();
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_.start("prometheus", {"--config.file=" + config, "--storage.tsdb.path=" + dataDir,
                                  "--web.listen-address=127.0.0.1:" + QString::number(port_),
                                  "--log.level=warn"});
    return process_.waitForStarted(WaitMs);
  }

  // The instant vector of `query`, by the instance label; empty until Prometheus answers.
  std::map<QString, QJsonObject> query(const QString& expression) {
    const QByteArray path = "/api/v1/query?query=" + QUrl::toPercentEncoding(expression);
    const HttpAnswer answer = HttpGet(port_, path, {}, 5000);
    std::map<QString, QJsonObject> byInstance;
    const QJsonObject reply = QJsonDocument::fromJson(answer.body).object();
    for (const QJsonValue sample : reply["data"].toObject()["result"].toArray())
      byInstance[sample["metric"].toObject()["instance"].toString()] = sample.toObject();
    return byInstance;
  }

  QByteArray output() { return process_.readAll(); }
  bool running() const { return process_.state() == QProcess::Running; }

 private:
  QProcess process_;
  std::uint16_t port_ = 0;
};

double ValueOf(const QJsonObject& sample) {
  return sample["value"].toArray().at(1).toString().toDouble();
}

QString LabelOf(const QJsonObject& sample, const QString& label) {
  return sample["metric"].toObject()[label].toString();
}

QString Target(std::uint16_t port) {
  return "127.0.0.1:" + QString::number(port);
}

}  // namespace

class TestExporterPrometheus : public QObject {
  Q_OBJECT

 private slots:
  void contribFilesPassTheirChecks() {
    const Run rules = RunTool("promtool", {"check", "rules", Source("contrib/zerval-alerts.yml")});
    QVERIFY2(rules.exitCode == 0, rules.out + rules.err);
    const Run config = RunTool("promtool", {"check", "config", Source("contrib/prometheus.yml")});
    QVERIFY2(config.exitCode == 0, config.out + config.err);

    // The unit as installed, with the program where this build has it.
    QFile unitSource(Source("contrib/zerval-exporter.service.in"));
    QVERIFY(unitSource.open(QIODevice::ReadOnly));
    QTemporaryDir dir;
    QFile unit(dir.filePath("zerval-exporter.service"));
    QVERIFY(unit.open(QIODevice::WriteOnly));
    const QByteArray binDir = QFileInfo(ZERVAL_EXPORTER_BIN).absolutePath().toUtf8();
    unit.write(unitSource.readAll().replace("@CMAKE_INSTALL_FULL_BINDIR@", binDir));
    unit.close();
    const Run verify = RunTool("systemd-analyze", {"verify", unit.fileName()});
    // It warns of unknown keys and bad values on standard error only.
    QVERIFY2(verify.exitCode == 0 && verify.err.isEmpty(), verify.out + verify.err);
  }

  void prometheusScrapesThroughTheRelabelling() {
    QVERIFY2(!QStandardPaths::findExecutable("prometheus").isEmpty(),
             "prometheus is missing: run scripts/install-deps.sh");
    SimulatorProcess classic;
    QVERIFY2(classic.start(
                 {"--players", "3", "--bots", "0", "--name", "Classic Arena", "--map", "dm_stone"}),
             qPrintable(classic.errorText()));
    SimulatorProcess steam;
    QVERIFY2(steam.start({"--protocol", "steam", "--password", "s3cret", "--players", "5", "--bots",
                          "1", "--name", "Steam Arena", "--map", "dm_dune"}),
             qPrintable(steam.errorText()));
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));

    QTemporaryDir dir;
    QFile passwords(dir.filePath("passwords.txt"));
    QVERIFY(passwords.open(QIODevice::WriteOnly));
    passwords.write(Target(steam.port()).toUtf8() + " s3cret\n");
    passwords.close();
    ExporterProcess exporter;
    QVERIFY2(exporter.start({"--rcon-passwords", passwords.fileName()}),
             qPrintable(exporter.errorText()));

    const QString config = dir.filePath("prometheus.yml");
    QFile configFile(config);
    QVERIFY(configFile.open(QIODevice::WriteOnly));
    configFile.write(QString(R"(global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: zerval
    metrics_path: /probe
    static_configs:
      - targets: ["%1", "%2", "%3"]
    relabel_configs:
      - source_labels: [__address__]
        target_label: __param_target
      - source_labels: [__param_target]
        target_label: instance
      - target_label: __address__
        replacement: 127.0.0.1:%4
)")
                         .arg(Target(classic.port()), Target(silent.localPort()),
                              Target(steam.port()), QString::number(exporter.port()))
                         .toUtf8());
    configFile.close();

    PrometheusProcess prometheus;
    QVERIFY(prometheus.start(config, dir.filePath("data")));
    // Until all three targets were scraped and the silent one's probe ended.
    std::map<QString, QJsonObject> up;
    const QDeadlineTimer deadline(WaitMs);
    while (up.size() < 3 && prometheus.running() && !deadline.hasExpired()) {
      QThread::msleep(250);
      up = prometheus.query("zerval_up");
    }
    QVERIFY2(up.size() == 3, prometheus.output());
    QCOMPARE(ValueOf(up[Target(classic.port())]), 1.0);
    QCOMPARE(ValueOf(up[Target(steam.port())]), 1.0);
    QCOMPARE(ValueOf(up[Target(silent.localPort())]), 0.0);

    std::map<QString, QJsonObject> players = prometheus.query("zerval_players");
    QCOMPARE(players.size(), std::size_t(2));
    QCOMPARE(ValueOf(players[Target(classic.port())]), 3.0);
    QCOMPARE(ValueOf(players[Target(steam.port())]), 6.0);

    std::map<QString, QJsonObject> console = prometheus.query("zerval_rcon_up");
    QCOMPARE(console.size(), std::size_t(1));
    QCOMPARE(ValueOf(console[Target(steam.port())]), 1.0);

    std::map<QString, QJsonObject> info = prometheus.query("zerval_info");
    QCOMPARE(LabelOf(info[Target(classic.port())], "name"), QString("Classic Arena"));
    QCOMPARE(LabelOf(info[Target(classic.port())], "map"), QString("dm_stone"));
    QCOMPARE(LabelOf(info[Target(steam.port())], "name"), QString("Steam Arena"));
    QCOMPARE(LabelOf(info[Target(steam.port())], "map"), QString("dm_dune"));
    QCOMPARE(LabelOf(info[Target(steam.port())], "query_protocol"), QString("a2s"));
    QVERIFY(exporter.stop());
  }
};

QTEST_GUILESS_MAIN(TestExporterPrometheus)
#include "test_exporter_prometheus.moc"
