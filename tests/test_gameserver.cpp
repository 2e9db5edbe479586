// The game-server simulator, driven over UDP on 127.0.0.1 as a child process.
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator.h"

namespace {

struct Datagram {
  std::string bytes;
  std::uint16_t fromPort = 0;
};

class Client {
 public:
  explicit Client(const QHostAddress& address = QHostAddress::LocalHost) {
    socket_.bind(address, 0);
  }
  std::uint16_t port() const { return socket_.localPort(); }

  void sendRaw(std::uint16_t port, const std::string& bytes) {
    socket_.writeDatagram(bytes.data(), qint64(bytes.size()), QHostAddress::LocalHost, port);
  }
  void send(std::uint16_t port, const std::string& command) {
    sendRaw(port, std::string(4, '\xFF') + command + std::string(1, '\0'));
  }
  std::optional<Datagram> receive(int timeoutMs = 2000) {
    if (!socket_.hasPendingDatagrams() && !socket_.waitForReadyRead(timeoutMs)) return std::nullopt;
    QByteArray data(int(socket_.pendingDatagramSize()), '\0');
    QHostAddress from;
    quint16 fromPort = 0;
    const qint64 size = socket_.readDatagram(data.data(), data.size(), &from, &fromPort);
    return Datagram{data.left(int(size)).toStdString(), fromPort};
  }
  // The next datagram; fromPort 0 when none came.
  Datagram next(int timeoutMs = 2000) { return receive(timeoutMs).value_or(Datagram()); }
  std::string ask(std::uint16_t port, const std::string& command, int timeoutMs = 2000) {
    send(port, command);
    const std::optional<Datagram> reply = receive(timeoutMs);
    return reply ? reply->bytes : std::string();
  }
  // Every datagram that arrives until none has come for `quietMs`.
  std::vector<std::string> gather(int quietMs = 300) {
    std::vector<std::string> datagrams;
    while (const std::optional<Datagram> datagram = receive(quietMs))
      datagrams.push_back(datagram->bytes);
    return datagrams;
  }
  std::vector<std::string> askAll(std::uint16_t port, const std::string& request) {
    sendRaw(port, request);
    return gather();
  }
  std::string challenge(std::uint16_t port) {
    const std::string reply = ask(port, "challenge rcon");
    const std::size_t end = reply.find('\n');
    return reply.size() > 19 && end != std::string::npos ? reply.substr(19, end - 19) : "";
  }
  // The console text of the reply to one console line, or "<no reply>" / "<bad ending>".
  std::string console(std::uint16_t port, const std::string& challenge, const std::string& password,
                      const std::string& command, int timeoutMs = 2000) {
    const std::string reply =
        ask(port, "rcon " + challenge + " " + password + " " + command, timeoutMs);
    if (reply.empty()) return "<no reply>";
    if (reply == std::string("\xFF\xFF\xFF\xFFl\0\0", 7)) return "";
    const std::string ending("\n\0\0", 3);
    if (reply.size() < 9 || reply.compare(0, 5, "\xFF\xFF\xFF\xFFl") != 0 ||
        reply.compare(reply.size() - 3, 3, ending) != 0)
      return "<bad ending>";
    return reply.substr(5, reply.size() - 8);
  }

 private:
  QUdpSocket socket_;
};

// Reads reply fields from offset 5 and notices reading past the end.
struct Reader {
  std::string_view data;
  std::size_t at = 5;
  bool overrun = false;

