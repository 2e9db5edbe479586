#include "querytool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>

namespace {

// VmHWM of /proc/PID/status: the process's peak resident set so far.
qint64 PeakKiB(qint64 pid) {
  QFile status("/proc/" + QString::number(pid) + "/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLongLong();
  return 0;
}

}  // namespace

QueryRun RunQueryTool(const QStringList& arguments, const QByteArray& input,
                      const QStringList& environment) {
  QProcess process;
  QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
  variables.remove("ZERVAL_RCON_PASSWORD");
  for (const QString& variable : environment)
    variables.insert(variable.section('=', 0, 0), variable.section('=', 1));
  process.setProcessEnvironment(variables);
  QElapsedTimer clock;
  clock.start();
  process.start(ZERVAL_QUERY_BIN, arguments);
  process.write(input);
  process.closeWriteChannel();
  QueryRun run;
  // The process may end while events are handled; waitForFinished() then answers false.
  while (process.state() != QProcess::NotRunning && !process.waitForFinished(5)) {
    run.peakKiB = std::max(run.peakKiB, PeakKiB(process.processId()));
    if (clock.hasExpired(60000)) {
      process.kill();
      process.waitForFinished();
      return run;
    }
    QCoreApplication::processEvents();
  }
  if (process.error() == QProcess::FailedToStart) return run;
  run.elapsedMs = clock.elapsed();
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}
