// Cross-check of the game-server simulator's Steam-era replies against two independent clients,
// qstat's quakestat and the npm package GameDig: each must read the name, map, players with their
// scores and the rules that the simulator's console shows, from replies that come in pieces.
// Missing tools are installed from Debian and the npm registry; only where that fails is a check
// skipped.
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "simulator.h"

namespace {

const QByteArray ServerName = "Cross Check A2S";
const QByteArray MapName = "dm_harbor";
const QString Password = "pw";
constexpr int Players = 32;
constexpr int Rules = 60;

QStringList SimulatorArguments(const QString& layout, const QStringList& extra) {
  return QStringList{"--protocol", "steam", "--name",       ServerName, "--map",      MapName,
                     "--players",  "30",    "--bots",       "2",        "--max",      "32",
                     "--rules",    "60",    "--seed",       "4",        "--password", Password,
                     "--split",    layout,  "--split-size", "600"} +
         extra;
}

struct Player {
  QString name;
  int score = 0;
  bool operator<(const Player& other) const {
    return std::tie(name, score) < std::tie(other.name, other.score);
  }
};

// What one client read from the simulator.
struct Reading {
  QByteArray name;
  QByteArray map;
  int players = -1;
  int maxPlayers = -1;
  bool password = false;
  std::vector<Player> playerList;
  std::vector<std::pair<QString, QString>> rules;
};

struct Run {
  bool finished = false;
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Run RunProgram(const QString& program, const QStringList& arguments, int timeoutMs,
               const QString& directory = {}) {
  QProcess process;
  if (!directory.isEmpty()) process.setWorkingDirectory(directory);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DEBIAN_FRONTEND", "noninteractive");
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  Run run;
  run.finished = process.waitForFinished(timeoutMs);
  if (!run.finished) process.kill();
  process.waitForFinished(1000);
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

// Installs Debian packages as install-deps.sh would; the reason when that cannot be done here.
std::optional<QString> InstallDebianPackages(const QStringList& packages) {
  const QString aptGet = QStandardPaths::findExecutable("apt-get");
  if (aptGet.isEmpty() || geteuid() != 0)
    return "not installed, and apt-get cannot install " + packages.join(' ') + " here";
  const QStringList install =
      QStringList{"install", "-y", "-qq", "--no-install-recommends"} + packages;
  if (RunProgram(aptGet, install, 240000).exitCode == 0) return std::nullopt;
  RunProgram(aptGet, {"update", "-qq"}, 120000);
  const Run retried = RunProgram(aptGet, install, 240000);
  if (retried.exitCode == 0) return std::nullopt;
  return "apt-get could not install " + packages.join(' ') + ": " +
         QString::fromLocal8Bit(retried.err.left(300));
}

// The program's path; installs its package first when it is missing.
std::optional<QString> FindOrInstall(const QString& program, const QStringList& packages,
                                     QString& why) {
  QString path = QStandardPaths::findExecutable(program);
  if (!path.isEmpty()) return path;
  if (const std::optional<QString> failure = InstallDebianPackages(packages)) {
    why = program + " " + *failure;
    return std::nullopt;
  }
  path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) why = program + " still missing after installing " + packages.join(' ');
  return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

// The simulator's console; long output arrives in several replies, each but the last long.
class Console {
 public:
  explicit Console(std::uint16_t port) : port_(port) {
    socket_.bind(QHostAddress::LocalHost, 0);
    const std::string reply = ask("challenge rcon").value_or(std::string());
    const std::size_t end = reply.find('\n');
    if (reply.size() > 19 && end != std::string::npos) challenge_ = reply.substr(19, end - 19);
  }

  // The console text of a command's output, the replies' texts joined by line feeds.
  std::string run(const std::string& command) {
    std::string text;
    std::optional<std::string> reply =
        ask("rcon " + challenge_ + " " + Password.toStdString() + " " + command);
    for (bool first = true; reply && reply->size() >= 8; first = false) {
      text += (first ? "" : "\n") + reply->substr(5, reply->size() - 8);
      if (reply->size() < 1000) break;
      reply = receive(300);
    }
    return text;
  }

 private:
  std::optional<std::string> ask(const std::string& command) {
    const std::string request = std::string(4, '\xFF') + command + std::string(1, '\0');
    socket_.writeDatagram(request.data(), qint64(request.size()), QHostAddress::LocalHost, port_);
    return receive(3000);
  }
  std::optional<std::string> receive(int timeoutMs) {
    if (!socket_.hasPendingDatagrams() && !socket_.waitForReadyRead(timeoutMs)) return std::nullopt;
    QByteArray data(int(socket_.pendingDatagramSize()), '\0');
    data.resize(int(socket_.readDatagram(data.data(), data.size())));
    return data.toStdString();
  }

  QUdpSocket socket_;
  std::uint16_t port_;
  std::string challenge_;
};

// Nick bytes and frags of each player line of the status listing.
std::vector<std::pair<QByteArray, int>> StatusPlayers(const std::string& listing) {
  static const QRegularExpression line(
      R"re(^#[ \d]{3} "(.*)" \d+ \S+ (-?\d+) [\d:]+ \d+ \d+ \S+$)re");
  std::vector<std::pair<QByteArray, int>> players;
  for (const QByteArray& text : QByteArray::fromStdString(listing).split('\n')) {
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(text));
    if (match.hasMatch())
      players.emplace_back(match.captured(1).toLatin1(), match.captured(2).toInt());
  }
  return players;
}

// Asks for the players itself and sees the reply come in pieces.
bool PlayersComeInPieces(std::uint16_t port) {
  QUdpSocket socket;
  socket.bind(QHostAddress::LocalHost, 0);
  const auto ask = [&](const std::string& challenge) -> QByteArray {
    const std::string request = std::string(4, '\xFF') + "U" + challenge;
    socket.writeDatagram(request.data(), qint64(request.size()), QHostAddress::LocalHost, port);
    if (!socket.waitForReadyRead(3000)) return {};
    QByteArray data(int(socket.pendingDatagramSize()), '\0');
    data.resize(int(socket.readDatagram(data.data(), data.size())));
    return data;
  };
  const QByteArray challengeReply = ask(std::string(4, '\xFF'));
  if (challengeReply.size() != 9 || challengeReply[4] != 'A') return false;
  return ask(challengeReply.mid(5).toStdString()).startsWith("\xFE\xFF\xFF\xFF");
}

// Whether a checker sent an info request with the challenge appended.
bool InfoAskedWithChallenge(const SimulatorProcess& simulator) {
  const std::string info = std::string("\xFF\xFF\xFF\xFFTSource Engine Query") + '\0';
  for (const SimulatorProcess::Request& request : simulator.requests())
    if (request.bytes.size() == info.size() + 4 && request.bytes.compare(0, info.size(), info) == 0)
      return true;
  return false;
}

// quakestat's XML output, player names hex-encoded (-hpn, which some versions apply to the map
// too).
Reading ParseQstatXml(const QByteArray& xml, QString& status) {
  Reading reading;
  QXmlStreamReader reader(xml);
  QString section;
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    const QStringView element = reader.name();
    if (element == u"server") {
      status = reader.attributes().value("status").toString();
    } else if (element == u"rules" || element == u"players") {
      section = element.toString();
    } else if (element == u"player") {
      reading.playerList.emplace_back();
    } else if (element == u"rule") {
      const QString name = reader.attributes().value("name").toString();
      reading.rules.emplace_back(name, reader.readElementText());
    } else if (element == u"name" && section == "players" && !reading.playerList.empty()) {
      reading.playerList.back().name =
          QString::fromLatin1(QByteArray::fromHex(reader.readElementText().toLatin1()));
    } else if (element == u"score" && !reading.playerList.empty()) {
      reading.playerList.back().score = reader.readElementText().toInt();
    } else if (element == u"name" && section.isEmpty()) {
      reading.name = reader.readElementText().toLatin1();
    } else if (element == u"map") {
      const QByteArray map = reader.readElementText().toLatin1();
      reading.map = map == MapName ? map : QByteArray::fromHex(map);
    } else if (element == u"numplayers") {
      reading.players = reader.readElementText().toInt();
    } else if (element == u"maxplayers") {
      reading.maxPlayers = reader.readElementText().toInt();
    }
  }
  return reading;
}

// GameDig's texts arrive decoded as UTF-8.
Reading ParseGameDigJson(const QByteArray& json) {
  const QJsonObject state = QJsonDocument::fromJson(json).object();
  Reading reading;
  reading.name = state["name"].toString().toUtf8();
  reading.map = state["map"].toString().toUtf8();
  reading.players = state["numplayers"].toInt(-1);
  reading.maxPlayers = state["maxplayers"].toInt(-1);
  reading.password = state["password"].toBool();
  for (const QJsonValue player : state["players"].toArray())
    reading.playerList.push_back({player["name"].toString(), player["score"].toInt()});
  const QJsonObject rules = state["rules"].toObject();
  for (auto rule = rules.begin(); rule != rules.end(); ++rule)
    reading.rules.emplace_back(rule.key(), rule.value().toString());
  return reading;
}

// The reading against the simulator's console: the same players with the same scores (in any
// order: GameDig lists guessed bots last), and every rule that is one of the server's settings
// with the console's value. `decode` turns the listing's nick bytes into the reader's text.
void CompareWithConsole(const Reading& reading, Console& console,
                        QString (*decode)(const QByteArray&)) {
  QCOMPARE(reading.name, ServerName);
  QCOMPARE(reading.map, MapName);
  QCOMPARE(reading.players, Players);
  QCOMPARE(reading.maxPlayers, Players);

  std::vector<Player> expected;
  for (const auto& [nick, frags] : StatusPlayers(console.run("status")))
    expected.push_back({decode(nick), frags});
  QCOMPARE(int(expected.size()), Players);
  std::vector<Player> read = reading.playerList;
  std::sort(expected.begin(), expected.end());
  std::sort(read.begin(), read.end());
  QCOMPARE(read.size(), expected.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    QCOMPARE(read[i].name, expected[i].name);
    QCOMPARE(read[i].score, expected[i].score);
  }

  int settings = 0;
  bool changedGravity = false;
  for (const auto& [name, value] : reading.rules) {
    const std::string answer = console.run(name.toStdString());
    if (answer.rfind("Unknown command", 0) == 0) continue;  // qstat adds rules of its own
    QCOMPARE(QString::fromLatin1(answer.c_str()), "\"" + name + "\" is \"" + value + "\"");
    ++settings;
    changedGravity = changedGravity || (name == "sv_gravity" && value == "650");
  }
  QCOMPARE(settings, Rules);
  QVERIFY(changedGravity);
}

QString FromLatin1(const QByteArray& bytes) {
  return QString::fromLatin1(bytes);
}

QString FromUtf8(const QByteArray& bytes) {
  return QString::fromUtf8(bytes);
}

}  // namespace

