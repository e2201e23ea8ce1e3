#pragma once
// TFrmCheck: the game check configuration window's data, the holder of the current game's check
// settings for the whole run. It owns the check-settings record `CheckRec` (what a game's ".xy"
// file holds and what MAMEINP carries), the message record `DlgRec` (MAMEDLG), the seven capture
// pictures, seven reference pictures and seven match boxes of the screen check, and the values
// its edits and up-downs show. The window itself (widgets) wraps this object; everything the
// running cabinet needs works without it.
//
// Per-game files live in `FilesDir` (the program's current directory by default), named after
// the game's NAMEFILE, which must be a safe short name before any path is built:
//   NAMEFILE + ".xy"              the 216-byte CheckRec
//   NAMEFILE + "t1.bmp".."t7.bmp" the reference pictures of the seven regions
// Existing files are found without regard to case, as on the cabinet's original file system.
//
// Threads: everything here runs on the main thread, except that the screen-check thread draws
// the capture pictures and sets the match boxes (both atomics) and reads the reference pictures.
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "gamelink/check_picture.h"
#include "gamelink/emulator_records.h"
#include "gamelink/game_flags.h"
#include "platform/event_loop.h"

class QImage;

namespace cs {

// How LoadCheckSettings went.
enum class XyLoad {
  kFull,     // 216 bytes read (an oversized file: its first 216 bytes)
  kShort,    // fewer: the rest of CheckRec keeps the previous game's values
  kMissing,  // no file: CheckRec unchanged
  kError,    // the file could not be read (not a regular file, read error)
  kBadName,  // NAMEFILE is not a safe short name: no path was built
};

class TFrmCheck final {
 public:
  // Block size range of the up-downs, and the offsets' range.
  static constexpr int kMinBlock = 2, kMaxBlock = 10;
  static constexpr int kMaxOffset = 50;

  TFrmCheck(EventLoop& loop, std::filesystem::path ipcDir,
            std::filesystem::path filesDir = std::filesystem::path("."));
  TFrmCheck(const TFrmCheck&) = delete;
  TFrmCheck& operator=(const TFrmCheck&) = delete;

  // --- The records.
  CheckRecord CheckRec;
  DlgRecord DlgRec;

  // --- Window state.
  std::int32_t RegionWidth = 2;  // size of the compared block
  std::int32_t RegionHeight = 2;
  // Capture pictures CiMp1, Cimp2..Cimp6, Cimp8; reference pictures Cimp10..Cimp16; match boxes
  // CbP1, Cbp2, Cbp3, Cbp4, CbP5, Cbp6, Cbp8: all by region index (kRegionNames).
  std::array<CheckPicture, kRegionCount> Capture;
  std::array<CheckPicture, kRegionCount> Reference;
  std::array<std::atomic<bool>, kRegionCount> MatchBox{};
  // Up-down positions: UpDown1 height, UpDown2 width (2..10); UpDown3 OffX, UpDown4 OffY (-50..50).
  int UpDown1 = 2, UpDown2 = 2, UpDown3 = 2, UpDown4 = 2;
  // Edit texts: EdWidth2, EdHeight2 (hidden), EdTime ("StartUp Time").
  std::string EdWidth2 = "302", EdHeight2 = "224", EdTime = "5";
  // The preview panel Cimp7's native window id where the window exists (set by it), else 0.
  std::uint32_t PreviewPanelId = 0;

  // The identifier a capture picture's handle field carries while checking runs (never 0).
  static std::uint32_t CaptureHandle(int region);

  // --- Run time: the main window's calls.

