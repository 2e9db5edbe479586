#include "talkwindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QSaveFile>
#include <QStringList>
#include <QTextCursor>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/displaytext.h"
#include "platform/dialogs.h"
#include "platform/ownaddresses.h"
#include "protocol/saycommand.h"

namespace {

QString Address(const TalkArguments& arguments) {
  return QString::fromStdString(arguments.host) + ":" + QString::number(arguments.port);
}

}  // namespace

TalkWindow::TalkWindow(const TalkArguments& arguments, QWidget* parent)
    : QWidget(parent),
      mem_chat(new QPlainTextEdit(this)),
      ed_say(new QLineEdit(this)),
      btn_send(new QPushButton(tr("&Send"), this)),
      cb_showall(new QCheckBox(tr("show &all"), this)),
      btn_copy(new QPushButton(tr("&Copy"), this)),
      btn_save(new QPushButton(tr("Sa&ve…"), this)),
      lbl_status(new QLabel(this)),
      logPort_(arguments.logPort),
      receiver_(QHostAddress(QString::fromStdString(arguments.host)), arguments.logPort),
      sender_(arguments) {
  setObjectName(QStringLiteral("frm_zervtalk"));
  setWindowTitle(QStringLiteral("zervtalk – ") + Address(arguments));
  layOut();
  connect(&receiver_, &LogReceiver::datagramReceived, this, &TalkWindow::takeDatagram);
  connect(&sender_, &ConsoleSender::refused, this, &TalkWindow::lineRefused);
  connect(&sender_, &ConsoleSender::delivered, this,
          [this] { lbl_status->setText(listeningText_); });
  connect(&sender_, &ConsoleSender::farewellDone, this, [this] {
    farewellDone_ = true;
    close();
  });
  connect(ed_say, &QLineEdit::returnPressed, this, &TalkWindow::sendTyped);
  connect(btn_send, &QPushButton::clicked, this, &TalkWindow::sendTyped);
  connect(cb_showall, &QCheckBox::toggled, this, &TalkWindow::showHistory);
  connect(btn_copy, &QPushButton::clicked, this, &TalkWindow::copyChat);
  connect(btn_save, &QPushButton::clicked, this, &TalkWindow::saveChat);
  listeningText_ = receiver_.listening()
                       ? tr("Listening for the server's log on UDP port %1").arg(arguments.logPort)
                       : tr("No chat: UDP port %1 cannot be opened (%2). Sending works.")
                             .arg(arguments.logPort)
                             .arg(receiver_.errorText());
  lbl_status->setText(listeningText_);
}

void TalkWindow::layOut() {
  mem_chat->setObjectName(QStringLiteral("mem_chat"));
  ed_say->setObjectName(QStringLiteral("ed_say"));
  btn_send->setObjectName(QStringLiteral("btn_send"));
  cb_showall->setObjectName(QStringLiteral("cb_showall"));
  btn_copy->setObjectName(QStringLiteral("btn_copy"));
  btn_save->setObjectName(QStringLiteral("btn_save"));
  lbl_status->setObjectName(QStringLiteral("lbl_status"));
  mem_chat->setReadOnly(true);
  mem_chat->setMaximumBlockCount(KeptLines);
  mem_chat->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  ed_say->setPlaceholderText(tr("Say to everyone on the server"));
  btn_send->setAutoDefault(false);

  auto* sayRow = new QHBoxLayout;
  sayRow->addWidget(ed_say, 1);
  sayRow->addWidget(btn_send);
  auto* toolRow = new QHBoxLayout;
  toolRow->addWidget(lbl_status, 1);
  toolRow->addWidget(cb_showall);
  toolRow->addWidget(btn_copy);
  toolRow->addWidget(btn_save);
  auto* column = new QVBoxLayout(this);
  column->addWidget(mem_chat, 1);
  column->addLayout(sayRow);
  column->addLayout(toolRow);
  resize(640, 420);
  ed_say->setFocus();
}

void TalkWindow::takeDatagram(const std::string& bytes) {
  const std::optional<LogLine> line = ReadLogDatagram(bytes);
  if (!line) return;
  history_.push_back(ShowLogLine(*line));
  if (history_.size() > std::size_t(KeptLines)) history_.pop_front();
  if (history_.back().chat || cb_showall->isChecked())
    mem_chat->appendPlainText(history_.back().text);
}

void TalkWindow::showHistory() {
  QStringList shown;
  for (const ChatEntry& entry : history_)
    if (entry.chat || cb_showall->isChecked()) shown << entry.text;
  mem_chat->setPlainText(shown.join(u'\n'));
  mem_chat->moveCursor(QTextCursor::End);
}

void TalkWindow::closeEvent(QCloseEvent* event) {
  const std::optional<std::string> ownAddress = ChatLogAddress();
  if (farewellDone_ || sender_.console() != ConsoleKind::Tcp || !ownAddress) {
    event->accept();
    return;
  }
  event->ignore();
  hide();
  if (std::exchange(farewellStarted_, true)) return;
  sender_.farewell(*ownAddress + ":" + std::to_string(logPort_));
}

void TalkWindow::sendTyped() {
  const std::vector<SayLine> lines = SayCommands(FromDisplay(ed_say->text()));
  if (lines.empty()) return;
  ed_say->clear();
  // A pasted text of several lines goes out line by line, which the operator is told.
  if (lines.size() > 1) lbl_status->setText(tr("The text went out as %1 lines.").arg(lines.size()));
  for (const SayLine& line : lines) sender_.say(line);
}

void TalkWindow::lineRefused(const std::string& text, const QString& reason) {
  if (ed_say->text().isEmpty()) ed_say->setText(ToDisplay(text));
  lbl_status->setText(tr("Not sent: %1").arg(reason));
}

QString TalkWindow::shownText() const {
  return mem_chat->toPlainText();
}

void TalkWindow::copyChat() {
  if (mem_chat->textCursor().hasSelection())
    mem_chat->copy();
  else
    QGuiApplication::clipboard()->setText(shownText());
}

void TalkWindow::saveChat() {
  QFileDialog dialog(this, tr("Save the chat"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({tr("Text files (*.txt)"), tr("All files (*)")});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  const QString fileName = Dialogs().ChooseFile(dialog);
  if (fileName.isEmpty()) return;
  QSaveFile file(fileName);
  QString text = shownText();
  if (!text.isEmpty()) text += u'\n';
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(text.toUtf8()) < 0 ||
      !file.commit())
    ShowMessage(DialogKind::Error, tr("Cannot write %1: %2").arg(fileName, file.errorString()));
}