class TestCrosscheckA2s : public QObject {
  Q_OBJECT

 private slots:
  void qstatReadsSplitReplies_data();
  void qstatReadsSplitReplies();
  void gameDigReadsSplitReplies_data();
  void gameDigReadsSplitReplies();

 private:
  // The folder with GameDig installed; empty, with the reason, when it cannot be had.
  QString gameDigFolder(QString& why);

  std::optional<QString> gameDigFolder_;
  QString gameDigWhy_;
};

void TestCrosscheckA2s::qstatReadsSplitReplies_data() {
  QTest::addColumn<QString>("type");
  QTest::addColumn<QString>("layout");
  QTest::addColumn<bool>("infoChallenge");
  QTest::newRow("-a2s, Source pieces") << "-a2s"
                                       << "source" << false;
  QTest::newRow("-hla2s, Packed pieces") << "-hla2s"
                                         << "packed" << false;
  QTest::newRow("-a2s, Packed pieces, info challenge") << "-a2s"
                                                       << "packed" << true;
  QTest::newRow("-hla2s, Source pieces, info challenge") << "-hla2s"
                                                         << "source" << true;
}

// qstat reads no compressed pieces; GameDig checks those.
void TestCrosscheckA2s::qstatReadsSplitReplies() {
  QFETCH(QString, type);
  QFETCH(QString, layout);
  QFETCH(bool, infoChallenge);
  QString why;
  const std::optional<QString> quakestat = FindOrInstall("quakestat", {"qstat"}, why);
  if (!quakestat) QSKIP(qPrintable(why));

  SimulatorProcess simulator;
  QVERIFY2(simulator.start(SimulatorArguments(
               layout, infoChallenge ? QStringList{"--info-challenge"} : QStringList{})),
           qPrintable(simulator.errorText()));
  Console console(simulator.port());
  QCOMPARE(console.run("sv_gravity 650"), std::string());
  QVERIFY(PlayersComeInPieces(simulator.port()));

  const QString address = "127.0.0.1:" + QString::number(simulator.port());
  const Run run = RunProgram(*quakestat, {type, address, "-P", "-R", "-xml", "-hpn"}, 30000);
  QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
  QString status;
  const Reading reading = ParseQstatXml(run.out, status);
  QCOMPARE(status, QString("UP"));
  CompareWithConsole(reading, console, FromLatin1);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(InfoAskedWithChallenge(simulator), infoChallenge);
}

