#include <QByteArray>
#include <QByteArrayList>
#include <QtTest>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/consoletail.h"
#include "protocol/datafuncs.h"
#include "store/mytypes.h"

namespace {

// The bytes of a literal, zero bytes inside it included.
template <std::size_t N>
QByteArray Raw(const char (&literal)[N]) {
  return QByteArray(literal, N - 1);
}

// A reply datagram as a server sends it: four 0xFF bytes, the kind byte, then the fields.
class ReplyBuilder {
 public:
  explicit ReplyBuilder(char kind) : bytes_(4, '\xFF') { bytes_.push_back(kind); }

  ReplyBuilder& Byte(std::uint8_t value) {
    bytes_.push_back(static_cast<char>(value));
    return *this;
  }
  ReplyBuilder& Int16(std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    return Byte(bits & 0xFF).Byte(bits >> 8);
  }
  ReplyBuilder& Int32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) Byte((value >> shift) & 0xFF);
    return *this;
  }
  ReplyBuilder& Text(std::string_view text) {
    bytes_.append(text);
    bytes_.push_back('\0');
    return *this;
  }
  ReplyBuilder& Raw(std::string_view raw) {
    bytes_.append(raw);
    return *this;
  }
  std::size_t Size() const { return bytes_.size(); }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

struct WireDetails {
  std::string serverAddress = "10.0.0.1:27015";
  std::string serverName = "Zerval Test Arena | 24/7 Dust";
  std::string mapName = "dm_ridge";
  std::string gameDir = "skyfort";
  std::string gameName = "Skyfort Battle";
  std::uint8_t playerCount = 17;
  std::uint8_t maxPlayers = 32;
  std::uint8_t protocol = 47;
  std::uint8_t serverType = 'd';
  std::uint8_t serverOS = 'l';
  std::uint8_t hasPassword = 1;
  std::uint8_t isMod = 0;
  std::string modInfoUrl = "http://mod.example/info";
  std::string modDownloadUrl = "http://mod.example/dl";
  std::int32_t modVersion = 1;
  std::int32_t modSize = 184000000;
  std::uint8_t modServerOnly = 1;
  std::uint8_t modClientDll = 1;
};

std::string DetailsReply(const WireDetails& d) {
  ReplyBuilder reply('m');
  reply.Text(d.serverAddress).Text(d.serverName).Text(d.mapName).Text(d.gameDir).Text(d.gameName);
  reply.Byte(d.playerCount).Byte(d.maxPlayers).Byte(d.protocol).Byte(d.serverType);
  reply.Byte(d.serverOS).Byte(d.hasPassword).Byte(d.isMod);
  if (d.isMod == 1) {
    reply.Text(d.modInfoUrl).Text(d.modDownloadUrl).Byte(0);
    reply.Int32(d.modVersion).Int32(d.modSize).Byte(d.modServerOnly).Byte(d.modClientDll);
  }
  return reply.Bytes();
}

struct WirePlayer {
  std::uint8_t index;
  std::string name;
  std::int32_t frags;
  std::uint32_t time;
};

struct WireRule {
  std::string name;
  std::string value;
};

// The builders also note where each entry ends, for the truncation tests.
std::string PlayersReply(std::uint8_t count, const std::vector<WirePlayer>& players,
                         std::vector<std::size_t>* entryEnds = nullptr) {
  ReplyBuilder reply('D');
  reply.Byte(count);
  for (const WirePlayer& p : players) {
    reply.Byte(p.index).Text(p.name).Int32(p.frags).Int32(p.time);
    if (entryEnds) entryEnds->push_back(reply.Size());
  }
  return reply.Bytes();
}

std::string RulesReply(std::int16_t count, const std::vector<WireRule>& rules,
                       std::vector<std::size_t>* entryEnds = nullptr) {
  ReplyBuilder reply('E');
  reply.Int16(count);
  for (const WireRule& r : rules) {
    reply.Text(r.name).Text(r.value);
    if (entryEnds) entryEnds->push_back(reply.Size());
  }
  return reply.Bytes();
}

