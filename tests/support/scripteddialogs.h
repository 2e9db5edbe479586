#pragma once

#include <QFileDialog>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "platform/dialogs.h"

// Stands in for the operator: records every dialog and answers from a script.
// Installs itself for its lifetime.
class ScriptedDialogs : public OperatorDialogs {
 public:
  struct Shown {
    DialogKind kind;
    QString title;
    QString text;
    DialogButtons buttons;
  };

  ScriptedDialogs() { SetDialogs(this); }
  ~ScriptedDialogs() override { SetDialogs(nullptr); }

  DialogResult Message(DialogKind kind, const QString& title, const QString& text,
                       DialogButtons buttons) override {
    shown.push_back({kind, title, text, buttons});
    if (onMessage) onMessage(shown.back());
    if (buttons == DialogButtons::Ok) return DialogResult::Ok;
    if (answers.empty())
      return buttons == DialogButtons::YesNo ? DialogResult::Yes : DialogResult::Cancel;
    const DialogResult answer = answers.front();
    answers.pop_front();
    return answer;
  }

  QString ChooseFile(QFileDialog& dialog) override {
    fileDialogs.push_back(&dialog);
    if (files.empty()) return {};
    const QString file = files.front();
    files.pop_front();
    return file;
  }

  QStringList texts() const {
    QStringList result;
    for (const Shown& s : shown) result << s.text;
    return result;
  }

  std::vector<Shown> shown;
  std::deque<DialogResult> answers;  // for Yes/No and Save/Discard/Cancel dialogs
  std::deque<QString> files;         // chosen files; empty text = cancelled
  std::vector<QFileDialog*> fileDialogs;
  std::function<void(const Shown&)> onMessage;  // runs while the "modal" dialog is open
};
