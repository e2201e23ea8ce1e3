// The panel window offscreen: clicks and keys press the switches they show, the line carries the
// window's changes, and a pressed control is drawn lit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cstdlib>
#include <filesystem>

#include "panel/panel_bits.h"
#include "panel_line.h"
#include "panel_window.h"

namespace cs::panelsim {
namespace {

int Bit(const char* n) { return *PanelBitByName(n); }

class PanelWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "panelsim_window_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  void SetUp() override {
    window_.resize(window_.sizeHint());
    window_.show();
    window_.SetOnChange([this] {
      line_.SetPressed(ApplyWindowChange(line_.Pressed(), before_, window_.Pressed()), now_);
      before_ = window_.Pressed();
    });
  }
  void Mouse(QEvent::Type type, Qt::MouseButton button, int bit) {
    const QPointF at = window_.ControlRect(bit).center();
    QMouseEvent e(type, at, window_.mapToGlobal(at), button,
                  type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window_, &e);
  }
  void Key(QEvent::Type type, int key, const QString& text, Qt::KeyboardModifiers mods = {}) {
    QKeyEvent e(type, key, mods, text);
    QApplication::sendEvent(&window_, &e);
  }
  // The word of the last frame the line would send.
  std::uint32_t Word() {
    std::vector<std::uint8_t> out;
    for (const std::int64_t end = now_ + 100'000'000; now_ < end; now_ += kByteNs) {
      line_.Take(now_, &out);
    }
    EXPECT_GE(out.size(), kFrameSize);
    const std::uint8_t* f = out.data() + out.size() - kFrameSize;
    return f[1] | f[2] << 8 | f[3] << 16 | std::uint32_t{f[4]} << 24;
  }

  static inline QApplication* app_ = nullptr;
  PanelWindow window_;
  PanelLine line_{0, 0};
  std::uint32_t before_ = 0;
  std::int64_t now_ = 0;
};

// Every wired switch has its own control: its middle maps back to it, and a left click holds it
// until the button comes up, on the line as well.
TEST_F(PanelWindowTest, EveryControlClicksItsOwnSwitch) {
  for (int bit = 0; bit < 32; ++bit) {
    SCOPED_TRACE(bit);
    if (kPanelSwitches[bit].name.empty()) {
      EXPECT_TRUE(window_.ControlRect(bit).isEmpty());
      continue;
    }
    ASSERT_FALSE(window_.ControlRect(bit).isEmpty());
    EXPECT_EQ(window_.ControlAt(window_.ControlRect(bit).center()), bit);
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, bit);
    EXPECT_EQ(window_.Pressed(), 1u << bit);
    EXPECT_EQ(Word(), ~(1u << bit));
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, bit);
    EXPECT_EQ(window_.Pressed(), 0u);
    EXPECT_EQ(Word(), kIdleWord);
  }
}

// A right click latches, the next one releases; a command's switch on the line stays pressed
// when the window lets go of its own.
TEST_F(PanelWindowTest, RightClickLatchesBesideCommands) {
  line_.SetPressed(1u << Bit("P2_B3"), now_);  // held by a command
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Bit("COIN2"));
  Mouse(QEvent::MouseButtonRelease, Qt::RightButton, Bit("COIN2"));
  EXPECT_EQ(window_.Pressed(), 1u << Bit("COIN2"));
  EXPECT_EQ(Word(), ~(1u << Bit("COIN2") | 1u << Bit("P2_B3")));
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Bit("COIN2"));
  EXPECT_EQ(window_.Pressed(), 0u);
  EXPECT_EQ(Word(), ~(1u << Bit("P2_B3")));
}

// The PC keys of the terminal hold their switches in the window; Shift latches, '.' unlatches.
TEST_F(PanelWindowTest, KeysHoldAndLatch) {
  struct Case {
    int key;
    const char* text;
    const char* name;
  } cases[] = {{Qt::Key_5, "5", "COIN1"},        {Qt::Key_Up, "", "P1_UP"},
               {Qt::Key_Escape, "\x1b", "EXIT"}, {Qt::Key_Space, " ", "P1_B3"},
               {Qt::Key_E, "e", "P2_B5"},        {Qt::Key_M, "m", "VIDEO_MODE"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Key(QEvent::KeyPress, c.key, QString::fromLatin1(c.text));
    EXPECT_EQ(window_.Pressed(), 1u << Bit(c.name));
    Key(QEvent::KeyRelease, c.key, QString::fromLatin1(c.text));
    EXPECT_EQ(window_.Pressed(), 0u);
  }
  Key(QEvent::KeyPress, Qt::Key_T, "T", Qt::ShiftModifier);
  Key(QEvent::KeyRelease, Qt::Key_T, "T", Qt::ShiftModifier);
  EXPECT_EQ(window_.Pressed(), 1u << Bit("SERVICE"));
  EXPECT_EQ(Word(), ~(1u << Bit("SERVICE")));
  Key(QEvent::KeyPress, Qt::Key_Period, ".");
  EXPECT_EQ(window_.Pressed(), 0u);
}

// A pressed control, by the window or by the line, is drawn lit; the picture is kept for a look.
TEST_F(PanelWindowTest, PressedControlIsLit) {
  const int bit = Bit("P1_B1");
  const QPoint at = window_.ControlRect(bit).center().toPoint() + QPoint(0, 12);
  const QColor off = window_.grab().toImage().pixelColor(at);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, bit);
  const QColor on = window_.grab().toImage().pixelColor(at);
  EXPECT_GT(on.lightness(), off.lightness() + 40);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, bit);
  window_.SetLinePressed(1u << bit);
  EXPECT_EQ(window_.grab().toImage().pixelColor(at), on);

  // The picture: player 1 holding up-left and button 1, coin 2 and service latched.
  window_.SetLinePressed(1u << Bit("P1_UP") | 1u << Bit("P1_LEFT") | 1u << bit);
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Bit("COIN2"));
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Bit("SERVICE"));
  const char* dir = std::getenv("COINSHELL_BINARY_DIR");
  const std::filesystem::path png =
      std::filesystem::path(dir ? dir : ".") / "tests/panel/panelsim_window.png";
  EXPECT_TRUE(window_.grab().save(QString::fromStdString(png.string())));
}

}  // namespace
}  // namespace cs::panelsim
