#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "arguments.h"
#include "engine/display_text.h"
#include "engine/list_file.h"
#include "engine/list_query.h"
#include "engine/server_address.h"
#include "engine/server_query.h"
#include "output_json.h"
#include "output_text.h"
#include "store/mytypes.h"

namespace {

enum ExitStatus { AllAnswered = 0, SomeTimedOut = 1, BadInput = 2 };

ExitStatus QueryOneServer(const QueryArguments& arguments) {
  const ServerReport report = QueryServerReport(ParseServerAddress(arguments.target),
                                                arguments.protocol, arguments.timeout);
  if (arguments.json)
    PrintServerJson(std::cout, report);
  else
    PrintServerText(std::cout, report);
  for (const std::string& refusal : report.refusals)
    std::cerr << "zerval-query: " << FormatServerAddress(report.address) << ": "
              << TerminalText(refusal) << '\n';
  return report.Complete() ? AllAnswered : SomeTimedOut;
}

ExitStatus RunConsole(const QueryArguments& arguments) {
  const ConsoleReport report =
      RunConsoleCommand(ParseServerAddress(arguments.target), arguments.password, arguments.command,
                        arguments.timeout);
  if (arguments.json)
    PrintConsoleJson(std::cout, report);
  else
    PrintConsoleText(std::cout, report);
  if (report.lines) return AllAnswered;
  std::cerr << "zerval-query: " << FormatServerAddress(report.address) << ": "
            << (report.challengeAnswered ? "no console reply" : "no console challenge")
            << " within " << arguments.timeout.count() << " ms\n";
  return SomeTimedOut;
}

ExitStatus QueryList(const QueryArguments& arguments) {
  const std::vector<ListResult> results = QueryServerList(ReadServerListFile(arguments.listFile),
                                                          arguments.protocol, arguments.timeout);
  if (arguments.json)
    PrintListJson(std::cout, results);
  else
    PrintListText(std::cout, results);
  ExitStatus status = AllAnswered;
  for (const ListResult& result : results) {
    if (result.status == ListStatus::BadAddress) {
      std::cerr << "zerval-query: entry \"" << TerminalText(result.name)
                << "\": bad address: " << result.error << '\n';
      status = BadInput;
    } else if (result.status != ListStatus::Answered && status == AllAnswered) {
      status = SomeTimedOut;
    }
  }
  return status;
}

ExitStatus Run(const QueryArguments& arguments) {
  switch (arguments.mode) {
    case QueryMode::Help:
      std::cout << UsageText();
      return AllAnswered;
    case QueryMode::Server:
      return QueryOneServer(arguments);
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
    arguments = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EZerval& error) {
    std::cerr << "zerval-query: " << error.what() << "\nTry \"zerval-query --help\".\n";
    return BadInput;
  }
  try {
    const ExitStatus status = Run(arguments);
    std::cout.flush();
    return status;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "zerval-query: " << error.what() << '\n';
    return BadInput;
  }
}
