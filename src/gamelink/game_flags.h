#pragma once
// The game-state flags the screen-check thread object holds and the main window and the panel
// reader share with it without locks: single bytes, each read and written whole (relaxed
// atomics). A player is idle when one of that player's three flags is set; both idle means
// nobody is in play.
#include <atomic>
#include <cstdint>

namespace cs {

struct GameFlags {
  std::atomic<std::uint8_t> EmulatorRunning{0};
  std::atomic<std::uint8_t> MatchP1B1{0}, MatchP1B2{0}, MatchP1B3{0};
  std::atomic<std::uint8_t> MatchP2B1{0}, MatchP2B2{0}, MatchP2B3{0};
  std::atomic<std::uint8_t> MatchStart{0};

  static bool Get(const std::atomic<std::uint8_t>& f) {
    return f.load(std::memory_order_relaxed) != 0;
  }
  static void Set(std::atomic<std::uint8_t>& f, bool on) {
    f.store(on ? 1 : 0, std::memory_order_relaxed);
  }
  bool Running() const { return Get(EmulatorRunning); }
  bool P1Idle() const { return Get(MatchP1B1) || Get(MatchP1B2) || Get(MatchP1B3); }
  bool P2Idle() const { return Get(MatchP2B1) || Get(MatchP2B2) || Get(MatchP2B3); }
};

}  // namespace cs
