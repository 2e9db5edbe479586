#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A text of fixed byte capacity N, laid out as in records and files: one length byte and N
// character bytes. Texts are 8-bit, one byte per character; a longer text is cut at store time.
template <std::size_t N>
class ShortString {
  static_assert(N > 0 && N <= 255, "a length byte holds at most 255");

 public:
  static constexpr std::size_t Capacity = N;
  static constexpr std::size_t FieldSize = N + 1;

  ShortString() = default;
  ShortString(std::string_view text) { assign(text); }
  ShortString(const char* text) { assign(text); }
  ShortString& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  ShortString& operator=(const char* text) {
    assign(text);
    return *this;
  }

  void assign(std::string_view text) {
    length_ = static_cast<std::uint8_t>(std::min(text.size(), N));
    chars_.fill('\0');
    std::memcpy(chars_.data(), text.data(), length_);
  }
  std::string str() const { return std::string(chars_.data(), length_); }
  std::string_view view() const { return std::string_view(chars_.data(), length_); }
  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  bool operator==(const ShortString& other) const { return view() == other.view(); }
  bool operator!=(const ShortString& other) const { return !(*this == other); }

  // The whole field as stored: the length byte, the text, zero bytes after it.
  void writeField(char* out) const {
    out[0] = static_cast<char>(length_);
    std::memcpy(out + 1, chars_.data(), N);
  }
  // Reads a whole field. Returns false, leaving the text unchanged, when the length byte
  // claims more than the field holds.
  bool readField(const char* in) {
    const auto length = static_cast<std::uint8_t>(in[0]);
    if (length > N) return false;
    assign(std::string_view(in + 1, length));
    return true;
  }

 private:
  std::uint8_t length_ = 0;
  std::array<char, N> chars_{};
};

// The general error of this program; its message is 8-bit text like every other text here.
class EZerval : public std::runtime_error {
 public:
  explicit EZerval(const std::string& message) : std::runtime_error(message) {}
};

// The integer conversion of a text failed.
class EConvertError : public EZerval {
 public:
  using EZerval::EZerval;
};

class EInvalidIP : public EZerval {
 public:
  EInvalidIP() : EZerval("ungültige IP") {}
};

class EInvalidHostString : public EZerval {
 public:
  EInvalidHostString() : EZerval("ungültiger Host") {}
};

// Decoded details reply ('m').
struct TDetailInfo {
  std::string ServerAddress;
  std::string ServerName;
  std::string MapName;
  std::string GameDir;
  std::string GameName;
  std::uint8_t PlayerCount = 0;
  std::uint8_t MaxPlayers = 0;
  std::uint8_t Protocol = 0;
  std::uint8_t ServerType = 0;
  std::uint8_t ServerOS = 0;
  std::uint8_t HasPassword = 0;
  std::uint8_t IsMod = 0;
  std::string ModInfoUrl;
  std::string ModDownloadUrl;
  std::int32_t ModVersion = 0;
  std::int32_t ModSize = 0;
  std::uint8_t ModServerOnly = 0;
  std::uint8_t ModClientDll = 0;
};

// One entry of a players reply ('D').
struct TPlayerItem {
  std::uint8_t Index = 0;
  ShortString<50> Name;
  std::int32_t Frags = 0;
  std::uint32_t Time = 0;
};

struct TPlayerList {
  std::uint8_t Count = 0;
  std::vector<TPlayerItem> Items;
};

// One entry of a rules reply ('E').
struct TRuleItem {
  ShortString<50> Name;
  ShortString<50> Value;
};

struct TRuleList {
  std::int16_t Count = 0;
  std::vector<TRuleItem> Items;
};

// One server of the operator's list, field widths as in the list file.
struct TServerEntry {
  ShortString<50> Name;
  ShortString<25> Address;
  std::uint8_t HasPassword = 0;
  ShortString<20> Password;
};

using TServerList = std::vector<TServerEntry>;

// The options kept in "config.dat". Booleans are bytes: 0 is false, anything else true.
struct TOptions {
  std::uint8_t LoadListOnStartup = 0;
  ShortString<255> StandardListFile = "none";
  std::uint8_t ComboShowsNames = 0;
  std::int32_t Timeout = 5000;
  std::uint8_t QueryOnStartup = 0;
  std::int32_t StartupServer = -1;
  std::uint8_t TrayIcon = 0;
};
