#pragma once

#include <QString>

class QFileDialog;

enum class DialogKind { Warning, Error };
enum class DialogButtons { Ok, YesNo, SaveDiscardCancel };
enum class DialogResult { Ok, Yes, No, Save, Discard, Cancel };

// Every modal dialog the operator answers goes through here, so tests can script the answers
// and see exactly which dialogs appeared. Escape closes each with its most cautious answer:
// OK, No, Cancel.
class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;
  virtual DialogResult Message(DialogKind kind, const QString& title, const QString& text,
                               DialogButtons buttons) = 0;
  // Runs a prepared file dialog; the chosen file, or an empty text when cancelled.
  virtual QString ChooseFile(QFileDialog& dialog) = 0;
};

// The dialogs in use: message boxes and file dialogs unless a test has put its own in place.
OperatorDialogs& Dialogs();
// nullptr puts the real dialogs back.
void SetDialogs(OperatorDialogs* dialogs);

// A message dialog titled after its kind ("Warning" or "Error").
DialogResult ShowMessage(DialogKind kind, const QString& text,
                         DialogButtons buttons = DialogButtons::Ok);
