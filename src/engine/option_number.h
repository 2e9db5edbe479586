#pragma once

#include <cstdint>
#include <string>

// The decimal number an option was given, from `low` to `high`; raises EZerval naming the
// option and `what` it needs ("a number", "milliseconds") otherwise.
std::int64_t OptionNumber(const std::string& option, const std::string& text, std::int64_t low,
                          std::int64_t high, const std::string& what = "a number");