void TestCrosscheckA2s::gameDigReadsSplitReplies_data() {
  QTest::addColumn<QString>("layout");
  QTest::addColumn<QStringList>("extra");
  QTest::newRow("Source pieces") << "source" << QStringList{};
  QTest::newRow("Packed pieces, info challenge, join password")
      << "packed" << QStringList{"--info-challenge", "--join-password", "secret"};
  QTest::newRow("compressed Source pieces") << "source" << QStringList{"--compress"};
  QTest::newRow("older Source pieces, without the size field") << "older-source" << QStringList{};
}

void TestCrosscheckA2s::gameDigReadsSplitReplies() {
  QFETCH(QString, layout);
  QFETCH(QStringList, extra);
  QString why;
  const QString folder = gameDigFolder(why);
  if (folder.isEmpty()) QSKIP(qPrintable(why));

  SimulatorProcess simulator;
  QVERIFY2(simulator.start(SimulatorArguments(layout, extra)), qPrintable(simulator.errorText()));
  Console console(simulator.port());
  QCOMPARE(console.run("sv_gravity 650"), std::string());
  QVERIFY(PlayersComeInPieces(simulator.port()));

  const Run run =
      RunProgram(QStandardPaths::findExecutable("node"),
                 {"query.mjs", "127.0.0.1", QString::number(simulator.port())}, 30000, folder);
  QVERIFY2(run.finished && run.exitCode == 0, run.err.constData());
  const Reading reading = ParseGameDigJson(run.out);
  QCOMPARE(reading.password, extra.contains("--join-password"));
  CompareWithConsole(reading, console, FromUtf8);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(InfoAskedWithChallenge(simulator), extra.contains("--info-challenge"));
}

