#include <QApplication>
#include <QByteArray>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/language.h"
#include "arguments.h"
#include "talkwindow.h"

namespace {

// The console password from where the arguments say it is. Nothing, with the reason on standard
// error, when there is none to be had.
std::optional<std::string> Password(const TalkArguments& arguments) {
  std::string error;
  std::optional<std::string> password;
  if (arguments.passwordFd) {
    password = ReadPasswordFrom(*arguments.passwordFd, error);
  } else if (arguments.passwordOnCommandLine) {
    std::fputs(
        "zervtalk: warning: the password on the command line is visible to every user of "
        "this machine; use --password-fd or ZERVAL_RCON_PASSWORD\n",
        stderr);
    password = arguments.password;
  } else if (qEnvironmentVariableIsSet(PasswordVariable)) {
    password = CheckedPassword(qgetenv(PasswordVariable).toStdString(), error);
  } else {
    error = "no console password: give --password-fd FD or set ZERVAL_RCON_PASSWORD";
  }
  if (!password) std::fprintf(stderr, "zervtalk: %s\n", error.c_str());
  return password;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments are read as the bytes they are, and Qt sees none of them: it would take a
  // password such as "reverse" (given as "-reverse") for one of its own options. They are read
  // before Qt starts, so --help and --version need no display.
  const std::vector<std::string> given(argv + 1, argv + argc);
  std::string error;
  std::optional<TalkArguments> arguments = ReadArguments(given, error);
  if (!arguments) {
    std::fprintf(stderr, "zervtalk: %s\n%s", error.c_str(), Usage);
    return 2;
  }
  if (arguments->help) {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (arguments->version) {
    std::puts("zervtalk " ZERVAL_VERSION);
    return 0;
  }
  const std::optional<std::string> password = Password(*arguments);
  if (!password) return 2;
  arguments->password = *password;
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  InstallTranslations(app, QStringLiteral("zervtalk"));
  TalkWindow window(*arguments);
  window.show();
  return app.exec();
}
