#include "platform/startprogram.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

QString CompanionProgramName() {
#ifdef Q_OS_WIN
  return QStringLiteral("zervtalk.exe");
#else
  return QStringLiteral("zervtalk");
#endif
}

QString CompanionProgramPath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(CompanionProgramName());
}

bool StartProgram(const QString& path, const QStringList& arguments) {
  return QProcess::startDetached(path, arguments);
}
