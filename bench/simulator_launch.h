#pragma once

#include <QProcess>
#include <QStringList>
#include <cstdint>

// The game-server simulator as a child process on 127.0.0.1, on a port the system picks.
// Stopped when the object goes.
class SimulatorLaunch {
 public:
  // Starts it and waits for its "listening" line; port() is 0 when that failed.
  explicit SimulatorLaunch(const QStringList& arguments);
  ~SimulatorLaunch();
  SimulatorLaunch(const SimulatorLaunch&) = delete;
  SimulatorLaunch& operator=(const SimulatorLaunch&) = delete;

  std::uint16_t port() const { return port_; }

 private:
  QProcess process_;
  std::uint16_t port_ = 0;
};
