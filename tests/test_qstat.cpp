// Cross-check of the game-server simulator against an independent client: qstat's quakestat must
// read back the name, map, player count, players with frags and rules that the simulator holds.
#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <string>
#include <utility>
#include <vector>

#include "simulator.h"

namespace {

struct QstatPlayer {
  QByteArray name;
  int score = 0;
};

struct QstatServer {
  QString status;
  QString name;
  QString map;
  int players = -1;
  int maxPlayers = -1;
  std::vector<std::pair<QString, QString>> rules;
  std::vector<QstatPlayer> playerList;
};

// The one <server> of quakestat's XML output; player names are expected hex-encoded (-hpn), as
// the plain output masks 8-bit characters.
QstatServer ParseQstatXml(const QByteArray& xml) {
  QstatServer server;
  QXmlStreamReader reader(xml);
  QString section;
  while (!reader.atEnd()) {
    if (reader.readNext() != QXmlStreamReader::StartElement) continue;
    const QStringView element = reader.name();
    if (element == u"server") {
      server.status = reader.attributes().value("status").toString();
    } else if (element == u"rules" || element == u"players") {
      section = element.toString();
    } else if (element == u"player") {
      server.playerList.emplace_back();
    } else if (element == u"rule") {
      const QString name = reader.attributes().value("name").toString();
      server.rules.emplace_back(name, reader.readElementText());
    } else if (element == u"name" && section == "players" && !server.playerList.empty()) {
      server.playerList.back().name = QByteArray::fromHex(reader.readElementText().toLatin1());
    } else if (element == u"score" && !server.playerList.empty()) {
      server.playerList.back().score = reader.readElementText().toInt();
    } else if (element == u"name" && section.isEmpty()) {
      server.name = reader.readElementText();
    } else if (element == u"map") {
      server.map = reader.readElementText();
    } else if (element == u"numplayers") {
      server.players = reader.readElementText().toInt();
    } else if (element == u"maxplayers") {
      server.maxPlayers = reader.readElementText().toInt();
    }
  }
  return server;
}

QstatServer RunQstat(const QString& quakestat, const QStringList& arguments) {
  QProcess qstat;
  qstat.start(quakestat, arguments);
  if (!qstat.waitForFinished(30000)) return {};
  return ParseQstatXml(qstat.readAllStandardOutput());
}

// The simulator's console, used as the second, independent view of its state.
class Console {
 public:
  Console(std::uint16_t port, const std::string& password) : port_(port), password_(password) {
    socket_.bind(QHostAddress::LocalHost, 0);
    const std::string reply = ask("challenge rcon");
    const std::size_t end = reply.find('\n');
    if (reply.size() > 19 && end != std::string::npos) challenge_ = reply.substr(19, end - 19);
  }
  // The console text of a command's reply (without the kind byte and the closing bytes).
  std::string run(const std::string& command) {
    const std::string reply = ask("rcon " + challenge_ + " " + password_ + " " + command);
    return reply.size() >= 8 ? reply.substr(5, reply.size() - 8) : std::string();
  }

 private:
  std::string ask(const std::string& command) {
    const std::string request = std::string(4, '\xFF') + command + std::string(1, '\0');
    socket_.writeDatagram(request.data(), qint64(request.size()), QHostAddress::LocalHost, port_);
    if (!socket_.waitForReadyRead(3000)) return {};
    QByteArray data(int(socket_.pendingDatagramSize()), '\0');
    data.resize(int(socket_.readDatagram(data.data(), data.size())));
    return data.toStdString();
  }

  QUdpSocket socket_;
  std::uint16_t port_;
  std::string password_;
  std::string challenge_;
};

// Nick and frags of each player line of the status listing, in listing order.
std::vector<QstatPlayer> StatusPlayers(const std::string& listing) {
  static const QRegularExpression line(
      R"re(^#[ \d]{3} "(.*)" \d+ \S+ (-?\d+) [\d:]+ \d+ \d+ \S+$)re");
  std::vector<QstatPlayer> players;
  for (const QByteArray& text : QByteArray::fromStdString(listing).split('\n')) {
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(text));
    if (match.hasMatch())
      players.push_back({match.captured(1).toLatin1(), match.captured(2).toInt()});
  }
  return players;
}

}  // namespace

class TestQstat : public QObject {
  Q_OBJECT

 private slots:
  void qstatReadsWhatTheSimulatorHolds();
};

void TestQstat::qstatReadsWhatTheSimulatorHolds() {
  const QString quakestat = QStandardPaths::findExecutable("quakestat");
  if (quakestat.isEmpty())
    QSKIP("quakestat not found: install the Debian package \"qstat\" to run this cross-check");

  SimulatorProcess simulator;
  QVERIFY2(
      simulator.start({"--name", "Cross Check", "--map", "dm_harbor", "--players", "6", "--bots",
                       "2", "--max", "24", "--rules", "35", "--seed", "3", "--password", "pw"}),
      qPrintable(simulator.errorText()));
  Console console(simulator.port(), "pw");
  QCOMPARE(console.run("sv_gravity 650"), std::string());

  // -hpn writes player names (and, in some versions, the map) as hex; a second run reads the
  // player names byte for byte.
  const QString address = "127.0.0.1:" + QString::number(simulator.port());
  const QstatServer server = RunQstat(quakestat, {"-hls", address, "-R", "-xml"});
  const QstatServer withPlayers = RunQstat(quakestat, {"-hls", address, "-P", "-xml", "-hpn"});

  QCOMPARE(server.status, QString("UP"));
  QCOMPARE(server.name, QString("Cross Check"));
  QCOMPARE(server.map, QString("dm_harbor"));
  QCOMPARE(server.players, 8);
  QCOMPARE(server.maxPlayers, 24);

  const std::vector<QstatPlayer> expected = StatusPlayers(console.run("status"));
  QCOMPARE(expected.size(), std::size_t(8));
  QCOMPARE(withPlayers.playerList.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QCOMPARE(withPlayers.playerList[i].name, expected[i].name);
    QCOMPARE(withPlayers.playerList[i].score, expected[i].score);
  }

  // qstat adds rules of its own from the details reply; each rule that is one of the server's
  // settings must carry the console's value.
  int settings = 0;
  bool changedGravity = false;
  for (const auto& [name, value] : server.rules) {
    const std::string answer = console.run(name.toStdString());
    if (answer.rfind("Unknown command", 0) == 0) continue;
    QCOMPARE(QString::fromStdString(answer), "\"" + name + "\" is \"" + value + "\"");
    ++settings;
    changedGravity = changedGravity || (name == "sv_gravity" && value == "650");
  }
  QVERIFY2(settings >= 35, qPrintable(QString::number(settings)));
  QVERIFY(changedGravity);
}

QTEST_GUILESS_MAIN(TestQstat)
#include "test_qstat.moc"
