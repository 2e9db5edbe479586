#pragma once

#include <ostream>
#include <vector>

#include "engine/console.h"
#include "engine/list_query.h"
#include "engine/server_query.h"

// Each server's full answer, one after another with a blank line between them.
void PrintServersText(std::ostream& out, const std::vector<ServerReport>& reports);
void PrintConsoleText(std::ostream& out, const ConsoleReport& report);
// One line per entry under a title line; columns padded to the widest entry.
void PrintListText(std::ostream& out, const std::vector<ListResult>& results);
