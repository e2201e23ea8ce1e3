#pragma once
// The emulator stand-in's game: a small invented arcade game of one NAMEFILE with the emulator's
// side of the cabinet protocol. It is a plain model driven by the records the shell sends and by
// the time it is given; main.cpp connects it to the mailslots, the shared frame and the main
// window's endpoint.
//
// The watched regions show fixed 10 x 10 patches (per game and region, in colours a 16-bit
// frame block keeps exactly), wherever the last check-settings record puts them:
//   attract:   P1-B1, P2-B1 and Bmp Start (both players idle, ready for a start);
//   play:      the idle patch of a player who is not playing (P1-B1 or P2-B1) only;
//   game over: P1-B2 and P2-B2 (the players' game-over pictures), for a few seconds, then attract.
// `MakeCheckFiles` writes the ".xy" and t1..t7.bmp that match these patches, so the shell's screen
// check follows the stand-in's game exactly.
#include <QImage>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gamelink/emulator_records.h"
#include "gamelink/shared_frame.h"
#include "platform/message_target.h"

namespace cs::standin {

using Patch = std::array<std::uint32_t, kBlockSide * kBlockSide>;

enum class Stage { kLoading, kAttract, kPlay, kGameOver, kEnded };
const char* StageName(Stage s);

struct Timing {
  int progressStepMs = 150;  // ten progress reports, 10 % each
  int askRetryMs = 3000;     // the check settings are asked again until a start-check arrives
  int maxAsks = 5;
  int playMs = 20000;  // a credit's game lasts this long
  int gameOverMs = 4000;
};

// The game's picture size when no check record has named one.
inline constexpr int kDefaultWidth = 302;
inline constexpr int kDefaultHeight = 224;

// The patch of region i of a game.
Patch PatchOf(const std::string& namefile, int region);
// Where MakeCheckFiles puts the seven regions (10 x 10 blocks) on the 302 x 224 picture.
std::array<Rect32, kRegionCount> DefaultRegions();
// Writes NAMEFILE.xy (block 10 x 10, DefaultRegions, preview 302 x 224, start-up time
// `startUpTime` s, offsets 0) and NAMEFILEt1.bmp..t7.bmp (20 x 20, the patch top-left) into dir.
bool MakeCheckFiles(const std::string& namefile, const std::string& dir, int startUpTime,
                    std::string* error);

class Game {
 public:
  Game(std::string namefile, Timing timing, std::int64_t nowMs);

  // Time passes: loading progress, the request for the check settings, the end of a play.
  void Advance(std::int64_t nowMs);
  // A key record: the whole set of pressed switches.
  void OnKeyMask(std::uint32_t mask, std::int64_t nowMs);
  void OnCheckRecord(const CheckRecord& r);
  void OnDlgRecord(const DlgRecord& r);
  // An orderly end without the exit bit (the process is asked to stop).
  void End();

  // Messages for the main window, in order.
  std::vector<Message> TakePosted();

  // The picture: the game with the visible patches at their regions (what the emulator copies
  // into the shared frame), then the same with both message slots drawn over it.
  QImage RenderGame(int frame) const;
  void DrawMessages(QImage& picture) const;
  // The seven blocks of a game picture at the current regions (black outside the picture).
  std::array<Patch, kBlockCount> Blocks(const QImage& game) const;
  std::array<bool, kRegionCount> VisiblePatches() const;

  Stage stage() const { return stage_; }
  bool Ended() const { return stage_ == Stage::kEnded; }
  int credits() const { return credits_; }
  bool p1Playing() const { return p1_; }
  bool p2Playing() const { return p2_; }
  bool HasRegions() const { return has_regions_; }
  const DlgRecord& Dlg() const { return dlg_; }
  // Changes whenever the picture's meaning changes (stage, players, message slots): the
  // stand-in takes a numbered screenshot then.
  std::string VisibleState() const;

 private:
  void Post(std::uint32_t msg, std::int32_t w, std::int32_t l) { posted_.push_back({msg, w, l}); }
  void Enter(Stage s, std::int64_t nowMs);

  std::string namefile_;
  Timing timing_;
  Stage stage_ = Stage::kLoading;
  std::int64_t start_ms_;
  std::int64_t stage_since_;
  int progress_ = 0;
  int asks_ = 0;
  std::int64_t last_ask_ = 0;
  bool check_started_ = false;
  std::uint32_t mask_ = 0;
  int credits_ = 0;
  bool p1_ = false, p2_ = false;
  int score_ = 0;
  std::int64_t play_since_ = 0;
  bool has_regions_ = false;
  std::array<Rect32, kRegionCount> regions_{};
  int width_ = kDefaultWidth, height_ = kDefaultHeight;
  DlgRecord dlg_;
  std::vector<Message> posted_;
};

}  // namespace cs::standin
