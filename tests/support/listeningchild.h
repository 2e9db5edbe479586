#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// One of our programs as a child process that names the port it listens on in its first line
// ("PREFIX...:PORT"). The child dies with the test that started it, and is stopped when the
// object goes.
class ListeningChild {
 public:
  ListeningChild() = default;
  ~ListeningChild();
  ListeningChild(const ListeningChild&) = delete;
  ListeningChild& operator=(const ListeningChild&) = delete;

  // Starts `program` and waits for a first line that begins with `linePrefix`. False, with
  // errorText(), when it exits or stays silent instead.
  bool start(const QString& program, const QStringList& arguments, const QString& linePrefix,
             int timeoutMs);
  // SIGTERM, then SIGKILL if it does not end in time. True when it ended by itself with code 0.
  bool stop();

  std::uint16_t port() const { return port_; }
  QString errorText() const { return error_; }
  QProcess* process() const { return process_.get(); }

 private:
  std::unique_ptr<QProcess> process_;
  std::uint16_t port_ = 0;
  QString error_;
};
