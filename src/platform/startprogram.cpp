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

namespace {

// A pipe whose read end holds `secret`, its write end already closed; -1 when none could be made.
int SecretPipe(const std::string& secret) {
  int ends[2];
  if (secret.size() > MaxSecretBytes || pipe2(ends, O_CLOEXEC) != 0) return -1;
  const bool written =
      write(ends[1], secret.data(), secret.size()) == static_cast<ssize_t>(secret.size());
  close(ends[1]);
  if (written) return ends[0];
  close(ends[0]);
  return -1;
}

// In the started program's process, before exec: the secret on its descriptor, inherited, and
// the report pipe kept clear of that descriptor.
bool PlaceSecret(int secret, int& report) {
  if (report == SecretDescriptor) {
    report = fcntl(report, F_DUPFD_CLOEXEC, SecretDescriptor + 1);
    if (report < 0) return false;
  }
  if (secret == SecretDescriptor) return fcntl(secret, F_SETFD, 0) == 0;
  return dup2(secret, SecretDescriptor) == SecretDescriptor;
}

}  // namespace

// Two forks, so the program is nobody's child here and needs no reaping; a pipe closed by the
// program's start, or carrying errno when it fails, tells which it was. After a fork only
// calls that are safe there are made: everything is prepared before.
bool StartProgram(const QString& path, const std::vector<std::string>& arguments,
                  const std::optional<std::string>& secret) {
  QByteArray file = QFile::encodeName(path);
  std::vector<std::string> texts = arguments;
  std::vector<char*> argv{file.data()};
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);

  const int secretPipe = secret ? SecretPipe(*secret) : -1;
  if (secret && secretPipe < 0) return false;
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    if (secretPipe >= 0) close(secretPipe);
    return false;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    const pid_t program = fork();
    if (program == 0) {
      setsid();
      if (secretPipe < 0 || PlaceSecret(secretPipe, report[1]))
        execv(file.constData(), argv.data());
      const int error = errno;
      if (write(report[1], &error, sizeof error) < 0) _exit(127);
      _exit(127);
    }
    _exit(program < 0 ? 1 : 0);
  }
  close(report[1]);
  if (secretPipe >= 0) close(secretPipe);
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
