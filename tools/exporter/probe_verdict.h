#pragma once

#include <string>

#include "probe.h"

// What a probe amounts to: whether the server is up, and why the probe failed.
struct ProbeVerdict {
  // The details reply came and could be read.
  bool up = false;
  // The players reply, when asked for, came and could be read.
  bool playersRead = false;
  // Of the first part that failed (details, players, console): "timeout", "refused",
  // "unreadable" or "console-refused"; empty when every part did its work.
  std::string reason;
  // What went wrong, in English; empty with the reason.
  std::string detail;
};

ProbeVerdict JudgeProbe(const ProbeResult& probe);
