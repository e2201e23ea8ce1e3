#include "menu_preview.h"

#include <QLinearGradient>
#include <QPainter>
#include <array>
#include <stdexcept>

#include "menu_layout.h"
#include "paint_kit.h"

namespace cs::skinart {
namespace {

struct Scene {
  QString name;
  std::array<const char*, 10> titles;
  int lit_slot;  // 0-based
  bool top_ten;
  int page_digit;  // 1..4
  Shown prompt;
  QString credits;
  int arrow;  // 0 none, 1 left pressed, 2 right pressed
  bool loading;
  bool wait_bright;
  bool two_players;
};

const std::array<const char*, 10> kTopTitles = {
    " Galaxy Raiders", " Turbo Outlaws",
    " Neon Ninja",     " Pixel Punchers",
    " Castle Crusher", " Asteroid Miner",
    " Tank Commander", " Super Bubble Pop",
    " Dungeon Dash",   " The Legend of the Crystal Sword"};
const std::array<const char*, 10> kPageTwo = {
    " Jet Set Jumper", " Jungle Rumble", " Karate Kings", " Knight Quest", " Laser Lords",
    " Lunar Rescue",   " Mega Blaster",  " Monster Mash", " Night Racer",  " Ocean Hunter"};
const std::array<const char*, 10> kPageFour = {" Zap Zone", " Zeta Force", " Zombie Dance", "  -->",
                                               "  -->",     "  -->",       "  -->",         "  -->",
                                               "  -->",     "  -->"};

std::vector<Scene> Scenes() {
  return {
      {"menu", kTopTitles, 2, true, 1, kMsgInsertCoin, "00", 0, false, false, false},
      {"coin-blink", kTopTitles, 0, true, 1, kMsgCoinDown, "00", 0, false, false, false},
      {"start", kPageTwo, 6, false, 2, kMsgStartGlow, "03", 2, false, false, false},
      {"start-blink", kPageFour, 2, false, 4, kMsgStartPlain, "150", 1, false, false, false},
      {"arrows-pressed", kPageTwo, 9, false, 3, kMsgStartGlow, "12", 3, false, false, false},
      {"loading", kTopTitles, 2, true, 1, kMsgHidden, "02", 0, true, true, false},
      {"loading-2p", kTopTitles, 2, true, 1, kMsgHidden, "02", 0, true, false, true},
  };
}

// Something like a game's attract picture in the preview panel, 320 x 240 placed as the
// program centres it.
void DrawMockVideo(QImage* screen) {
  const QRect video(kPreview.left() + 7, kPreview.top() + 23, 320, 240);
  QPainter p(screen);
  p.fillRect(kPreview, Qt::black);
  QLinearGradient sky(0, video.top(), 0, video.bottom());
  sky.setColorAt(0, QColor(0x10, 0x08, 0x40));
  sky.setColorAt(0.7, QColor(0x60, 0x20, 0x70));
  sky.setColorAt(1, QColor(0x20, 0x10, 0x30));
  p.fillRect(video, sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0xff, 0xa0, 0x30));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(video.center().x(), video.top() + 150), 50, 50);
  p.fillRect(QRect(video.left(), video.top() + 170, 320, 70), QColor(0x08, 0x04, 0x18));
  p.setPen(QPen(QColor(0xff, 0x40, 0xc0), 2));
  for (int i = 0; i <= 8; ++i) {
    p.drawLine(QPointF(video.center().x(), video.top() + 170),
               QPointF(video.left() + 40 * i, video.bottom()));
  }
  for (int y : {178, 190, 206, 230})
    p.drawLine(video.left(), video.top() + y, video.right(), video.top() + y);
  p.setBrush(QColor(0x40, 0xff, 0x80));
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({QPointF(video.center().x(), video.top() + 196),
                           QPointF(video.center().x() - 16, video.top() + 222),
                           QPointF(video.center().x() + 16, video.top() + 222)}));
  p.setPen(Qt::white);
  p.setFont(ResolveFont(QStringLiteral("DejaVu Sans"), 18, true, false));
  p.drawText(QRect(video.left(), video.top() + 20, 320, 30), Qt::AlignCenter,
             QStringLiteral("HI-SCORE 0042100"));
}

void DrawSlotText(QImage* screen, const QRect& slot, const QString& text) {
  QPainter p(screen);
  p.setClipRect(slot);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(ResolveFont(QStringLiteral("DejaVu Sans"), 16, true, true));
  p.setPen(QColor(kSlotTitleColour));
  p.drawText(slot.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
             text);
}

void DrawCounter(QImage* screen, const QString& caption) {
  QPainter p(screen);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(ResolveFont(QStringLiteral("DSEG7 Classic"), 24, true, false));
  p.setPen(QColor(kCounterColour));
  p.drawText(QRect(kCredits.left(), kCredits.top(), 80, kCredits.height()),
             Qt::AlignLeft | Qt::AlignVCenter, caption);
}

}  // namespace

QStringList PreviewScenes() {
  QStringList names;
  for (const Scene& s : Scenes()) names << s.name;
  return names;
}

QImage RenderPreview(const std::vector<SkinPicture>& pictures, const QString& scene_name) {
  const std::vector<Scene> scenes = Scenes();
  const Scene* scene = nullptr;
  for (const Scene& s : scenes) {
    if (s.name == scene_name) scene = &s;
  }
  if (scene == nullptr) throw std::invalid_argument("unknown scene " + scene_name.toStdString());
  auto show = [&](QImage* screen, const QRect& place, const Shown& shown) {
    ShowInto(screen, place, PictureNamed(pictures, shown.picture), shown.rect);
  };

  QImage screen = PictureNamed(pictures, "QDUP").copy();
  for (int i = 0; i < 10; ++i) {
    show(&screen, SlotRect(i), i == scene->lit_slot ? kSlotLit : kSlotNormal);
  }
  show(&screen, kBtLeft, scene->arrow & 1 ? kLeftPressed : kLeftNormal);
  show(&screen, kBtRight, scene->arrow & 2 ? kRightPressed : kRightNormal);
  show(&screen, kMsg, scene->prompt);
  show(&screen, kTopTen, scene->top_ten ? kTopTenOn : kTopTenOff);
  show(&screen, kPage, kPageDigits[scene->page_digit - 1]);
  show(&screen, kP1, kP1Mark);
  show(&screen, kTopTenDn, scene->top_ten ? kTopTenDnOn : kTopTenDnOff);
  if (scene->loading) {
    show(&screen, kWait, scene->wait_bright ? kWaitBright : kWaitDim);
    show(&screen, kPlayer, scene->two_players ? kPlayerTwo : kPlayerOne);
  } else {
    DrawMockVideo(&screen);
  }
  for (int i = 0; i < 10; ++i) {
    DrawSlotText(&screen, SlotRect(i), QString::fromUtf8(scene->titles[i]));
  }
  DrawCounter(&screen, scene->credits);
  return screen;
}

}  // namespace cs::skinart
