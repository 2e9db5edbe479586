#pragma once

#include <string>

#include "probe.h"

// A probe's metrics in the text format. A server that did not answer gives zerval_up 0 and the
// probe's duration (and zerval_rcon_up when a password is known), nothing else.
std::string ProbeMetrics(const ProbeResult& probe);
