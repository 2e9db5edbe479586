#include "engine/list_file.h"

#include <cstddef>
#include <fstream>
#include <ios>
#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

std::string ReadWholeFile(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) throw EZerval("Cannot open file " + fileName);
  std::string bytes;
  char chunk[65536];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0)
    bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
  // The end of the file sets eof and fail; only bad means a read error (a directory, say).
  if (file.bad()) throw EZerval("Cannot read file " + fileName);
  return bytes;
}

}  // namespace

TServerList ReadServerListFile(const std::string& fileName) {
  return ParseServerList(ReadWholeFile(fileName), fileName);
}
