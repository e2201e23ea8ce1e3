#pragma once
// The widget that shows a SkinEngine's canvas. It repaints what the engine reports as changed
// and maps the pointer to skin objects, for a skin designer on a desktop (the cabinet hides the
// pointer and drives the skin from the panel):
//   - the object under the pointer is the topmost drawn one there; moving onto another object
//     runs the old one's leave script and the new one's hover script (that object only);
//   - leaving the widget runs the leave script of the object last hovered;
//   - a left or right button released over the object it was pressed on runs its click or
//     right-click script; when that script is empty, the nearest ancestor with one runs it
//     (a right click on a slot reaches the background's menu action).
// The canvas is scaled to the widget when the widget is not 640 x 480.
#include <QWidget>
#include <cstdint>

class QMouseEvent;
class QPaintEvent;

namespace cs {

class SkinEngine;
class SkinObject;

class SkinView final : public QWidget {
 public:
  // Takes the engine's OnCanvasChanged; the engine must outlive the view.
  explicit SkinView(SkinEngine& engine, QWidget* parent = nullptr);
  ~SkinView() override;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  SkinObject* Hit(const QPointF& widgetPos) const;
  void Hover(SkinObject* o);
  void Forget();  // drops object pointers of a skin that was reloaded

  SkinEngine& engine_;
  SkinObject* hovered_ = nullptr;
  SkinObject* pressed_ = nullptr;
  Qt::MouseButton pressed_button_ = Qt::NoButton;
  std::uint64_t generation_ = 0;
};

}  // namespace cs
