#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "talkwindow.h"

int main(int argc, char** argv) {
  // The arguments are read as the bytes they are, and Qt sees none of them: it would take a
  // password such as "reverse" (given as "-reverse") for one of its own options.
  const std::vector<std::string> given(argv + 1, argv + argc);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  std::string error;
  const std::optional<TalkArguments> arguments = ReadArguments(given, error);
  if (!arguments) {
    std::fprintf(stderr, "zervtalk: %s\n%s", error.c_str(), Usage);
    return 2;
  }
  if (arguments->help) {
    std::fputs(Usage, stdout);
    return 0;
  }
  TalkWindow window(*arguments);
  window.show();
  return app.exec();
}