// GameDig goes into a folder beside the test program, once; the script and its package file
// are copied there from the sources, so that a change to them installs afresh.
QString TestCrosscheckA2s::gameDigFolder(QString& why) {
  if (gameDigFolder_) {
    why = gameDigWhy_;
    return *gameDigFolder_;
  }
  gameDigFolder_ = QString();
  const std::optional<QString> node = FindOrInstall("node", {"nodejs", "npm"}, gameDigWhy_);
  const std::optional<QString> npm =
      node ? FindOrInstall("npm", {"npm"}, gameDigWhy_) : std::nullopt;
  why = gameDigWhy_;
  if (!npm) return {};

  const QDir sources(QStringLiteral(ZERVAL_SOURCE_DIR) + "/tests/gamedig");
  const QDir scratch(QCoreApplication::applicationDirPath() + "/gamedig-scratch");
  QDir().mkpath(scratch.path());
  bool changed = !QFile::exists(scratch.filePath("node_modules/gamedig/package.json"));
  for (const QString& file : {QStringLiteral("package.json"), QStringLiteral("query.mjs")}) {
    QFile source(sources.filePath(file));
    QFile copy(scratch.filePath(file));
    if (!source.open(QIODevice::ReadOnly)) {
      why = gameDigWhy_ = "cannot read " + source.fileName();
      return {};
    }
    const QByteArray text = source.readAll();
    if (copy.open(QIODevice::ReadOnly) && copy.readAll() == text) continue;
    copy.close();
    changed = changed || file == "package.json";
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(text) != text.size()) {
      why = gameDigWhy_ = "cannot write " + copy.fileName();
      return {};
    }
  }
  if (changed) {
    const Run install = RunProgram(*npm, {"install", "--no-audit", "--no-fund", "--loglevel=error"},
                                   180000, scratch.path());
    if (!install.finished || install.exitCode != 0) {
      why = gameDigWhy_ = "npm could not install gamedig (is the npm registry reachable?): " +
                          QString::fromLocal8Bit(install.err.left(300));
      return {};
    }
  }
  gameDigFolder_ = scratch.path();
  return *gameDigFolder_;
}

QTEST_GUILESS_MAIN(TestCrosscheckA2s)
#include "test_crosscheck_a2s.moc"
