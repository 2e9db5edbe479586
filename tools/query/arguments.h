#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/console.h"
#include "engine/settings.h"

enum class QueryMode { Help, Version, Server, Console, List };

struct QueryArguments {
  QueryMode mode = QueryMode::Help;
  // HOST[:PORT] as given, in order.
  std::vector<std::string> targets;
  // --list files in order; "-" is standard input.
  std::vector<std::string> listFiles;
  // Console mode: the command, and where its password comes from.
  std::string command;
  std::optional<std::string> password;
  std::optional<std::string> passwordFile;
  ConsoleChoice console = ConsoleChoice::Auto;
  QuerySettings settings;
  bool json = false;
  bool pretty = false;
};

// Reads the command line with getopt_long. Raises EZerval with a message for the operator when
// the arguments do not make sense.
QueryArguments ParseArguments(int argc, char** argv);

// The text of --help.
std::string UsageText();
