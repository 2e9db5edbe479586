#include "simulator.h"

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

bool SimulatorProcess::start(const QStringList& arguments, int timeoutMs) {
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
  return child_.start(ZERVAL_GAMESERVER_BIN, all, "listening ", timeoutMs);
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
    const QList<QByteArray> words = line.left(quote).simplified().split(' ');
    if (words.size() == 3 && words[1] == "tcp") request.tcpType = words[2].toInt();
    request.framed = request.tcpType < 0 && !words.contains("malformed");
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

std::vector<std::string> SimulatorProcess::tcpBodies(int type) const {
  std::vector<std::string> result;
  for (const Request& request : requests())
    if (request.tcpType == type) result.push_back(request.bytes);
  return result;
}
