#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "listeningchild.h"

// zerval-exporter as a child process, listening on 127.0.0.1 on a port the system picks unless
// the arguments say --listen. The child is stopped when the object goes.
class ExporterProcess {
 public:
  // Starts it and waits for its "listening on" line. False, with errorText(), when it ends or
  // stays silent instead.
  bool start(const QStringList& arguments = {});
  // SIGTERM, then SIGKILL if it does not end in time. True when it ended by itself with code 0.
  bool stop() { return child_.stop(); }

  std::uint16_t port() const { return child_.port(); }
  QString errorText() const { return child_.errorText(); }
  QProcess* process() const { return child_.process(); }
  // Its resident memory now, from /proc.
  qint64 residentKiB() const;

 private:
  ListeningChild child_;
};

struct HttpAnswer {
  int status = 0;  // 0 when no answer came
  QByteArray head;
  QByteArray body;
};

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// One GET to 127.0.0.1:`port`, waiting at most `timeoutMs` for the whole answer.
HttpAnswer HttpGet(std::uint16_t port, const QByteArray& pathAndQuery,
                   const HttpHeaders& headers = {}, int timeoutMs = 30000);
// HttpGet on a thread of its own while this one's event loop runs, so that servers played by
// the test (UdpPeer) answer the probe.
HttpAnswer HttpGetServing(std::uint16_t port, const QByteArray& pathAndQuery);
// `request` as it stands to 127.0.0.1:`port`, then the answer until the server closes.
HttpAnswer HttpExchange(std::uint16_t port, const QByteArray& request, int timeoutMs = 30000);
// An answer read from raw bytes; status 0 when they hold none.
HttpAnswer ParseHttpAnswer(const QByteArray& bytes);

// Whether `promtool check metrics` takes the text; its complaint otherwise.
QByteArray PromtoolComplaint(const QByteArray& metrics);

// The value of the one sample in the text format `metrics` whose name and labels are written
// `series`, e.g. "zerval_up" or "zerval_info{name=\"x\"}"; NaN when there is none.
double SampleOf(const QByteArray& metrics, const QByteArray& series);
// The lines of the samples of metric `name`.
QList<QByteArray> SamplesNamed(const QByteArray& metrics, const QByteArray& name);
