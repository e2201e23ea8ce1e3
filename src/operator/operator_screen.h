#pragma once
// What the four operator screens share: a full-screen form drawn by its own skin engine, taking
// the panel codes the main window forwards to it as posted WM_PANEL_INPUT messages (wParam the
// code, lParam 50 for a held input, 0 for an event) and the keys of the keyboard.
//
// The cabinet shows one picture at a time: that of the screen in front. Every activation (Show)
// brings a screen to the front at 0, 0, 640 x 480; Screenshot() is its picture, the skin canvas
// with whatever the screen draws over it. Main thread only.
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/message_target.h"
#include "skin/skin_engine.h"

namespace cs {

class OperatorScreen : public Form {
 public:
  // Loads the skin at skinIni (a skin that does not load leaves the screen black and writes one
  // diagnostic line; the screen's logic works without it).
  OperatorScreen(EventLoop& loop, std::string className, const std::filesystem::path& skinIni);
  ~OperatorScreen() override;

  // The screen's picture, 640 x 480.
  QImage Screenshot() const;
  // Called after anything on the screen's picture changed while it is visible, and when it is
  // shown or hidden.
  std::function<void()> OnScreenChanged;
  // Called when the screen is shown or hidden; code is the panel code whose handler did it (0
  // for none: a key, or a call from outside).
  std::function<void(int code)> OnFrontChanged;

  // Grows with every activation: the visible screen with the largest value is in front.
  std::uint64_t ActivationStamp() const { return activation_; }

  // The handler of WM_PANEL_INPUT, and of the form's key presses.
  virtual void WMPanelInput(int code, int lParam) = 0;
  virtual void FormKeyPress(char key) = 0;

  SkinEngine Ske;

 protected:
  void WndProc(const Message& m) override;
  void OnShow() override;
  void OnHide() override;
  // Draws the parts that lie over the skin canvas.
  virtual void DrawOver(QImage* /*screen*/) const {}
  // The object of that name in the skin, or nullptr.
  SkinObject* Obj(std::string_view name) const;
  // "BUT_" plus n, or nullptr.
  SkinObject* Item(int n) const;
  // Tells the view that the picture changed (only while visible).
  void Changed();

 private:
  std::uint64_t activation_ = 0;
};

// A screen of items worked with player 1's stick and start. The digit keys of a numeric pad do
// the same on a service keyboard: 8 up, 2 down, 4 left, 6 right, S select.
class MenuScreen : public OperatorScreen {
 public:
  using OperatorScreen::OperatorScreen;
  void FormKeyPress(char key) final;

 protected:
  virtual void Up() = 0;
  virtual void Down() = 0;
  virtual void Left() = 0;
  virtual void Right() = 0;
  virtual void Select() = 0;
};

// "%08d".
std::string Format08(std::int32_t value);

}  // namespace cs