// 32 players as a full server lists them, with the awkward names a real one has.
std::vector<WirePlayer> FullServerPlayers() {
  std::vector<WirePlayer> players;
  for (std::uint8_t i = 0; i < 32; ++i) {
    players.push_back({i, "Player #" + std::to_string(i), i * 3 - 20, 0x44BB8000u + i});
  }
  players[3].name = std::string(60, 'L');
  players[4].name = std::string(50, 'F');
  players[5].name = "";
  players[6].name = "J\xE4ger \xD6stlich";
  players[7].frags = -2147483647 - 1;
  players[8].time = 0xFFFFFFFFu;
  return players;
}

// A rules reply of about 1,400 bytes.
std::vector<WireRule> ServerRules() {
  std::vector<WireRule> rules = {
      {"mp_friendlyfire", "0"},
      {"mp_timelimit", "25"},
      {"sv_gravity", "800"},
      {"sv_password", ""},
      {"", "anonymous"},
      {std::string(60, 'n'), "1"},
      {"sv_contact", std::string(70, 'v')},
      {"motd_file", std::string(50, 'm')},
  };
  std::size_t wireSize = 7;
  for (const WireRule& r : rules) wireSize += r.name.size() + r.value.size() + 2;
  for (int i = 0; wireSize < 1400; ++i) {
    rules.push_back({"sv_custom_setting_" + std::to_string(i), std::to_string(i * 7)});
    wireSize += rules.back().name.size() + rules.back().value.size() + 2;
  }
  return rules;
}

TPlayerItem Decoded(const WirePlayer& p) {
  TPlayerItem item;
  item.Index = p.index;
  item.Name = p.name;
  item.Frags = p.frags;
  item.Time = p.time;
  return item;
}

TRuleItem Decoded(const WireRule& r) {
  TRuleItem item;
  item.Name = r.name;
  item.Value = r.value.empty() ? std::string("not set") : r.value;
  return item;
}

bool operator==(const TPlayerItem& a, const TPlayerItem& b) {
  return a.Index == b.Index && a.Name == b.Name && a.Frags == b.Frags && a.Time == b.Time;
}

bool operator==(const TRuleItem& a, const TRuleItem& b) {
  return a.Name == b.Name && a.Value == b.Value;
}

enum class FieldState { Read, Cut, Unread, Wrong };

FieldState StateOf(const std::string& got, const std::string& full) {
  if (got == full) return FieldState::Read;
  if (got.empty()) return FieldState::Unread;
  if (full.compare(0, got.size(), got) == 0) return FieldState::Cut;
  return FieldState::Wrong;
}

template <typename Number>
FieldState StateOf(Number got, Number full) {
  if (got == full) return FieldState::Read;
  return got == 0 ? FieldState::Unread : FieldState::Wrong;
}

std::vector<FieldState> FieldStates(const TDetailInfo& got, const TDetailInfo& full) {
  return {StateOf(got.ServerAddress, full.ServerAddress),
          StateOf(got.ServerName, full.ServerName),
          StateOf(got.MapName, full.MapName),
          StateOf(got.GameDir, full.GameDir),
          StateOf(got.GameName, full.GameName),
          StateOf(got.PlayerCount, full.PlayerCount),
          StateOf(got.MaxPlayers, full.MaxPlayers),
          StateOf(got.Protocol, full.Protocol),
          StateOf(got.ServerType, full.ServerType),
          StateOf(got.ServerOS, full.ServerOS),
          StateOf(got.HasPassword, full.HasPassword),
          StateOf(got.IsMod, full.IsMod),
          StateOf(got.ModInfoUrl, full.ModInfoUrl),
          StateOf(got.ModDownloadUrl, full.ModDownloadUrl),
          StateOf(got.ModVersion, full.ModVersion),
          StateOf(got.ModSize, full.ModSize),
          StateOf(got.ModServerOnly, full.ModServerOnly),
          StateOf(got.ModClientDll, full.ModClientDll)};
}

// Fields read in full, then at most one text cut by the end, then nothing.
bool IsReadPrefix(const std::vector<FieldState>& states, std::size_t& readCount) {
  std::size_t i = 0;
  while (i < states.size() && states[i] == FieldState::Read) ++i;
  readCount = i;
  if (i < states.size() && states[i] == FieldState::Cut) ++i;
  for (; i < states.size(); ++i) {
    if (states[i] != FieldState::Unread) return false;
  }
  return true;
}

