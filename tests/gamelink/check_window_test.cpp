// The window "Game Configuration" over the check settings: its controls under their names and
// captions, picking a region on the preview, the up-downs, edits that are not numbers, saving
// (and failing to), the test buttons' records on real mailslots, the live captures following the
// screen check, the preview following the emulator's picture, and the whole road against the
// real emulator stand-in, which also leaves a picture of the window (check-window.png in the
// build folder, to look at).
#include "gamelink/check_window.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QToolButton>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "gamelink/check_settings.h"
#include "gamelink/screen_check.h"
#include "gamelink/shared_frame.h"
#include "gamelink_test_util.h"
#include "platform/log.h"
#include "platform/process.h"
#include "standin_game.h"

#ifndef COINSHELL_STANDIN
#error "COINSHELL_STANDIN must name the stand-in binary"
#endif

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::HookedLoop;
using testing::SlotPeer;
using testing::TempCabinet;
using testing::Word;

QString Q(const char* s) { return QString::fromUtf8(s); }

// The pictures and boxes of the seven regions, in region order.
constexpr const char* kCaptureName[] = {"CiMp1", "Cimp2", "Cimp3", "Cimp4",
                                        "Cimp5", "Cimp6", "Cimp8"};
constexpr const char* kReferenceName[] = {"Cimp10", "Cimp11", "Cimp12", "Cimp13",
                                          "Cimp14", "Cimp15", "Cimp16"};
constexpr const char* kBoxName[] = {"CbP1", "Cbp2", "Cbp3", "Cbp4", "CbP5", "Cbp6", "Cbp8"};

// A picture in which every pixel has its own colour, so a copy from the wrong place shows.
std::uint32_t ColourAt(int x, int y) {
  return (static_cast<std::uint32_t>(x & 0xFF) << 16) |
         (static_cast<std::uint32_t>(y & 0xFF) << 8) |
         static_cast<std::uint32_t>(((x >> 8) << 4) | (y >> 8));
}
QImage Pattern(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xFF000000u | ColourAt(x, y));
  }
  return img;
}

// A press and a release of the left button at a widget's point.
void ClickAt(QWidget* w, QPoint p) {
  const QPointF local(p), global(w->mapToGlobal(p));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

class CheckWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([this](const std::string& line) { log_.push_back(line); });
    SetMessageBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
    window_ = CheckWindow::Create(loop_, check_, flags_, [this] { return name_; });
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    window_.reset();
    SetMessageBoxHandler({});
    SetLogSink({});
  }

  template <typename T>
  T* Find(const char* name) const {
    T* w = window_->widget()->findChild<T*>(Q(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) {
    auto* b = Find<QAbstractButton>(name);
    ASSERT_NE(b, nullptr);
    b->click();
  }
  // A click on the preview panel at a point of its client area (inside the one-pixel border).
  void ClickPreview(int x, int y) { ClickAt(Find<QWidget>("Cimp7"), QPoint(x + 1, y + 1)); }
  void Advance(int ms) { loop_.inner.Advance(ms); }
  // The colour a picture widget shows at pixel (x, y) of its picture (magnified twice, inside a
  // one-pixel border).
  std::uint32_t Shown(const char* name, int x, int y) const {
    const QImage img = Find<QWidget>(name)->grab().toImage();
    return img.pixel(1 + 2 * x, 1 + 2 * y) & 0x00FFFFFFu;
  }
  std::vector<std::string> FilesWritten() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(cab_.Files())) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  TempCabinet cab_;
  HookedLoop loop_;
  GameFlags flags_;
  TFrmCheck check_{loop_, cab_.Ipc(), cab_.Files()};
  std::string name_ = "GALAXO";
  std::unique_ptr<CheckWindow> window_;
  std::vector<std::string> boxes_, log_;
};

