#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The companion chat program's file beside the running program.
QString CompanionProgramName();
QString CompanionProgramPath();

// The descriptor on which a started program reads the secret it was given.
constexpr int SecretDescriptor = 3;
// Longest secret handed over; a pipe takes it whole without a reader.
constexpr std::size_t MaxSecretBytes = 4096;

// Starts a program detached, its arguments passed as the bytes they are (a console password
// need not be valid UTF-8). A `secret` reaches it through a pipe that it inherits as descriptor
// SecretDescriptor, and never through its command line or environment, which other users of
// the machine can read. False when it could not be started.
bool StartProgram(const QString& path, const std::vector<std::string>& arguments,
                  const std::optional<std::string>& secret = std::nullopt);
