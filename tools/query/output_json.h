#pragma once

#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/list_query.h"
#include "engine/server_query.h"
#include "json_writer.h"

// Every document is one object {"servers":[...]} with an object per server, whatever the number
// of servers or the mode, ended by a line feed and indented when `pretty`. A part that did not
// come is null, and a server that failed has an "error" member.

// `a2s`: the servers were asked with the Steam-era requests, so each has an "a2s" member.
void PrintServersJson(std::string& out, const std::vector<ServerReport>& reports, bool a2s,
                      bool pretty);
// `target`: the server as it was named.
void PrintConsoleJson(std::string& out, const std::string& target, const ConsoleReport& report,
                      bool pretty);

// The document of a list, appended to `out` an entry at a time, so that the caller may write out
// and empty `out` in between.
class ListJson {
 public:
  ListJson(std::string& out, bool pretty);
  void Add(const ListResult& result);
  void Finish();

 private:
  JsonWriter json_;
};
