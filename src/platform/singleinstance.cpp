#include "platform/singleinstance.h"

#include <unistd.h>

#include <QDir>

namespace {

QString LockPath(const QString& name) {
  return QDir::temp().filePath(name + QStringLiteral("-") + QString::number(getuid()) +
                               QStringLiteral(".lock"));
}

}  // namespace

SingleInstance::SingleInstance(const QString& name) : lock_(LockPath(name)) {
  // Only a dead owner makes a lock stale; a long-running instance must keep it.
  lock_.setStaleLockTime(0);
  locked_ = lock_.tryLock(0);
}
