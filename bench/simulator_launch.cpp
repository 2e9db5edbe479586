#include "simulator_launch.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <cstdio>

SimulatorLaunch::SimulatorLaunch(const QStringList& arguments) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(ZERVAL_GAMESERVER_BIN,
                 QStringList{"--address", "127.0.0.1", "--port", "0"} + arguments);
  const QDeadlineTimer deadline(10000);
  while (!process_.canReadLine()) {
    if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) return;
    process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
  }
  const QByteArray line = process_.readLine().trimmed();
  bool ok = false;
  const unsigned port = line.mid(line.lastIndexOf(':') + 1).toUInt(&ok);
  if (line.startsWith("listening ") && ok && port <= 65535)
    port_ = static_cast<std::uint16_t>(port);
  else
    std::fprintf(stderr, "unexpected simulator output: %s\n", line.constData());
}

SimulatorLaunch::~SimulatorLaunch() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}