TDetailInfo SentinelDetails() {
  TDetailInfo info;
  info.ServerName = "kept";
  info.ModVersion = 7;
  return info;
}

QByteArrayList ToByteArrays(const std::vector<std::string>& lines) {
  QByteArrayList result;
  for (const std::string& line : lines) result.append(QByteArray::fromStdString(line));
  return result;
}

}  // namespace

namespace QTest {
template <>
char* toString(const std::string& text) {
  return toString(QByteArray::fromStdString(text));
}
}  // namespace QTest

class TestDataFuncs : public QObject {
  Q_OBJECT

 private slots:
  void detailsReply();
  void detailsModBlock();
  void detailsCutAtEveryByte();
  void playersReply();
  void playersCutAtEveryByte();
  void rulesReply();
  void rulesCounts_data();
  void rulesCounts();
  void rulesCutAtEveryByte();
  void otherKindsLeaveOutputsUntouched_data();
  void otherKindsLeaveOutputsUntouched();
  void consoleText_data();
  void consoleText();
  void consoleTextIgnoresItsLastTwoBytes();
  void consoleReplyTailReadsAsTheLastLines();
  void challenge_data();
  void challenge();
};

void TestDataFuncs::detailsReply() {
  WireDetails wire;
  wire.serverName = "J\xE4ger-Server " + std::string(300, 'x');
  TDetailInfo info = SentinelDetails();
  ParseDetails(DetailsReply(wire) + "trailing bytes", info);

  QCOMPARE(info.ServerAddress, wire.serverAddress);
  QCOMPARE(info.ServerName, wire.serverName);
  QCOMPARE(info.MapName, wire.mapName);
  QCOMPARE(info.GameDir, wire.gameDir);
  QCOMPARE(info.GameName, wire.gameName);
  QCOMPARE(info.PlayerCount, wire.playerCount);
  QCOMPARE(info.MaxPlayers, wire.maxPlayers);
  QCOMPARE(info.Protocol, wire.protocol);
  QCOMPARE(info.ServerType, std::uint8_t('d'));
  QCOMPARE(info.ServerOS, std::uint8_t('l'));
  QCOMPARE(info.HasPassword, std::uint8_t(1));
  QCOMPARE(info.IsMod, std::uint8_t(0));
  // A fresh record: nothing of the previous one survives, and without the flag no mod fields.
  QCOMPARE(info.ModInfoUrl, std::string());
  QCOMPARE(info.ModDownloadUrl, std::string());
  QCOMPARE(info.ModVersion, 0);
  QCOMPARE(info.ModSize, 0);
  QCOMPARE(info.ModServerOnly, std::uint8_t(0));
  QCOMPARE(info.ModClientDll, std::uint8_t(0));
}

void TestDataFuncs::detailsModBlock() {
  WireDetails wire;
  wire.isMod = 1;
  wire.modVersion = -3;
  wire.modServerOnly = 0;
  TDetailInfo info;
  ParseDetails(DetailsReply(wire), info);
  QCOMPARE(info.ModInfoUrl, wire.modInfoUrl);
  QCOMPARE(info.ModDownloadUrl, wire.modDownloadUrl);
  QCOMPARE(info.ModVersion, -3);
  QCOMPARE(info.ModSize, 184000000);
  QCOMPARE(info.ModServerOnly, std::uint8_t(0));
  QCOMPARE(info.ModClientDll, std::uint8_t(1));

  wire.modInfoUrl = "";
  wire.modDownloadUrl = "";
  ParseDetails(DetailsReply(wire), info);
  QCOMPARE(info.ModInfoUrl, std::string());
  QCOMPARE(info.ModDownloadUrl, std::string("none"));

  // Any flag other than 1 ends the decoding, even with a mod block behind it.
  std::string reply = DetailsReply(wire);
  WireDetails withoutMod = wire;
  withoutMod.isMod = 0;
  reply[DetailsReply(withoutMod).size() - 1] = 2;
  ParseDetails(reply, info);
  QCOMPARE(info.IsMod, std::uint8_t(2));
  QCOMPARE(info.ModDownloadUrl, std::string());
  QCOMPARE(info.ModSize, 0);
}

