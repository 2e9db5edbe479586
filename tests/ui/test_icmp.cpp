// The ICMP echo client, against this machine's loopback address only.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <string>

#include "platform/icmpecho.h"
#include "store/mytypes.h"

namespace {

constexpr int TestTimeoutMs = 3000;

bool SocketRefused(const EZerval& error) {
  return std::string(error.what()).rfind("Cannot open an ICMP socket", 0) == 0;
}

}  // namespace

class TestIcmp : public QObject {
  Q_OBJECT

 private slots:
  void loopbackAnswersBeforeTheTimeout_data() {
    QTest::addColumn<QString>("host");
    QTest::newRow("address") << "127.0.0.1";
    QTest::newRow("name") << "localhost";
  }
  void loopbackAnswersBeforeTheTimeout() {
    QFETCH(QString, host);
    IcmpEcho echo;
    echo.TimeoutMs = TestTimeoutMs;
    // Runs inside the wait, which handles events like a datagram exchange does.
    bool busyDuringWait = false;
    QTimer::singleShot(0, [&] { busyDuringWait = echo.IsBusy(); });
    QElapsedTimer clock;
    clock.start();
    std::uint32_t roundTripMs = 0;
    try {
      roundTripMs = echo.Ping(host.toStdString());
    } catch (const EZerval& error) {
      if (SocketRefused(error)) QSKIP(error.what());
      throw;
    }
    // Without a reply the echo would have waited for its whole time-out.
    QVERIFY2(clock.elapsed() < TestTimeoutMs, "no echo reply from the loopback address");
    QVERIFY(roundTripMs < static_cast<std::uint32_t>(TestTimeoutMs));
    QVERIFY(busyDuringWait);
    QVERIFY(!echo.IsBusy());
  }

  void emptyHostIsRefusedWithAnError() {
    IcmpEcho echo;
    try {
      echo.Ping("");
      QFAIL("an echo to an empty host name was sent");
    } catch (const EZerval& error) {
      QVERIFY2(std::string(error.what()).find("resolve") != std::string::npos, error.what());
    }
    QVERIFY(!echo.IsBusy());
  }
};

QTEST_MAIN(TestIcmp)
#include "test_icmp.moc"
