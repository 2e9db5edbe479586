#pragma once

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/list_query.h"
#include "engine/server_query.h"

// Each appends its text to `out`.

// Each server's full answer, one after another with a blank line between them.
void PrintServersText(std::string& out, const std::vector<ServerReport>& reports);
void PrintConsoleText(std::string& out, const ConsoleReport& report);
// One line per entry under a title line; columns padded to the widest entry.
void PrintListText(std::string& out, const std::vector<ListResult>& results);
