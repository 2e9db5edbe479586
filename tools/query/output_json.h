#pragma once

#include <ostream>
#include <vector>

#include "engine/list_query.h"
#include "engine/server_query.h"

// One JSON document each, ended by a line feed. A part that did not come is null.
void PrintServerJson(std::ostream& out, const ServerReport& report);
void PrintConsoleJson(std::ostream& out, const ConsoleReport& report);
void PrintListJson(std::ostream& out, const std::vector<ListResult>& results);
