// zerval-exporter's HTTP side against hostile clients, over real sockets on 127.0.0.1: request
// limits, floods that must not cost memory, and hundreds of slow clients beside a scraper.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <vector>

#include "exporter.h"
#include "task_threads.h"

namespace {

// A blocking TCP connection to 127.0.0.1:`port` from `source` (any address of 127.0.0.0/8).
int ConnectFrom(const char* source, std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  ::inet_pton(AF_INET, source, &address.sin_addr);
  ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  address.sin_port = htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Whatever has arrived on `fd` within `waitMs`.
QByteArray Arrived(int fd, int waitMs) {
  QByteArray bytes;
  pollfd readable{fd, POLLIN, 0};
  char buffer[4096];
  while (::poll(&readable, 1, waitMs) > 0) {
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count <= 0) break;
    bytes.append(buffer, int(count));
    waitMs = 0;
  }
  return bytes;
}

}  // namespace

class TestExporterHttp : public QObject {
  Q_OBJECT

  ExporterProcess exporter;

 private slots:
  void initTestCase() { QVERIFY2(exporter.start(), qPrintable(exporter.errorText())); }

  void requestLimits_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const QByteArray get = "GET /metrics HTTP/1.1\r\n";
    const QByteArray end = "Connection: close\r\n\r\n";
    const QByteArray longTarget = "GET /metrics?" + QByteArray(8192 - 24, 'a') + " HTTP/1.1\r\n";
    QTest::newRow("request line of 8 KiB") << longTarget + end << 200;
    // Refused before the line ends, and before any header.
    QTest::newRow("request line beyond 8 KiB") << "GET /" + QByteArray(9000, 'a') << 414;
    QTest::newRow("100 header lines") << get + QByteArray("X-A: b\r\n").repeated(99) + end << 200;
    QTest::newRow("101 header lines") << get + QByteArray("X-A: b\r\n").repeated(101) << 431;
    QTest::newRow("headers beyond 32 KiB")
        << get + ("X-Fill: " + QByteArray(1000, 'a') + "\r\n").repeated(33) << 431;
    QTest::newRow("POST") << QByteArray("POST /probe HTTP/1.1\r\n") << 405;
    QTest::newRow("PUT") << QByteArray("PUT /metrics HTTP/1.1\r\n") << 405;
    QTest::newRow("HEAD") << "HEAD /metrics HTTP/1.1\r\n" + end << 200;
    QTest::newRow("a body") << get + "Content-Length: 5\r\n\r\nhello" << 413;
    QTest::newRow("a chunked body") << get + "Transfer-Encoding: chunked\r\n" << 413;
    QTest::newRow("an empty body is none") << get + "Content-Length: 0\r\n" + end << 200;
  }

  void requestLimits() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    // The refusal comes while the client is still sending: it is never waited for.
    const HttpAnswer answer = HttpExchange(exporter.port(), request, 10000);
    QCOMPARE(answer.status, status);
    if (status == 405) QVERIFY(answer.head.contains("\r\nAllow: GET, HEAD"));
  }

  void keptConnectionsAnswerInTurn() {
    // Two requests in one segment, then a third after their answers: all on one connection.
    const QByteArray request = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
    const int fd = ConnectFrom("127.0.0.1", exporter.port());
    QByteArray answers;
    const auto answered = [&answers, fd](int count) {
      for (int wait = 0; wait < 20 && answers.count("HTTP/1.1 200") < count; ++wait)
        answers += Arrived(fd, 500);
      return answers.count("HTTP/1.1 200") == count;
    };
    ::send(fd, (request + request).constData(), 2 * request.size(), 0);
    QVERIFY(answered(2));
    ::send(fd, request.constData(), request.size(), 0);
    QVERIFY(answered(3));
    ::close(fd);
  }

  void floodsCostNoMemory_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("flood");
    QTest::addColumn<int>("status");
    QTest::newRow("a body of 1.5 GiB")
        << QByteArray("POST /probe HTTP/1.1\r\nContent-Length: 1610612736\r\n\r\n")
        << QByteArray(1 << 20, 'x') << 405;
    QTest::newRow("header lines of 4 KiB without end")
        << QByteArray("GET /metrics HTTP/1.1\r\n")
        << ("X-A: " + QByteArray(4090, 'a') + "\r\n").repeated(256) << 431;
  }

  void floodsCostNoMemory() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, flood);
    QFETCH(int, status);
    const int fd = ConnectFrom("127.0.0.1", exporter.port());
    ::send(fd, head.constData(), head.size(), 0);
    // Up to 256 MiB, until the exporter closes the connection.
    qint64 sent = 0;
    while (sent < (qint64(256) << 20)) {
      const ssize_t count = ::send(fd, flood.constData(), flood.size(), MSG_NOSIGNAL);
      if (count <= 0) break;
      sent += count;
    }
    QVERIFY2(sent < (qint64(64) << 20), qPrintable(QString::number(sent)));
    QCOMPARE(ParseHttpAnswer(Arrived(fd, 5000)).status, status);
    ::close(fd);
    QVERIFY2(exporter.residentKiB() < 64 * 1024,
             qPrintable(QString::number(exporter.residentKiB())));
  }

  void slowClientsLeaveMetricsAlone() {
    // 600 clients from ten addresses, each sending a request's start and then a byte a second.
    std::vector<int> slow;
    for (int client = 0; client < 600; ++client) {
      const QByteArray source = "127.0.0." + QByteArray::number(2 + client / 60);
      const int fd = ConnectFrom(source.constData(), exporter.port());
      QVERIFY(fd >= 0);
      slow.push_back(fd);
    }
    QElapsedTimer sinceStart;
    sinceStart.start();
    for (const int fd : slow) ::send(fd, "GET /probe?target=", 18, MSG_NOSIGNAL);
    // One address holds 64 connections at most: the 65th is refused at once.
    std::vector<int> more;
    for (int client = 0; client < 5; ++client)
      more.push_back(ConnectFrom("127.0.0.2", exporter.port()));
    QVERIFY(Arrived(more[3], 200).isEmpty());
    QCOMPARE(ParseHttpAnswer(Arrived(more[4], 2000)).status, 503);
    for (const int fd : more) ::close(fd);

    for (int scrape = 0; scrape < 3; ++scrape) {
      QElapsedTimer took;
      took.start();
      QCOMPARE(HttpGet(exporter.port(), "/metrics", {}, 1000).status, 200);
      QVERIFY(took.elapsed() < 1000);
    }
    // However steadily they send, 5 s after their first byte their requests are refused.
    int timedOut = 0;
    while (timedOut < 600 && sinceStart.elapsed() < 7000) {
      QThread::msleep(1000);
      for (int& fd : slow) {
        if (fd < 0) continue;
        const QByteArray answer = Arrived(fd, 0);
        if (!answer.isEmpty()) {
          timedOut += ParseHttpAnswer(answer).status == 408;
          ::close(fd);
          fd = -1;
        } else {
          ::send(fd, "a", 1, MSG_NOSIGNAL);
        }
      }
    }
    QCOMPARE(timedOut, 600);
    QVERIFY(sinceStart.elapsed() >= 5000);
  }

  void fullQueueRefusesAtOnce() {
    // One thread and one place to wait: a third task is refused while the first runs.
    std::atomic<bool> release{false};
    std::atomic<int> ran{0};
    TaskThreads threads(1, 1);
    const auto task = [&] {
      while (!release) QThread::msleep(1);
      ++ran;
      return std::function<void()>();
    };
    QVERIFY(threads.TryRun(task));
    QVERIFY(threads.TryRun(task));
    QVERIFY(!threads.TryRun(task));
    release = true;
    threads.Stop();
    QCOMPARE(ran.load(), 2);
  }
};

QTEST_GUILESS_MAIN(TestExporterHttp)
#include "test_exporter_http.moc"
