#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/settings.h"
#include "protocol/a2s.h"
#include "store/mytypes.h"

// Words shared by the text and the JSON output.

// "ok", "timeout", "refused", "send failed", "bad address", "console refused", "unreadable".
const char* OutcomeWord(Outcome outcome);

// The server type and operating system of a details record, from the info reply when it came
// as one: "dedicated", "listen", "relay"; "linux", "windows", "macos". Another letter is
// returned as it stands.
std::string ServerTypeWord(const TDetailInfo& details, const std::optional<A2sInfo>& a2sInfo);
std::string OperatingSystemWord(const TDetailInfo& details, const std::optional<A2sInfo>& a2sInfo);