  std::uint8_t byte() {
    if (at >= data.size()) {
      overrun = true;
      return 0;
    }
    return std::uint8_t(data[at++]);
  }
  // Two bytes, little-endian: read one after the other, as the order of the operands of an
  // expression is not fixed.
  int uint16() {
    const int low = byte();
    return low | byte() << 8;
  }
  std::uint32_t uint32() {
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t(byte()) << shift;
    return value;
  }
  float real() {
    const std::uint32_t bits = uint32();
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text() {
    const std::size_t end = data.find('\0', at);
    if (end == std::string_view::npos) {
      overrun = true;
      return {};
    }
    const std::string value(data.substr(at, end - at));
    at = end + 1;
    return value;
  }
  bool atEnd() const { return !overrun && at == data.size(); }
};

// The challenge with which a client asks for one.
constexpr std::uint32_t NoChallenge = 0xFFFFFFFFu;

std::string SteamInfoRequest() {
  return std::string("\xFF\xFF\xFF\xFFTSource Engine Query") + '\0';
}

std::string Uint32Bytes(std::uint32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) bytes += char(value >> shift & 0xFF);
  return bytes;
}

// 'U' or 'V' with a challenge; 0xFFFFFFFF asks for one.
std::string SteamRequest(char kind, std::uint32_t challenge) {
  return "\xFF\xFF\xFF\xFF" + std::string(1, kind) + Uint32Bytes(challenge);
}

// The challenge of an 'A' reply; nothing for any other datagram.
std::optional<std::uint32_t> SteamChallenge(const std::string& reply) {
  if (reply.size() != 9 || reply.compare(0, 5,
                                         "\xFF\xFF\xFF\xFF"
                                         "A") != 0)
    return std::nullopt;
  return Reader{reply}.uint32();
}

// The kind byte of a reply, 0 when there is none.
char Kind(const std::string& reply) {
  return reply.size() > 4 ? reply[4] : '\0';
}

struct Piece {
  std::uint32_t id = 0;
  int number = 0;
  int count = 0;
  int largestDatagram = 0;  // the Source layout's size field
  std::string data;
};

// One piece of a split reply in the layout named as --split names it; nothing for a datagram
// that is none.
std::optional<Piece> ReadPiece(const std::string& datagram, const QString& layout = "source") {
  const bool packed = layout == "packed";
  const std::size_t header = packed ? 9 : layout == "older-source" ? 10 : 12;
  if (datagram.size() <= header || datagram.compare(0, 4, "\xFE\xFF\xFF\xFF") != 0)
    return std::nullopt;
  Reader in{datagram, 4};
  Piece piece;
  piece.id = in.uint32();
  if (packed) {
    const int packed = in.byte();
    piece.number = packed >> 4;
    piece.count = packed & 0x0F;
  } else {
    piece.count = in.byte();
    piece.number = in.byte();
    if (header == 12) piece.largestDatagram = in.uint16();
  }
  piece.data = datagram.substr(header);
  return piece;
}

// The data of the pieces in number order, when they are all there and belong together.
std::optional<std::string> JoinPieces(const std::vector<Piece>& pieces) {
  if (pieces.empty() || int(pieces.size()) != pieces.front().count) return std::nullopt;
  std::vector<const Piece*> ordered(pieces.size(), nullptr);
  for (const Piece& piece : pieces) {
    if (piece.id != pieces.front().id || piece.count != pieces.front().count ||
        piece.number >= piece.count || ordered[std::size_t(piece.number)])
      return std::nullopt;
    ordered[std::size_t(piece.number)] = &piece;
  }
  std::string data;
  for (const Piece* piece : ordered) data += piece->data;
  return data;
}

// Written bit by bit, apart from the simulator's table.
std::uint32_t BitwiseCrc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : bytes) {
    crc ^= std::uint8_t(c);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// Through the bzip2 program, so that the simulator's use of the library is checked by another.
std::string Bunzip2(const std::string& packed) {
  QProcess bzip2;
  bzip2.start("bzip2", {"-dc"});
  bzip2.write(packed.data(), qint64(packed.size()));
  bzip2.closeWriteChannel();
  bzip2.waitForFinished(10000);
  return bzip2.readAllStandardOutput().toStdString();
}

QStringList Lines(const std::string& text) {
  return QString::fromLatin1(text.data(), int(text.size())).split('\n');
}

// "#  1 "nick" userid uniqueid frags time ping loss address"
const QRegularExpression PlayerLine(
    R"re(^#[ \d]{3} "(.*)" (\d+) (\S+) (-?\d+) (\d+:)?\d\d:\d\d (\d+) (\d+) (\S+)$)re");

struct StatusPlayer {
  QString nick;
  int userId = 0;
  QString uniqueId;
  QString address;
};

std::vector<StatusPlayer> StatusPlayers(const QStringList& lines) {
  std::vector<StatusPlayer> players;
  for (int i = 7; i + 1 < lines.size(); ++i) {
    const QRegularExpressionMatch match = PlayerLine.match(lines[i]);
    if (match.hasMatch())
      players.push_back(
          {match.captured(1), match.captured(2).toInt(), match.captured(3), match.captured(8)});
  }
  return players;
}

// A client of the TCP console, packet by packet.
class TcpClient {
 public:
  explicit TcpClient(std::uint16_t port) {
    socket_.connectToHost(QHostAddress::LocalHost, port);
    socket_.waitForConnected(2000);
  }
  void send(std::int32_t id, std::int32_t type, const std::string& body) {
    QByteArray packet(12, '\0');
    qToLittleEndian<std::int32_t>(std::int32_t(body.size()) + 10, packet.data());
    qToLittleEndian<std::int32_t>(id, packet.data() + 4);
    qToLittleEndian<std::int32_t>(type, packet.data() + 8);
    socket_.write(packet + QByteArray::fromStdString(body) + QByteArray(2, '\0'));
    socket_.flush();
  }
  // "id type body" of the next packet, or "none".
  std::string next() {
    auto size = [this] { return qFromLittleEndian<std::int32_t>(buffer_.constData()); };
    while (buffer_.size() < 4 || buffer_.size() < 4 + size()) {
      if (!socket_.waitForReadyRead(2000)) return "none";
      buffer_ += socket_.readAll();
    }
    const QByteArray packet = buffer_.left(4 + size());
    buffer_.remove(0, packet.size());
    return std::to_string(qFromLittleEndian<std::int32_t>(packet.constData() + 4)) + " " +
           std::to_string(qFromLittleEndian<std::int32_t>(packet.constData() + 8)) + " " +
           packet.mid(12, packet.size() - 14).toStdString();
  }
  // A command under `id` and its marker under id + 1: the output up to the mirrored marker,
  // which the server follows with one more packet.
  std::string run(std::int32_t id, const std::string& command) {
    send(id, 2, command);
    send(id + 1, 0, "");
    const std::string outputHead = std::to_string(id) + " 0 ";
    std::string output;
    std::string packet = next();
    for (; packet.rfind(outputHead, 0) == 0; packet = next())
      output += packet.substr(outputHead.size());
    const bool marked = packet == std::to_string(id + 1) + " 0 " && next().size() > 4;
    return marked ? output : output + "<no marker>";
  }

 private:
  QTcpSocket socket_;
  QByteArray buffer_;
};

bool Start(SimulatorProcess& simulator, const QStringList& arguments) {
  if (simulator.start(arguments)) return true;
  qWarning("%s", qPrintable(simulator.errorText()));
  return false;
}

}  // namespace

class TestGameServer : public QObject {
  Q_OBJECT

 private slots:
  void detailsReply_data();
  void detailsReply();
  void playersMatchStatusOrder();
  void rulesReply_data();
  void rulesReply();
  void challengeReplyLayout();
  void consoleAuthorisation_data();
  void consoleAuthorisation();
  void statusListingShape();
  void kickAndBanChangeThePlayers();
  void consoleCommands();
  void ignoredRequests();
  void requestCountFaults();
  void delayedAndLateReplies();
  void misshapenReplies();
  void replyFromAnotherPort();
  void scenarioFile();
  void badOptionsAreRefused_data();
  void badOptionsAreRefused();
  void requestLogKeepsWireOrder();
  void answersRequestsWithoutClosingZero();
  void severalServersInOneProcess();
  void playersComeAndGo();
  void logLinesGoToTheLogAddress();
  void portInUseAndCleanStop();

  void protocolModes_data();
  void protocolModes();
  void infoReply_data();
  void infoReply();
  void steamChallengeRoundTrip_data();
  void steamChallengeRoundTrip();
  void detailsAndInfoForOneRequest();
  void splitReplies_data();
  void splitReplies();
  void compressedReply();
  void pieceFaults_data();
  void pieceFaults();
  void tooManyPiecesForTheLayout();
  void longConsoleOutput_data();
  void longConsoleOutput();
  void expiredConsoleChallenge_data();
  void expiredConsoleChallenge();
  void wrongPasswordsBanTheAddress();
  void tcpConsoleAndTodaysLogLines();
};

void TestGameServer::detailsReply_data() {
  QTest::addColumn<bool>("mod");
  QTest::newRow("plain") << false;
  QTest::newRow("mod block") << true;
}

void TestGameServer::detailsReply() {
  QFETCH(bool, mod);
  SimulatorProcess simulator;
  QStringList arguments{"--name", "Alpha Base", "--map", "dm_lake", "--players",
                        "3",      "--bots",     "2",     "--max",   "20"};
  if (mod) arguments << "--mod";
  QVERIFY(Start(simulator, arguments));
  Client client;
  const std::string reply = client.ask(simulator.port(), "details");
  QVERIFY(reply.compare(0, 5, "\xFF\xFF\xFF\xFFm") == 0);
  Reader in{reply};
  QCOMPARE(in.text(), "127.0.0.1:" + std::to_string(simulator.port()));
  QCOMPARE(in.text(), std::string("Alpha Base"));
  QCOMPARE(in.text(), std::string("dm_lake"));
  QVERIFY(!in.text().empty());  // game directory
  QVERIFY(!in.text().empty());  // game name
  QCOMPARE(int(in.byte()), 5);
  QCOMPARE(int(in.byte()), 20);
  QCOMPARE(int(in.byte()), 47);
  QCOMPARE(char(in.byte()), 'd');
  QCOMPARE(char(in.byte()), 'l');
  QCOMPARE(int(in.byte()), 0);
  QCOMPARE(int(in.byte()), mod ? 1 : 0);
  if (mod) {
    QVERIFY(!in.text().empty());  // information address
    QVERIFY(!in.text().empty());  // download address
    in.byte();
    QVERIFY(int(in.uint32()) > 0);  // version
    QVERIFY(int(in.uint32()) > 0);  // size
    QVERIFY(in.byte() <= 1);
    QVERIFY(in.byte() <= 1);
  }
  QVERIFY(in.atEnd());
}

