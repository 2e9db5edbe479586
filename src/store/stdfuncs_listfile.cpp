#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

EZerval FileError(const char* what, const std::string& fileName) {
  return EZerval(std::string(what) + " " + fileName);
}

bool IsReadableListFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_size <= MaxServerListFileSize;
}

class OpenFile {
 public:
  explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() { ::close(descriptor_); }
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

}  // namespace

std::string ReadListFileBytes(const std::string& fileName) {
  // Looked at before it is opened: opening a FIFO waits for a writer, and opening a device
  // may act on it.
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) throw FileError("Cannot open file", fileName);
  if (!IsReadableListFile(info)) throw FileError("Invalid server list file", fileName);
  const int descriptor = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) throw FileError("Cannot open file", fileName);
  const OpenFile file(descriptor);
  // The name may have come to mean another file in between: what was opened counts, and a
  // file that grows while it is read is still cut off at the limit.
  if (::fstat(descriptor, &info) != 0 || !IsReadableListFile(info))
    throw FileError("Invalid server list file", fileName);
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) throw FileError("Cannot read file", fileName);
    if (count == 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(count));
    if (bytes.size() > static_cast<std::size_t>(MaxServerListFileSize))
      throw FileError("Invalid server list file", fileName);
  }
}
