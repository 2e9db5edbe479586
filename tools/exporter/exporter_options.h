#pragma once

#include <chrono>
#include <optional>
#include <string>

struct ExporterOptions {
  std::string listen = "127.0.0.1:9550";
  std::optional<std::string> allowedTargets;
  std::optional<std::string> rconPasswords;
  std::chrono::milliseconds timeout{5000};
  int retries = 2;
  std::chrono::milliseconds interval{500};
  bool help = false;
  bool version = false;
};

// Reads the command line with getopt_long. Raises EZerval for a bad option or value.
ExporterOptions ParseExporterOptions(int argc, char** argv);

// The --help text.
std::string ExporterUsage();
