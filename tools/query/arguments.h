#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "engine/wire_protocol.h"

enum class QueryMode { Help, Server, Console, List };

struct QueryArguments {
  QueryMode mode = QueryMode::Help;
  // HOST:PORT for Server and Console.
  std::string target;
  std::string password;
  std::string command;
  std::string listFile;
  WireProtocol protocol = WireProtocol::Classic;
  bool json = false;
  std::chrono::milliseconds timeout{5000};
};

// Raises EZerval with a message for the operator when the arguments do not make sense.
QueryArguments ParseArguments(const std::vector<std::string>& arguments);

// The text of --help.
std::string UsageText();