TEST_F(CheckWindowTest, ControlsUnderTheirNamesAndCaptions) {
  QWidget* form = window_->widget();
  EXPECT_EQ(form->objectName(), Q("TFrmCheck"));
  EXPECT_EQ(form->windowTitle(), Q("Game Configuration"));
  EXPECT_EQ(form->size(), QSize(701, 588));
  EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "a fixed size";
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window_->Visible()) << "created hidden";

  struct Button {
    const char* name;
    const char* caption;
  };
  for (const Button& b : std::vector<Button>{{"BtStartComp", "Start"},
                                             {"BtStopComp", "Stop Check"},
                                             {"BtStartAll", "Start All"},
                                             {"BtStopAll", "Stop All"},
                                             {"BtSave", "Save"},
                                             {"BtFire", "System Test"},
                                             {"btx10", "coin 1"},
                                             {"Btx11", "Coin 2"},
                                             {"BtMsg1", "Msg1"},
                                             {"BtMsg1_", "Msg1"}}) {
    auto* w = Find<QPushButton>(b.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(), Q(b.caption)) << b.name;
  }

  struct Region {
    const char* button;
    const char* caption;
    int tag;
    const char* capture;
    const char* reference;
    const char* box;
  };
  const std::vector<Region> regions = {
      {"SbPlayer1", "P1-B1", 1, "CiMp1", "Cimp10", "CbP1"},
      {"SbPlayer2", "P1-B2", 2, "Cimp2", "Cimp11", "Cbp2"},
      {"SbPlayer22", "P1-B3", 3, "Cimp3", "Cimp12", "Cbp3"},
      {"SbPlayer3", "P2-B1", 4, "Cimp4", "Cimp13", "Cbp4"},
      {"Sbplayer4", "P2-B2", 5, "Cimp5", "Cimp14", "CbP5"},
      {"SbPlayer44", "P2.B3", 6, "Cimp6", "Cimp15", "Cbp6"},
      {"SbPlayer45", "Bmp Start", 8, "Cimp8", "Cimp16", "Cbp8"},
  };
  QButtonGroup* group = nullptr;
  for (const Region& r : regions) {
    SCOPED_TRACE(r.button);
    auto* b = Find<QToolButton>(r.button);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->text(), Q(r.caption));
    EXPECT_EQ(b->property("Tag").toInt(), r.tag);
    EXPECT_TRUE(b->isCheckable());
    EXPECT_FALSE(b->isChecked()) << "no region button is down at first";
    ASSERT_NE(b->group(), nullptr);
    if (group == nullptr) group = b->group();
    EXPECT_EQ(b->group(), group) << "one group for the seven";
    EXPECT_EQ(Find<QWidget>(r.capture)->size(), QSize(22, 22)) << "10 x 10, magnified";
    EXPECT_EQ(Find<QWidget>(r.reference)->size(), QSize(42, 42)) << "20 x 20, magnified";
    auto* box = Find<QCheckBox>(r.box);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
  }
  ASSERT_NE(group, nullptr);
  EXPECT_TRUE(group->exclusive());
  EXPECT_EQ(group->buttons().size(), 7);

  QWidget* panel = Find<QWidget>("Cimp7");
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->size(), QSize(507, 380));
  const QImage shot = panel->grab().toImage();
  EXPECT_NE(shot.pixel(0, 0) & 0xFFFFFFu, 0xFFFFFFu) << "a border";
  EXPECT_EQ(shot.pixel(1, 1) & 0xFFFFFFu, 0xFFFFFFu) << "white inside";
  EXPECT_EQ(shot.pixel(505, 378) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_NE(shot.pixel(506, 379) & 0xFFFFFFu, 0xFFFFFFu);

  struct UpDown {
    const char* name;
    const char* edit;
    int min, max, value;
  };
  for (const UpDown& u : std::vector<UpDown>{{"UpDown2", "EdWidth", 2, 10, 2},
                                             {"UpDown1", "EdHeight", 2, 10, 2},
                                             {"UpDown3", "Edit1", -50, 50, 2},
                                             {"UpDown4", "Edit2", -50, 50, 2}}) {
    SCOPED_TRACE(u.name);
    auto* s = Find<QSpinBox>(u.name);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->minimum(), u.min);
    EXPECT_EQ(s->maximum(), u.max);
    EXPECT_EQ(s->value(), u.value);
    auto* e = s->findChild<QLineEdit*>(Q(u.edit));
    ASSERT_NE(e, nullptr) << "the up-down's edit";
    EXPECT_EQ(e->text(), QString::number(u.value));
  }
  std::vector<QString> labels;
  for (auto* l : form->findChildren<QLabel*>()) labels.push_back(l->text());
  for (const char* text : {"Width", "height", "Off X", "Off Y", "StartUp Time"}) {
    EXPECT_NE(std::find(labels.begin(), labels.end(), Q(text)), labels.end()) << text;
  }

  struct Edit {
    const char* name;
    const char* text;
    bool hidden;
  };
  for (const Edit& e : std::vector<Edit>{
           {"EdWidth2", "302", true}, {"EdHeight2", "224", true}, {"EdTime", "5", false}}) {
    auto* w = Find<QLineEdit>(e.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(), Q(e.text)) << e.name;
    EXPECT_EQ(w->isHidden(), e.hidden) << e.name;
  }
}