  // Loads NAMEFILE + ".xy" into CheckRec. A read error also sets RegionWidth and RegionHeight
  // to 20 (the launch preparation sets them again from Region1).
  XyLoad LoadCheckSettings(const std::string& namefile);
  // Loads NAMEFILE + "t1.bmp".."t7.bmp" into the reference pictures in order; the first that
  // fails ends the loading, it and the following pictures keep their content. Returns how many
  // were loaded (0 for a bad name).
  int LoadReferencePictures(const std::string& namefile);
  // The preparation before a launch, from LoadCheckSettings on: settings, reference pictures,
  // stop preview (MAMEINP), match flags cleared, block size from Region1 (kept within 2..10),
  // offsets above 50 reset, preview size and start-up time defaults, the seven regions
  // recomputed and the capture pictures sized, then the six player flags set and MatchStart
  // cleared. False (with a log line) when the game must not be launched: a NAMEFILE that is not
  // a safe short name, or a ".xy" that cannot be read.
  bool PrepareLaunch(const std::string& namefile, GameFlags& flags);
  // The launch's start-up timer: StartUpTime seconds, within 2000..60000 ms.
  int StartUpIntervalMs() const;
  // At launch: fill 0, 0, 10, 10 of capture picture 8 with the brush, so that an old start
  // picture cannot match.
  void ClearStartCapture();

  // --- Senders (Command := 1, then the whole record).
  // Start check ("Start"): CheckWord := 0; the seven capture handles := their identifiers.
  void BtcompareClick();
  // Stop check ("Stop Check"): the seven capture handles := 0.
  void BtStopCompClick();
  // Start preview ("Start All"): reads the edits first (false, nothing sent, when one is not a
  // whole number); PreviewWnd := PreviewPanelId; PreviewRect := 0, 0, width, height.
  bool Button1Click();
  // Stop preview ("Stop All"): PreviewWnd := 0.
  void BtStopAllClick();
  // Slot 1 (the start prompt, at most 100 characters kept) or slot 2 (the credits line); showing
  // one slot hides the other, and the hidden slot's text is kept. Other slot numbers: nothing.
  void ShowEmulatorText(int slot, std::string_view text);
  // Hides slot 1 and empties its text; slot 2 stays as it was.
  void ClearEmulatorText();
  // The test message ("Msg1") at place (5, 5), and its removal (the second "Msg1").
  void BtMsg1Click();
  void BtMsg1_Click();
  // Key test sequences on one MAMEKEY handle: "System Test" (0x800 once), "coin 1" and
  // "Coin 2" (coin, then start, 300 ms apart).
  void BtFireClick();
  void btx10Click();
  void Btx11Click();

  // --- Configuration (the window's operator actions on the data).
  // PreviewWidth, PreviewHeight, StartUpTime := the edits; false at the first that is not a
  // whole number (the values before it are taken).
  bool ReadEdits();
  // Picking region k at X, Y: the region moves there with the current block size; the
  // reference picture gets the 20 x 20 pixels of `panel` from (X + 2, Y) (black outside it).
  void PickRegion(int region, int x, int y, const QImage& panel);
  // The up-downs of the block size released: size within 2..10, regions recomputed, capture
  // pictures resized.
  void SetBlockSize(int width, int height);
  // The offsets' up-downs released (-50..50).
  void SetOffsets(int offX, int offY);
  // For every region: right := left + RegionWidth, bottom := top + RegionHeight.
  void RecomputeRegions();
  // "Save": reads the edits, writes the seven reference pictures (32 bits per pixel), then the
  // ".xy". False with `*error` at the first failure (the window shows it in a box).
  bool BtSaveClick(const std::string& namefile, std::string* error = nullptr);

  // A game's file NAMEFILE + suffix in FilesDir (an existing file matched without case).
  std::filesystem::path GameFile(const std::string& namefile, std::string_view suffix) const;
  const std::filesystem::path& FilesDir() const { return files_dir_; }

  // Records lost because the emulator was not there (status and tests).
  std::uint64_t LostRecords() const { return lost_; }

 private:
  void SendCheckRec();
  void SendDlgRec();
  void Sent(bool ok, std::string_view slot);
  void KeySequence(std::initializer_list<std::uint32_t> masks, int waitMs);

  EventLoop& loop_;
  std::filesystem::path ipc_dir_;
  std::filesystem::path files_dir_;
  std::uint64_t lost_ = 0;
  bool failing_ = false;
};

}  // namespace cs
