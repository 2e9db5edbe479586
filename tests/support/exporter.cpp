#include "exporter.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTest>
#include <atomic>
#include <limits>
#include <thread>

bool ExporterProcess::start(const QStringList& arguments) {
  QStringList all = arguments;
  if (!all.contains("--listen"))
    all << "--listen"
        << "127.0.0.1:0";
  return child_.start(ZERVAL_EXPORTER_BIN, all, "listening on ", 10000);
}

qint64 ExporterProcess::residentKiB() const {
  QFile status("/proc/" + QString::number(child_.process()->processId()) + "/status");
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').front().toLongLong();
  return -1;
}

HttpAnswer ParseHttpAnswer(const QByteArray& bytes) {
  const int headEnd = bytes.indexOf("\r\n\r\n");
  if (!bytes.startsWith("HTTP/1.1 ") || headEnd < 0) return {};
  return HttpAnswer{bytes.mid(9, 3).toInt(), bytes.left(headEnd), bytes.mid(headEnd + 4)};
}

HttpAnswer HttpExchange(std::uint16_t port, const QByteArray& request, int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  QTcpSocket socket;
  socket.connectToHost("127.0.0.1", port);
  if (!socket.waitForConnected(int(deadline.remainingTime()))) return {};
  socket.write(request);
  QByteArray answer;
  while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
    socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)));
    answer += socket.readAll();
  }
  return ParseHttpAnswer(answer + socket.readAll());
}

HttpAnswer HttpGet(std::uint16_t port, const QByteArray& pathAndQuery, const HttpHeaders& headers,
                   int timeoutMs) {
  QByteArray request = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  return HttpExchange(port, request + "Connection: close\r\n\r\n", timeoutMs);
}

HttpAnswer HttpGetServing(std::uint16_t port, const QByteArray& pathAndQuery) {
  HttpAnswer answer;
  std::atomic<bool> done{false};
  std::thread client([&] {
    answer = HttpGet(port, pathAndQuery);
    done = true;
  });
  while (!done) QTest::qWait(1);
  client.join();
  return answer;
}

QByteArray PromtoolComplaint(const QByteArray& metrics) {
  QProcess promtool;
  promtool.start("promtool", {"check", "metrics"});
  promtool.write(metrics);
  promtool.closeWriteChannel();
  if (!promtool.waitForFinished(30000)) return "promtool did not finish";
  if (promtool.exitStatus() == QProcess::NormalExit && promtool.exitCode() == 0) return {};
  return "promtool: " + promtool.readAllStandardOutput() + promtool.readAllStandardError();
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
