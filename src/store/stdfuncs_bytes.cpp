#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

constexpr std::size_t CountSize = 4;
constexpr std::size_t EntrySizeWithoutPassword =
    decltype(TServerEntry::Name)::FieldSize + decltype(TServerEntry::Address)::FieldSize + 1;
constexpr std::size_t PasswordFieldSize = decltype(TServerEntry::Password)::FieldSize;

// Field offsets of "config.dat".
constexpr std::size_t OffLoadListOnStartup = 0;
constexpr std::size_t OffStandardListFile = 1;
constexpr std::size_t OffComboShowsNames = OffStandardListFile + 256;
constexpr std::size_t OffTimeout = OffComboShowsNames + 1;
constexpr std::size_t OffQueryOnStartup = OffTimeout + 4;
constexpr std::size_t OffStartupServer = OffQueryOnStartup + 1;
constexpr std::size_t OffTrayIcon = OffStartupServer + 4;
static_assert(OffTrayIcon + 1 == OptionsFileSize);
static_assert(decltype(TOptions::StandardListFile)::FieldSize == 256);

EZerval InvalidListFile(const std::string& fileName) {
  return EZerval("Invalid server list file " + fileName);
}

void AppendInt32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(bits >> shift));
}

std::int32_t Int32At(std::string_view bytes, std::size_t offset) {
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  return static_cast<std::int32_t>(bits);
}

template <std::size_t N>
void AppendField(std::string& out, const ShortString<N>& text) {
  const std::size_t at = out.size();
  out.resize(at + text.FieldSize);
  text.writeField(out.data() + at);
}

// Reads one whole field at `offset` and moves past it; false when the bytes end inside the
// field or its length byte is above the capacity.
template <std::size_t N>
bool ReadField(std::string_view bytes, std::size_t& offset, ShortString<N>& text) {
  if (bytes.size() - offset < text.FieldSize || !text.readField(bytes.data() + offset))
    return false;
  offset += text.FieldSize;
  return true;
}

bool ReadByte(std::string_view bytes, std::size_t& offset, std::uint8_t& value) {
  if (offset >= bytes.size()) return false;
  value = static_cast<std::uint8_t>(bytes[offset++]);
  return true;
}

bool ReadEntry(std::string_view bytes, std::size_t& offset, TServerEntry& entry) {
  if (!ReadField(bytes, offset, entry.Name) || !ReadField(bytes, offset, entry.Address) ||
      !ReadByte(bytes, offset, entry.HasPassword))
    return false;
  return entry.HasPassword == 0 || ReadField(bytes, offset, entry.Password);
}

// The loaders of a short "config.dat": a field cut by the end keeps its value.
void LoadIfInside(std::string_view bytes, std::size_t offset, std::uint8_t& field) {
  if (offset + 1 <= bytes.size()) field = static_cast<std::uint8_t>(bytes[offset]);
}

void LoadIfInside(std::string_view bytes, std::size_t offset, std::int32_t& field) {
  if (offset + 4 <= bytes.size()) field = Int32At(bytes, offset);
}

void LoadIfInside(std::string_view bytes, std::size_t offset, ShortString<255>& field) {
  if (offset + field.FieldSize <= bytes.size()) field.readField(bytes.data() + offset);
}

}  // namespace

std::string ServerListToBytes(const TServerList& list) {
  std::string bytes;
  bytes.reserve(CountSize + list.size() * (EntrySizeWithoutPassword + PasswordFieldSize));
  AppendInt32(bytes, static_cast<std::int32_t>(list.size()));
  for (const TServerEntry& entry : list) {
    AppendField(bytes, entry.Name);
    AppendField(bytes, entry.Address);
    bytes.push_back(static_cast<char>(entry.HasPassword));
    if (entry.HasPassword != 0) AppendField(bytes, entry.Password);
  }
  return bytes;
}

TServerList ParseServerList(std::string_view bytes, const std::string& fileName) {
  if (bytes.empty()) return {};
  if (bytes.size() < CountSize) throw InvalidListFile(fileName);
  const std::int32_t count = Int32At(bytes, 0);
  // The smallest entry is one without a password, so this bounds the count before anything
  // is allocated for it.
  if (count < 0 ||
      static_cast<std::size_t>(count) > (bytes.size() - CountSize) / EntrySizeWithoutPassword)
    throw InvalidListFile(fileName);

  TServerList list(static_cast<std::size_t>(count));
  std::size_t offset = CountSize;
  for (TServerEntry& entry : list)
    if (!ReadEntry(bytes, offset, entry)) throw InvalidListFile(fileName);
  return list;
}

std::string OptionsToBytes(const TOptions& options) {
  std::string bytes;
  bytes.reserve(OptionsFileSize);
  bytes.push_back(static_cast<char>(options.LoadListOnStartup));
  AppendField(bytes, options.StandardListFile);
  bytes.push_back(static_cast<char>(options.ComboShowsNames));
  AppendInt32(bytes, options.Timeout);
  bytes.push_back(static_cast<char>(options.QueryOnStartup));
  AppendInt32(bytes, options.StartupServer);
  bytes.push_back(static_cast<char>(options.TrayIcon));
  return bytes;
}

void OptionsFromBytes(std::string_view bytes, TOptions& options) {
  LoadIfInside(bytes, OffLoadListOnStartup, options.LoadListOnStartup);
  LoadIfInside(bytes, OffStandardListFile, options.StandardListFile);
  LoadIfInside(bytes, OffComboShowsNames, options.ComboShowsNames);
  LoadIfInside(bytes, OffTimeout, options.Timeout);
  LoadIfInside(bytes, OffQueryOnStartup, options.QueryOnStartup);
  LoadIfInside(bytes, OffStartupServer, options.StartupServer);
  LoadIfInside(bytes, OffTrayIcon, options.TrayIcon);
}
