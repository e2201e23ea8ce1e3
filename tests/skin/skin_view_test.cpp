#include "skin/skin_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "platform/virtual_event_loop.h"
#include "skin/skin_engine.h"
#include "skin_fixture.h"

namespace cs {
namespace {

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::NoButton) {
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons(Qt::NoButton);
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

TEST(SkinView, PointerHoversLeavesAndClicksTheObjectUnderIt) {
  test::SkinFolder folder;
  std::string ini = test::kBaseSkin;
  ini.replace(ini.find("Child=A,B,C"), 11, "Child=A,B,C\nRightClickEvent=action(99)");
  VirtualEventLoop loop;
  SkinEngine engine(loop);
  ASSERT_TRUE(engine.Load(folder.Write("skin.ini", ini)));
  std::vector<int> actions;
  engine.OnCustomAction = [&](int n) { actions.push_back(n); };
  SkinView view(engine);
  view.resize(640, 480);

  Mouse(&view, QEvent::MouseMove, {15, 15});  // onto A: lit
  EXPECT_EQ(engine.Canvas().pixel(10, 10) & 0xFFFFFF, test::kLit);
  EXPECT_EQ(view.grab().toImage().pixel(10, 10) & 0xFFFFFF, test::kLit);
  Mouse(&view, QEvent::MouseMove, {105, 15});  // onto B: A's leave ends its hover at once
  EXPECT_EQ(engine.Canvas().pixel(10, 10) & 0xFFFFFF, test::kNormal);
  EXPECT_EQ(actions, (std::vector<int>{1, 2}));
  Mouse(&view, QEvent::MouseMove, {205, 15});  // C is hidden: the pointer is on BACK
  Mouse(&view, QEvent::MouseMove, {15, 45});   // A1, A's child, lies over BACK
  EXPECT_EQ(actions, (std::vector<int>{1, 2, 11}));

  // A right click on A has no script of A's: it reaches BACK's. A press on A released
  // elsewhere clicks nothing.
  Mouse(&view, QEvent::MouseButtonPress, {15, 15}, Qt::RightButton);
  Mouse(&view, QEvent::MouseButtonRelease, {15, 15}, Qt::RightButton);
  EXPECT_EQ(actions.back(), 99);
  Mouse(&view, QEvent::MouseButtonPress, {15, 15}, Qt::RightButton);
  Mouse(&view, QEvent::MouseButtonRelease, {300, 300}, Qt::RightButton);
  EXPECT_EQ(actions.size(), 4u);

  // A scaled window maps the pointer back to canvas coordinates.
  view.resize(1280, 960);
  Mouse(&view, QEvent::MouseMove, {30, 30});
  EXPECT_EQ(engine.Canvas().pixel(10, 10) & 0xFFFFFF, test::kLit);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&view, &leave);
  EXPECT_EQ(engine.Canvas().pixel(10, 10) & 0xFFFFFF, test::kNormal);
}

}  // namespace
}  // namespace cs
