#pragma once

#include <cstddef>
#include <string>

#include "probe.h"

// Series that name a player, at most, in one probe: a server chooses its players' names, and
// every new name is a new series for Prometheus to keep.
constexpr std::size_t MaxPlayerSeries = 256;

// A probe's metrics in the text format. A server that did not answer, or whose answer could not
// be read, gives zerval_up 0, the probe's duration and why it failed (and zerval_rcon_up when a
// password is known), nothing else.
std::string ProbeMetrics(const ProbeResult& probe);