// Clients take row n of the players reply as record n of the status listing.
void TestGameServer::playersMatchStatusOrder() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "5", "--bots", "2", "--password", "pw"}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "players");
  QCOMPARE(reply.substr(0, 5), std::string("\xFF\xFF\xFF\xFF"
                                           "D"));
  Reader in{reply};
  const int count = in.byte();
  QCOMPARE(count, 7);
  std::vector<QString> names;
  int lastIndex = 0;
  for (int i = 0; i < count; ++i) {
    const int index = in.byte();
    QVERIFY(index > lastIndex);
    lastIndex = index;
    names.push_back(QString::fromLatin1(in.text().c_str()));
    in.uint32();
    const float seconds = in.real();
    QVERIFY2(seconds >= 30 && seconds < 3700, qPrintable(QString::number(seconds)));
  }
  QVERIFY(in.atEnd());

  const std::string challenge = client.challenge(simulator.port());
  const std::vector<StatusPlayer> listed =
      StatusPlayers(Lines(client.console(simulator.port(), challenge, "pw", "status")));
  QCOMPARE(listed.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) QCOMPARE(listed[i].nick, names[i]);
}

void TestGameServer::rulesReply_data() {
  QTest::addColumn<int>("count");
  QTest::newRow("none") << 0;
  QTest::newRow("30") << 30;
  QTest::newRow("60") << 60;
}

void TestGameServer::rulesReply() {
  QFETCH(int, count);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--rules", QString::number(count)}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "rules");
  QVERIFY(reply.compare(0, 5,
                        "\xFF\xFF\xFF\xFF"
                        "E") == 0);
  Reader in{reply};
  QCOMPARE(in.uint16(), count);
  bool unsetRule = false;
  for (int i = 0; i < count; ++i) {
    QVERIFY(!in.text().empty());
    const std::string value = in.text();
    unsetRule = unsetRule || value.empty();
  }
  QVERIFY(in.atEnd());
  QCOMPARE(unsetRule, count >= 30);  // one realistic rule has no value
}

void TestGameServer::challengeReplyLayout() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {}));
  Client client;
  const std::string reply = client.ask(simulator.port(), "challenge rcon");
  QCOMPARE(reply.substr(0, 19), std::string("\xFF\xFF\xFF\xFF"
                                            "challenge rcon "));
  QCOMPARE(reply.back(), '\0');
  const std::string challenge = reply.substr(19, reply.find('\n') - 19);
  QCOMPARE(reply.size(), 19 + challenge.size() + 2);
  QVERIFY(challenge.size() >= 9);
  QVERIFY(challenge.find_first_not_of("0123456789") == std::string::npos);
  QCOMPARE(client.challenge(simulator.port()), challenge);  // kept for the client
}

void TestGameServer::consoleAuthorisation_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("password");
  QTest::addColumn<bool>("rightChallenge");
  QTest::addColumn<bool>("accepted");
  const QStringList secret{"--password", "secret"};
  QTest::newRow("right") << secret << "secret" << true << true;
  QTest::newRow("wrong password") << secret << "secreT" << true << false;
  QTest::newRow("password prefix") << secret << "secre" << true << false;
  QTest::newRow("wrong challenge") << secret << "secret" << false << false;
  QTest::newRow("blank in password")
      << QStringList{"--password", "two words"} << "two words" << true << true;
  QTest::newRow("no console password") << QStringList{} << "" << true << false;
}

void TestGameServer::consoleAuthorisation() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, password);
  QFETCH(bool, rightChallenge);
  QFETCH(bool, accepted);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, arguments));
  Client client;
  const std::string challenge = client.challenge(simulator.port());
  const std::string sent = rightChallenge ? challenge : challenge + "1";
  const std::string answer =
      client.console(simulator.port(), sent, password.toStdString(), "say hello");
  QCOMPARE(answer, accepted ? std::string("Console: hello") : std::string("Bad rcon_password."));
}

void TestGameServer::statusListingShape() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "4", "--bots", "2", "--max", "12", "--name", "Shape",
                            "--password", "pw"}));
  Client client;
  const QStringList lines =
      Lines(client.console(simulator.port(), client.challenge(simulator.port()), "pw", "status"));
  QCOMPARE(lines.size(), 7 + 6 + 1);
  QCOMPARE(lines[0], QString("hostname:  Shape"));
  QCOMPARE(lines[2], "tcp/ip  :  127.0.0.1:" + QString::number(simulator.port()));
  QVERIFY(lines[3].startsWith("map     :  dm_canyon"));
  QCOMPARE(lines[4], QString("players :  6 active (max 12)"));
  QCOMPARE(lines[5], QString());
  QCOMPARE(lines[6], QString("#      name userid uniqueid frag time ping loss adr"));
  QCOMPARE(lines.last(), QString("6 users"));
  const std::vector<StatusPlayer> players = StatusPlayers(lines);
  QCOMPARE(players.size(), std::size_t(6));
  bool blankAndQuoteNick = false;
  for (std::size_t i = 0; i < players.size(); ++i) {
    QVERIFY2(lines[7 + int(i)].left(4) == QString("#  %1").arg(i + 1),
             qPrintable(lines[7 + int(i)]));
    const bool bot = players[i].uniqueId == "BOT";
    QCOMPARE(players[i].address == "loopback", bot);
    blankAndQuoteNick = blankAndQuoteNick || players[i].nick.contains("\" ");
  }
  QVERIFY(blankAndQuoteNick);
  QCOMPARE(players.back().uniqueId, QString("BOT"));
}

