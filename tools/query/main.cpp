#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
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

// Every line on standard error is masked as standard output is: a list or a server may put any
// byte into a message.
void Warn(const std::string& message) {
  std::cerr << "zerval-query: " << TerminalText(message) << '\n';
}

// A password file is read this far at most, whatever it is.
constexpr std::size_t MaxPasswordFileBytes = 4096;

// The first line of the file, without its line end.
std::string ReadPasswordFile(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  std::string bytes(MaxPasswordFileBytes, '\0');
  if (file) file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  // Reading less than asked sets fail together with eof; fail alone is an error.
  if (!file && !file.eof()) throw EZerval("cannot read the password file " + fileName);
  bytes.resize(static_cast<std::size_t>(file.gcount()));
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
  if (arguments.json)
    PrintServersJson(std::cout, reports, a2s, arguments.pretty);
  else
    PrintServersText(std::cout, reports);
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
  const ConsoleReport report =
      RunConsoleCommand(address, password, arguments.command, arguments.settings);
  if (arguments.json)
    PrintConsoleJson(std::cout, report, arguments.pretty);
  else
    PrintConsoleText(std::cout, report);
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
  if (arguments.json)
    PrintListJson(std::cout, results, arguments.pretty);
  else
    PrintListText(std::cout, results);
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
      std::cout << UsageText();
      return AllAnswered;
    case QueryMode::Version:
      std::cout << "zerval-query " << ZERVAL_VERSION << '\n';
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
  std::ios::sync_with_stdio(false);
  QueryArguments arguments;
  try {
    arguments = ParseArguments(argc, argv);
  } catch (const EZerval& error) {
    Warn(error.what());
    std::cerr << "Try \"zerval-query --help\".\n";
    return BadInput;
  }
  try {
    const ExitStatus status = Run(arguments);
    std::cout.flush();
    return status;
  } catch (const std::exception& error) {
    std::cout.flush();
    Warn(error.what());
    return BadInput;
  }
}
