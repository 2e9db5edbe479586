#include "zervalini.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

#include "store/mytypes.h"

namespace {

// A settings file of every server the memory keeps is a few hundred kilobytes.
constexpr qint64 MaxSettingsFileBytes = qint64(4) << 20;

constexpr char QuerySection[] = "Query";
constexpr char ProtocolKey[] = "Protocol";
constexpr char OverviewSection[] = "Overview";
constexpr char ServersSection[] = "Servers";
constexpr char ConsolesSection[] = "Consoles";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<bool> Flag(const IniFile& file, const char* key) {
  const std::optional<std::string> value = file.Value(OverviewSection, key);
  if (!value) return std::nullopt;
  if (Lower(*value) == "true") return true;
  if (Lower(*value) == "false") return false;
  return std::nullopt;
}

// A key comes from a list entry's address, which a list file can fill with any bytes: only one
// that stays one key on its line is written.
bool IsPlainKey(const std::string& key) {
  return !key.empty() && key.front() != ';' && key.front() != '#' &&
         std::all_of(key.begin(), key.end(),
                     [](unsigned char c) { return c > ' ' && c < 0x7F && c != '='; });
}

const char* FlagText(bool value) {
  return value ? "true" : "false";
}

}  // namespace

IniFile ReadSettingsFile(const QString& fileName) {
  if (!QFile::exists(fileName)) return {};
  QFile file(fileName);
  if (!QFileInfo(fileName).isFile() || file.size() > MaxSettingsFileBytes ||
      !file.open(QIODevice::ReadOnly))
    throw EZerval("Cannot read file " + fileName.toLocal8Bit().toStdString());
  return IniFile::Parse(file.read(MaxSettingsFileBytes).toStdString());
}

std::optional<WireProtocol> ProtocolSetting(const IniFile& file, const QString& fileName) {
  const std::optional<std::string> value = file.Value(QuerySection, ProtocolKey);
  if (!value || Lower(*value) == "auto") return std::nullopt;
  if (Lower(*value) == "classic") return WireProtocol::Classic;
  if (Lower(*value) == "steam") return WireProtocol::A2s;
  throw EZerval("Unknown Query/Protocol \"" + *value + "\" in " +
                fileName.toLocal8Bit().toStdString());
}

void PutProtocolSetting(IniFile& file, std::optional<WireProtocol> protocol) {
  file.Set(QuerySection, ProtocolKey,
           !protocol                        ? "auto"
           : *protocol == WireProtocol::A2s ? "steam"
                                            : "classic");
}

OverviewSettings OverviewSetting(const IniFile& file) {
  OverviewSettings settings;
  settings.watch = Flag(file, "Watch").value_or(settings.watch);
  settings.notify = Flag(file, "Notify").value_or(settings.notify);
  if (const std::optional<std::string> period = file.Value(OverviewSection, "Period")) {
    const QString text = QString::fromStdString(*period);
    bool isNumber = false;
    const int seconds = text.toInt(&isNumber);
    if (isNumber)
      settings.periodSeconds = std::clamp(seconds, OverviewSettings::MinPeriodSeconds,
                                          OverviewSettings::MaxPeriodSeconds);
  }
  return settings;
}

void PutOverviewSetting(IniFile& file, const OverviewSettings& settings) {
  file.Set(OverviewSection, "Watch", FlagText(settings.watch));
  file.Set(OverviewSection, "Period", std::to_string(settings.periodSeconds));
  file.Set(OverviewSection, "Notify", FlagText(settings.notify));
}

void ReadServerProtocols(const IniFile& file, ProtocolMemory& memory) {
  for (const auto& [key, value] : file.Section(ServersSection))
    if (const std::optional<WireProtocol> protocol = WireProtocolNamed(Lower(value)))
      memory.Answered(key, *protocol);
}

void PutServerProtocols(IniFile& file, const ProtocolMemory& memory) {
  IniFile::Entries entries;
  for (const auto& [key, protocol] : memory.Entries())
    if (IsPlainKey(key)) entries.emplace_back(key, WireProtocolName(protocol));
  file.ReplaceSection(ServersSection, entries);
}

void ReadServerConsoles(const IniFile& file, ConsoleMemory& memory, Micros now) {
  std::size_t read = 0;
  for (const auto& [key, value] : file.Section(ConsolesSection)) {
    if (read == ConsoleMemory::MaxServers) break;
    const std::optional<ConsoleKind> kind = ConsoleKindNamed(Lower(value));
    if (!IsPlainKey(key) || !kind) continue;
    memory.Learn(key, *kind, now);
    ++read;
  }
}

void PutServerConsoles(IniFile& file, const ConsoleMemory& memory) {
  IniFile::Entries entries;
  for (const ConsoleEntry& entry : memory.Kinds())
    if (IsPlainKey(entry.server)) entries.emplace_back(entry.server, ConsoleKindName(entry.kind));
  file.ReplaceSection(ConsolesSection, entries);
}
