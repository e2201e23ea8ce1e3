#include "gamelink/screen_check.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/log.h"

namespace cs {

namespace {

// Niceness of the thread: above normal, as far as an unprivileged process may go.
constexpr int kAboveNormalNice = -5;

// The comparison order of a pass.
constexpr std::array<int, kRegionCount> kCompareOrder = {0, 1, 2, 3, 4, 6, 5};

}  // namespace

std::atomic<std::uint8_t>& RegionFlag(GameFlags& flags, int region) {
  switch (region) {
    case 0:
      return flags.MatchP1B1;
    case 1:
      return flags.MatchP1B2;
    case 2:
      return flags.MatchP1B3;
    case 3:
      return flags.MatchP2B1;
    case 4:
      return flags.MatchP2B2;
    case 5:
      return flags.MatchP2B3;
    default:
      return flags.MatchStart;
  }
}

bool PicturesMatch(const CheckPicture& capture, const CheckPicture& reference, int* pairs) {
  // Beyond the 20 x 20 bitmaps nothing could differ; a size that large is never configured.
  const int w = std::min(capture.Width(), CheckPicture::kSide);
  const int h = std::min(capture.Height(), CheckPicture::kSide);
  int n = 0;
  bool match = true;
  for (int x = 1; x < w && match; ++x) {
    for (int y = 1; y < h; ++y) {
      ++n;
      if (capture.Pixel(x, y) != reference.Pixel(x, y)) {
        match = false;
        break;
      }
    }
  }
  if (pairs) *pairs = n;
  return match;
}

bool ComparisonPass(std::span<const std::uint8_t> frame, TFrmCheck& check, GameFlags& flags) {
  if (frame.size() < kSharedFrameSize) return false;
  // 1. The header, once per pass, into our own copy: the emulator may rewrite it meanwhile.
  std::array<std::uint8_t, kDibHeaderSize> headerBytes;
  std::memcpy(headerBytes.data(), frame.data() + kDibHeaderOffset, kDibHeaderSize);
  const auto layout = CheckDibHeader(ParseDibHeader(headerBytes));
  if (!layout) return false;
  // 2.-3. Each block into the top-left 10 x 10 of its capture picture.
  std::array<std::uint8_t, kBlockSize> block;
  for (int i = 0; i < kBlockCount; ++i) {
    std::memcpy(block.data(), frame.data() + BlockOffset(i), kBlockSize);
    CheckPicture& cap = check.Capture[static_cast<std::size_t>(i)];
    std::array<std::uint32_t, kBlockSide * kBlockSide> px{};
    DecodeDibBlock(*layout, block, px);
    for (int y = 0; y < layout->drawHeight(); ++y) {
      for (int x = 0; x < layout->drawWidth(); ++x) {
        cap.SetPixel(x, y, px[static_cast<std::size_t>(y * kBlockSide + x)]);
      }
    }
  }
  // 4. A flag is only ever set here.
  for (int i : kCompareOrder) {
    if (PicturesMatch(check.Capture[static_cast<std::size_t>(i)],
                      check.Reference[static_cast<std::size_t>(i)])) {
      GameFlags::Set(RegionFlag(flags, i), true);
    }
  }
  // 5.
  for (int i = 0; i < kRegionCount; ++i) {
    check.MatchBox[static_cast<std::size_t>(i)].store(GameFlags::Get(RegionFlag(flags, i)),
                                                      std::memory_order_relaxed);
  }
  return true;
}

TThrComp::TThrComp(GameFlags& flags, TFrmCheck& check, std::string blockName)
    : flags_(flags), check_(check), block_name_(std::move(blockName)) {}

TThrComp::~TThrComp() {
  Terminate();
  WaitFor();
}

bool TThrComp::CreateSharedBlock() {
  if (!block_tried_) {
    block_tried_ = true;
    block_ = SharedMemoryBlock::Create(block_name_, kSharedFrameSize);
    mutex_ = NamedSemaphore::Create(SharedFrameMutexName(block_name_));
    if (!block_) LogDiag("gamelink", "no shared frame " + block_name_ + ": no region will match");
  }
  return block_ != nullptr;
}

bool TThrComp::Start() {
  if (thread_.joinable() || terminate_.load()) return false;
  CreateSharedBlock();
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TThrComp::Terminate() {
  {
    std::lock_guard lock(wait_mutex_);
    terminate_.store(true);
  }
  wait_cv_.notify_all();
}

void TThrComp::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TThrComp::WaitOrTerminated(int ms) {
  std::unique_lock lock(wait_mutex_);
  return wait_cv_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return terminate_.load(); });
}

void TThrComp::Loop() {
  const bool running = flags_.Running();
  if (!running) Tick.store(0, std::memory_order_relaxed);
  const std::int32_t tick = Tick.load(std::memory_order_relaxed) + 1;
  Tick.store(tick, std::memory_order_relaxed);
  if (running && tick > kWarmUpPasses) {
    if (!block_) return;  // no view: the pass fails silently
    passes_.fetch_add(1, std::memory_order_relaxed);
    if (!ComparisonPass(std::span<const std::uint8_t>(block_->Data(), block_->Size()), check_,
                        flags_)) {
      refused_.fetch_add(1, std::memory_order_relaxed);
      if (!refused_logged_) {
        refused_logged_ = true;
        std::string why;
        std::array<std::uint8_t, kDibHeaderSize> h;
        std::memcpy(h.data(), block_->Data() + kDibHeaderOffset, kDibHeaderSize);
        CheckDibHeader(ParseDibHeader(h), &why);
        LogDiag("gamelink", "shared frame header refused (" + why +
                                "): no match while it stays so; logged once");
      }
    }
  } else {
    GameFlags::Set(flags_.MatchStart, false);
  }
}

void TThrComp::Run() {
  // Linux gives each thread its own niceness; lowering it needs the right to (CAP_SYS_NICE or
  // RLIMIT_NICE), which a cabinet may or may not grant.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  if (::setpriority(PRIO_PROCESS, tid, kAboveNormalNice) == 0) {
    raised_.store(true, std::memory_order_relaxed);
  } else {
    LogDiag("gamelink",
            std::string("screen check runs at normal priority (") + std::strerror(errno) + ")");
  }
  // The emulator of a game cannot have filled the block yet; the loop starts after this wait.
  if (WaitOrTerminated(kStartWaitMs)) return;
  Tick.store(0, std::memory_order_relaxed);
  while (!WaitOrTerminated(kLoopMs)) Loop();
}

}  // namespace cs
