#pragma once
// One shell per cabinet root: an advisory lock (flock) on a file in the IPC directory, held for
// the life of the process. The kernel drops it when the process dies, so a crash never leaves
// the cabinet locked out.
#include <filesystem>

namespace cs {

class InstanceLock {
 public:
  // Tries to take the lock on `file` (created mode 0600). Held() tells whether it was taken.
  explicit InstanceLock(const std::filesystem::path& file);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace cs
