#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/consolememory.h"

// Which console each server speaks, as the settings file "zerval.ini" keeps it: a section
// [Consoles] with one line "ADDRESS:PORT=tcp" or "ADDRESS:PORT=udp" per server.

// The entries of the section, at most `limit`; lines that name no console are left out.
std::vector<ConsoleEntry> ReadConsoleSection(std::string_view ini, std::size_t limit);
// `ini` with its [Consoles] section replaced by one of `entries`, at the end; without entries
// the section goes.
std::string WithConsoleSection(std::string_view ini, const std::vector<ConsoleEntry>& entries);