TEST_F(CheckWindowTest, OpensCentredOnTopAndClosesBack) {
  window_->ShowCheckWindow();
  QApplication::processEvents();
  EXPECT_TRUE(window_->Visible());
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint centre = window_->widget()->frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - screen.center().x()), 1);
  EXPECT_LE(std::abs(centre.y() - screen.center().y()), 1);

  // The close box hides the window; the data object and the window stay for the next opening.
  window_->widget()->close();
  EXPECT_FALSE(window_->Visible());
  // Hidden, it no longer follows the data.
  check_.MatchBox[0] = true;
  Advance(500);
  EXPECT_FALSE(Find<QCheckBox>("CbP1")->isChecked());
  window_->ShowCheckWindow();
  EXPECT_TRUE(window_->Visible());
  EXPECT_TRUE(Find<QCheckBox>("CbP1")->isChecked()) << "brought in line on opening";
}

TEST_F(CheckWindowTest, AClickOnThePreviewPicksTheRegionOfTheButtonDown) {
  window_->SetPreviewImage(Pattern(302, 224));
  // No button down yet: a click sets nothing.
  const auto before = check_.CheckRec.Encode();
  ClickPreview(100, 50);
  EXPECT_EQ(check_.CheckRec.Encode(), before);
  EXPECT_EQ(check_.Reference[3].Pixel(0, 0), CheckPicture::kBrush);

  struct Case {
    const char* what;
    const char* button;
    int region;
    int width, height;  // the block size set on the up-downs first
    int x, y;
  };
  const std::vector<Case> cases = {
      {"P2-B1 at 100, 50", "SbPlayer3", 3, 2, 2, 100, 50},
      {"Bmp Start at the corner, 4 x 6", "SbPlayer45", 6, 4, 6, 0, 0},
      {"P1-B1 near the right border: the copy runs off the picture, then off the panel",
       "SbPlayer1", 0, 10, 10, 490, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Find<QSpinBox>("UpDown2")->setValue(c.width);
    Find<QSpinBox>("UpDown1")->setValue(c.height);
    Click(c.button);
    ClickPreview(c.x, c.y);
    EXPECT_EQ(check_.CheckRec.Region(c.region), (Rect32{c.x, c.y, c.x + c.width, c.y + c.height}));
    const CheckPicture& ref = check_.Reference[static_cast<std::size_t>(c.region)];
    for (int j = 0; j < 20; ++j) {
      for (int i = 0; i < 20; ++i) {
        const int px = c.x + 2 + i, py = c.y + j;
        // The panel's pixels: the picture, white around it, nothing past the panel.
        const std::uint32_t want = px >= CheckWindow::kClientWidth ? 0u
                                   : px < 302 && py < 224          ? ColourAt(px, py)
                                                                   : 0xFFFFFFu;
        ASSERT_EQ(ref.Pixel(i, j), want) << i << ", " << j;
      }
    }
    // The reference picture on the window shows what was copied.
    EXPECT_EQ(Shown(kReferenceName[c.region], 0, 0), ref.Pixel(0, 0));
    EXPECT_EQ(Shown(kReferenceName[c.region], 19, 19), ref.Pixel(19, 19));
  }
}

TEST_F(CheckWindowTest, UpDownsSetTheBlockSizeAndTheOffsets) {
  for (int i = 0; i < kRegionCount; ++i) {
    check_.CheckRec.Region(i) = Rect32{10 * i, 5 * i + 1, 10 * i + 2, 5 * i + 3};
  }
  Find<QSpinBox>("UpDown2")->setValue(4);
  Find<QSpinBox>("UpDown1")->stepBy(4);  // arrow clicks: 2 -> 6
  EXPECT_EQ(check_.RegionWidth, 4);
  EXPECT_EQ(check_.RegionHeight, 6);
  for (int i = 0; i < kRegionCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(check_.CheckRec.Region(i), (Rect32{10 * i, 5 * i + 1, 10 * i + 4, 5 * i + 7}));
    EXPECT_EQ(check_.Capture[static_cast<std::size_t>(i)].Width(), 4);
    EXPECT_EQ(check_.Capture[static_cast<std::size_t>(i)].Height(), 6);
  }
  // The capture picture shows its 4 x 6 part, the rest of its frame stays empty.
  check_.Capture[0].FillRect(0, 0, 20, 20, 0x123456);
  window_->Refresh();
  EXPECT_EQ(Shown("CiMp1", 3, 5), 0x123456u);
  EXPECT_NE(Shown("CiMp1", 4, 0), 0x123456u);
  EXPECT_NE(Shown("CiMp1", 0, 6), 0x123456u);

  Find<QSpinBox>("UpDown3")->setValue(-7);
  Find<QSpinBox>("UpDown4")->setValue(60);  // the up-down stops at 50
  EXPECT_EQ(check_.CheckRec.OffX, -7);
  EXPECT_EQ(check_.CheckRec.OffY, 50);
  EXPECT_EQ(check_.RegionWidth, 4) << "the offsets leave the block alone";
}

TEST_F(CheckWindowTest, AnEditThatIsNotANumberStopsWithAMessage) {
  SlotPeer inp(cab_.Ipc(), kCheckSlotName);
  struct Case {
    const char* what;
    const char* edit;
    const char* text;
    const char* button;
    const char* named;  // in the message
  };
  const std::vector<Case> cases = {
      {"start-up time, Start All", "EdTime", "abc", "BtStartAll", "StartUp Time"},
      {"start-up time, Save", "EdTime", "12s", "BtSave", "StartUp Time"},
      {"empty preview width, Start All", "EdWidth2", "", "BtStartAll", "preview width"},
      {"preview height, Save", "EdHeight2", "2.5", "BtSave", "preview height"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes_.clear();
    Find<QLineEdit>("EdTime")->setText(Q("9"));
    Find<QLineEdit>("EdWidth2")->setText(Q("400"));
    Find<QLineEdit>("EdHeight2")->setText(Q("300"));
    Find<QLineEdit>(c.edit)->setText(Q(c.text));
    check_.CheckRec.StartUpTime = 1;
    const CheckRecord before = check_.CheckRec;
    Click(c.button);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find(std::string("\"") + c.text + "\""), std::string::npos) << boxes_[0];
    EXPECT_NE(boxes_[0].find(c.named), std::string::npos) << boxes_[0];
    EXPECT_EQ(Find<QLabel>("LbStatus")->text().toStdString(), boxes_[0]) << "shown on the window";
    // Nothing from the failing edit on: no record, no file, the time and the preview unchanged.
    EXPECT_TRUE(inp.Take().empty());
    EXPECT_TRUE(FilesWritten().empty());
    EXPECT_EQ(check_.CheckRec.StartUpTime, before.StartUpTime);
    EXPECT_EQ(check_.CheckRec.PreviewWnd, 0u);
    EXPECT_EQ(check_.CheckRec.PreviewRect, before.PreviewRect);
  }
  // Blanks around a number are fine; the record goes out with the edits' values.
  boxes_.clear();
  Find<QLineEdit>("EdWidth2")->setText(Q("302"));
  Find<QLineEdit>("EdHeight2")->setText(Q("224"));
  Find<QLineEdit>("EdTime")->setText(Q(" 7 "));
  Click("BtStartAll");
  EXPECT_TRUE(boxes_.empty());
  const auto got = inp.Take();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Word(got[0], 188), 7u);
  EXPECT_NE(Word(got[0], 56), 0u) << "the panel's window id";
  EXPECT_EQ(Word(got[0], 156), 0u);
  EXPECT_EQ(Word(got[0], 164), 302u);
  EXPECT_EQ(Word(got[0], 168), 224u);
}

