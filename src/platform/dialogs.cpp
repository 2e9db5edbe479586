#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

class MessageBoxDialogs : public OperatorDialogs {
 public:
  DialogResult Message(DialogKind kind, const QString& title, const QString& text,
                       DialogButtons buttons) override {
    QMessageBox box(kind == DialogKind::Warning ? QMessageBox::Warning : QMessageBox::Critical,
                    title, text, QMessageBox::NoButton, QApplication::activeWindow());
    // Texts can quote what a server sent; markup in them must show as the characters it is.
    box.setTextFormat(Qt::PlainText);
    if (buttons == DialogButtons::Ok) {
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      box.exec();
      return DialogResult::Ok;
    }
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes ? DialogResult::Yes : DialogResult::No;
  }

  QString ChooseFile(QFileDialog& dialog) override {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
  }
};

MessageBoxDialogs realDialogs;
OperatorDialogs* current = &realDialogs;

}  // namespace

OperatorDialogs& Dialogs() {
  return *current;
}

void SetDialogs(OperatorDialogs* dialogs) {
  current = dialogs ? dialogs : &realDialogs;
}

DialogResult ShowMessage(DialogKind kind, const QString& text, DialogButtons buttons) {
  const QString title =
      kind == DialogKind::Warning ? QStringLiteral("Warning") : QStringLiteral("Error");
  return Dialogs().Message(kind, title, text, buttons);
}
