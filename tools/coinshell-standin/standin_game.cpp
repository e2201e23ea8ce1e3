#include "standin_game.h"

#include <QFont>
#include <QPainter>
#include <QStringList>
#include <algorithm>

#include "fake_game_art.h"
#include "gamelink/check_settings.h"
#include "platform/virtual_event_loop.h"

namespace cs::standin {

namespace {

// Channel levels that a 5-bit channel widened as (v << 3) | (v >> 2) gives back exactly.
constexpr std::uint8_t kLevels[] = {0x00, 0x42, 0x84, 0xC6, 0xFF};

std::uint32_t Level(int i) {
  i = ((i % 125) + 125) % 125;
  return (static_cast<std::uint32_t>(kLevels[i % 5]) << 16) |
         (static_cast<std::uint32_t>(kLevels[(i / 5) % 5]) << 8) | kLevels[(i / 25) % 5];
}

std::uint32_t Hash(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

bool Shown(const std::array<std::int32_t, 2>& place) { return place[0] != 0 || place[1] != 0; }

}  // namespace

const char* StageName(Stage s) {
  switch (s) {
    case Stage::kLoading:
      return "loading";
    case Stage::kAttract:
      return "attract";
    case Stage::kPlay:
      return "play";
    case Stage::kGameOver:
      return "gameover";
    case Stage::kEnded:
      return "ended";
  }
  return "?";
}

Patch PatchOf(const std::string& namefile, int region) {
  const int base = static_cast<int>(Hash(namefile) % 125);
  const std::uint32_t a = Level(base + region * 11);
  const std::uint32_t b = Level(base + region * 11 + 62);
  const int cell = 1 + region % 3;
  Patch p{};
  for (int y = 0; y < kBlockSide; ++y) {
    for (int x = 0; x < kBlockSide; ++x) {
      const bool on = ((x / cell) + (y / cell) + (region >= 3 ? x / 5 : 0)) % 2 == 0;
      p[static_cast<std::size_t>(y * kBlockSide + x)] = on ? a : b;
    }
  }
  return p;
}

std::array<Rect32, kRegionCount> DefaultRegions() {
  const int xy[kRegionCount][2] = {{16, 30},  {30, 30},  {44, 30},  {248, 30},
                                   {262, 30}, {276, 30}, {146, 200}};
  std::array<Rect32, kRegionCount> r{};
  for (int i = 0; i < kRegionCount; ++i) {
    r[static_cast<std::size_t>(i)] = Rect32{xy[i][0], xy[i][1], xy[i][0] + 10, xy[i][1] + 10};
  }
  return r;
}

bool MakeCheckFiles(const std::string& namefile, const std::string& dir, int startUpTime,
                    std::string* error) {
  VirtualEventLoop loop;
  TFrmCheck check(loop, dir, dir);
  const auto regions = DefaultRegions();
  for (int i = 0; i < kRegionCount; ++i)
    check.CheckRec.Region(i) = regions[static_cast<std::size_t>(i)];
  check.SetBlockSize(kBlockSide, kBlockSide);
  check.SetOffsets(0, 0);
  check.EdWidth2 = std::to_string(kDefaultWidth);
  check.EdHeight2 = std::to_string(kDefaultHeight);
  check.EdTime = std::to_string(startUpTime);
  check.CheckRec.PreviewRect = Rect32{0, 0, kDefaultWidth, kDefaultHeight};
  for (int i = 0; i < kRegionCount; ++i) {
    CheckPicture& ref = check.Reference[static_cast<std::size_t>(i)];
    ref.FillRect(0, 0, CheckPicture::kSide, CheckPicture::kSide, 0);
    const Patch p = PatchOf(namefile, i);
    for (int y = 0; y < kBlockSide; ++y) {
      for (int x = 0; x < kBlockSide; ++x)
        ref.SetPixel(x, y, p[static_cast<std::size_t>(y * kBlockSide + x)]);
    }
  }
  return check.BtSaveClick(namefile, error);
}

Game::Game(std::string namefile, Timing timing, std::int64_t nowMs)
    : namefile_(std::move(namefile)), timing_(timing), start_ms_(nowMs), stage_since_(nowMs) {}

void Game::Enter(Stage s, std::int64_t nowMs) {
  stage_ = s;
  stage_since_ = nowMs;
}

void Game::Advance(std::int64_t nowMs) {
  switch (stage_) {
    case Stage::kLoading: {
      const int due = static_cast<int>((nowMs - start_ms_) / std::max(1, timing_.progressStepMs));
      while (progress_ < 100 && progress_ / 10 < due) {
        progress_ += 10;
        Post(WM_EMULATOR_STATUS, progress_, 100);
      }
      if (progress_ >= 100) {
        Enter(Stage::kAttract, nowMs);
        Post(WM_PANEL_COMMAND, 200, 0);
        asks_ = 1;
        last_ask_ = nowMs;
      }
      break;
    }
    case Stage::kPlay:
      score_ += 10;
      if (nowMs - play_since_ >= timing_.playMs) {
        p1_ = p2_ = false;
        Enter(Stage::kGameOver, nowMs);
      }
      break;
    case Stage::kGameOver:
      if (nowMs - stage_since_ >= timing_.gameOverMs) Enter(Stage::kAttract, nowMs);
      break;
    default:
      break;
  }
  if (stage_ != Stage::kLoading && stage_ != Stage::kEnded && !check_started_ && asks_ > 0 &&
      asks_ < timing_.maxAsks && nowMs - last_ask_ >= timing_.askRetryMs) {
    Post(WM_PANEL_COMMAND, 200, 0);
    ++asks_;
    last_ask_ = nowMs;
  }
}

void Game::OnKeyMask(std::uint32_t mask, std::int64_t nowMs) {
  const std::uint32_t rising = mask & ~mask_;
  mask_ = mask;
  if (stage_ == Stage::kEnded) return;
  if (rising & kMaskExit) {
    End();
    return;
  }
  if (stage_ == Stage::kLoading) return;
  if (rising & kMaskCoin1) ++credits_;
  const auto start = [&](bool& playing, std::int32_t code) {
    if (playing || credits_ < 1) return;
    --credits_;
    playing = true;
    Post(WM_EMULATOR_STATUS, code, 1000);
    if (stage_ != Stage::kPlay) {
      Enter(Stage::kPlay, nowMs);
      play_since_ = nowMs;
      score_ = 0;
    }
  };
  if (rising & kMaskStart1) start(p1_, 2000);
  if (rising & kMaskStart2) start(p2_, 2001);
}

void Game::OnCheckRecord(const CheckRecord& r) {
  for (int i = 0; i < kRegionCount; ++i) regions_[static_cast<std::size_t>(i)] = r.Region(i);
  has_regions_ = true;
  width_ = std::clamp(r.PreviewWidth, 64, 1024);
  height_ = std::clamp(r.PreviewHeight, 64, 768);
  for (int i = 0; i < kRegionCount; ++i) {
    if (r.CaptureDC(i) != 0) check_started_ = true;
  }
}

void Game::OnDlgRecord(const DlgRecord& r) { dlg_ = r; }

void Game::End() {
  if (stage_ == Stage::kEnded) return;
  stage_ = Stage::kEnded;
  Post(WM_EMULATOR_STATUS, 1000, 1000);
}

std::vector<Message> Game::TakePosted() {
  std::vector<Message> out;
  out.swap(posted_);
  return out;
}

std::array<bool, kRegionCount> Game::VisiblePatches() const {
  std::array<bool, kRegionCount> v{};
  switch (stage_) {
    case Stage::kAttract:
      v[0] = v[3] = v[kStartRegion] = true;
      break;
    case Stage::kPlay:
      v[0] = !p1_;
      v[3] = !p2_;
      break;
    case Stage::kGameOver:
      v[1] = v[4] = true;
      break;
    default:
      break;
  }
  return v;
}

QImage Game::RenderGame(int frame) const {
  QImage img;
  if (stage_ == Stage::kLoading || stage_ == Stage::kEnded) {
    img = QImage(width_, height_, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter g(&img);
    QFont f(QStringLiteral("DejaVu Sans Mono"));
    f.setPixelSize(std::max(10, height_ / 16));
    g.setFont(f);
    g.setPen(Qt::white);
    const QString text = stage_ == Stage::kLoading ? QStringLiteral("LOADING %1 %").arg(progress_)
                                                   : QStringLiteral("BYE");
    g.drawText(img.rect(), Qt::AlignCenter, text);
  } else {
    const auto phase = stage_ == Stage::kPlay       ? fakegame::Phase::kPlay
                       : stage_ == Stage::kGameOver ? fakegame::Phase::kGameOver
                                                    : fakegame::Phase::kAttract;
    img = fakegame::DrawFrame(fakegame::LookOf(namefile_), QString::fromStdString(namefile_), phase,
                              frame, width_, height_, score_);
  }
  if (!has_regions_) return img;
  const auto visible = VisiblePatches();
  for (int i = 0; i < kRegionCount; ++i) {
    if (!visible[static_cast<std::size_t>(i)]) continue;
    const Rect32& r = regions_[static_cast<std::size_t>(i)];
    const Patch p = PatchOf(namefile_, i);
    for (int y = 0; y < kBlockSide; ++y) {
      for (int x = 0; x < kBlockSide; ++x) {
        const std::int64_t px = static_cast<std::int64_t>(r.left) + x;
        const std::int64_t py = static_cast<std::int64_t>(r.top) + y;
        if (px < 0 || py < 0 || px >= img.width() || py >= img.height()) continue;
        img.setPixel(static_cast<int>(px), static_cast<int>(py),
                     0xFF000000u | p[static_cast<std::size_t>(y * kBlockSide + x)]);
      }
    }
  }
  return img;
}

std::array<Patch, kBlockCount> Game::Blocks(const QImage& game) const {
  std::array<Patch, kBlockCount> out{};
  for (int i = 0; i < kBlockCount; ++i) {
    const Rect32& r = regions_[static_cast<std::size_t>(i)];
    for (int y = 0; y < kBlockSide; ++y) {
      for (int x = 0; x < kBlockSide; ++x) {
        const std::int64_t px = static_cast<std::int64_t>(r.left) + x;
        const std::int64_t py = static_cast<std::int64_t>(r.top) + y;
        const bool inside = px >= 0 && py >= 0 && px < game.width() && py < game.height();
        out[static_cast<std::size_t>(i)][static_cast<std::size_t>(y * kBlockSide + x)] =
            inside ? (game.pixel(static_cast<int>(px), static_cast<int>(py)) & 0x00FFFFFFu) : 0u;
      }
    }
  }
  return out;
}

void Game::DrawMessages(QImage& picture) const {
  QPainter g(&picture);
  g.setRenderHint(QPainter::Antialiasing);
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setBold(true);
  f.setPixelSize(std::max(9, picture.height() / 18));
  g.setFont(f);
  const int w = picture.width(), h = picture.height();
  if (Shown(dlg_.Slot1Place)) {
    const QString text = QString::fromLatin1(dlg_.Slot1String().c_str());
    const QRect box(w / 10, h / 3, w * 8 / 10, h / 3);
    g.fillRect(box, QColor(0, 0, 40, 200));
    g.setPen(QColor(255, 255, 120));
    g.drawRect(box.adjusted(0, 0, -1, -1));
    g.drawText(box, Qt::AlignCenter, text);
  }
  if (Shown(dlg_.Slot2Place)) {
    const QString text = QString::fromLatin1(dlg_.Slot2String().c_str());
    const QRect band(0, h - h / 8, w, h / 8);
    g.fillRect(band, QColor(0, 0, 0, 170));
    g.setPen(Qt::white);
    g.drawText(band, Qt::AlignCenter, text);
  }
}

std::string Game::VisibleState() const {
  std::string s = StageName(stage_);
  s += p1_ ? "+p1" : "";
  s += p2_ ? "+p2" : "";
  s += has_regions_ ? "" : "(no regions)";
  if (Shown(dlg_.Slot1Place)) s += "|1:" + dlg_.Slot1String();
  if (Shown(dlg_.Slot2Place)) s += "|2:" + dlg_.Slot2String();
  return s;
}

}  // namespace cs::standin
