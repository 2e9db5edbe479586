#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Servers take a console password of at most this many bytes; a longer one is refused, never
// cut: a cut password is a wrong one, and wrong ones count towards a ban.
constexpr std::size_t MaxPasswordBytes = 255;

// Reads up to the first line feed, or until `bytes` is full; false on a read error.
bool ReadFirstLine(int descriptor, std::string& bytes) {
  std::size_t count = 0;
  while (count < bytes.size() && bytes.find('\n') >= count) {
    const ssize_t read = ::read(descriptor, bytes.data() + count, bytes.size() - count);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return false;
    if (read == 0) break;
    count += static_cast<std::size_t>(read);
  }
  bytes.resize(count);
  return true;
}

// The first line of a password file, without its line end. Only a regular file is read: opening
// a FIFO would wait for a writer, past any time-out, and a device could give bytes for ever. A
// first line longer than any password is not read to its end.
std::string ReadPasswordFile(const std::string& fileName) {
  const EZerval unreadable("cannot read the password file " + fileName);
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) throw unreadable;
  if (!S_ISREG(info.st_mode))
    throw EZerval("the password file " + fileName + " is no regular file");
  const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) throw unreadable;
  // The password, a carriage return, a line feed, and one byte more to tell that it goes on.
  std::string bytes(MaxPasswordBytes + 3, '\0');
  // The name may have come to mean another file in between: what was opened counts.
  const bool taken =
      ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && ReadFirstLine(descriptor, bytes);
  if (::close(descriptor) != 0 || !taken) throw unreadable;
  std::string line = bytes.substr(0, bytes.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A password goes into the console line as it stands: one byte more, a line end or a zero byte
// would send something else than the operator gave.
void CheckPassword(const std::string& password, const std::string& source) {
  if (password.size() > MaxPasswordBytes)
    throw EZerval("the console password from " + source + " is longer than " +
                  std::to_string(MaxPasswordBytes) + " bytes");
  if (password.find_first_of(std::string("\0\r\n", 3)) != std::string::npos)
    throw EZerval("the console password from " + source +
                  " holds a zero byte, a carriage return or a line feed");
}

std::string ConsolePassword(const QueryArguments& arguments) {
  std::string password;
  std::string source;
  if (arguments.password) {
    password = *arguments.password;
    source = "--password";
  } else if (arguments.passwordFile) {
    password = ReadPasswordFile(*arguments.passwordFile);
    source = *arguments.passwordFile;
  } else if (const char* fromEnvironment = std::getenv("ZERVAL_RCON_PASSWORD")) {
    password = fromEnvironment;
    source = "ZERVAL_RCON_PASSWORD";
  }
  if (password.empty())
    throw EZerval(
        "--rcon needs the console password: --password, --password-file or "
        "ZERVAL_RCON_PASSWORD");
  CheckPassword(password, source);
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
    PrintConsoleJson(out, target, report, arguments.pretty);
  else
    PrintConsoleText(out, report);
  Write(stdout, out);
  if (!report.error.empty()) Warn(FormatServerAddress(report.address) + ": " + report.error);
  return StatusOf(report.outcome);
}

// Output of a long list is written out in pieces of about this size, not kept whole.
constexpr std::size_t OutputChunkBytes = 65536;

std::vector<ListTarget> ListTargetsOf(const QueryArguments& arguments) {
  std::vector<ListTarget> targets;
  for (const std::string& file : arguments.listFiles) {
    std::vector<ListTarget> listed = ReadListTargets(file);
    if (listed.size() > MaxListEntries - targets.size()) TooManyListEntries();
    targets.insert(targets.end(), listed.begin(), listed.end());
  }
  if (arguments.targets.size() > MaxListEntries - targets.size()) TooManyListEntries();
  for (const std::string& target : arguments.targets)
    targets.push_back(ListTarget{target, target, {}});
  return targets;
}

// Warns of a failed entry; the status of all entries so far.
ExitStatus NoteListResult(const ListResult& result, ExitStatus status) {
  const ListTarget& target = result.target;
  if (!result.error.empty())
    Warn((target.name == target.address ? target.address
                                        : "\"" + target.name + "\" (" + target.address + ")") +
         ": " + result.error);
  return std::max(status, StatusOf(result.outcome));
}

ExitStatus QueryList(const QueryArguments& arguments) {
  const std::vector<ListTarget> targets = ListTargetsOf(arguments);
  ExitStatus status = AllAnswered;
  std::string out;
  const auto writeSome = [&out] {
    if (out.size() < OutputChunkBytes) return;
    Write(stdout, out);
    out.clear();
  };
  if (arguments.json) {
    ListJson json(out, arguments.pretty);
    QueryServerList(targets, arguments.settings, [&](const ListResult& result) {
      json.Add(result);
      status = NoteListResult(result, status);
      writeSome();
    });
    json.Finish();
  } else {
    ListTable table(targets.size());
    QueryServerList(targets, arguments.settings, [&](const ListResult& result) {
      table.Add(result);
      status = NoteListResult(result, status);
    });
    for (std::size_t line = 0; line < table.LineCount(); ++line) {
      table.AppendLine(out, line);
      writeSome();
    }
  }
  Write(stdout, out);
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
