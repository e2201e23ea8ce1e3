#pragma once
// The widgets of the TV-out window "ORVEX For Windows": every control of TMain (each named after
// its design name, with its caption and hint), the four groups, the pop-up menu. The view shows
// the state of a TMain and calls its handlers; the window's close box hides it (TMain::FormClose).
// The only file of the TV-out engine that includes Qt Widgets.
//
// The widgets follow the window on a task posted to its event loop after each change, so a window
// shown and hidden again inside one handler (creation, then the front end's Hide) never appears.
//
// Main thread only; needs a QApplication.
#include <memory>

class QWidget;
class QMenu;

namespace cs::tvout {

class TMain;

class TMainView {
 public:
  // nullptr when the program has no QApplication (tools, tests without widgets).
  static std::unique_ptr<TMainView> Create(TMain& window);
  ~TMainView();
  TMainView(const TMainView&) = delete;
  TMainView& operator=(const TMainView&) = delete;

  // The top-level widget (its children carry the controls' names: "chkModePAL", "btnDetect"...).
  QWidget* widget() const;
  QMenu* PopupMenu1() const;
  // Brings the widgets in line with the window now (without waiting for the posted task).
  void Sync();

 private:
  struct Impl;
  explicit TMainView(TMain& window);
  std::unique_ptr<Impl> impl_;
};

}  // namespace cs::tvout