void TestDataFuncs::detailsCutAtEveryByte() {
  WireDetails wire;
  wire.isMod = 1;
  const std::string reply = DetailsReply(wire);
  TDetailInfo full;
  ParseDetails(reply, full);

  std::size_t previousRead = 0;
  for (std::size_t length = 0; length <= reply.size(); ++length) {
    TDetailInfo info = SentinelDetails();
    ParseDetails(std::string_view(reply).substr(0, length), info);
    if (length <= ReplyKindOffset) {
      QCOMPARE(info.ServerName, std::string("kept"));
      continue;
    }
    std::size_t readCount = 0;
    QVERIFY2(IsReadPrefix(FieldStates(info, full), readCount),
             qPrintable(QString("cut at %1").arg(length)));
    QVERIFY(readCount >= previousRead);
    previousRead = readCount;
  }
  QCOMPARE(previousRead, FieldStates(full, full).size());

  // A text that runs into the end keeps its bytes.
  TDetailInfo info;
  ParseDetails(std::string_view(reply).substr(0, 5 + wire.serverAddress.size() + 1 + 6), info);
  QCOMPARE(info.ServerName, std::string("Zerval"));
  QCOMPARE(info.MapName, std::string());
}

void TestDataFuncs::playersReply() {
  const std::vector<WirePlayer> players = FullServerPlayers();
  TPlayerList list;
  ParsePlayers(PlayersReply(32, players), list);
  QCOMPARE(list.Count, std::uint8_t(32));
  QCOMPARE(list.Items.size(), std::size_t(32));
  for (std::size_t i = 0; i < players.size(); ++i) {
    QVERIFY2(list.Items[i] == Decoded(players[i]), qPrintable(QString("player %1").arg(i)));
  }
  QCOMPARE(list.Items[3].Name.str(), std::string(50, 'L'));
  QCOMPARE(list.Items[4].Name.str(), std::string(50, 'F'));
  QCOMPARE(list.Items[5].Name.str(), std::string());
  QCOMPARE(list.Items[7].Frags, -2147483647 - 1);

  // The count decides how many entries are read; bytes after them are ignored.
  ParsePlayers(PlayersReply(2, players), list);
  QCOMPARE(list.Count, std::uint8_t(2));
  QCOMPARE(list.Items.size(), std::size_t(2));

  ParsePlayers(PlayersReply(0, {}), list);
  QCOMPARE(list.Count, std::uint8_t(0));
  QVERIFY(list.Items.empty());
}

void TestDataFuncs::playersCutAtEveryByte() {
  std::vector<WirePlayer> players = FullServerPlayers();
  players.resize(6);
  std::vector<std::size_t> entryEnds;
  const std::string reply = PlayersReply(6, players, &entryEnds);

  for (std::size_t length = ReplyKindOffset + 1; length <= reply.size(); ++length) {
    TPlayerList list;
    ParsePlayers(std::string_view(reply).substr(0, length), list);
    std::size_t complete = 0;
    while (complete < entryEnds.size() && entryEnds[complete] <= length) ++complete;
    QCOMPARE(list.Items.size(), complete);
    QCOMPARE(std::size_t(list.Count), complete);
    for (std::size_t i = 0; i < complete; ++i) QVERIFY(list.Items[i] == Decoded(players[i]));
  }
}

void TestDataFuncs::rulesReply() {
  const std::vector<WireRule> rules = ServerRules();
  const std::string reply = RulesReply(static_cast<std::int16_t>(rules.size()), rules);
  QVERIFY(reply.size() >= 1400 && reply.size() < 1450);

  TRuleList list;
  ParseRules(reply, list);
  QCOMPARE(std::size_t(list.Count), rules.size());
  QCOMPARE(list.Items.size(), rules.size());
  for (std::size_t i = 0; i < rules.size(); ++i) {
    QVERIFY2(list.Items[i] == Decoded(rules[i]), qPrintable(QString("rule %1").arg(i)));
  }
  QCOMPARE(list.Items[3].Value.str(), std::string("not set"));
  QCOMPARE(list.Items[4].Name.str(), std::string());
  QCOMPARE(list.Items[5].Name.str(), std::string(50, 'n'));
  QCOMPARE(list.Items[6].Value.str(), std::string(50, 'v'));
  QCOMPARE(list.Items[7].Value.str(), std::string(50, 'm'));
}

