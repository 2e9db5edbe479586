#include "exporter.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <limits>

bool ExporterProcess::start(const QStringList& arguments) {
  QStringList all = arguments;
  if (!all.contains("--listen"))
    all << "--listen"
        << "127.0.0.1:0";
  return child_.start(ZERVAL_EXPORTER_BIN, all, "listening on ", 10000);
}

HttpAnswer HttpGet(std::uint16_t port, const QByteArray& pathAndQuery, const HttpHeaders& headers,
                   int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QTcpSocket socket;
  socket.connectToHost("127.0.0.1", port);
  if (!socket.waitForConnected(int(deadline.remainingTime()))) return {};
  QByteArray request = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  request += "Connection: close\r\n\r\n";
  socket.write(request);
  QByteArray answer;
  while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
    socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    answer += socket.readAll();
  }
  answer += socket.readAll();
  const int headEnd = answer.indexOf("\r\n\r\n");
  if (!answer.startsWith("HTTP/1.1 ") || headEnd < 0) return {};
  return HttpAnswer{answer.mid(9, 3).toInt(), answer.mid(headEnd + 4)};
}

QList<QByteArray> SamplesNamed(const QByteArray& metrics, const QByteArray& name) {
  QList<QByteArray> samples;
  for (const QByteArray& line : metrics.split('\n'))
    if (line.startsWith(name + ' ') || line.startsWith(name + '{')) samples << line;
  return samples;
}

double SampleOf(const QByteArray& metrics, const QByteArray& series) {
  for (const QByteArray& line : metrics.split('\n'))
    if (line.startsWith(series + ' ')) return line.mid(series.size() + 1).toDouble();
  return std::numeric_limits<double>::quiet_NaN();
}
