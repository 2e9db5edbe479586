#include "server_table.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "engine/display_text.h"
#include "engine/list_input.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

ServerTable PasswordsFromText(std::string_view text, const std::string& fileName) {
  ServerTable table;
  for (int number = 1; !text.empty(); ++number) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.empty() || line.front() == '#') continue;
    const std::size_t blank = line.find_first_of(" \t");
    const std::string where = fileName + ", line " + std::to_string(number) + ": ";
    if (blank == std::string_view::npos) throw EZerval(where + "no password after the address");
    try {
      table.Add(line.substr(0, blank), std::string(TrimBlanks(line.substr(blank))));
    } catch (const EZerval& error) {
      throw EZerval(where + error.what());
    }
  }
  return table;
}

}  // namespace

std::string CanonicalName(const AddressText& text) {
  std::string host = text.host;
  std::transform(host.begin(), host.end(), host.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (text.ipv6) host = "[" + host + "]";
  return host + ":" + std::to_string(text.port);
}

void ServerTable::Add(std::string_view text, std::string value) {
  const AddressText name = SplitServerAddress(text);
  byName_[CanonicalName(name)] = value;
  try {
    byAddress_[AddressKey(ResolveServerAddress(text))] = std::move(value);
  } catch (const EZerval& error) {
    std::fprintf(stderr, "zerval-exporter: %s: %s; found by its name only\n",
                 TerminalText(text).c_str(), TerminalText(error.what()).c_str());
  }
}

const std::string* ServerTable::Find(const AddressText& text,
                                     const std::optional<ServerAddress>& address) const {
  if (const auto named = byName_.find(CanonicalName(text)); named != byName_.end())
    return &named->second;
  if (!address) return nullptr;
  const auto found = byAddress_.find(AddressKey(*address));
  return found == byAddress_.end() ? nullptr : &found->second;
}

ServerTable ReadAllowedTargets(const std::string& fileName) {
  ServerTable table;
  for (const ListTarget& target : ReadListTargets(fileName)) {
    try {
      table.Add(target.address);
    } catch (const EZerval& error) {
      throw EZerval(fileName + ": " + target.address + ": " + error.what());
    }
  }
  return table;
}

ServerTable ReadConsolePasswords(const std::string& fileName) {
  const std::string bytes = ReadListFileBytes(fileName);
  // As with server lists: a list file holds zero bytes, a text never does.
  if (bytes.find('\0') == std::string::npos) return PasswordsFromText(bytes, fileName);
  ServerTable table;
  for (const TServerEntry& entry : ParseServerList(bytes, fileName)) {
    if (!entry.HasPassword) continue;
    try {
      table.Add(entry.Address.view(), entry.Password.str());
    } catch (const EZerval& error) {
      throw EZerval(fileName + ": " + entry.Address.str() + ": " + error.what());
    }
  }
  return table;
}
