#pragma once
// The game check configuration window "Game Configuration" (701 x 588, on top of other windows,
// centred on the screen): the widgets of TFrmCheck. The window holds no settings of its own: it
// wraps the data object by reference, shows its state and calls its handlers. Each child widget
// carries its design name as object name (Cimp7, SbPlayer3, UpDown2, BtSave...).
//
//   - Cimp7, the preview panel (507 x 380, white, single border): shows the picture the emulator
//     draws into it (SetPreviewImage, or a PNG it writes, SetPreviewSource) with the seven
//     regions outlined; releasing the mouse on it with a region button down picks that region
//     (TFrmCheck::PickRegion with the panel's picture, in the panel's client coordinates).
//   - The capture pictures, reference pictures and match boxes are drawn from the data object,
//     magnified twice; a timer redraws them every 100 ms while the window is shown, so the
//     screen-check thread's live captures and matches appear while a game runs.
//   - A text that is not a whole number in an edit stops "Start All" or "Save" with a visible
//     message; a failed "Save" shows its error (no ".xy" is written then).
//
// The only files of the emulator link that include Qt Widgets are this one's pair.
// Main thread only; needs a QApplication.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QImage;
class QWidget;

namespace cs {

class EventLoop;
class TFrmCheck;
struct GameFlags;

class CheckWindow final {
 public:
  static constexpr int kWidth = 701, kHeight = 588;
  static constexpr int kPanelWidth = 507, kPanelHeight = 380;
  // The panel's client area (inside its one-pixel border): the coordinates of a pick.
  static constexpr int kClientWidth = kPanelWidth - 2, kClientHeight = kPanelHeight - 2;
  static constexpr int kRefreshMs = 100;

  // check: the data object (the main window's FrmCheck), flags: the game flags of the screen
  // check, both outliving the window. currentNameFile: the NAMEFILE of the game whose files
  // "Save" writes (the catalogue's current game); may return "" when there is none.
  // nullptr when the program has no QApplication (tools, tests without widgets).
  static std::unique_ptr<CheckWindow> Create(EventLoop& loop, TFrmCheck& check,
                                             const GameFlags& flags,
                                             std::function<std::string()> currentNameFile);
  ~CheckWindow();
  CheckWindow(const CheckWindow&) = delete;
  CheckWindow& operator=(const CheckWindow&) = delete;

  // Shows the window over everything (centred the first time), raised and active, and starts
  // the redraw timer. The window is created hidden; its close box hides it again.
  void ShowCheckWindow();
  void Hide();
  bool Visible() const;

  // The picture the emulator draws into the preview panel, at the panel's client origin
  // (clipped to the client area). It stays until another picture replaces it.
  void SetPreviewImage(const QImage& image);
  // A PNG the emulator keeps writing with its picture (coinshell-standin's latest.png). While a
  // preview runs (the record's PreviewWnd is not 0: after "Start All", until "Stop All" or a
  // launch) the window reloads it when it changes and shows it scaled, without smoothing, to
  // the preview size of the record (PreviewRect), the size the emulator was asked to draw.
  // An empty path stops following.
  void SetPreviewSource(std::filesystem::path png);
  // The panel's client area as the emulator's drawing left it (white where nothing was drawn):
  // what a pick copies from.
  QImage PreviewImage() const;

  // Brings every control in line with the data object now (the timer does this while shown).
  void Refresh();
  // The window's picture (for `coinshell-ctl screenshot` while it is in front).
  QImage Screenshot() const;
  // The top-level widget.
  QWidget* widget() const;

 private:
  struct Impl;
  CheckWindow(EventLoop& loop, TFrmCheck& check, const GameFlags& flags,
              std::function<std::string()> currentNameFile);
  std::unique_ptr<Impl> impl_;
};

}  // namespace cs