void TestGameServer::kickAndBanChangeThePlayers() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "4", "--bots", "0", "--password", "pw"}));
  Client client;
  const std::uint16_t port = simulator.port();
  const std::string challenge = client.challenge(port);
  const auto status = [&] {
    return StatusPlayers(Lines(client.console(port, challenge, "pw", "status")));
  };
  const std::vector<StatusPlayer> before = status();
  QCOMPARE(before.size(), std::size_t(4));

  QCOMPARE(client.console(port, challenge, "pw", "kick #" + std::to_string(before[1].userId)),
           "Kicked " + before[1].nick.toStdString());
  QCOMPARE(client.console(port, challenge, "pw", "kick #99"),
           std::string("Couldn't find player #99."));
  QCOMPARE(client.console(port, challenge, "pw", "banid 5 #" + std::to_string(before[0].userId)),
           "banid:  " + before[0].uniqueId.toStdString() + " banned for 5 minutes");
  QCOMPARE(client.console(port, challenge, "pw", "writeid"), std::string());
  QCOMPARE(client.console(port, challenge, "pw",
                          "banid 0 # " + std::to_string(before[3].userId) + " kick"),
           "banid:  " + before[3].uniqueId.toStdString() + " banned permanently\nKicked " +
               before[3].nick.toStdString());
  QCOMPARE(client.console(port, challenge, "pw", "listid"),
           "ID filter list: 2 entries\n1 " + before[0].uniqueId.toStdString() + " : 5 min\n2 " +
               before[3].uniqueId.toStdString() + " : permanent");

  const std::vector<StatusPlayer> after = status();
  QCOMPARE(after.size(), std::size_t(2));
  QCOMPARE(after[0].userId, before[0].userId);  // banned, not yet kicked
  QCOMPARE(after[1].userId, before[2].userId);
  const std::string detailsReply = client.ask(port, "details");
  Reader details{detailsReply};
  for (int i = 0; i < 5; ++i) details.text();
  QCOMPARE(int(details.byte()), 2);
  QCOMPARE(int(Reader{client.ask(port, "players")}.byte()), 2);
}

void TestGameServer::consoleCommands() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw"}));
  Client client;
  const std::string challenge = client.challenge(simulator.port());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"LOG ON", "Server logging enabled."},
      {"mp_logmessages 1", ""},
      {"mp_logmessages", "\"mp_logmessages\" is \"1\""},
      {"logaddress 127.0.0.1 3305", "logaddress:  127.0.0.1:3305"},
      {"logaddress 127.0.0 3305", "Usage:  logaddress ip port"},
      {"say hello   there", "Console: hello   there"},
      {"kick", "Usage:  kick < # userid >"},
      {"frobnicate now", "Unknown command: frobnicate"},
      {"", ""},
  };
  for (const auto& [command, answer] : expected)
    QCOMPARE(client.console(simulator.port(), challenge, "pw", command), answer);
}

// Chat lines only with mp_logmessages set; players leaving and bots chatting as they happen.
void TestGameServer::logLinesGoToTheLogAddress() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw", "--players", "2", "--bots", "1", "--chat", "1"}));
  Client client;
  Client log;
  const std::uint16_t port = simulator.port();
  const std::string challenge = client.challenge(port);
  const auto console = [&](const std::string& command) {
    return client.console(port, challenge, "pw", command);
  };
  const QRegularExpression framing(
      "^\\xFF{4}log L \\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d: (.*)\\n\\x00$",
      QRegularExpression::DotMatchesEverythingOption);
  const auto nextLine = [&] {
    const QRegularExpressionMatch match =
        framing.match(QString::fromLatin1(QByteArray::fromStdString(log.next().bytes)));
    return match.hasMatch() ? match.captured(1) : QStringLiteral("<no log line>");
  };
  console("logaddress 127.0.0.1 " + std::to_string(log.port()));
  console("LOG ON");
  const std::vector<StatusPlayer> players = StatusPlayers(Lines(console("status")));
  console("say not logged");
  console("kick #" + std::to_string(players[0].userId));
  QCOMPARE(nextLine(), "\"" + players[0].nick + "<" + QString::number(players[0].userId) + "><" +
                           players[0].uniqueId + "><Red>\" disconnected");

  console("mp_logmessages 1");
  console("say hello \"all\"");
  QCOMPARE(nextLine(), QStringLiteral("Server say \"hello \"all\"\""));
  const QRegularExpression botChat("^\"\\[BOT\\] Alpha<\\d+><BOT><\\w+>\" say(_team)? \".+\"$");
  QVERIFY2(botChat.match(nextLine()).hasMatch(), "no bot chat");
}

void TestGameServer::ignoredRequests() {
  SimulatorProcess simulator;
  QVERIFY(
      Start(simulator, {"--ignore", "details,rules", "--ignore", "rcon:kick", "--password", "pw"}));
  Client client;
  const std::uint16_t port = simulator.port();
  QCOMPARE(client.ask(port, "details", 300), std::string());
  QCOMPARE(Kind(client.ask(port, "players")), 'D');
  QCOMPARE(client.ask(port, "rules", 300), std::string());
  const std::string challenge = client.challenge(port);
  QCOMPARE(client.console(port, challenge, "pw", "kick #1", 300), std::string("<no reply>"));
  QCOMPARE(client.console(port, challenge, "pw", "KICK #1", 300), std::string("<no reply>"));
  // An ignored request has no effect either.
  const std::vector<StatusPlayer> players =
      StatusPlayers(Lines(client.console(port, challenge, "pw", "status")));
  QVERIFY(!players.empty());
  QCOMPARE(players.front().userId, 1);

  SimulatorProcess silent;
  QVERIFY(Start(silent, {"--ignore", "all"}));
  QCOMPARE(client.ask(silent.port(), "players", 300), std::string());
  QCOMPARE(client.ask(silent.port(), "challenge rcon", 300), std::string());
}

void TestGameServer::requestCountFaults() {
  SimulatorProcess stopping;
  QVERIFY(Start(stopping, {"--stop-after", "2"}));
  SimulatorProcess waking;
  QVERIFY(Start(waking, {"--answer-after", "2 players"}));
  Client client;
  QVERIFY(!client.ask(stopping.port(), "details").empty());
  QVERIFY(!client.ask(stopping.port(), "rules").empty());
  QCOMPARE(client.ask(stopping.port(), "details", 300), std::string());
  QCOMPARE(client.ask(stopping.port(), "players", 300), std::string());

  QVERIFY(!client.ask(waking.port(), "details").empty());  // not counted
  QCOMPARE(client.ask(waking.port(), "players", 300), std::string());
  QCOMPARE(client.ask(waking.port(), "players", 300), std::string());
  QCOMPARE(Kind(client.ask(waking.port(), "players")), 'D');
}

void TestGameServer::delayedAndLateReplies() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--delay", "400 details", "--delay", "800 players"}));
  Client client;
  client.send(simulator.port(), "details");
  QVERIFY(!client.receive(150));
  QCOMPARE(Kind(client.next().bytes), 'm');

  // A reply after the client gave up is what the client receives for its next request.
  QCOMPARE(client.ask(simulator.port(), "players", 300), std::string());
  QTest::qWait(800);
  client.send(simulator.port(), "rules");
  QCOMPARE(Kind(client.next().bytes), 'D');
  QCOMPARE(Kind(client.next().bytes), 'E');
}

