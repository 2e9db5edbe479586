#include "simulator.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QDeadlineTimer>
#include <QFile>

namespace {

// Undoes the escaping of the request log: \" \\ and \xHH.
std::string Unescape(const QByteArray& text) {
  std::string bytes;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      bytes += text[i];
    } else if (text[i + 1] == 'x' && i + 3 < text.size()) {
      bytes += static_cast<char>(text.mid(i + 2, 2).toInt(nullptr, 16));
      i += 3;
    } else {
      bytes += text[++i];
    }
  }
  return bytes;
}

}  // namespace

SimulatorProcess::~SimulatorProcess() {
  stop();
}

bool SimulatorProcess::start(const QStringList& arguments, int timeoutMs) {
  stop();
  QStringList all = arguments;
  if (!all.contains("--port"))
    all << "--port"
        << "0";
  if (!all.contains("--log")) {
    logPath_ = logDir_.filePath("requests.log");
    QFile::remove(logPath_);
    all << "--log" << logPath_;
  } else {
    logPath_ = all.at(all.indexOf("--log") + 1);
  }
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  // A test that crashes must not leave servers behind.
  process_->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
  process_->start(ZERVAL_GAMESERVER_BIN, all);
  const QDeadlineTimer deadline(timeoutMs);
  while (!process_->canReadLine()) {
    if (process_->state() == QProcess::NotRunning || deadline.hasExpired() ||
        !process_->waitForReadyRead(int(deadline.remainingTime()))) {
      process_->waitForFinished(1000);
      error_ = "the simulator did not start: " +
               QString::fromLocal8Bit(process_->readAllStandardError());
      return false;
    }
  }
  const QString line = QString::fromLocal8Bit(process_->readLine()).trimmed();
  bool ok = false;
  port_ = std::uint16_t(line.section(':', -1).toUInt(&ok));
  if (!line.startsWith("listening ") || !ok) {
    error_ = "unexpected first line from the simulator: " + line;
    return false;
  }
  return true;
}

bool SimulatorProcess::stop() {
  if (!process_ || process_->state() == QProcess::NotRunning) return false;
  process_->terminate();
  if (!process_->waitForFinished(5000)) {
    process_->kill();
    process_->waitForFinished(5000);
    return false;
  }
  return process_->exitStatus() == QProcess::NormalExit && process_->exitCode() == 0;
}

std::vector<SimulatorProcess::Request> SimulatorProcess::requests() const {
  std::vector<Request> result;
  QFile log(logPath_);
  if (!log.open(QIODevice::ReadOnly)) return result;
  for (QByteArray line; !(line = log.readLine()).isEmpty();) {
    line = line.trimmed();
    const int quote = line.indexOf('"');
    if (quote < 0 || !line.endsWith('"')) continue;
    Request request;
    request.serverPort = std::uint16_t(line.left(line.indexOf(' ')).toUInt());
    request.framed = !line.left(quote).contains("malformed");
    request.bytes = Unescape(line.mid(quote + 1, line.size() - quote - 2));
    result.push_back(request);
  }
  return result;
}

std::vector<std::string> SimulatorProcess::commands() const {
  std::vector<std::string> result;
  for (const Request& request : requests())
    if (request.framed) result.push_back(request.bytes);
  return result;
}
