#pragma once

#include <QCommandLineParser>
#include <QHostAddress>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "faults.h"
#include "game_state.h"
#include "wire_setup.h"

struct SimOptions {
  QHostAddress address;
  std::uint16_t port = 0;  // 0 = the system picks
  int count = 1;           // servers on consecutive ports from `port`
  std::uint32_t seed = 1;
  ServerSetup setup;
  WireSetup wire;
  std::vector<FaultRule> faults;  // the scenario file's first, then the options'
  QString logPath;
};

void DefineOptions(QCommandLineParser& parser);
// Nothing, with a message, when an option's value is unusable.
std::optional<SimOptions> ReadOptions(const QCommandLineParser& parser, QString& error);
