// Prepares a demo working folder with our own store code: "demo.zsl" with the given servers and
// a "config.dat" that loads it and queries its first server at start.
//   zerval-mkdemo DIR NAME ADDRESS [PASSWORD] [-- NAME ADDRESS [PASSWORD] ...]
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

#include "store/stdfuncs.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QStringList arguments = QCoreApplication::arguments().mid(1);
  if (arguments.size() < 3) {
    std::fprintf(stderr,
                 "usage: zerval-mkdemo DIR NAME ADDRESS [PASSWORD] [-- NAME ADDRESS ...]\n");
    return 2;
  }
  const QDir dir(arguments.takeFirst());
  TServerList servers;
  for (const QString& group : arguments.join(QChar(0)).split(QStringLiteral("\0--\0"))) {
    const QStringList fields = group.split(QChar(0));
    if (fields.size() < 2) continue;
    TServerEntry entry;
    entry.Name = fields[0].toStdString();
    entry.Address = fields[1].toStdString();
    if (fields.size() > 2 && !fields[2].isEmpty()) {
      entry.HasPassword = 1;
      entry.Password = fields[2].toStdString();
    }
    servers.push_back(entry);
  }
  try {
    SaveServerList(servers, dir.filePath(QStringLiteral("demo.zsl")));
    TOptions options;
    options.LoadListOnStartup = 1;
    options.StandardListFile = "demo.zsl";
    options.QueryOnStartup = 1;
    options.StartupServer = 1;
    SaveOptions(options, dir.filePath(QStringLiteral("config.dat")));
  } catch (const EZerval& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
