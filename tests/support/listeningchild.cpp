#include "listeningchild.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QFileInfo>

ListeningChild::~ListeningChild() {
  stop();
}

bool ListeningChild::start(const QString& program, const QStringList& arguments,
                           const QString& linePrefix, int timeoutMs) {
  stop();
  const QString name = QFileInfo(program).fileName();
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  // A test that crashes must not leave its children behind.
  process_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
  process_->start(program, arguments);
  const QDeadlineTimer deadline(timeoutMs);
  while (!process_->canReadLine()) {
    if (process_->state() == QProcess::NotRunning || deadline.hasExpired() ||
        !process_->waitForReadyRead(int(deadline.remainingTime()))) {
      process_->waitForFinished(1000);
      error_ = name + " did not start: " + QString::fromLocal8Bit(process_->readAllStandardError());
      return false;
    }
  }
  const QString line = QString::fromLocal8Bit(process_->readLine()).trimmed();
  bool ok = false;
  port_ = std::uint16_t(line.section(':', -1).toUInt(&ok));
  if (!line.startsWith(linePrefix) || !ok) {
    error_ = "unexpected first line from " + name + ": " + line;
    return false;
  }
  return true;
}

bool ListeningChild::stop() {
  if (!process_ || process_->state() == QProcess::NotRunning) return false;
  process_->terminate();
  if (!process_->waitForFinished(5000)) {
    process_->kill();
    process_->waitForFinished(5000);
    return false;
  }
  return process_->exitStatus() == QProcess::NormalExit && process_->exitCode() == 0;
}
