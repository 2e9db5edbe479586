#pragma once

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/list_query.h"
#include "engine/server_query.h"

// Each appends one JSON document to `out`, ended by a line feed; indented when `pretty`. A part
// that did not come is null, and a server that failed has an "error" member. `a2s`: the servers
// were asked with the Steam-era requests, so each has an "a2s" member.
void PrintServersJson(std::string& out, const std::vector<ServerReport>& reports, bool a2s,
                      bool pretty);
void PrintConsoleJson(std::string& out, const ConsoleReport& report, bool pretty);
void PrintListJson(std::string& out, const std::vector<ListResult>& results, bool pretty);