void TestGameServer::misshapenReplies() {
  SimulatorProcess normal;
  QVERIFY(Start(normal, {"--seed", "5"}));
  SimulatorProcess faulty;
  QVERIFY(Start(faulty, {"--seed", "5", "--truncate", "9 details", "--truncate", "0 challenge",
                         "--garbage", "players", "--twice", "rules"}));
  Client client;
  const std::string details = client.ask(faulty.port(), "details");
  QCOMPARE(details, std::string("\xFF\xFF\xFF\xFF"
                                "m127."));
  client.send(faulty.port(), "challenge rcon");
  const Datagram empty = client.next();
  QVERIFY(empty.fromPort != 0);
  QCOMPARE(empty.bytes, std::string());

  const std::string players = client.ask(faulty.port(), "players");
  const std::string proper = client.ask(normal.port(), "players");
  QCOMPARE(players.substr(0, 5), proper.substr(0, 5));
  QCOMPARE(players.size(), proper.size());
  QVERIFY(players != proper);

  const std::string rules = client.ask(faulty.port(), "rules");
  QCOMPARE(client.next().bytes, rules);
  QCOMPARE(rules, client.ask(normal.port(), "rules"));
}

void TestGameServer::replyFromAnotherPort() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--other-port", "challenge"}));
  Client client;
  client.send(simulator.port(), "challenge rcon");
  const Datagram reply = client.next();
  QCOMPARE(Kind(reply.bytes), 'c');
  QVERIFY(reply.fromPort != simulator.port());
  client.send(simulator.port(), "details");
  QCOMPARE(client.next().fromPort, simulator.port());
}

void TestGameServer::scenarioFile() {
  QTemporaryDir dir;
  const QString path = dir.filePath("faults.txt");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("# details stays silent, rules come twice\n\n  ignore details\ntwice rules\r\n");
  file.close();
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--scenario", path, "--truncate", "6 players"}));
  Client client;
  QCOMPARE(client.ask(simulator.port(), "details", 300), std::string());
  const std::string rules = client.ask(simulator.port(), "rules");
  QCOMPARE(client.next().bytes, rules);
  QCOMPARE(client.ask(simulator.port(), "players").size(), std::size_t(6));

  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write("twice rules\ndelay soon\n");
  file.close();
  SimulatorProcess broken;
  QVERIFY(!broken.start({"--scenario", path}));
  QVERIFY2(broken.errorText().contains("line 2"), qPrintable(broken.errorText()));
}

void TestGameServer::badOptionsAreRefused_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("message");
  QTest::newRow("too many players") << QStringList{"--players", "300"} << "--players";
  QTest::newRow("more than the slots")
      << QStringList{"--max", "4", "--players", "3", "--bots", "2"} << "--bots";
  QTest::newRow("too many rules") << QStringList{"--rules", "61"} << "--rules";
  QTest::newRow("address") << QStringList{"--address", "localhost"} << "--address";
  QTest::newRow("unknown request") << QStringList{"--ignore", "detail"} << "detail";
  QTest::newRow("missing number") << QStringList{"--delay", "players"} << "--delay";
  QTest::newRow("missing scenario") << QStringList{"--scenario", "/nonexistent/x"} << "scenario";
  QTest::newRow("protocol") << QStringList{"--protocol", "source"} << "--protocol";
  QTest::newRow("layout") << QStringList{"--split", "nibbles"} << "--split";
  QTest::newRow("pieces too small") << QStringList{"--split-size", "100"} << "--split-size";
  QTest::newRow("compressed Packed pieces")
      << QStringList{"--split", "packed", "--compress"} << "--compress";
}

void TestGameServer::badOptionsAreRefused() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, message);
  SimulatorProcess simulator;
  QVERIFY(!simulator.start(arguments));
  QVERIFY2(simulator.errorText().contains(message), qPrintable(simulator.errorText()));
  QCOMPARE(simulator.process()->exitCode(), 2);
}

void TestGameServer::requestLogKeepsWireOrder() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw"}));
  Client client;
  client.ask(simulator.port(), "details");
  client.sendRaw(simulator.port(), std::string("\xFF\xFF\xFF\xFFplay\0ers", 12));
  QVERIFY(!client.receive(300));
  client.ask(simulator.port(), "rcon 1 pw say \"quoted\" \\ ");
  client.ask(simulator.port(), "rules");
  client.sendRaw(simulator.port(), SteamRequest('U', NoChallenge));
  QTRY_COMPARE(simulator.requests().size(), std::size_t(5));
  const std::vector<SimulatorProcess::Request> requests = simulator.requests();
  QCOMPARE(requests[1].framed, false);
  QCOMPARE(requests[1].bytes, std::string("\xFF\xFF\xFF\xFFplay\0ers", 12));
  QCOMPARE(requests[4].bytes, SteamRequest('U', NoChallenge));  // whole, tagged "steam"
  QCOMPARE(simulator.commands(),
           (std::vector<std::string>{"details", "rcon 1 pw say \"quoted\" \\ ", "rules",
                                     SteamRequest('U', NoChallenge)}));
  QCOMPARE(requests[0].serverPort, simulator.port());
}

// Some query tools send their requests without the closing zero byte; servers answer them.
void TestGameServer::answersRequestsWithoutClosingZero() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--protocol", "both"}));
  Client client;
  const std::string header(4, '\xFF');
  std::string kinds;
  for (const char* request : {"details", "players", "rules", "challenge rcon"})
    kinds += Kind(client.askAll(simulator.port(), header + request).at(0));
  kinds += Kind(client.askAll(simulator.port(), header + "TSource Engine Query").at(0));
  QCOMPARE(kinds, std::string("mDEcI"));
  QCOMPARE(simulator.commands().front(), std::string("details"));
}

void TestGameServer::severalServersInOneProcess() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--count", "3", "--name", "Farm"}));
  Client client;
  for (int i = 0; i < 3; ++i) {
    const std::string reply = client.ask(std::uint16_t(simulator.port() + i), "details");
    Reader details{reply};
    QCOMPARE(details.text(), "127.0.0.1:" + std::to_string(simulator.port() + i));
    QCOMPARE(details.text(), "Farm " + std::to_string(i + 1));
  }
}

void TestGameServer::playersComeAndGo() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--churn", "1", "--players", "3", "--bots", "1", "--max", "5"}));
  Client client;
  const auto names = [&] {
    const std::string reply = client.ask(simulator.port(), "players");
    Reader in{reply};
    std::vector<std::string> result(in.byte());
    for (std::string& name : result) {
      in.byte();
      name = in.text();
      in.uint32();
      in.uint32();
    }
    return result;
  };
  const std::vector<std::string> before = names();
  QTRY_VERIFY_WITH_TIMEOUT(names() != before, 15000);
  const std::vector<std::string> after = names();
  QVERIFY(after.size() <= 5);
  QVERIFY(std::find(after.begin(), after.end(), "[BOT] Alpha") != after.end());  // bots stay
}

void TestGameServer::portInUseAndCleanStop() {
  SimulatorProcess first;
  QVERIFY(Start(first, {}));
  SimulatorProcess second;
  QVERIFY(!second.start({"--port", QString::number(first.port())}));
  QVERIFY2(second.errorText().contains("cannot listen"), qPrintable(second.errorText()));
  QCOMPARE(second.process()->exitCode(), 1);
  QVERIFY(first.stop());
}