TEST_F(CheckWindowTest, SaveWritesTheGamesFilesThatTheNextLaunchLoads) {
  // A stale .xy of another length is replaced.
  std::ofstream(cab_.Files() / "GALAXO.xy") << std::string(300, 'x');
  window_->SetPreviewImage(Pattern(302, 224));
  Find<QSpinBox>("UpDown2")->setValue(6);
  Find<QSpinBox>("UpDown1")->setValue(5);
  const char* buttons[] = {"SbPlayer1", "SbPlayer2",  "SbPlayer22", "SbPlayer3",
                           "Sbplayer4", "SbPlayer44", "SbPlayer45"};
  for (int i = 0; i < kRegionCount; ++i) {
    Click(buttons[i]);
    ClickPreview(20 + 30 * i, 40 + 7 * i);
  }
  Find<QLineEdit>("EdTime")->setText(Q("6"));
  Click("BtSave");
  EXPECT_TRUE(boxes_.empty());
  EXPECT_NE(Find<QLabel>("LbStatus")->text().indexOf(Q("Saved")), -1);
  EXPECT_EQ(FilesWritten(), (std::vector<std::string>{
                                "GALAXO.xy", "GALAXOt1.bmp", "GALAXOt2.bmp", "GALAXOt3.bmp",
                                "GALAXOt4.bmp", "GALAXOt5.bmp", "GALAXOt6.bmp", "GALAXOt7.bmp"}));
  std::ifstream xy(cab_.Files() / "GALAXO.xy", std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(xy)), {});
  const auto want = check_.CheckRec.Encode();
  EXPECT_EQ(bytes, std::vector<std::uint8_t>(want.begin(), want.end()));
  EXPECT_EQ(Word(bytes, 188), 6u);
  for (int i = 1; i <= 7; ++i) {
    std::ifstream bmp(cab_.Files() / ("GALAXOt" + std::to_string(i) + ".bmp"), std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(bmp)), {});
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(Word(b, 18), 20u);
    EXPECT_EQ(Word(b, 22), 20u);
    EXPECT_EQ(b[28], 32) << "32 bits per pixel";
  }

  // The next launch of the game loads exactly these settings and pictures.
  VirtualEventLoop loop;
  TFrmCheck next(loop, cab_.Ipc(), cab_.Files());
  ASSERT_EQ(next.LoadCheckSettings("GALAXO"), XyLoad::kFull);
  EXPECT_EQ(next.CheckRec.Encode(), want) << "byte for byte";
  ASSERT_EQ(next.LoadReferencePictures("GALAXO"), 7);
  for (std::size_t i = 0; i < kRegionCount; ++i) {
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 20; ++x) {
        ASSERT_EQ(next.Reference[i].Pixel(x, y), check_.Reference[i].Pixel(x, y));
      }
    }
  }
  GameFlags flags;
  ASSERT_TRUE(next.PrepareLaunch("GALAXO", flags));
  EXPECT_EQ(next.RegionWidth, 6);
  EXPECT_EQ(next.RegionHeight, 5);
  EXPECT_EQ(next.StartUpIntervalMs(), 6000);
}

