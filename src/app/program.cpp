// Program entry: the single-instance guard, then the main window and its message loop.
#include "application.h"
#include "main.h"
#include "platform/singleinstance.h"

int main(int argc, char** argv) {
  ZervalApplication application(argc, argv);
  const SingleInstance instance(QStringLiteral("Zerval"));
  if (instance.AlreadyRunning() && !ConfirmSecondInstance()) return 0;
  Tfrm_main window;
  window.show();
  return application.exec();
}
