#include "operator/operator_screen.h"

#include <QPainter>
#include <cstdio>

#include "platform/log.h"

namespace cs {

namespace {
// The panel code whose handler is running (0 outside handlers); a modal screen opened by a
// handler runs its own handlers inside it, each restoring the one before.
int g_code_in_progress = 0;
std::uint64_t g_activations = 0;
}  // namespace

OperatorScreen::OperatorScreen(EventLoop& loop, std::string className,
                               const std::filesystem::path& skinIni)
    : Form(loop, std::move(className)), Ske(loop) {
  if (!Ske.Load(skinIni.string())) LogDiag(ClassName(), "skin not loaded: " + Ske.LastError());
  Ske.OnCanvasChanged = [this](const QRect&) { Changed(); };
}

OperatorScreen::~OperatorScreen() { Ske.OnCanvasChanged = nullptr; }

QImage OperatorScreen::Screenshot() const {
  QImage screen = Ske.Canvas().copy();
  if (screen.isNull()) {
    screen = QImage(kCanvasWidth, kCanvasHeight, QImage::Format_ARGB32_Premultiplied);
    screen.fill(Qt::black);
  }
  DrawOver(&screen);
  return screen;
}

void OperatorScreen::WndProc(const Message& m) {
  if (m.msg != WM_PANEL_INPUT) return;
  // A press queued for a screen that has been closed since is not acted on behind the screen
  // now in front.
  if (!Visible()) return;
  const int outer = g_code_in_progress;
  g_code_in_progress = m.wParam;
  WMPanelInput(m.wParam, m.lParam);
  g_code_in_progress = outer;
}

void OperatorScreen::OnShow() {
  activation_ = ++g_activations;
  if (OnFrontChanged) OnFrontChanged(g_code_in_progress);
  if (OnScreenChanged) OnScreenChanged();
}

void OperatorScreen::OnHide() {
  if (OnFrontChanged) OnFrontChanged(g_code_in_progress);
  if (OnScreenChanged) OnScreenChanged();
}

SkinObject* OperatorScreen::Obj(std::string_view name) const {
  return Ske.FindObject(Ske.RootObject(), name);
}

SkinObject* OperatorScreen::Item(int n) const { return Obj("BUT_" + std::to_string(n)); }

void OperatorScreen::Changed() {
  if (Visible() && OnScreenChanged) OnScreenChanged();
}

std::string Format08(std::int32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08d", static_cast<int>(value));
  return buf;
}

void MenuScreen::FormKeyPress(char key) {
  switch (key) {
    case '8':
      Up();
      break;
    case '2':
      Down();
      break;
    case '4':
      Left();
      break;
    case '6':
      Right();
      break;
    case 'S':
    case 's':
      Select();
      break;
    default:
      break;
  }
}

}  // namespace cs