void TestDataFuncs::rulesCounts_data() {
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("expectedCount");
  QTest::addColumn<int>("expectedItems");

  QTest::newRow("zero") << 0 << 0 << 0;
  QTest::newRow("negative") << -3 << -3 << 0;
  QTest::newRow("most negative") << -32768 << -32768 << 0;
  QTest::newRow("fewer than sent") << 2 << 2 << 2;
  const int sent = static_cast<int>(ServerRules().size());
  QTest::newRow("more than sent") << 32767 << sent << sent;
}

void TestDataFuncs::rulesCounts() {
  QFETCH(int, count);
  QFETCH(int, expectedCount);
  QFETCH(int, expectedItems);
  TRuleList list;
  list.Items.resize(5);
  ParseRules(RulesReply(static_cast<std::int16_t>(count), ServerRules()), list);
  QCOMPARE(int(list.Count), expectedCount);
  QCOMPARE(int(list.Items.size()), expectedItems);
}

void TestDataFuncs::rulesCutAtEveryByte() {
  const std::vector<WireRule> rules = ServerRules();
  std::vector<std::size_t> entryEnds;
  const std::string reply = RulesReply(static_cast<std::int16_t>(rules.size()), rules, &entryEnds);

  for (std::size_t length = ReplyKindOffset + 1; length <= reply.size(); ++length) {
    TRuleList list;
    ParseRules(std::string_view(reply).substr(0, length), list);
    std::size_t complete = 0;
    while (complete < entryEnds.size() && entryEnds[complete] <= length) ++complete;
    QCOMPARE(list.Items.size(), complete);
    QCOMPARE(std::size_t(list.Count), complete);
    for (std::size_t i = 0; i < complete; ++i) QVERIFY(list.Items[i] == Decoded(rules[i]));
  }
}

void TestDataFuncs::otherKindsLeaveOutputsUntouched_data() {
  QTest::addColumn<QByteArray>("reply");

  QTest::newRow("empty") << QByteArray();
  QTest::newRow("no kind byte") << QByteArray("\xFF\xFF\xFF\xFF");
  QTest::newRow("upper-case M") << Raw("\xFF\xFF\xFF\xFFMa\0b\0");
  QTest::newRow("challenge") << Raw(
      "\xFF\xFF\xFF\xFF"
      "challenge rcon 42\n\0");
  QTest::newRow("zero kind") << Raw("\xFF\xFF\xFF\xFF\0\0\0\0");
}

void TestDataFuncs::otherKindsLeaveOutputsUntouched() {
  QFETCH(QByteArray, reply);
  const std::string bytes = reply.toStdString();

  TDetailInfo info = SentinelDetails();
  ParseDetails(bytes, info);
  QCOMPARE(info.ServerName, std::string("kept"));
  QCOMPARE(info.ModVersion, 7);

  TPlayerList players;
  players.Count = 1;
  players.Items.resize(1);
  ParsePlayers(bytes, players);
  QCOMPARE(players.Count, std::uint8_t(1));
  QCOMPARE(players.Items.size(), std::size_t(1));

  TRuleList rules;
  rules.Count = -1;
  ParseRules(bytes, rules);
  QCOMPARE(rules.Count, std::int16_t(-1));

  QVERIFY(!ParseRconReply(bytes).has_value());
}

