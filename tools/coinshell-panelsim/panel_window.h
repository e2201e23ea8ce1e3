#pragma once
// The simulator's window: the cabinet's control panel drawn as it looks (dark panel, both
// players' sticks and five buttons each, starts, coin switches, service, exit, video mode).
// A control is pressed while the left mouse button holds it, or while its PC key is down; a
// right click or the upper-case key latches it until the next one ('.' releases every latch).
// Each control shows its key. A control is drawn lit while this window or the line (a script,
// the terminal) has its switch pressed. Main thread only.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace cs::panelsim {

class PanelWindow final : public QWidget {
 public:
  explicit PanelWindow(QWidget* parent = nullptr);

  // The switches this window presses (bit i set = switch i): held and latched.
  std::uint32_t Pressed() const { return held_ | keys_ | latched_; }
  // Called after every change of Pressed().
  void SetOnChange(std::function<void()> f) { on_change_ = std::move(f); }
  // What the line carries now, drawn lit.
  void SetLinePressed(std::uint32_t pressed);
  bool Closed() const { return closed_; }

  // The control of a switch, in widget coordinates (empty for an unwired bit), and the switch
  // of the control under a point.
  QRectF ControlRect(int bit) const;
  std::optional<int> ControlAt(QPointF widgetPos) const;

  QSize sizeHint() const override { return {1000, 440}; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  enum class Shape { kRound, kArrowUp, kArrowDown, kArrowLeft, kArrowRight, kSquare, kCoin };
  struct Control {
    int bit;
    Shape shape;
    QRectF rect;  // in panel coordinates (1000 x 440)
    QColor colour;
    QString caption;
    QString key;
  };
  void Build();
  QTransform ToWidget() const;
  void Changed();
  std::optional<int> BitOfKey(const QKeyEvent* e, bool* latch) const;

  std::vector<Control> controls_;
  std::uint32_t held_ = 0;     // the left mouse button
  std::uint32_t keys_ = 0;     // PC keys down
  std::uint32_t latched_ = 0;  // right clicks, upper-case keys
  std::uint32_t line_ = 0;
  int mouse_bit_ = -1;
  bool closed_ = false;
  std::function<void()> on_change_;
};

// Carries a change of the window's switches onto the line's state without touching the switches
// that commands hold: the ones the window newly presses are pressed, the ones it let go of are
// released.
constexpr std::uint32_t ApplyWindowChange(std::uint32_t line, std::uint32_t before,
                                          std::uint32_t after) {
  return (line | (after & ~before)) & ~(before & ~after);
}

}  // namespace cs::panelsim
