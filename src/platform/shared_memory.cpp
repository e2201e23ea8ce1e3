#include "platform/shared_memory.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/log.h"

namespace cs {

namespace {

void LogErrno(const std::string& what) { LogDiag("shm", what + ": " + std::strerror(errno)); }

}  // namespace

bool IsValidSharedMemoryName(std::string_view name) {
  if (name.size() < 2 || name.size() > 201 || name[0] != '/') return false;
  for (char c : name.substr(1)) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return name != "/." && name != "/..";
}

std::unique_ptr<SharedMemoryBlock> SharedMemoryBlock::Create(const std::string& name,
                                                             std::size_t size) {
  if (!IsValidSharedMemoryName(name) || size == 0) {
    LogDiag("shm", "invalid shared memory name \"" + name + "\"");
    return nullptr;
  }
  std::unique_ptr<SharedMemoryBlock> b(new SharedMemoryBlock);
  int fd = ::shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    // Left by a run that ended without removing it: nobody else may hold it (single instance).
    LogDiag("shm", "replacing the stale block " + name);
    ::shm_unlink(name.c_str());
    b->replaced_stale_ = true;
    fd = ::shm_open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
  }
  if (fd < 0) {
    LogErrno("shm_open " + name);
    return nullptr;
  }
  struct stat st {};
  if (::fchmod(fd, 0600) != 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0 ||
      ::fstat(fd, &st) != 0) {
    LogErrno("sizing " + name);
    ::close(fd);
    ::shm_unlink(name.c_str());
    return nullptr;
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) {
    LogErrno("mmap " + name);
    ::shm_unlink(name.c_str());
    return nullptr;
  }
  b->name_ = name;
  b->data_ = static_cast<std::uint8_t*>(p);
  b->size_ = size;
  b->owner_ = true;
  b->dev_ = st.st_dev;
  b->ino_ = st.st_ino;
  return b;
}

std::unique_ptr<SharedMemoryBlock> SharedMemoryBlock::Open(const std::string& name,
                                                           std::size_t size, bool readOnly) {
  if (!IsValidSharedMemoryName(name) || size == 0) return nullptr;
  const int fd = ::shm_open(name.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 0 || static_cast<std::size_t>(st.st_size) < size) {
    ::close(fd);
    return nullptr;
  }
  void* p = ::mmap(nullptr, size, readOnly ? PROT_READ : PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ::close(fd);
  if (p == MAP_FAILED) return nullptr;
  std::unique_ptr<SharedMemoryBlock> b(new SharedMemoryBlock);
  b->name_ = name;
  b->data_ = static_cast<std::uint8_t*>(p);
  b->size_ = size;
  return b;
}

SharedMemoryBlock::~SharedMemoryBlock() {
  if (data_) ::munmap(data_, size_);
  if (!owner_) return;
  // Remove the name only while it still denotes the object this owner made.
  const int fd = ::shm_open(name_.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return;
  struct stat st {};
  const bool same = ::fstat(fd, &st) == 0 && static_cast<unsigned long long>(st.st_dev) == dev_ &&
                    static_cast<unsigned long long>(st.st_ino) == ino_;
  ::close(fd);
  if (same) ::shm_unlink(name_.c_str());
}

std::unique_ptr<NamedSemaphore> NamedSemaphore::Create(const std::string& name) {
  if (!IsValidSharedMemoryName(name)) {
    LogDiag("shm", "invalid semaphore name \"" + name + "\"");
    return nullptr;
  }
  ::sem_unlink(name.c_str());  // a stale one may be held by a process that died holding it
  sem_t* s = ::sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 1u);
  if (s == SEM_FAILED) {
    LogErrno("sem_open " + name);
    return nullptr;
  }
  std::unique_ptr<NamedSemaphore> n(new NamedSemaphore);
  n->name_ = name;
  n->sem_ = s;
  n->owner_ = true;
  return n;
}

std::unique_ptr<NamedSemaphore> NamedSemaphore::Open(const std::string& name) {
  if (!IsValidSharedMemoryName(name)) return nullptr;
  sem_t* s = ::sem_open(name.c_str(), 0);
  if (s == SEM_FAILED) return nullptr;
  std::unique_ptr<NamedSemaphore> n(new NamedSemaphore);
  n->name_ = name;
  n->sem_ = s;
  return n;
}

NamedSemaphore::~NamedSemaphore() {
  if (sem_) ::sem_close(static_cast<sem_t*>(sem_));
  if (owner_) ::sem_unlink(name_.c_str());
}

bool NamedSemaphore::TryLock() { return ::sem_trywait(static_cast<sem_t*>(sem_)) == 0; }

void NamedSemaphore::Unlock() { ::sem_post(static_cast<sem_t*>(sem_)); }

}  // namespace cs
