// A game server for the window tests: a UDP peer on 127.0.0.1 answering the query protocol
// from records the test sets, and a main window created in a fresh working directory.
#pragma once

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "main.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "store/mytypes.h"
#include "udppeer.h"

namespace queryreplies {

inline std::string Text(const std::string& text) {
  return text + '\0';
}

inline std::string Int32(std::int32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8)
    bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF);
  return bytes;
}

inline std::string DetailsReply(const TDetailInfo& info) {
  std::string payload = Text(info.ServerAddress) + Text(info.ServerName) + Text(info.MapName) +
                        Text(info.GameDir) + Text(info.GameName);
  for (const std::uint8_t byte : {info.PlayerCount, info.MaxPlayers, info.Protocol, info.ServerType,
                                  info.ServerOS, info.HasPassword, info.IsMod})
    payload += static_cast<char>(byte);
  if (info.IsMod == 1)
    payload += Text(info.ModInfoUrl) + Text(info.ModDownloadUrl) + '\0' + Int32(info.ModVersion) +
               Int32(info.ModSize) + static_cast<char>(info.ModServerOnly) +
               static_cast<char>(info.ModClientDll);
  return Reply('m', payload);
}

struct Player {
  std::string name;
  std::int32_t frags = 0;
};

inline std::string PlayersReply(const std::vector<Player>& players) {
  std::string payload(1, static_cast<char>(players.size()));
  for (std::size_t i = 0; i < players.size(); ++i)
    payload += static_cast<char>(i) + Text(players[i].name) + Int32(players[i].frags) + Int32(0);
  return Reply('D', payload);
}

inline std::string RulesReply(const std::vector<std::pair<std::string, std::string>>& rules) {
  const auto count = static_cast<std::uint16_t>(rules.size());
  std::string payload{static_cast<char>(count & 0xFF), static_cast<char>(count >> 8)};
  for (const auto& [name, value] : rules) payload += Text(name) + Text(value);
  return Reply('E', payload);
}

// Console text: the lines, each ended by a line feed, and the two bytes the decoder skips.
inline std::string ConsoleReply(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return Reply('l', text + std::string(2, '\0'));
}

inline std::string ChallengeReply(const std::string& challenge) {
  return Reply('c', "hallenge rcon " + challenge + "\n") + '\0';
}

// A status listing: seven head lines, one line a player, one closing line.
inline std::string StatusReply(const std::vector<std::string>& playerLines) {
  std::vector<std::string> lines = {"hostname:  Test",
                                    "version :  48",
                                    "tcp/ip  :  127.0.0.1",
                                    "map     :  dm_dune",
                                    "players :  active",
                                    "",
                                    "#      name userid uniqueid frag time ping loss adr"};
  lines.insert(lines.end(), playerLines.begin(), playerLines.end());
  lines.push_back(std::to_string(playerLines.size()) + " users");
  return ConsoleReply(lines);
}

inline TDetailInfo PlainDetails() {
  TDetailInfo info;
  info.ServerAddress = "127.0.0.1:27015";
  info.ServerName = "Test Server";
  info.MapName = "crossfire";
  info.GameDir = "basis";
  info.GameName = "Ironworks";
  info.PlayerCount = 3;
  info.MaxPlayers = 8;
  info.ServerType = 'd';
  info.ServerOS = 'l';
  return info;
}

// Answers "details", "players", "rules", the challenge and console commands; stays silent on
// the commands in `silentOn`, or on everything while `answering` is false.
class GameServer {
 public:
  GameServer() {
    peer.setScript([this](const UdpPeer::Request& request) -> std::vector<std::string> {
      const std::string command = request.command();
      if (beforeAnswer) beforeAnswer(command);
      if (!answering || silentOn.count(command) != 0) return {};
      if (command == "details") return {DetailsReply(details)};
      if (command == "players") return {PlayersReply(players)};
      if (command == "rules") return {RulesReply(rules)};
      if (command == "challenge rcon") return {ChallengeReply(challenge)};
      if (command == "rcon " + challenge + " " + password + " status")
        return {StatusReply(statusLines)};
      return {ConsoleReply({"ok"})};
    });
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(peer.port()); }
  std::vector<std::string> Commands() const { return peer.commands(); }

  UdpPeer peer;
  TDetailInfo details = PlainDetails();
  std::vector<Player> players = {{"Alpha", 3}, {"Beta", 1}};
  std::vector<std::pair<std::string, std::string>> rules = {{"mp_timelimit", "30"}};
  std::string challenge = "4711";
  std::string password;
  std::vector<std::string> statusLines;
  std::set<std::string> silentOn;
  bool answering = true;
  // Runs on every request before it is answered, inside the wait of the exchange that sent it.
  std::function<void(const std::string& command)> beforeAnswer;
};

// The main window in a working directory of its own (it reads "config.dat" from there), with
// every dialog scripted and a short receive time-out.
struct Window {
  Window() {
    EnterSandbox(dir);
    ForceClassicQueries(UserOptionsFolder(dir));
    w = std::make_unique<Tfrm_main>();
    w->UDPClient.SetReceiveTimeout(300);
  }

  // Adds a list entry and its combo item; returns its index.
  int AddServer(const std::string& name, const std::string& address,
                const std::string& password = {}) {
    TServerEntry entry;
    entry.Name = name;
    entry.Address = address;
    entry.HasPassword = password.empty() ? 0 : 1;
    entry.Password = password;
    w->ServerList.push_back(entry);
    w->ui.cb_servers->addItem(QString::fromStdString(name));
    return static_cast<int>(w->ServerList.size()) - 1;
  }
  int AddServer(const std::string& name, const GameServer& server) {
    return AddServer(name, server.Address(), server.password);
  }

  // The operator picks combo item `index`.
  void Choose(int index) {
    w->ui.cb_servers->setCurrentIndex(index);
    emit w->ui.cb_servers->activated(index);
  }

  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<Tfrm_main> w;
};

}  // namespace queryreplies
