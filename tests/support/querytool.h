#pragma once

#include <QByteArray>
#include <QStringList>

// How a run of zerval-query ended.
struct QueryRun {
  int exitCode = -1;  // -1 when it did not start, crashed or ran for a minute
  QByteArray out;
  QByteArray err;
  qint64 elapsedMs = 0;
  // The largest resident set seen while it ran (sampled every few milliseconds), in KiB.
  qint64 peakKiB = 0;
};

// Runs zerval-query to its end, with `input` on its standard input and the variables of
// `environment` ("NAME=value") added to its own, ZERVAL_RCON_PASSWORD left out. Events are
// handled meanwhile, so that a peer of the test can answer it.
QueryRun RunQueryTool(const QStringList& arguments, const QByteArray& input = {},
                      const QStringList& environment = {});
