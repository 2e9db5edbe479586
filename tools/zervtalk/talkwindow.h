#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <string>

#include "arguments.h"
#include "chatview.h"
#include "consolesender.h"
#include "logreceiver.h"

// The companion's one window: the server's live chat, a line to say something, and the chat's
// copy and save.
class TalkWindow : public QWidget {
  Q_OBJECT

 public:
  // Lines kept; older ones go.
  static constexpr int KeptLines = 5000;

  explicit TalkWindow(const TalkArguments& arguments, QWidget* parent = nullptr);

  // The log lines of one datagram from the server.
  void takeDatagram(const std::string& bytes);
  // Enter or Send: says the typed line.
  void sendTyped();
  // The selected text, or the whole shown chat, to the clipboard.
  void copyChat();
  // Asks for a file and writes the shown chat into it.
  void saveChat();
  // The shown chat, one line each.
  QString shownText() const;

  QPlainTextEdit* mem_chat;
  QLineEdit* ed_say;
  QPushButton* btn_send;
  QCheckBox* cb_showall;
  QPushButton* btn_copy;
  QPushButton* btn_save;
  QLabel* lbl_status;

 protected:
  // Over TCP the server's log goes on to this machine until it is told otherwise: the window
  // closes once the log address is taken off the server.
  void closeEvent(QCloseEvent* event) override;

 private:
  void layOut();
  void showHistory();
  void lineRefused(const std::string& text, const QString& reason);

  QString listeningText_;  // what the status line says while nothing went wrong
  std::uint16_t logPort_;
  bool farewellStarted_ = false;
  bool farewellDone_ = false;
  std::deque<ChatEntry> history_;
  LogReceiver receiver_;
  ConsoleSender sender_;
};
