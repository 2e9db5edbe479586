#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>

#include "arguments.h"
#include "talkwindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::string error;
  const std::optional<TalkArguments> arguments =
      ReadArguments(QApplication::arguments().mid(1), error);
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