TEST_F(CheckWindowTest, AFailedSaveShowsItsErrorAndWritesNoXy) {
  struct Case {
    const char* what;
    std::function<bool()> arrange;  // false: the case cannot run here
    const char* said;               // part of the message
    std::vector<std::string> left;  // what the directory holds afterwards
  };
  const std::vector<Case> cases = {
      {"read-only directory",
       [&] {
         ::chmod(cab_.Files().c_str(), 0500);
         // Root writes anyway: this case needs an ordinary user.
         return ::access(cab_.Files().c_str(), W_OK) != 0;
       },
       "GALAXOt1.bmp",
       {}},
      {"a directory in the place of the third picture",
       [&] { return fs::create_directory(cab_.Files() / "GALAXOt3.bmp"); },
       "GALAXOt3.bmp",
       {"GALAXOt1.bmp", "GALAXOt2.bmp", "GALAXOt3.bmp"}},
      {"no game selected",
       [&] {
         name_ = "";
         return true;
       },
       "No game",
       {}},
      {"a name that is not a short name",
       [&] {
         name_ = "../GALAXO";
         return true;
       },
       "not a short name",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::chmod(cab_.Files().c_str(), 0700);
    fs::remove_all(cab_.Files());
    fs::create_directory(cab_.Files());
    name_ = "GALAXO";
    boxes_.clear();
    if (!c.arrange()) continue;
    Click("BtSave");
    ::chmod(cab_.Files().c_str(), 0700);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].find(c.said), std::string::npos) << boxes_[0];
    EXPECT_EQ(FilesWritten(), c.left);
    EXPECT_FALSE(fs::exists(cab_.Root() / "GALAXO.xy"));
  }
}

