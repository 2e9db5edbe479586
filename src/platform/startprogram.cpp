#include "platform/startprogram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>

QString CompanionProgramName() {
  return QStringLiteral("zervtalk");
}

QString CompanionProgramPath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(CompanionProgramName());
}

// Two forks, so the program is nobody's child here and needs no reaping; a pipe closed by the
// program's start, or carrying errno when it fails, tells which it was. After a fork only
// calls that are safe there are made: everything is prepared before.
bool StartProgram(const QString& path, const std::vector<std::string>& arguments) {
  QByteArray file = QFile::encodeName(path);
  std::vector<std::string> texts = arguments;
  std::vector<char*> argv{file.data()};
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    const pid_t program = fork();
    if (program == 0) {
      setsid();
      execv(file.constData(), argv.data());
      const int error = errno;
      if (write(report[1], &error, sizeof error) < 0) _exit(127);
      _exit(127);
    }
    _exit(program < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = -1;
  if (child > 0)
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  int error = 0;
  ssize_t got = 0;
  do got = read(report[0], &error, sizeof error);
  while (got < 0 && errno == EINTR);
  close(report[0]);
  return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}
