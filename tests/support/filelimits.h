#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

// Limits the size of files this process may write; beyond it writes fail with EFBIG, even for
// root, much as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};

// Runs what follows as a user without root's right to write anywhere, when the test runs as
// root; root keeps its saved user id and takes it back at the end. Real and effective ids both
// change, as permission checks use either.
class AsPlainUser {
 public:
  static constexpr uid_t Nobody = 65534;
  AsPlainUser() : root_(geteuid() == 0) {
    if (root_ && setresuid(Nobody, Nobody, 0) != 0) root_ = false;
  }
  ~AsPlainUser() {
    if (root_ && setresuid(0, 0, 0) != 0) std::abort();
  }

 private:
  bool root_;
};

// Should a FIFO be opened for reading after all, a writer that comes and goes ends that
// wait, so a faulty reader fails its test instead of hanging it.
class FifoWriterVisit {
 public:
  explicit FifoWriterVisit(std::string path)
      : thread_([this, path = std::move(path)] {
          const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
          while (!done_ && std::chrono::steady_clock::now() < deadline) {
            const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
              ::close(writer);
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~FifoWriterVisit() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};
