#include "list_file.h"

#include <QString>
#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

TServerList ReadServerListFile(const std::string& fileName) {
  TServerList list;
  LoadServerList(list,
                 QString::fromLocal8Bit(fileName.data(), static_cast<qsizetype>(fileName.size())));
  return list;
}