// What each mode answers: the text queries, the Steam-era ones, and the console always.
void TestGameServer::protocolModes_data() {
  QTest::addColumn<QString>("protocol");
  QTest::addColumn<bool>("classic");
  QTest::addColumn<bool>("steam");
  QTest::newRow("classic") << "classic" << true << false;
  QTest::newRow("steam") << "steam" << false << true;
  QTest::newRow("both") << "both" << true << true;
}

void TestGameServer::protocolModes() {
  QFETCH(QString, protocol);
  QFETCH(bool, classic);
  QFETCH(bool, steam);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--protocol", protocol, "--password", "pw"}));
  const std::uint16_t port = simulator.port();
  Client client;
  for (const char* command : {"details", "players", "rules"})
    QCOMPARE(!client.ask(port, command, 300).empty(), classic);
  client.sendRaw(port, SteamInfoRequest());
  QCOMPARE(Kind(client.next(300).bytes), steam ? 'I' : '\0');
  client.sendRaw(port, SteamRequest('U', NoChallenge));
  QCOMPARE(SteamChallenge(client.next(300).bytes).has_value(), steam);
  const std::string challenge = client.challenge(port);
  QVERIFY(!challenge.empty());
  QCOMPARE(client.console(port, challenge, "pw", "say hi"), std::string("Console: hi"));
}

void TestGameServer::infoReply_data() {
  QTest::addColumn<QString>("layout");
  QTest::addColumn<QString>("joinPassword");
  QTest::addColumn<int>("protocol");
  QTest::addColumn<bool>("lowAppId");
  QTest::newRow("Source era") << "source"
                              << "" << 17 << false;
  QTest::newRow("Packed era, join password") << "packed"
                                             << "letmein" << 48 << true;
  QTest::newRow("older Source era") << "older-source"
                                    << "" << 7 << false;
}

void TestGameServer::infoReply() {
  QFETCH(QString, layout);
  QFETCH(QString, joinPassword);
  QFETCH(int, protocol);
  QFETCH(bool, lowAppId);
  SimulatorProcess simulator;
  QStringList arguments{"--protocol", "steam", "--split", layout,      "--name",
                        "Info Base",  "--map", "dm_lake", "--players", "5",
                        "--bots",     "3",     "--max",   "20"};
  if (!joinPassword.isEmpty()) arguments << "--join-password" << joinPassword;
  QVERIFY(Start(simulator, arguments));
  Client client;
  client.sendRaw(simulator.port(), SteamInfoRequest());
  const std::string reply = client.next().bytes;
  QCOMPARE(Kind(reply), 'I');
  Reader in{reply};
  QCOMPARE(int(in.byte()), protocol);
  QCOMPARE(in.text(), std::string("Info Base"));
  QCOMPARE(in.text(), std::string("dm_lake"));
  QVERIFY(!in.text().empty());  // folder
  QVERIFY(!in.text().empty());  // game
  const int appId = in.uint16();
  QCOMPARE(appId < 100, lowAppId);
  QCOMPARE(int(in.byte()), 8);  // bots count as players
  QCOMPARE(int(in.byte()), 20);
  QCOMPARE(int(in.byte()), 3);
  QCOMPARE(char(in.byte()), 'd');
  QCOMPARE(char(in.byte()), 'l');
  QCOMPARE(int(in.byte()), joinPassword.isEmpty() ? 0 : 1);
  QCOMPARE(int(in.byte()), 0);  // VAC
  QVERIFY(!in.text().empty());  // version
  QCOMPARE(int(in.byte()), 0x80);
  QCOMPARE(in.uint16(), int(simulator.port()));
  QVERIFY(in.atEnd());

  SimulatorProcess classic;
  arguments[1] = "classic";
  QVERIFY(Start(classic, arguments));
  const std::string detailsReply = client.ask(classic.port(), "details");
  Reader details{detailsReply};
  for (int i = 0; i < 5; ++i) details.text();
  for (int i = 0; i < 5; ++i) details.byte();
  QCOMPARE(int(details.byte()), joinPassword.isEmpty() ? 0 : 1);
}

// Without the right challenge a request gets 'A' with the challenge to use; with it, the reply.
void TestGameServer::steamChallengeRoundTrip_data() {
  QTest::addColumn<char>("kind");
  QTest::addColumn<bool>("infoChallenge");
  QTest::addColumn<char>("reply");
  QTest::newRow("players") << 'U' << false << 'D';
  QTest::newRow("rules") << 'V' << false << 'E';
  QTest::newRow("info, challenge wanted") << 'T' << true << 'I';
}

void TestGameServer::steamChallengeRoundTrip() {
  QFETCH(char, kind);
  QFETCH(bool, infoChallenge);
  QFETCH(char, reply);
  SimulatorProcess simulator;
  QStringList arguments{"--protocol", "steam"};
  if (infoChallenge) arguments << "--info-challenge";
  QVERIFY(Start(simulator, arguments));
  Client client;
  const std::uint16_t port = simulator.port();
  const auto request = [&](std::uint32_t challenge) {
    return kind == 'T' ? SteamInfoRequest() + Uint32Bytes(challenge)
                       : SteamRequest(kind, challenge);
  };
  const std::string opening = kind == 'T' ? SteamInfoRequest() : request(NoChallenge);
  const std::optional<std::uint32_t> challenge = SteamChallenge(client.askAll(port, opening).at(0));
  QVERIFY(challenge);
  QVERIFY(*challenge != NoChallenge);
  QCOMPARE(SteamChallenge(client.askAll(port, request(*challenge + 1)).at(0)), challenge);
  const std::vector<std::string> answer = client.askAll(port, request(*challenge));
  QCOMPARE(answer.size(), std::size_t(1));
  QCOMPARE(Kind(answer[0]), reply);
  QCOMPARE(Kind(client.askAll(port, request(*challenge)).at(0)), reply);  // it stays good

  SimulatorProcess expiring;
  QVERIFY(Start(expiring, arguments + QStringList{"--expire-challenge", "1"}));
  const std::uint32_t first = *SteamChallenge(client.askAll(expiring.port(), opening).at(0));
  const std::optional<std::uint32_t> second =
      SteamChallenge(client.askAll(expiring.port(), request(first)).at(0));
  QVERIFY(second && *second != first);
  QCOMPARE(Kind(client.askAll(expiring.port(), request(*second)).at(0)), reply);
}

void TestGameServer::detailsAndInfoForOneRequest() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--protocol", "steam", "--both-info"}));
  SimulatorProcess reversed;
  QVERIFY(Start(reversed, {"--protocol", "steam", "--both-info", "--reverse-pieces", "details"}));
  Client client;
  std::string kinds;
  for (const std::string& reply : client.askAll(simulator.port(), SteamInfoRequest()))
    kinds += Kind(reply);
  QCOMPARE(kinds, std::string("mI"));
  kinds.clear();
  for (const std::string& reply : client.askAll(reversed.port(), SteamInfoRequest()))
    kinds += Kind(reply);
  QCOMPARE(kinds, std::string("Im"));
}

