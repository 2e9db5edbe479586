#include "list_file.h"

#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

TServerList ReadServerListFile(const std::string& fileName) {
  return ParseServerList(ReadListFileBytes(fileName), fileName);
}