void TestDataFuncs::consoleText_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<QByteArrayList>("lines");

  const QByteArray head("\xFF\xFF\xFF\xFFl");
  QTest::newRow("worked example") << head + Raw("ab\ncde\n\0\0") << QByteArrayList{"ab", "cde"};
  QTest::newRow("worked example, one zero less")
      << head + Raw("ab\ncde\n\0") << QByteArrayList{"ab", "cd"};
  QTest::newRow("kind byte only") << head << QByteArrayList{"---> Erfolgreich!!!!"};
  QTest::newRow("seven bytes") << head + Raw("x\n") << QByteArrayList{"---> Erfolgreich!!!!"};
  QTest::newRow("eight bytes") << head + Raw("\0\0\0") << QByteArrayList{""};
  QTest::newRow("empty lines stay")
      << head + Raw("ab\n\ncd\n\0\0") << QByteArrayList{"ab", "", "cd"};
  QTest::newRow("one character joins the next")
      << head + Raw("a\nbc\n\0\0") << QByteArrayList{"abc"};
  QTest::newRow("one character at the end is dropped")
      << head + Raw("ab\nc\n\0\0") << QByteArrayList{"ab"};
  QTest::newRow("a lone character gives no line") << head + Raw("x\n\0\0") << QByteArrayList{};
  QTest::newRow("zero and carriage return are text")
      << head + Raw("a\r\0b\n\0\0") << QByteArrayList{Raw("a\r\0b")};
  QTest::newRow("status listing")
      << head + Raw("hostname:  Zerval Test\nmap     :  dm_ridge\nplayers :  2 active\n\0\0")
      << QByteArrayList{"hostname:  Zerval Test", "map     :  dm_ridge", "players :  2 active"};
}

void TestDataFuncs::consoleText() {
  QFETCH(QByteArray, reply);
  QFETCH(QByteArrayList, lines);
  const std::optional<std::vector<std::string>> parsed = ParseRconReply(reply.toStdString());
  QVERIFY(parsed.has_value());
  QCOMPARE(ToByteArrays(*parsed), lines);
}

void TestDataFuncs::consoleTextIgnoresItsLastTwoBytes() {
  const std::string text = std::string("\xFF\xFF\xFF\xFFl", 5) + "first\nsecond line\n\nx\nend";
  for (std::size_t length = ReplyKindOffset + 1; length <= text.size(); ++length) {
    std::string reply = text.substr(0, length);
    const std::optional<std::vector<std::string>> plain = ParseRconReply(reply);
    QVERIFY(plain.has_value());
    if (length < 7) continue;
    reply[length - 1] = '\n';
    reply[length - 2] = 'Z';
    QVERIFY(ParseRconReply(reply) == plain);
  }
}

void TestDataFuncs::challenge_data() {
  QTest::addColumn<QByteArray>("reply");
  QTest::addColumn<QByteArray>("challenge");

  const QByteArray head(
      "\xFF\xFF\xFF\xFF"
      "challenge rcon ");
  QTest::newRow("line feed ends it") << head + Raw("3197625918\n\0") << QByteArray("3197625918");
  QTest::newRow("end of datagram ends it") << head + "3197625918" << QByteArray("3197625918");
  QTest::newRow("one byte") << head + "7" << QByteArray("7");
  QTest::newRow("zero byte ends it") << head + Raw("5\0\n") << QByteArray("5");
  QTest::newRow("nothing after the offset") << head << QByteArray();
  QTest::newRow("line feed at the offset") << head + "\n42" << QByteArray();
  QTest::newRow("too short") << QByteArray(
                                    "\xFF\xFF\xFF\xFF"
                                    "c")
                             << QByteArray();
  QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestDataFuncs::challenge() {
  QFETCH(QByteArray, reply);
  QFETCH(QByteArray, challenge);
  QCOMPARE(ExtractChallenge(reply.toStdString()), challenge.toStdString());
}

// The end of a reply reads as the end of the whole, wherever single characters join lines.
void TestDataFuncs::consoleReplyTailReadsAsTheLastLines() {
  QRandomGenerator random(7);
  for (int round = 0; round < 300; ++round) {
    std::string reply = "\xFF\xFF\xFF\xFFl";
    const int segments = random.bounded(1, 40);
    for (int i = 0; i < segments; ++i)
      reply += std::string(std::size_t(random.bounded(0, 4)), 'x') + "\n";
    reply += std::string(2, '\0');
    const std::size_t kept = std::size_t(random.bounded(1, 6));
    const ConsoleTail tail = ConsoleReplyTail(reply, kept);
    const std::vector<std::string> whole = *ParseRconReply(reply);
    const std::vector<std::string> end = *ParseRconReply(tail.reply);
    QVERIFY(end.size() <= whole.size());
    QVERIFY(std::equal(end.begin(), end.end(), whole.end() - std::ptrdiff_t(end.size())));
    QCOMPARE(tail.cut, end.size() < whole.size());
  }
}

QTEST_APPLESS_MAIN(TestDataFuncs)
#include "test_datafuncs.moc"
