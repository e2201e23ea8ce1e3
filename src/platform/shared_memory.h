#pragma once
// Named shared memory between the shell and an outside process (the emulator's frame block), and
// the named semaphore that goes with it.
//
// A block is a POSIX shared memory object ("/NAME", mode 0600: only the cabinet's own user can
// open it) mapped whole. The creating side owns the name: a block of that name left by a crashed
// earlier run is replaced (the caller holds the cabinet's single-instance lock, which proves that
// no live shell uses it), and the name is removed again when the owner goes away. The other side
// opens an existing block and never creates one.
//
// Threads: the mapping may be read and written from any thread; create and destroy on one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace cs {

// True for "/" followed by 1 to 200 letters, digits, '.', '_' or '-': a name that is one object
// under /dev/shm and nothing else.
bool IsValidSharedMemoryName(std::string_view name);

class SharedMemoryBlock final {
 public:
  // The owner's side: a new zero-filled block of `size` bytes, read and write. An existing block
  // of that name is unlinked first (ReplacedStale() then says so). nullptr with a log line when
  // the name is invalid or the system refuses.
  static std::unique_ptr<SharedMemoryBlock> Create(const std::string& name, std::size_t size);
  // The user's side: an existing block of at least `size` bytes, mapped read and write (or read
  // only). nullptr when there is none, or it is smaller (which would fault on access).
  static std::unique_ptr<SharedMemoryBlock> Open(const std::string& name, std::size_t size,
                                                 bool readOnly = false);

  ~SharedMemoryBlock();
  SharedMemoryBlock(const SharedMemoryBlock&) = delete;
  SharedMemoryBlock& operator=(const SharedMemoryBlock&) = delete;

  std::uint8_t* Data() { return data_; }
  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }
  const std::string& Name() const { return name_; }
  bool Owner() const { return owner_; }
  bool ReplacedStale() const { return replaced_stale_; }

 private:
  SharedMemoryBlock() = default;

  std::string name_;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool owner_ = false;
  bool replaced_stale_ = false;
  unsigned long long dev_ = 0, ino_ = 0;  // identity of the object this owner made
};

// A named semaphore used as an unowned mutex ("/NAME", mode 0600, initial count 1).
class NamedSemaphore final {
 public:
  // The owner's side: a fresh semaphore (a stale one of that name is replaced); unlinked on
  // destruction.
  static std::unique_ptr<NamedSemaphore> Create(const std::string& name);
  // The user's side: an existing semaphore.
  static std::unique_ptr<NamedSemaphore> Open(const std::string& name);

  ~NamedSemaphore();
  NamedSemaphore(const NamedSemaphore&) = delete;
  NamedSemaphore& operator=(const NamedSemaphore&) = delete;

  // Takes it if free; never blocks.
  bool TryLock();
  void Unlock();
  const std::string& Name() const { return name_; }

 private:
  NamedSemaphore() = default;

  std::string name_;
  void* sem_ = nullptr;  // sem_t*
  bool owner_ = false;
};

}  // namespace cs
