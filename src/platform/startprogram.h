#pragma once

#include <QString>
#include <string>
#include <vector>

// The companion chat program's file beside the running program.
QString CompanionProgramName();
QString CompanionProgramPath();
// Starts a program detached, its arguments passed as the bytes they are (a console password
// need not be valid UTF-8); false when it could not be started.
bool StartProgram(const QString& path, const std::vector<std::string>& arguments);
