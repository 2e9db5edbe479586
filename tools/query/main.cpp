#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "arguments.h"
#include "engine/console.h"
#include "engine/display_text.h"
#include "engine/list_input.h"
#include "engine/list_query.h"
#include "engine/server_address.h"
#include "engine/server_query.h"
#include "output_json.h"
#include "output_text.h"
#include "store/mytypes.h"

namespace {

enum ExitStatus {
  AllAnswered = 0,
  NotAnswered = 1,
  BadInput = 2,
  ServerRefused = 3,
  Unreadable = 4,
};

ExitStatus StatusOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Answered:
      return AllAnswered;
    case Outcome::TimedOut:
    case Outcome::PortRefused:
    case Outcome::SendFailed:
      return NotAnswered;
    case Outcome::BadAddress:
      return BadInput;
    case Outcome::ConsoleRefused:
      return ServerRefused;
    case Outcome::Unreadable:
      return Unreadable;
  }
  return BadInput;
}

// Output is built as text and written with the C library: the C++ streams would cost every
// start more than a query on loopback takes.
void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

// Every line on standard error is masked as standard output is: a list or a server may put any
// byte into a message.
void Warn(const std::string& message) {
  Write(stderr, "zerval-query: " + TerminalText(message) + '\n');
}

// A password file is read this far at most, whatever it is.
constexpr std::size_t MaxPasswordFileBytes = 4096;

// The first line of the file, without its line end.
std::string ReadPasswordFile(const std::string& fileName) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  std::string bytes(MaxPasswordFileBytes, '\0');
  const std::size_t count = file ? std::fread(bytes.data(), 1, bytes.size(), file) : 0;
  const bool failed = !file || std::ferror(file);
  if (file) std::fclose(file);
  if (failed) throw EZerval("cannot read the password file " + fileName);
  bytes.resize(count);
  std::string line = bytes.substr(0, bytes.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string ConsolePassword(const QueryArguments& arguments) {
  std::string password;
  if (arguments.password)
    password = *arguments.password;
  else if (arguments.passwordFile)
    password = ReadPasswordFile(*arguments.passwordFile);
  else if (const char* fromEnvironment = std::getenv("ZERVAL_RCON_PASSWORD"))
    password = fromEnvironment;
  if (password.empty())
    throw EZerval(
        "--rcon needs the console password: --password, --password-file or "
        "ZERVAL_RCON_PASSWORD");
  return password;
}

ExitStatus QueryServersInFull(const QueryArguments& arguments) {
  const std::vector<ServerReport> reports = QueryServers(arguments.targets, arguments.settings);
  const bool a2s = arguments.settings.protocol == WireProtocol::A2s;
  std::string out;
  if (arguments.json)
    PrintServersJson(out, reports, a2s, arguments.pretty);
  else
    PrintServersText(out, reports);
  Write(stdout, out);
  ExitStatus status = AllAnswered;
  for (const ServerReport& report : reports) {
    for (const Problem& problem : report.problems)
      Warn(report.target + ": " + (problem.part.empty() ? "" : problem.part + ": ") +
           problem.reason);
    status = std::max(status, StatusOf(report.outcome));
  }
  return status;
}

ExitStatus RunConsole(const QueryArguments& arguments) {
  const std::string password = ConsolePassword(arguments);
  const std::string& target = arguments.targets.front();
  ServerAddress address;
  try {
    address = ResolveServerAddress(target);
  } catch (const EZerval& error) {
    Warn(target + ": " + error.what());
    return BadInput;
  }
  const ConsoleReport report = RunConsoleCommand(address, password, arguments.command,
                                                 arguments.settings, arguments.console);
  std::string out;
  if (arguments.json)
    PrintConsoleJson(out, report, arguments.pretty);
  else
    PrintConsoleText(out, report);
  Write(stdout, out);
  if (!report.error.empty()) Warn(FormatServerAddress(report.address) + ": " + report.error);
  return StatusOf(report.outcome);
}

ExitStatus QueryList(const QueryArguments& arguments) {
  std::vector<ListTarget> targets;
  for (const std::string& file : arguments.listFiles) {
    std::vector<ListTarget> listed = ReadListTargets(file);
    targets.insert(targets.end(), listed.begin(), listed.end());
  }
  for (const std::string& target : arguments.targets)
    targets.push_back(ListTarget{target, target, {}});
  const std::vector<ListResult> results = QueryServerList(targets, arguments.settings);
  std::string out;
  if (arguments.json)
    PrintListJson(out, results, arguments.pretty);
  else
    PrintListText(out, results);
  Write(stdout, out);
  ExitStatus status = AllAnswered;
  for (const ListResult& result : results) {
    const ListTarget& target = result.target;
    if (!result.error.empty())
      Warn((target.name == target.address ? target.address
                                          : "\"" + target.name + "\" (" + target.address + ")") +
           ": " + result.error);
    status = std::max(status, StatusOf(result.outcome));
  }
  return status;
}

ExitStatus Run(const QueryArguments& arguments) {
  switch (arguments.mode) {
    case QueryMode::Help:
      Write(stdout, UsageText());
      return AllAnswered;
    case QueryMode::Version:
      Write(stdout, std::string("zerval-query ") + ZERVAL_VERSION + '\n');
      return AllAnswered;
    case QueryMode::Server:
      return QueryServersInFull(arguments);
    case QueryMode::Console:
      return RunConsole(arguments);
    case QueryMode::List:
      return QueryList(arguments);
  }
  return BadInput;
}

}  // namespace

int main(int argc, char** argv) {
  QueryArguments arguments;
  try {
    arguments = ParseArguments(argc, argv);
  } catch (const EZerval& error) {
    Warn(error.what());
    Write(stderr, "Try \"zerval-query --help\".\n");
    return BadInput;
  }
  try {
    return Run(arguments);
  } catch (const std::exception& error) {
    Warn(error.what());
    return BadInput;
  }
}
