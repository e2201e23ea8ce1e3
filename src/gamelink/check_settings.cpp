#include "gamelink/check_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "catalogue/game_row.h"
#include "platform/drive_map.h"
#include "platform/log.h"
#include "platform/mailslot.h"
#include "platform/profile_file.h"

namespace cs {

namespace {

// right - left (or bottom - top) of a stored region, kept within the block's range: a size
// below 2 would compare no pixel at all (always a match), one above 10 pixels nobody draws.
std::int32_t BlockSide(std::int32_t from, std::int32_t to) {
  const std::int64_t d = static_cast<std::int64_t>(to) - from;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(d, TFrmCheck::kMinBlock, TFrmCheck::kMaxBlock));
}

// left + size without signed overflow (a hostile left near the limit wraps as the record would).
std::int32_t Plus(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

TFrmCheck::TFrmCheck(EventLoop& loop, std::filesystem::path ipcDir, std::filesystem::path filesDir)
    : loop_(loop), ipc_dir_(std::move(ipcDir)), files_dir_(std::move(filesDir)) {
  for (auto& c : Capture) c.SetSize(RegionWidth, RegionHeight);
}

std::uint32_t TFrmCheck::CaptureHandle(int region) {
  return region < kStartRegion ? static_cast<std::uint32_t>(region + 1) : 8u;
}

std::filesystem::path TFrmCheck::GameFile(const std::string& namefile,
                                          std::string_view suffix) const {
  return MatchCaseInsensitive(files_dir_, namefile + std::string(suffix));
}

XyLoad TFrmCheck::LoadCheckSettings(const std::string& namefile) {
  if (!IsSafeNameFile(namefile)) {
    LogDiag("gamelink", "check settings not loaded: \"" + namefile + "\" is not a short name");
    return XyLoad::kBadName;
  }
  const auto file = GameFile(namefile, ".xy");
  // Non-blocking open: a FIFO in its place must not hang the menu.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return XyLoad::kMissing;
    LogDiag("gamelink", file.string() + ": " + std::strerror(errno));
    RegionWidth = RegionHeight = 20;
    return XyLoad::kError;
  }
  std::array<std::uint8_t, CheckRecord::kSize> buf{};
  std::size_t got = 0;
  bool error = false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = true;
    errno = EINVAL;
  }
  while (!error && got < buf.size()) {
    const ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = true;
      break;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  const int err = errno;
  ::close(fd);
  // What was read before an error still lands in the record, as a stopped read would leave it.
  CheckRec = CheckRec.Overlaid(std::span<const std::uint8_t>(buf.data(), got));
  if (error) {
    LogDiag("gamelink", file.string() + ": " + std::strerror(err));
    RegionWidth = RegionHeight = 20;
    return XyLoad::kError;
  }
  if (got < buf.size()) {
    LogDiag("gamelink", file.string() + ": " + std::to_string(got) +
                            " of 216 bytes; the rest keeps the previous game's values");
    return XyLoad::kShort;
  }
  return XyLoad::kFull;
}

int TFrmCheck::LoadReferencePictures(const std::string& namefile) {
  if (!IsSafeNameFile(namefile)) return 0;
  for (int i = 0; i < kRegionCount; ++i) {
    const auto file = GameFile(namefile, "t" + std::to_string(i + 1) + ".bmp");
    std::string why;
    const auto img = ReadBmpFile(file, &why);
    if (!img) {
      LogDiag("gamelink", file.string() + ": " + why + "; reference pictures " +
                              std::to_string(i + 1) + " to 7 keep their content");
      return i;
    }
    Reference[static_cast<std::size_t>(i)].Assign(*img);
  }
  return kRegionCount;
}

bool TFrmCheck::PrepareLaunch(const std::string& namefile, GameFlags& flags) {
  // 2.
  const XyLoad xy = LoadCheckSettings(namefile);
  if (xy == XyLoad::kBadName || xy == XyLoad::kError) return false;
  // The launch goes on with the previous game's settings; the operator reads here why its prompt
  // and automatic exits do not fit.
  if (xy == XyLoad::kMissing) {
    LogDiag("gamelink", "no check settings for " + namefile + " (" + namefile + ".xy in " +
                            files_dir_.string() + "): the previous game's are used");
  }
  // 3. A picture that fails only ends the picture loading.
  LoadReferencePictures(namefile);
  // 4.
  BtStopAllClick();
  // 5.
  for (auto* f : {&flags.MatchP1B1, &flags.MatchP1B2, &flags.MatchP1B3, &flags.MatchP2B1,
                  &flags.MatchP2B2, &flags.MatchP2B3, &flags.MatchStart}) {
    GameFlags::Set(*f, false);
  }
  // 6.
  RegionWidth = BlockSide(CheckRec.Region1.left, CheckRec.Region1.right);
  RegionHeight = BlockSide(CheckRec.Region1.top, CheckRec.Region1.bottom);
  UpDown2 = RegionWidth;
  UpDown1 = RegionHeight;
  // 7.
  if (CheckRec.OffX > kMaxOffset) CheckRec.OffX = 0;
  if (CheckRec.OffY > kMaxOffset) CheckRec.OffY = 0;
  UpDown3 = std::clamp(CheckRec.OffX, -kMaxOffset, kMaxOffset);
  UpDown4 = std::clamp(CheckRec.OffY, -kMaxOffset, kMaxOffset);
  // 8. (303, where the form's own default text is "302".)
  if (CheckRec.PreviewWidth < 1) CheckRec.PreviewWidth = 303;
  if (CheckRec.PreviewHeight < 1) CheckRec.PreviewHeight = 224;
  if (CheckRec.StartUpTime < 2) CheckRec.StartUpTime = 2;
  EdWidth2 = std::to_string(CheckRec.PreviewWidth);
  EdHeight2 = std::to_string(CheckRec.PreviewHeight);
  EdTime = std::to_string(CheckRec.StartUpTime);
  // 9.
  RecomputeRegions();
  // 10. Both players count as idle until the game's pictures say otherwise.
  for (auto* f : {&flags.MatchP1B1, &flags.MatchP1B2, &flags.MatchP1B3, &flags.MatchP2B1,
                  &flags.MatchP2B2, &flags.MatchP2B3}) {
    GameFlags::Set(*f, true);
  }
  GameFlags::Set(flags.MatchStart, false);
  return true;
}

int TFrmCheck::StartUpIntervalMs() const {
  return static_cast<int>(std::clamp<std::int64_t>(
      static_cast<std::int64_t>(CheckRec.StartUpTime) * 1000, 2000, 60000));
}

void TFrmCheck::ClearStartCapture() {
  Capture[kStartRegion].FillRect(0, 0, 10, 10, CheckPicture::kBrush);
}

void TFrmCheck::RecomputeRegions() {
  for (int i = 0; i < kRegionCount; ++i) {
    Rect32& r = CheckRec.Region(i);
    r.right = Plus(r.left, RegionWidth);
    r.bottom = Plus(r.top, RegionHeight);
  }
  for (auto& c : Capture) c.SetSize(RegionWidth, RegionHeight);
}

void TFrmCheck::Sent(bool ok, std::string_view slot) {
  if (ok) {
    failing_ = false;
    return;
  }
  ++lost_;
  if (!failing_) {
    failing_ = true;
    LogDiag("gamelink", std::string(slot) +
                            " record lost (no emulator listening); later ones are lost silently "
                            "until one gets through");
  }
}

void TFrmCheck::SendCheckRec() {
  CheckRec.Command = 1;
  const auto bytes = CheckRec.Encode();
  Sent(SendMailslotRecord(MailslotPath(ipc_dir_, kCheckSlotName), bytes.data(), bytes.size()),
       kCheckSlotName);
}

void TFrmCheck::SendDlgRec() {
  const auto bytes = DlgRec.Encode();
  Sent(SendMailslotRecord(MailslotPath(ipc_dir_, kDlgSlotName), bytes.data(), bytes.size()),
       kDlgSlotName);
}

void TFrmCheck::BtcompareClick() {
  CheckRec.CheckWord = 0;
  for (int i = 0; i < kRegionCount; ++i) CheckRec.CaptureDC(i) = CaptureHandle(i);
  SendCheckRec();
}

void TFrmCheck::BtStopCompClick() {
  for (int i = 0; i < kRegionCount; ++i) CheckRec.CaptureDC(i) = 0;
  SendCheckRec();
}

bool TFrmCheck::Button1Click() {
  if (!ReadEdits()) return false;
  CheckRec.PreviewWnd = PreviewPanelId;
  CheckRec.PreviewRect = Rect32{0, 0, CheckRec.PreviewWidth, CheckRec.PreviewHeight};
  SendCheckRec();
  return true;
}

void TFrmCheck::BtStopAllClick() {
  CheckRec.PreviewWnd = 0;
  SendCheckRec();
}

void TFrmCheck::ShowEmulatorText(int slot, std::string_view text) {
  if (slot == 1) {
    DlgRec.Command = 1;
    DlgRec.Slot1Place = {1, 1};
    DlgRec.Slot2Place = {0, 0};
    DlgRec.SetSlot1Text(text);
  } else if (slot == 2) {
    DlgRec.Command = 1;
    DlgRec.Slot2Place = {2, 2};
    DlgRec.Slot1Place = {0, 0};
    DlgRec.SetSlot2Text(text);
  } else {
    return;
  }
  SendDlgRec();
}

void TFrmCheck::ClearEmulatorText() {
  DlgRec.Command = 1;
  DlgRec.Slot1Place = {0, 0};
  DlgRec.SetSlot1Text("");
  SendDlgRec();
}

void TFrmCheck::BtMsg1Click() {
  DlgRec.Command = 1;
  DlgRec.Slot1Place = {5, 5};
  DlgRec.SetSlot1Text(std::string("Press P1 or P2 to Start\n") + "any other key to Exit  " + "\n");
  SendDlgRec();
}

void TFrmCheck::BtMsg1_Click() {
  DlgRec.Slot1Place = {0, 0};
  DlgRec.SetSlot1Text("");
  SendDlgRec();
}

void TFrmCheck::KeySequence(std::initializer_list<std::uint32_t> masks, int waitMs) {
  MailslotClient handle;
  const bool open = handle.Open(MailslotPath(ipc_dir_, kKeySlotName));
  Sent(open, kKeySlotName);
  for (std::uint32_t m : masks) {
    const auto rec = EncodeKeyRecord(m);
    if (open) handle.Write(rec.data(), rec.size());
    if (waitMs > 0) loop_.Sleep(waitMs);
  }
  handle.Close();
}

void TFrmCheck::BtFireClick() { KeySequence({kMaskService}, 0); }

void TFrmCheck::btx10Click() { KeySequence({kMaskCoin1, 0, kMaskStart1, 0}, 300); }

void TFrmCheck::Btx11Click() { KeySequence({kMaskCoin1 | kMaskStart2, 0, kMaskStart1, 0}, 300); }

bool TFrmCheck::ReadEdits() {
  std::int32_t v = 0;
  if (!ParseProfileInteger(EdWidth2, &v)) return false;
  CheckRec.PreviewWidth = v;
  if (!ParseProfileInteger(EdHeight2, &v)) return false;
  CheckRec.PreviewHeight = v;
  if (!ParseProfileInteger(EdTime, &v)) return false;
  CheckRec.StartUpTime = v;
  return true;
}

void TFrmCheck::PickRegion(int region, int x, int y, const QImage& panel) {
  if (region < 0 || region >= kRegionCount) return;
  Rect32& r = CheckRec.Region(region);
  r = Rect32{x, y, Plus(x, RegionWidth), Plus(y, RegionHeight)};
  CheckPicture& ref = Reference[static_cast<std::size_t>(region)];
  for (int yy = 0; yy < CheckPicture::kSide; ++yy) {
    for (int xx = 0; xx < CheckPicture::kSide; ++xx) {
      const std::int64_t sx = static_cast<std::int64_t>(x) + 2 + xx;
      const std::int64_t sy = static_cast<std::int64_t>(y) + yy;
      const bool inside = sx >= 0 && sy >= 0 && sx < panel.width() && sy < panel.height();
      ref.SetPixel(
          xx, yy,
          inside ? (panel.pixel(static_cast<int>(sx), static_cast<int>(sy)) & 0x00FFFFFFu) : 0u);
    }
  }
}

void TFrmCheck::SetBlockSize(int width, int height) {
  UpDown2 = std::clamp(width, kMinBlock, kMaxBlock);
  UpDown1 = std::clamp(height, kMinBlock, kMaxBlock);
  RegionWidth = UpDown2;
  RegionHeight = UpDown1;
  RecomputeRegions();
}

void TFrmCheck::SetOffsets(int offX, int offY) {
  UpDown3 = std::clamp(offX, -kMaxOffset, kMaxOffset);
  UpDown4 = std::clamp(offY, -kMaxOffset, kMaxOffset);
  CheckRec.OffX = UpDown3;
  CheckRec.OffY = UpDown4;
}

bool TFrmCheck::BtSaveClick(const std::string& namefile, std::string* error) {
  if (!IsSafeNameFile(namefile)) {
    if (error) *error = "\"" + namefile + "\" is not a short name";
    return false;
  }
  if (!ReadEdits()) {
    if (error) *error = "the preview size and start-up time must be whole numbers";
    return false;
  }
  for (int i = 0; i < kRegionCount; ++i) {
    const auto file = GameFile(namefile, "t" + std::to_string(i + 1) + ".bmp");
    std::string why;
    if (!WriteBmpFile(file, Reference[static_cast<std::size_t>(i)].ToBmp(), &why)) {
      if (error) *error = file.string() + ": " + why;
      return false;
    }
  }
  const auto file = GameFile(namefile, ".xy");
  const auto bytes = CheckRec.Encode();
  std::string why;
  if (!ReplaceFileAtomically(
          file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
          &why)) {
    if (error) *error = file.string() + ": " + why;
    return false;
  }
  return true;
}

}  // namespace cs
