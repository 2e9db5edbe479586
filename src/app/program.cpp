// Program entry: the single-instance guard, then the main window and its message loop.
#include "application.h"
#include "language.h"
#include "main.h"
#include "platform/singleinstance.h"

int main(int argc, char** argv) {
  ZervalApplication application(argc, argv);
  InstallTranslations(application, QStringLiteral("zerval"));
  const SingleInstance instance(QStringLiteral("Zerval"));
  if (instance.AlreadyRunning() && !ConfirmSecondInstance()) return 0;
  Tfrm_main window;
  window.show();
  return application.exec();
}
