#pragma once

#include <QApplication>
#include <QString>
#include <exception>

// The program file's name without its extension.
QString ApplicationTitle();
// The top-level error box: the message with a full stop appended when its last character's
// code is higher than that of the full stop.
QString ErrorBoxText(const QString& message);
void ShowErrorBox(const std::exception& error);

// Catches exceptions leaving any event handler, shows them and lets the message loop go on.
class ZervalApplication : public QApplication {
 public:
  ZervalApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The start question when another instance runs; true when the operator wants to go on.
bool ConfirmSecondInstance();