// 32 players and 60 rules do not fit into pieces of 600 bytes.
void TestGameServer::splitReplies_data() {
  QTest::addColumn<QString>("layout");
  QTest::addColumn<QString>("protocol");
  QTest::newRow("Source layout") << "source"
                                 << "steam";
  QTest::newRow("Packed layout") << "packed"
                                 << "steam";
  QTest::newRow("older Source layout") << "older-source"
                                       << "steam";
  QTest::newRow("classic replies") << "source"
                                   << "classic";
}

void TestGameServer::splitReplies() {
  QFETCH(QString, layout);
  QFETCH(QString, protocol);
  const QStringList arguments{"--protocol", protocol, "--players", "30",      "--bots",
                              "2",          "--max",  "32",        "--rules", "60",
                              "--seed",     "9",      "--split",   layout};
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, arguments + QStringList{"--split-size", "600"}));
  SimulatorProcess whole;
  QVERIFY(Start(whole, arguments + QStringList{"--split-size", "65507"}));
  Client client;
  const auto ask = [&](std::uint16_t port, char kind) {
    if (protocol == "classic")
      return client.askAll(port,
                           std::string(4, '\xFF') + (kind == 'U' ? "players" : "rules") + '\0');
    const std::uint32_t challenge =
        *SteamChallenge(client.askAll(port, SteamRequest(kind, NoChallenge)).at(0));
    return client.askAll(port, SteamRequest(kind, challenge));
  };

  std::uint32_t lastId = 0;
  for (const char kind : {'U', 'V'}) {
    const std::vector<std::string> datagrams = ask(simulator.port(), kind);
    QVERIFY(datagrams.size() >= 2);
    std::vector<Piece> pieces;
    for (const std::string& datagram : datagrams) {
      QVERIFY(datagram.size() <= 600);
      const std::optional<Piece> piece = ReadPiece(datagram, layout);
      QVERIFY(piece);
      QCOMPARE(piece->number, int(pieces.size()));
      QCOMPARE(piece->largestDatagram, layout == "source" ? 600 : 0);
      QCOMPARE(piece->id & 0x80000000u, 0u);
      pieces.push_back(*piece);
    }
    QVERIFY(pieces.front().id != lastId);
    lastId = pieces.front().id;
    const std::optional<std::string> joined = JoinPieces(pieces);
    QVERIFY(joined);
    const std::vector<std::string> unsplit = ask(whole.port(), kind);
    QCOMPARE(unsplit.size(), std::size_t(1));
    if (kind == 'V') {
      QCOMPARE(*joined, unsplit[0]);
    } else {  // the players' times go on
      QCOMPARE(joined->size(), unsplit[0].size());
      QCOMPARE(joined->substr(0, 6), std::string("\xFF\xFF\xFF\xFF"
                                                 "D\x20"));
      // Steam-era servers send names in UTF-8, older ones in Latin-1.
      QVERIFY(joined->find(protocol == "steam" ? "M\xC3\xBCller" : "M\xFCller") !=
              std::string::npos);
    }
  }
}

void TestGameServer::compressedReply() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator,
                {"--protocol", "steam", "--rules", "60", "--split-size", "300", "--compress"}));
  SimulatorProcess whole;
  QVERIFY(Start(whole, {"--protocol", "steam", "--rules", "60", "--split-size", "65507"}));
  Client client;
  const auto rules = [&](std::uint16_t port) {
    const std::uint32_t challenge =
        *SteamChallenge(client.askAll(port, SteamRequest('V', NoChallenge)).at(0));
    return client.askAll(port, SteamRequest('V', challenge));
  };
  const std::string expected = rules(whole.port()).at(0);
  std::vector<Piece> pieces;
  for (const std::string& datagram : rules(simulator.port())) {
    const std::optional<Piece> piece = ReadPiece(datagram);
    QVERIFY(piece);
    QVERIFY(piece->id & 0x80000000u);
    pieces.push_back(*piece);
  }
  const std::optional<std::string> joined = JoinPieces(pieces);
  QVERIFY(joined && joined->size() > 8);
  Reader sizes{*joined, 0};
  QCOMPARE(sizes.uint32(), std::uint32_t(expected.size()));
  QCOMPARE(sizes.uint32(), BitwiseCrc32(expected));
  QCOMPARE(BitwiseCrc32("123456789"), 0xCBF43926u);
  QCOMPARE(Bunzip2(joined->substr(8)), expected);
  QVERIFY(joined->size() < expected.size());
}

// Piece faults act on the datagrams of one answer: here three pieces of the players reply.
void TestGameServer::pieceFaults_data() {
  QTest::addColumn<QStringList>("fault");
  QTest::addColumn<QList<int>>("numbers");
  QTest::newRow("none") << QStringList{} << QList<int>{0, 1, 2};
  QTest::newRow("drop") << QStringList{"--drop-piece", "2 players"} << QList<int>{0, 2};
  QTest::newRow("duplicate") << QStringList{"--duplicate-piece", "1 players"}
                             << QList<int>{0, 0, 1, 2};
  QTest::newRow("reverse") << QStringList{"--reverse-pieces", "players"} << QList<int>{2, 1, 0};
  QTest::newRow("not this request")
      << QStringList{"--reverse-pieces", "rules"} << QList<int>{0, 1, 2};
}

void TestGameServer::pieceFaults() {
  QFETCH(QStringList, fault);
  QFETCH(QList<int>, numbers);
  SimulatorProcess simulator;
  QVERIFY(Start(
      simulator,
      QStringList{"--players", "30", "--bots", "2", "--max", "32", "--split-size", "300"} + fault));
  Client client;
  QList<int> received;
  for (const std::string& datagram :
       client.askAll(simulator.port(), std::string(4, '\xFF') + "players" + '\0')) {
    const std::optional<Piece> piece = ReadPiece(datagram);
    QVERIFY(piece);
    QCOMPARE(piece->count, 3);
    received << piece->number;
  }
  QCOMPARE(received, numbers);
}

void TestGameServer::tooManyPiecesForTheLayout() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--players", "200", "--bots", "0", "--max", "200", "--split", "packed",
                            "--split-size", "200"}));
  Client client;
  QCOMPARE(client.ask(simulator.port(), "players", 300), std::string());
  QByteArray errors;
  QTRY_VERIFY((errors += simulator.process()->readAllStandardError())
                  .contains("pieces, the layout numbers 15"));
  QCOMPARE(client.ask(simulator.port(), "rules").substr(0, 4), std::string("\xFE\xFF\xFF\xFF"));
}

