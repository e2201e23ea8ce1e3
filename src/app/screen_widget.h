#pragma once
// The main window's widget: shows the window's picture, hides the pointer, ignores the PC
// keyboard (all input comes from the panel), and runs the window's shutdown when the system
// closes it.
#include <QImage>
#include <QWidget>

namespace cs {

class TDbgFrm;

class ScreenWidget final : public QWidget {
 public:
  explicit ScreenWidget(TDbgFrm& frm);
  // Marks the picture stale; the next paint composes it again.
  void Invalidate();

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TDbgFrm& frm_;
  QImage picture_;
  bool stale_ = true;
};

}  // namespace cs
