#pragma once

#include <QString>
#include <QStringList>

// The companion chat program's file beside the running program: "zervtalk.exe" on Windows,
// "zervtalk" elsewhere.
QString CompanionProgramName();
QString CompanionProgramPath();
// Starts a program detached; false when it could not be started.
bool StartProgram(const QString& path, const QStringList& arguments);
