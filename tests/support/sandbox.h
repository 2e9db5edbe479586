#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// Runs what follows in `dir`: it becomes the working directory and holds the per-user settings
// folder ($XDG_CONFIG_HOME), so no window of a test reads or writes the settings of the person
// running it, nor those another test left.
inline void EnterSandbox(const QTemporaryDir& dir) {
  QDir::setCurrent(dir.path());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral(".config"))));
}

// The per-user options folder of a sandbox, and a file in it.
inline QString UserOptionsFolder(const QTemporaryDir& dir) {
  return dir.filePath(QStringLiteral(".config/zerval"));
}
inline QString UserOptionsFile(const QTemporaryDir& dir, const QString& name) {
  return QDir(UserOptionsFolder(dir)).filePath(name);
}

// A "zerval.ini" in `folder` that forces the classic query protocol for every server, so that a
// window asks each server as it did before it found each server's protocol itself.
inline void ForceClassicQueries(const QString& folder) {
  QDir().mkpath(folder);
  QFile file(QDir(folder).filePath(QStringLiteral("zerval.ini")));
  if (file.open(QIODevice::WriteOnly)) file.write("[Query]\nProtocol=classic\n");
}
