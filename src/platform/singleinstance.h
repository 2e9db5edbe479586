#pragma once

#include <QLockFile>
#include <QString>

// Finds an instance of the program already running for this user through a lock file in the
// temporary folder. A lock left behind by a crashed run is taken over.
class SingleInstance {
 public:
  explicit SingleInstance(const QString& name);
  bool AlreadyRunning() const { return !locked_; }

 private:
  QLockFile lock_;
  bool locked_ = false;
};