TEST_F(CheckWindowTest, TestButtonsSendTheirRecordsWithTheirWaits) {
  SlotPeer key(cab_.Ipc(), kKeySlotName);
  using Stamped = std::pair<std::int64_t, std::uint32_t>;  // ms, mask
  std::vector<Stamped> got;
  const auto collect = [&](std::int64_t now) {
    for (const auto& r : key.Take()) {
      ASSERT_EQ(r.size(), 4u);
      got.emplace_back(now, Word(r, 0));
    }
  };
  loop_.onSleep = [&](std::int64_t now, int) { collect(now); };
  struct Case {
    const char* button;
    std::vector<Stamped> records;  // time from the click
    std::int64_t takes;
  };
  const std::vector<Case> cases = {
      {"BtFire", {{0, 0x800}}, 0},
      {"btx10", {{0, 0x1}, {300, 0}, {600, 0x2}, {900, 0}}, 1200},
      {"Btx11", {{0, 0x2001}, {300, 0}, {600, 0x2}, {900, 0}}, 1200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    got.clear();
    const std::int64_t t0 = loop_.NowMs();
    Click(c.button);
    collect(loop_.NowMs());
    for (auto& s : got) s.first -= t0;
    EXPECT_EQ(got, c.records);
    EXPECT_EQ(loop_.NowMs() - t0, c.takes);
    EXPECT_NE(Find<QLabel>("LbStatus")->text().indexOf(Q("sent")), -1);
  }
  loop_.onSleep = nullptr;

  SlotPeer dlg(cab_.Ipc(), kDlgSlotName);
  Click("BtMsg1");
  auto d = dlg.Take();
  ASSERT_EQ(d.size(), 1u);
  ASSERT_EQ(d[0].size(), 448u);
  EXPECT_EQ(Word(d[0], 0), 1u);
  EXPECT_EQ(Word(d[0], 12), 5u);
  EXPECT_EQ(Word(d[0], 16), 5u);
  const std::string text = "Press P1 or P2 to Start\nany other key to Exit  \n";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[0][44])), text);
  Click("BtMsg1_");
  d = dlg.Take();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(Word(d[0], 12), 0u);
  EXPECT_EQ(Word(d[0], 16), 0u);
  EXPECT_EQ(d[0][44], 0);

  SlotPeer inp(cab_.Ipc(), kCheckSlotName);
  check_.CheckRec.CheckWord = 77;
  Click("BtStartComp");
  Click("BtStopComp");
  Click("BtStartAll");
  Click("BtStopAll");
  const auto r = inp.Take();
  ASSERT_EQ(r.size(), 4u);
  const std::size_t handles[] = {32, 36, 40, 44, 48, 52, 196};
  const std::uint32_t ids[] = {1, 2, 3, 4, 5, 6, 8};
  EXPECT_EQ(Word(r[0], 4), 0u) << "start check clears CheckWord";
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(Word(r[0], handles[i]), ids[i]);
    EXPECT_EQ(Word(r[1], handles[i]), 0u) << "stop check";
  }
  EXPECT_NE(Word(r[2], 56), 0u) << "start preview";
  EXPECT_EQ(Word(r[3], 56), 0u) << "stop preview";
  for (const auto& rec : r) EXPECT_EQ(Word(rec, 0), 1u);

  // Without an emulator the records are lost; the window says so.
  key.Server().Close();
  Click("BtFire");
  EXPECT_NE(Find<QLabel>("LbStatus")->text().indexOf(Q("no emulator")), -1);
}