// Console output goes out as several whole replies of whole lines; all but the last are long,
// which is how clients know that more follows.
void TestGameServer::longConsoleOutput_data() {
  QTest::addColumn<int>("players");
  QTest::addColumn<int>("sayLength");
  QTest::addColumn<QString>("splitSize");
  QTest::newRow("8 players") << 8 << 0 << "1400";
  QTest::newRow("32 players") << 32 << 0 << "1400";
  QTest::newRow("32 players, small query pieces") << 32 << 0 << "600";
  QTest::newRow("255 players") << 255 << 0 << "1400";
  QTest::newRow("a line longer than a datagram") << 1 << 3000 << "1400";
}

void TestGameServer::longConsoleOutput() {
  QFETCH(int, players);
  QFETCH(int, sayLength);
  QFETCH(QString, splitSize);
  SimulatorProcess simulator;
  QVERIFY(
      Start(simulator, {"--players", QString::number(players), "--bots", "0", "--max",
                        QString::number(players), "--password", "pw", "--split-size", splitSize}));
  Client client;
  const std::uint16_t port = simulator.port();
  const std::string command =
      sayLength ? "say " + std::string(std::size_t(sayLength), 'x') : "status";
  const std::vector<std::string> replies = client.askAll(
      port, std::string(4, '\xFF') + "rcon " + client.challenge(port) + " pw " + command + '\0');
  QVERIFY(!replies.empty());
  QStringList lines;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    const std::string& reply = replies[i];
    QVERIFY(reply.size() <= 1400);
    QVERIFY(reply.size() >= 1000 || i + 1 == replies.size());
    QCOMPARE(reply.substr(0, 5), std::string("\xFF\xFF\xFF\xFF"
                                             "l"));
    QCOMPARE(reply.substr(reply.size() - 3), std::string("\n\0\0", 3));
    const std::string part = reply.substr(5, reply.size() - 8);
    lines += Lines(part);
  }
  if (sayLength) {  // cut where the datagrams end
    QCOMPARE(lines.join(QString()), "Console: " + QString(sayLength, 'x'));
    QCOMPARE(replies.size(), std::size_t(3));
    return;
  }
  QCOMPARE(lines.size(), 7 + players + 1);
  QCOMPARE(lines.last(), QString("%1 users").arg(players));
  QCOMPARE(int(StatusPlayers(lines).size()), players);
  QCOMPARE(replies.size() > 1, players > 8);
}

// A line with a challenge that is no longer good is refused in one reply of two lines; a new
// challenge makes it go through.
void TestGameServer::expiredConsoleChallenge_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("waitMs");
  QTest::newRow("after its first use") << QStringList{"--expire-challenge", "1 rcon"} << 0;
  QTest::newRow("after its lifetime") << QStringList{"--challenge-lifetime", "1"} << 1100;
}

void TestGameServer::expiredConsoleChallenge() {
  QFETCH(QStringList, arguments);
  QFETCH(int, waitMs);
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, arguments + QStringList{"--password", "pw"}));
  Client client;
  const std::uint16_t port = simulator.port();
  const std::string old = client.challenge(port);
  QTest::qWait(waitMs);
  QCOMPARE(client.console(port, old, "pw", "say one"),
           std::string("Bad rcon_password.\nBad challenge."));
  QVERIFY(client.receive(300) == std::nullopt);
  const std::string fresh = client.challenge(port);
  QVERIFY(fresh != old);
  QCOMPARE(client.console(port, fresh, "pw", "say two"), std::string("Console: two"));
}

// Only wrong passwords count, also across a line that went through.
void TestGameServer::wrongPasswordsBanTheAddress() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--password", "pw", "--ban-after", "3"}));
  const std::uint16_t port = simulator.port();
  Client client;
  const std::string challenge = client.challenge(port);
  const std::string bad = "Bad rcon_password.";
  QCOMPARE(client.console(port, challenge + "0", "nope", "status"), bad);  // wrong challenge
  QCOMPARE(client.console(port, challenge, "nope", "status"), bad);
  QCOMPARE(client.console(port, challenge, "PW", "status"), bad);
  QCOMPARE(client.console(port, challenge, "pw", "say still in"), std::string("Console: still in"));
  QCOMPARE(client.console(port, challenge, "", "status"), bad);
  const std::string banned = "You have been banned from this server.";
  QCOMPARE(client.console(port, challenge, "pw", "status"), banned);
  QCOMPARE(client.ask(port, "challenge rcon"),
           std::string("\xFF\xFF\xFF\xFFl") + banned + std::string("\n\0\0", 3));
  QCOMPARE(Kind(client.ask(port, "details")), 'm');  // queries are still answered

  Client other(QHostAddress("127.0.0.2"));
  QCOMPARE(other.console(port, other.challenge(port), "pw", "say hi"), std::string("Console: hi"));
}

// The TCP console alone answers; its log lines take today's form, 'S' and the secret once one
// is set.
void TestGameServer::tcpConsoleAndTodaysLogLines() {
  SimulatorProcess simulator;
  QVERIFY(Start(simulator, {"--console", "tcp", "--password", "pw", "--players", "2", "--bots", "0",
                            "--chat", "0"}));
  const std::uint16_t port = simulator.port();
  Client udp;
  QCOMPARE(udp.ask(port, "challenge rcon", 300), std::string());
  TcpClient console(port);
  console.send(7, 3, "pw");
  QCOMPARE(console.next(), std::string("7 0 "));
  QCOMPARE(console.next(), std::string("7 2 "));
  Client log;
  const std::string logAddress = "127.0.0.1:" + std::to_string(log.port());
  QCOMPARE(console.run(8, "log on"), std::string("Server logging enabled."));
  QCOMPARE(console.run(10, "logaddress_add " + logAddress), "logaddress_add:  " + logAddress);
  const QRegularExpression stamp(
      "^\\xFF{4}(R|S42)L \\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d: (.*)\\n\\x00$",
      QRegularExpression::DotMatchesEverythingOption);
  const auto nextLine = [&] {
    const QRegularExpressionMatch match =
        stamp.match(QString::fromLatin1(QByteArray::fromStdString(log.next().bytes)));
    return match.hasMatch() ? match.captured(1) + " " + match.captured(2) : QString("<none>");
  };
  console.run(12, "say hi");
  QCOMPARE(nextLine(), QString("R Server say \"hi\""));
  QCOMPARE(console.run(14, "sv_logsecret 42"), std::string());
  QCOMPARE(console.run(16, "kickid 1"), std::string("Kicked Dr. Frag"));
  const QString kicked = nextLine();
  QVERIFY2(kicked.startsWith("S42 \"Dr. Frag<1><") && kicked.endsWith("><Red>\" disconnected"),
           qPrintable(kicked));
  const std::string banned = console.run(18, "banid 5 2");
  QVERIFY2(
      banned.rfind("banid:  ", 0) == 0 && banned.find(" banned for 5 minutes") != std::string::npos,
      banned.c_str());
  console.run(20, "logaddress_del " + logAddress);
  console.run(22, "say gone");
  QVERIFY(!log.receive(300));
}

QTEST_GUILESS_MAIN(TestGameServer)
#include "test_gameserver.moc"
