#include "report_words.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

// A letter not known; none at all when the reply ended before it.
std::string Letter(std::uint8_t letter) {
  return letter == 0 ? std::string() : std::string(1, static_cast<char>(letter));
}

}  // namespace

const char* OutcomeWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::Answered:
      return "ok";
    case Outcome::TimedOut:
      return "timeout";
    case Outcome::PortRefused:
      return "refused";
    case Outcome::SendFailed:
      return "send failed";
    case Outcome::BadAddress:
      return "bad address";
    case Outcome::ConsoleRefused:
      return "console refused";
    case Outcome::Unreadable:
      return "unreadable";
  }
  return "";
}

std::string ServerTypeWord(const TDetailInfo& details, const std::optional<A2sInfo>& a2sInfo) {
  const std::uint8_t letter = a2sInfo ? a2sInfo->serverType.value_or(0) : details.ServerType;
  switch (letter) {
    case 'd':
      return "dedicated";
    case 'l':
      return "listen";
    case 'p':
      return "relay";
  }
  return Letter(letter);
}

std::string OperatingSystemWord(const TDetailInfo& details, const std::optional<A2sInfo>& a2sInfo) {
  const std::uint8_t letter = a2sInfo ? a2sInfo->environment.value_or(0) : details.ServerOS;
  switch (letter) {
    case 'l':
      return "linux";
    case 'w':
      return "windows";
    case 'm':
    case 'o':
      return "macos";
  }
  return Letter(letter);
}
