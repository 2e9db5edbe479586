#include "platform/dialogs.h"

#include <QApplication>
#include <QCoreApplication>
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
      box.setEscapeButton(box.addButton(QCoreApplication::translate("OperatorDialogs", "OK"),
                                        QMessageBox::AcceptRole));
      box.exec();
      return DialogResult::Ok;
    }
    if (buttons == DialogButtons::SaveDiscardCancel) {
      QPushButton* save = box.addButton(QCoreApplication::translate("OperatorDialogs", "&Save"),
                                        QMessageBox::AcceptRole);
      QPushButton* discard = box.addButton(
          QCoreApplication::translate("OperatorDialogs", "&Discard"), QMessageBox::DestructiveRole);
      box.setEscapeButton(box.addButton(QCoreApplication::translate("OperatorDialogs", "Cancel"),
                                        QMessageBox::RejectRole));
      box.setDefaultButton(save);
      box.exec();
      if (box.clickedButton() == save) return DialogResult::Save;
      return box.clickedButton() == discard ? DialogResult::Discard : DialogResult::Cancel;
    }
    QPushButton* yes =
        box.addButton(QCoreApplication::translate("OperatorDialogs", "&Yes"), QMessageBox::YesRole);
    box.setEscapeButton(
        box.addButton(QCoreApplication::translate("OperatorDialogs", "&No"), QMessageBox::NoRole));
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
  const QString title = kind == DialogKind::Warning
                            ? QCoreApplication::translate("OperatorDialogs", "Warning")
                            : QCoreApplication::translate("OperatorDialogs", "Error");
  return Dialogs().Message(kind, title, text, buttons);
}