TEST_F(CheckWindowTest, LiveCapturesAndMatchBoxesFollowTheScreenCheck) {
  window_->ShowCheckWindow();
  // The emulator's frame: block 0 in one colour (its reference the same), block 1 in another.
  std::vector<std::uint8_t> frame(kSharedFrameSize, 0);
  const DibHeader h = BlockHeader(32);
  const auto hb = EncodeDibHeader(h);
  std::copy(hb.begin(), hb.end(), frame.begin() + kDibHeaderOffset);
  for (int i = 0; i < kBlockCount; ++i) {
    std::array<std::uint32_t, kBlockSide * kBlockSide> px;
    px.fill(i == 0 ? 0x00AA3366u : 0x00102030u + static_cast<std::uint32_t>(i));
    const auto b = EncodeDibBlock(h, px);
    std::copy(b.begin(), b.end(), frame.begin() + static_cast<long>(BlockOffset(i)));
  }
  check_.Reference[0].FillRect(0, 0, 20, 20, 0x00AA3366u);
  GameFlags::Set(flags_.EmulatorRunning, true);
  ASSERT_TRUE(ComparisonPass(frame, check_, flags_));

  Advance(CheckWindow::kRefreshMs);
  EXPECT_TRUE(Find<QCheckBox>("CbP1")->isChecked());
  for (int i = 1; i < kRegionCount; ++i) EXPECT_FALSE(Find<QCheckBox>(kBoxName[i])->isChecked());
  EXPECT_EQ(Shown("CiMp1", 1, 1), 0xAA3366u);
  EXPECT_EQ(Shown("Cimp8", 1, 1), 0x102036u);
  // The main window clears the flag; the next pass shows it again, the window follows.
  GameFlags::Set(flags_.MatchP1B1, false);
  check_.MatchBox[0] = false;
  Advance(CheckWindow::kRefreshMs);
  EXPECT_FALSE(Find<QCheckBox>("CbP1")->isChecked());

  // The launch preparation changes block size, offsets and edits: the window shows them.
  std::vector<std::uint8_t> xy(216, 0);
  const auto put = [&](std::size_t off, std::int32_t v) {
    for (int i = 0; i < 4; ++i) xy[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(60, 10), put(64, 20), put(68, 14), put(72, 26);  // Region1: 4 x 6
  put(172, -9);                                        // OffX
  std::ofstream(cab_.Files() / "GALAXO.xy", std::ios::binary)
      .write(reinterpret_cast<const char*>(xy.data()), 216);
  GameFlags::Set(flags_.EmulatorRunning, false);
  ASSERT_TRUE(check_.PrepareLaunch("GALAXO", flags_));
  Advance(CheckWindow::kRefreshMs);
  EXPECT_EQ(Find<QSpinBox>("UpDown2")->value(), 4);
  EXPECT_EQ(Find<QSpinBox>("UpDown1")->value(), 6);
  EXPECT_EQ(Find<QSpinBox>("UpDown3")->value(), -9);
  EXPECT_EQ(Find<QLineEdit>("EdTime")->text(), Q("2"));
  EXPECT_EQ(Find<QLineEdit>("EdWidth2")->text(), Q("303"));
  EXPECT_EQ(check_.RegionWidth, 4) << "showing the values runs no handler";
  EXPECT_EQ(check_.CheckRec.Region(3), (Rect32{0, 0, 4, 6}));
}

TEST_F(CheckWindowTest, ThePreviewFollowsThePictureTheEmulatorWrites) {
  const QImage game = Pattern(302, 224);
  const fs::path png = cab_.Root() / "latest.png";
  // The emulator's file is its picture at twice the size.
  ASSERT_TRUE(game.scaled(604, 448, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .save(QString::fromStdString(png.string()), "PNG"));
  window_->SetPreviewSource(png);
  window_->ShowCheckWindow();
  Advance(CheckWindow::kRefreshMs);
  EXPECT_EQ(window_->PreviewImage().pixel(100, 50) & 0xFFFFFFu, 0xFFFFFFu)
      << "no preview asked for yet";

  Click("BtStartAll");
  Advance(CheckWindow::kRefreshMs);
  const QImage shown = window_->PreviewImage();
  EXPECT_EQ(shown.copy(0, 0, 302, 224), game) << "pixel for pixel, at the preview size";
  EXPECT_EQ(shown.pixel(302, 0) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_NE(Find<QLabel>("LbPreview")->text().indexOf(Q("302 x 224")), -1);

  // A file that is not a picture is refused once in the log; the last picture stays.
  std::ofstream(cab_.Root() / "bad.png") << "not a picture";
  fs::rename(cab_.Root() / "bad.png", png);
  log_.clear();
  Advance(3 * CheckWindow::kRefreshMs);
  EXPECT_EQ(window_->PreviewImage(), shown);
  EXPECT_EQ(log_.size(), 1u);

  // After "Stop All" the file is no longer followed.
  Click("BtStopAll");
  ASSERT_TRUE(Pattern(40, 40).save(QString::fromStdString(png.string()), "PNG"));
  Advance(CheckWindow::kRefreshMs);
  EXPECT_EQ(window_->PreviewImage(), shown);
}

// The whole road with the real emulator stand-in: its picture reaches the panel, the operator
// picks a region on it, the screen check's live captures and matches show, and "Save" writes
// what the next launch uses. Leaves the window's picture in the build folder.
class CheckWindowStandinTest : public CheckWindowTest {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    CheckWindowTest::TearDown();
  }
  // Runs the window's clock and screen-check passes until pred holds (15 s at most).
  bool WaitFor(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
      comp_.Loop();
      Advance(20);
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  std::string shm_ = testing::UniqueShmName("checkwin");
  TThrComp comp_{flags_, check_, shm_};
  pid_t pid_ = 0;
};

TEST_F(CheckWindowStandinTest, PickingOnTheEmulatorsPictureAndSaving) {
  SpawnRequest make{
      COINSHELL_STANDIN, {"--make-check-files", "GALAXO", cab_.Files().string()}, {}, {}, true};
  const auto maker = SpawnDetached(make);
  ASSERT_TRUE(maker);
  int status = 0;
  ::waitpid(*maker, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(comp_.CreateSharedBlock());
  ASSERT_TRUE(check_.PrepareLaunch("GALAXO", flags_));
  GameFlags::Set(flags_.EmulatorRunning, true);

  const fs::path shots = cab_.Root() / "shots";
  SpawnRequest run{COINSHELL_STANDIN,
                   {"-noswitchbpp", "GALAXO"},
                   cab_.Root(),
                   {{"COINSHELL_IPC", cab_.Ipc().string()},
                    {"COINSHELL_SHM", shm_},
                    {"COINSHELL_STANDIN_SCREENSHOTS", shots.string()},
                    {"COINSHELL_STANDIN_MAX_SECONDS", "60"}},
                   true};
  const auto pid = SpawnDetached(run);
  ASSERT_TRUE(pid);
  pid_ = *pid;
  window_->SetPreviewSource(shots / "latest.png");
  window_->ShowCheckWindow();

  // Once the emulator listens, "Start All" and "Start".
  ASSERT_TRUE(WaitFor([&] { return fs::exists(MailslotPath(cab_.Ipc(), kCheckSlotName)); }));
  ASSERT_TRUE(WaitFor([&] {
    Click("BtStartAll");
    Click("BtStartComp");
    return Find<QLabel>("LbStatus")->text().indexOf(Q("sent")) != -1;
  }));
  // The attract picture shows the patches of P1-B1, P2-B1 and Bmp Start where the settings put
  // them; the screen check matches them and the window shows it.
  const auto regions = standin::DefaultRegions();
  const auto patchShown = [&](int region) {
    const QImage img = window_->PreviewImage();
    const Rect32& r = regions[static_cast<std::size_t>(region)];
    const standin::Patch p = standin::PatchOf("GALAXO", region);
    for (int y = 0; y < kBlockSide; ++y) {
      for (int x = 0; x < kBlockSide; ++x) {
        if ((img.pixel(r.left + x, r.top + y) & 0xFFFFFFu) != p[y * kBlockSide + x]) return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(WaitFor([&] { return patchShown(0) && patchShown(3) && patchShown(6); }));
  ASSERT_TRUE(WaitFor([&] {
    return Find<QCheckBox>("CbP1")->isChecked() && Find<QCheckBox>("Cbp4")->isChecked() &&
           Find<QCheckBox>("Cbp8")->isChecked();
  }));
  EXPECT_EQ(Shown("CiMp1", 1, 1), standin::PatchOf("GALAXO", 0)[kBlockSide + 1]);

  // The operator picks "P2-B1" again, two pixels to the left, on the emulator's picture: the
  // reference is copied from two pixels to the right, so it starts with the patch.
  Click("SbPlayer3");
  ClickPreview(regions[3].left - 2, regions[3].top);
  const standin::Patch p4 = standin::PatchOf("GALAXO", 3);
  for (int y = 0; y < kBlockSide; ++y) {
    for (int x = 0; x < kBlockSide; ++x) {
      ASSERT_EQ(check_.Reference[3].Pixel(x, y), p4[y * kBlockSide + x]) << x << ", " << y;
    }
  }
  EXPECT_EQ(check_.CheckRec.Region4.left, regions[3].left - 2);
  window_->Refresh();

  const char* dir = std::getenv("COINSHELL_BINARY_DIR");
  const fs::path out = fs::path(dir ? dir : ".") / "check-window.png";
  EXPECT_TRUE(window_->Screenshot().save(QString::fromStdString(out.string()), "PNG")) << out;

  Click("BtSave");
  EXPECT_TRUE(boxes_.empty());
  VirtualEventLoop loop;
  TFrmCheck next(loop, cab_.Ipc(), cab_.Files());
  ASSERT_EQ(next.LoadCheckSettings("GALAXO"), XyLoad::kFull);
  EXPECT_EQ(next.CheckRec.Region4.left, regions[3].left - 2);
}

}  // namespace
}  // namespace cs

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
