#pragma once
// The main window's widget: shows the window's picture, hides the pointer, ignores the PC
// keyboard (all input comes from the panel), and runs the window's shutdown when the system
// closes it.
#include <QWidget>

namespace cs {

class TDbgFrm;
class OperatorScreens;

class ScreenWidget final : public QWidget {
 public:
  explicit ScreenWidget(TDbgFrm& frm);
  // The operator screens, shown in front of the menu while one is visible.
  void SetOperatorScreens(OperatorScreens* screens) { screens_ = screens; }
  // Repaints a part of the window.
  void Invalidate(const QRect& area);

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TDbgFrm& frm_;
  OperatorScreens* screens_ = nullptr;
};

}  // namespace cs
