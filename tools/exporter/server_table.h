#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/server_address.h"

// Servers named by the operator, each with a value (a console password, or nothing): found by
// the name as written (host names in any case, the port filled in) or by the address that the
// name had when the table was read.
class ServerTable {
 public:
  // Adds the server that `text` names ("HOST[:PORT]"). A host name is looked up now; when that
  // fails, the entry is found by its name only and a warning goes to standard error. Raises
  // EZerval for a malformed text.
  void Add(std::string_view text, std::string value = {});
  // The value of the server named `text`, or of the one at `address`.
  const std::string* Find(const AddressText& text,
                          const std::optional<ServerAddress>& address) const;
  bool Empty() const { return byName_.empty(); }

 private:
  std::unordered_map<std::string, std::string> byName_;
  std::unordered_map<std::string, std::string> byAddress_;
};

// "host:port" with the host in lower case and an IPv6 address in brackets.
std::string CanonicalName(const AddressText& text);

// The servers of a list (.zsl, or a text list as zerval-query reads it). Raises EZerval.
ServerTable ReadAllowedTargets(const std::string& fileName);

// Console passwords: the entries of a .zsl list that carry one, or the lines
// "HOST[:PORT] PASSWORD" of a text file ("#" starts a comment line, blank lines do not count).
// Raises EZerval naming the file and line of a malformed one.
ServerTable ReadConsolePasswords(const std::string& fileName);
