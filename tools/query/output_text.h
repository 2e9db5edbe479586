#pragma once

#include <ostream>
#include <vector>

#include "engine/list_query.h"
#include "engine/server_query.h"

void PrintServerText(std::ostream& out, const ServerReport& report);
void PrintConsoleText(std::ostream& out, const ConsoleReport& report);
// One line per entry under a title line; columns padded to the widest entry.
void PrintListText(std::ostream& out, const std::vector<ListResult>& results);
