#include "menu_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "menu_layout.h"
#include "paint_kit.h"

// The menu's theme: dark blue glass under neon. Cyan draws the fixed structure (rack, frame,
// arrows), magenta what is selected or pressed, warm gold the words that call the player.
//
// Pictures that objects lay over the background are drawn on a copy of the background taken at
// exactly the screen place where they will be shown, so their edges never show. Where a script
// shows a background area a few pixels away from where it came from (the arrows, the lower
// banner), that neighbourhood of the background is one plain colour, or one colour per row where
// the shift is horizontal only.

namespace cs::skinart {
namespace {

const QColor kBgTop(0x18, 0x11, 0x3e);
const QColor kBgLow(0x08, 0x07, 0x1c);
constexpr int kGradientEnd = 392;  // rows below are plain kBgLow
const QColor kRackFill(0x0b, 0x0c, 0x22);
const QColor kBezel(0x01, 0x01, 0x05);
const QColor kPreviewFill(0x04, 0x05, 0x0f);
const QColor kCyan(0x27, 0xd7, 0xff);
const QColor kCyanPale(0xa8, 0xf0, 0xff);
const QColor kSteel(0x2e, 0x74, 0xb0);
const QColor kMagenta(0xff, 0x2e, 0xb8);
const QColor kPink(0xff, 0x9b, 0xe6);
const QColor kGold(0xff, 0xc8, 0x2a);
const QColor kCream(0xff, 0xf6, 0xd2);
const QColor kOrange(0xff, 0x78, 0x00);
const QColor kTubeOff(0x2c, 0x24, 0x4a);
const QColor kTubeOffEdge(0x3a, 0x31, 0x5e);
const QColor kAmberOff(0x4e, 0x38, 0x10);
const QColor kRed(0xff, 0x30, 0x50);

const QString kSans = QStringLiteral("DejaVu Sans");
const QString kSegments = QStringLiteral("DSEG7 Classic");

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

// Copies the background into area of picture so that the picture's pixel (x, y) equals the
// background's pixel (x + to_screen.x, y + to_screen.y): the picture shown there blends in.
void CopyBackground(QImage* picture, const QImage& base, const QRect& area, QPoint to_screen) {
  QPainter p(picture);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setClipRect(area);
  p.drawImage(area.topLeft(), base, area.translated(to_screen));
}

// Gold lettering: lit with a warm glow, or an unlit dark amber.
void GoldWords(QImage* img, const QPainterPath& text, bool lit, const QPainterPath& clip,
               int glow = 4) {
  const QRectF box = text.boundingRect();
  if (lit) {
    AddGlow(img, text, kOrange, glow, 1.0, 0, clip);
    AddGlow(img, text, kGold, 2, 0.7, 0, clip);
    FillPath(img, text, Vertical(box.top(), box.bottom(), kCream, kGold));
  } else {
    FillPath(img, text, Vertical(box.top(), box.bottom(), QColor(0x6a, 0x4e, 0x16), kAmberOff));
  }
}

// ---------------------------------------------------------------- background

void DrawTitle(QImage* img) {
  const QFont font = ResolveFont(kSans, 22, true, true);
  const QPainterPath text =
      CentredOn(TextPath(font, QStringLiteral("SELECT YOUR GAME")), {320, 17});
  const QRectF box = text.boundingRect();
  for (const auto& [from, to] : {std::pair<qreal, qreal>{22, box.left() - 16},
                                 std::pair<qreal, qreal>{box.right() + 16, 618}}) {
    QPainterPath rule;
    rule.moveTo(from, 17);
    rule.lineTo(to, 17);
    AddGlow(img, rule, kMagenta, 3, 0.9, 2);
    StrokePath(img, rule, kPink, 2);
  }
  AddGlow(img, text, kMagenta, 5, 1.0);
  FillPath(img, text, Vertical(box.top(), box.bottom(), kCream, kGold));
}

// The rack that holds the ten slots; its inside stays one colour so that the slot tiles, whose
// outer pixels are that colour, join it without edges.
void DrawRack(QImage* img) {
  const QPainterPath edge = Rounded(QRectF(22, 45, 210, 349), 8);
  AddGlow(img, edge, kCyan, 3, 0.8, 2, Area(QRectF(0, 0, kScreenW, 398)));
  FillPath(img, edge, kRackFill);
  StrokePath(img, edge, kCyan, 2);
}

void DrawPreviewFrame(QImage* img) {
  // The glow must end above row 376, where the lower banner's background has to be one colour
  // per row.
  const QPainterPath clip = Area(QRectF(0, 0, kScreenW, 376));
  const QPainterPath edge = Rounded(QRectF(247, 68, 346, 304), 4);
  AddGlow(img, edge, kCyan, 3, 0.9, 2, clip);
  {
    QPainter p(img);
    p.fillRect(QRect(248, 69, 344, 302), kBezel);
    p.fillRect(kPreview, kPreviewFill);
  }
  StrokePath(img, edge, kCyan, 2);
  // Magenta corner pieces over the frame line.
  const qreal l = 247, t = 68, r = 593, b = 372, arm = 22;
  QPainterPath corners;
  corners.moveTo(l, t + arm);
  corners.lineTo(l, t);
  corners.lineTo(l + arm, t);
  corners.moveTo(r - arm, t);
  corners.lineTo(r, t);
  corners.lineTo(r, t + arm);
  corners.moveTo(r, b - arm);
  corners.lineTo(r, b);
  corners.lineTo(r - arm, b);
  corners.moveTo(l + arm, b);
  corners.lineTo(l, b);
  corners.lineTo(l, b - arm);
  AddGlow(img, corners, kMagenta, 3, 1.0, 3, clip);
  StrokePath(img, corners, kPink, 3);
  QPainter p(img);
  p.fillRect(kPreview, kPreviewFill);
}

void DrawPageWord(QImage* img) {
  const QFont font = ResolveFont(kSans, 12, true, false);
  const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("PAGE")), {111, 416.5});
  AddGlow(img, text, kCyan, 2, 0.6);
  FillPath(img, text, kCyanPale);
}

void DrawCreditsPlace(QImage* img) {
  const QPainterPath box = Rounded(QRectF(557, 436, 76, 38), 6);
  AddGlow(img, box, kCyan, 3, 0.6, 2);
  FillPath(img, box, Qt::black);
  StrokePath(img, box, kSteel, 2);
  const QFont font = ResolveFont(kSans, 15, true, true);
  QPainterPath text = TextPath(font, QStringLiteral("CREDITS"));
  const QRectF tb = text.boundingRect();
  text.translate(548 - tb.right(), 455 - tb.center().y());
  GoldWords(img, text, true, QPainterPath());
}

QImage DrawBase() {
  QImage img = Canvas(kScreenW, kScreenH, kBgLow);
  {
    QPainter p(&img);
    p.fillRect(QRect(0, 0, kScreenW, kGradientEnd), Vertical(0, kGradientEnd, kBgTop, kBgLow));
  }
  DrawTitle(&img);
  DrawRack(&img);
  DrawPreviewFrame(&img);
  DrawPageWord(&img);
  DrawCreditsPlace(&img);
  return img;
}

// ---------------------------------------------------------------- pieces

// One slot tile, 205 x 33 at x0: its outer ring of pixels is the rack colour.
void DrawSlotTile(QImage* img, int x0, bool lit) {
  const QPainterPath body = Rounded(QRectF(x0 + 1, 1, 203, 31), 6);
  if (lit) {
    QLinearGradient g(0, 1, 0, 32);
    g.setColorAt(0, QColor(0xe4, 0x34, 0x9c));
    g.setColorAt(0.45, QColor(0x9c, 0x16, 0x7c));
    g.setColorAt(1, QColor(0x4e, 0x0b, 0x66));
    FillPath(img, body, g);
  } else {
    QLinearGradient g(0, 1, 0, 32);
    g.setColorAt(0, QColor(0x22, 0x2e, 0x64));
    g.setColorAt(0.5, QColor(0x14, 0x1c, 0x46));
    g.setColorAt(1, QColor(0x0c, 0x11, 0x30));
    FillPath(img, body, g);
  }
  FillPath(img, Rounded(QRectF(x0 + 3, 3, 199, 12), 5), QColor(255, 255, 255, lit ? 44 : 20));
  const QPainterPath edge = Rounded(QRectF(x0 + 2, 2, 201, 29), 5);
  if (lit) {
    AddGlow(img, edge, kMagenta, 3, 1.0, 2, body);
    StrokePath(img, edge, kPink, 2);
    // A gold bar at the left end marks the choice even on a dim screen.
    FillPath(img, Rounded(QRectF(x0 + 3, 8, 3, 17), 1.5), kGold);
  } else {
    StrokePath(img, edge, kSteel, 2);
  }
}

QPainterPath Triangle(const QRectF& box, bool left) {
  const QPointF c = box.center();
  const qreal w = 11, h = 12;
  QPainterPath path;
  if (left) {
    path.moveTo(c.x() - w / 2, c.y());
    path.lineTo(c.x() + w / 2, c.y() - h / 2);
    path.lineTo(c.x() + w / 2, c.y() + h / 2);
  } else {
    path.moveTo(c.x() + w / 2, c.y());
    path.lineTo(c.x() - w / 2, c.y() - h / 2);
    path.lineTo(c.x() - w / 2, c.y() + h / 2);
  }
  path.closeSubpath();
  return path;
}

// A page arrow button inside box; its light stays within 3 pixels of it.
void DrawArrowButton(QImage* img, const QRect& box, bool left, bool pressed) {
  const QRectF outer(box);
  const QPainterPath body = Rounded(outer.adjusted(1, 1, -1, -1), 6);
  const QPainterPath edge = Rounded(outer.adjusted(1, 1, -1, -1), 6);
  const QPainterPath arrow = Triangle(outer, left);
  const QPainterPath near = Area(outer.adjusted(-3, -3, 3, 3));
  if (pressed) {
    AddGlow(img, edge, kMagenta, 2, 0.7, 2, near);
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xc8, 0x24, 0x90), QColor(0x52, 0x0c, 0x68)));
    FillPath(img, Rounded(outer.adjusted(3, 3, -3, -outer.height() / 2), 4),
             QColor(255, 255, 255, 40));
    StrokePath(img, edge, kPink, 2);
    AddGlow(img, arrow, Qt::white, 2, 0.8, 0, body);
    FillPath(img, arrow, QColor(0xff, 0xf0, 0xfa));
  } else {
    AddGlow(img, edge, kCyan, 2, 0.5, 2, near);
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x22, 0x2e, 0x64), QColor(0x0c, 0x11, 0x30)));
    FillPath(img, Rounded(outer.adjusted(3, 3, -3, -outer.height() / 2), 4),
             QColor(255, 255, 255, 20));
    StrokePath(img, edge, kCyan, 2);
    AddGlow(img, arrow, kCyan, 2, 0.8, 0, body);
    FillPath(img, arrow, kCyanPale);
  }
}

// A neon sign in a pill-shaped tube centred on centre, lit or switched off.
void DrawSign(QImage* img, QPointF centre, const QString& words, int pixel_size, qreal width,
              bool lit, const QPainterPath& clip) {
  const QFont font = ResolveFont(kSans, pixel_size, true, true);
  const QPainterPath text = CentredOn(TextPath(font, words), centre);
  const qreal h = 18;
  const QPainterPath tube =
      Rounded(QRectF(centre.x() - width / 2, centre.y() - h / 2, width, h), h / 2);
  if (lit) {
    AddGlow(img, tube, kMagenta, 1, 1.0, 2, clip);
    StrokePath(img, tube, kPink, 2);
    GoldWords(img, text, true, clip, 3);
  } else {
    StrokePath(img, tube, kTubeOff, 2);
    FillPath(img, text, kTubeOff);
  }
}

void DrawTopSign(QImage* img, QPointF centre, bool lit, const QPainterPath& clip) {
  DrawSign(img, centre, QStringLiteral("\u2605 TOP TEN \u2605"), 18, 232, lit, clip);
}

void DrawLowerSign(QImage* img, QPointF centre, bool lit, const QPainterPath& clip) {
  DrawSign(img, centre, QStringLiteral("MOST PLAYED GAMES"), 14, 232, lit, clip);
}

// The player badges of the loading screen.
void DrawBadge(QImage* img, const QRectF& box, const QString& label, bool available) {
  const QPainterPath body = Rounded(box.adjusted(1, 1, -1, -1), 7);
  const QFont font = ResolveFont(kSans, 20, true, true);
  const QPainterPath text = CentredOn(TextPath(font, label), box.center());
  const QPainterPath near = Area(box.adjusted(-3, -3, 3, 3));
  if (available) {
    AddGlow(img, body, kCyan, 2, 0.6, 2, near);
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x14, 0x3a, 0x5e), QColor(0x08, 0x16, 0x2a)));
    StrokePath(img, body, kCyan, 2);
    AddGlow(img, text, kCyan, 2, 0.8, 0, body);
    FillPath(img, text, QColor(0xea, 0xfc, 0xff));
  } else {
    FillPath(img, body, QColor(0x10, 0x12, 0x1e));
    StrokePath(img, body, QColor(0x36, 0x3c, 0x54), 2);
    FillPath(img, text, QColor(0x4c, 0x52, 0x6c));
    QPainterPath slash;
    slash.moveTo(box.left() + 7, box.bottom() - 5);
    slash.lineTo(box.right() - 7, box.top() + 5);
    AddGlow(img, slash, kRed, 2, 0.8, 3, near);
    StrokePath(img, slash, QColor(0xff, 0x5a, 0x74), 3);
  }
}

// The page number display: what the screen shows at PAGE, 40 x 35, with the digit or, for
// digit < 0, the empty display.
QImage DrawPageTile(const QImage& base, int digit) {
  QImage tile = Canvas(kPage.width(), kPage.height(), kBgLow);
  CopyBackground(&tile, base, tile.rect(), kPage.topLeft());
  // The display keeps off the last four columns: the lower banner, drawn after PAGE, covers
  // three of them in the top rows and its leave script shows them from one column further left.
  const QPainterPath box = Rounded(QRectF(4, 2, 31, 31), 5);
  const QPainterPath inside = Rounded(QRectF(5, 3, 29, 29), 4);
  FillPath(&tile, box, Qt::black);
  const QFont font = ResolveFont(kSegments, 22, true, false);
  const QString ghost_text = digit >= 10 ? QStringLiteral("88") : QStringLiteral("8");
  QPainterPath ghost = TextPath(font, ghost_text);
  QPainterPath number = TextPath(font, digit < 0 ? QString() : QString::number(digit));
  // Two digits are squeezed to fit the display.
  const qreal squeeze = std::min(1.0, 24.0 / ghost.boundingRect().width());
  const QTransform fit = QTransform::fromScale(squeeze, 1);
  ghost = fit.map(ghost);
  number = fit.map(number);
  const QPointF shift = QPointF(19.5, 17.5) - ghost.boundingRect().center();
  ghost.translate(shift);
  number.translate(shift);
  FillPath(&tile, ghost, QColor(0x1a, 0x10, 0x05));
  if (digit >= 0) {
    AddGlow(&tile, number, kOrange, 2, 0.9, 0, inside);
    FillPath(&tile, number, QColor(kCounterColour));
  }
  StrokePath(&tile, box, kSteel, 2);
  return tile;
}

// ---------------------------------------------------------------- pictures

QImage DrawBt1() {
  QImage img = Canvas(411, kSlotH, kRackFill);
  DrawSlotTile(&img, 0, false);
  DrawSlotTile(&img, 205, true);
  return img;
}

// The arrow buttons as the screen shows them when released. The leave scripts show them from a
// background area 3 rows (left) or 1 row (right) lower, so each button with its light keeps 3
// pixels off its object's border both where it is shown and where the background holds it.
constexpr QRect kLeftButton(31, 405, 48, 20);
constexpr QRect kRightButton(143, 405, 48, 20);

// Background pixel (x, y) that BT_LEFT's and BT_RIGHT's leave scripts show at (x + d.x, y + d.y).
constexpr QPoint kLeftRestoreShift(23 - 22, 399 - 402);
constexpr QPoint kRightRestoreShift(136 - 138, 399 - 400);

QImage DrawQdup(const QImage& base, const QImage& bt1) {
  QImage img = base.copy();
  for (int i = 0; i < 10; ++i) ShowInto(&img, SlotRect(i), bt1, kSlotNormal.rect);
  DrawArrowButton(&img, kLeftButton.translated(-kLeftRestoreShift), true, false);
  DrawArrowButton(&img, kRightButton.translated(-kRightRestoreShift), false, false);
  {
    QPainter p(&img);
    p.drawImage(kPage.topLeft(), DrawPageTile(base, -1));
  }
  DrawTopSign(&img, {420, 49.5}, false, QPainterPath());
  // The lower banner's leave script shows this area one pixel to the right.
  DrawLowerSign(&img, {419, 391.5}, false, QPainterPath());
  DrawBadge(&img, QRectF(370, 214, 44, 32), QStringLiteral("1P"), true);
  return img;
}

QImage DrawDnBtLeftRight(const QImage& base, const QImage& qdup) {
  QImage img = Canvas(186, 85, kBgLow);
  // Pressed arrows, one pixel lower than released, on the background of their places.
  const QPoint left_to_screen = kBtLeft.topLeft() - QPoint(0, 6);
  const QPoint right_to_screen = kBtRight.topLeft() - QPoint(116, 4);
  CopyBackground(&img, base, QRect(0, 0, 68, 48), left_to_screen);
  CopyBackground(&img, base, QRect(116, 0, 70, 48), right_to_screen);
  DrawArrowButton(&img, kLeftButton.translated(0, 1).translated(-left_to_screen), true, true);
  DrawArrowButton(&img, kRightButton.translated(0, 1).translated(-right_to_screen), false, true);
  // Below them, both arrows released: the very pixels the leave scripts show.
  QPainter p(&img);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QPoint(0, 50), qdup, QRect(22, 402, 63, 35));
  p.drawImage(QPoint(116, 50), qdup, QRect(138, 400, 63, 35));
  return img;
}

QImage DrawNumbers(const QImage& base) {
  // The menu shows digit k from x = 40k + 1 for 40 columns, so each display's last column lands
  // on the first column of the next cell; every cell shares that column.
  QImage img = Canvas(441, kPage.height(), kBgLow);
  QPainter p(&img);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  for (int k = 0; k <= 10; ++k) {
    const QImage tile = DrawPageTile(base, k);
    p.drawImage(QPoint(40 * k + 1, 0), tile, QRect(0, 0, 39, tile.height()));
    p.drawImage(QPoint(40 * k + 40, 0), tile, QRect(39, 0, 1, tile.height()));
  }
  p.drawImage(QPoint(0, 0), DrawPageTile(base, -1), QRect(39, 0, 1, kPage.height()));
  return img;
}

QImage DrawTopTenUp(const QImage& base) {
  QImage img = Canvas(360, 35, kBgLow);
  CopyBackground(&img, base, img.rect(), kTopTen.topLeft());
  DrawTopSign(&img, QPointF(420, 49.5) - kTopTen.topLeft(), true,
              Area(QRectF(0, 0, kTopTen.width(), kTopTen.height())));
  return img;
}

QImage DrawTopTenDn(const QImage& base) {
  QImage img = Canvas(360, 35, kBgLow);
  CopyBackground(&img, base, img.rect(), kTopTenDn.topLeft());
  DrawLowerSign(&img, QPointF(420, 391.5) - kTopTenDn.topLeft(), true,
                Area(QRectF(0, 0, kTopTenDn.width(), kTopTenDn.height())));
  return img;
}

// A prompt word centred in a band whose first 43 rows show on MSG.
enum class PromptLook { kCoinLit, kCoinDim, kStartGlow, kStartPlain };

void DrawPrompt(QImage* img, QPointF centre, const QString& words, PromptLook look,
                const QRectF& band) {
  const QFont font = ResolveFont(kSans, 28, true, true);
  const QPainterPath text = CentredOn(TextPath(font, words), centre);
  const QRectF box = text.boundingRect();
  const QPainterPath clip = Area(band);
  switch (look) {
    case PromptLook::kCoinLit:
      GoldWords(img, text, true, clip);
      break;
    case PromptLook::kCoinDim:
      GoldWords(img, text, false, clip);
      break;
    case PromptLook::kStartGlow:
      AddGlow(img, text, kMagenta, 4, 1.0, 0, clip);
      AddGlow(img, text, kPink, 2, 0.8, 0, clip);
      FillPath(img, text, Vertical(box.top(), box.bottom(), Qt::white, QColor(0xff, 0xc4, 0xee)));
      break;
    case PromptLook::kStartPlain:
      FillPath(
          img, text,
          Vertical(box.top(), box.bottom(), QColor(0xff, 0x8a, 0xd8), QColor(0xd8, 0x3a, 0xa6)));
      break;
  }
}

constexpr qreal kPromptX = 186;  // centre of the words, in MSG's columns
constexpr qreal kPromptY = 21.5;

QImage DrawBtStart(const QImage& base) {
  QImage img = Canvas(381, 200, kBgLow);
  for (int top : {0, 50, 100, 150}) {
    CopyBackground(&img, base, QRect(0, top, 381, 50), kMsg.topLeft() - QPoint(0, top));
  }
  const auto band = [](int top) { return QRectF(0, top, kMsg.width(), kMsg.height()); };
  DrawPrompt(&img, {kPromptX, 50 + kPromptY}, QStringLiteral("INSERT COIN"), PromptLook::kCoinLit,
             band(50));
  DrawPrompt(&img, {kPromptX, 100 + kPromptY}, QStringLiteral("PRESS START"),
             PromptLook::kStartGlow, band(100));
  DrawPrompt(&img, {kPromptX, 150 + kPromptY}, QStringLiteral("PRESS START"),
             PromptLook::kStartPlain, band(150));
  return img;
}

QImage DrawCoinDwn(const QImage& base) {
  QImage img = Canvas(372, 52, kBgLow);
  const QPoint origin(4, 2);  // CoinDwn's rectangle starts here
  CopyBackground(&img, base, img.rect(), kMsg.topLeft() - origin);
  DrawPrompt(&img, QPointF(kPromptX, kPromptY) + origin, QStringLiteral("INSERT COIN"),
             PromptLook::kCoinDim, QRectF(origin, kMsg.size()));
  return img;
}

QImage DrawPleasWait2(const QImage& base) {
  QImage img = Canvas(300, 200, kBgLow);
  const QFont font = ResolveFont(kSans, 24, true, true);
  for (const auto& [top, lit] : {std::pair<int, bool>{0, true}, std::pair<int, bool>{105, false}}) {
    const QPoint origin(60, top);
    CopyBackground(&img, base, QRect(origin, kWait.size()), kWait.topLeft() - origin);
    // The words keep to the first 43 rows: WAIT's click script clears just those.
    const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("PLEASE WAIT")),
                                        QPointF(origin) + QPointF(110, 21));
    GoldWords(&img, text, lit, Area(QRectF(origin, QSizeF(kWait.width(), 43))));
  }
  return img;
}

QImage DrawPlayer(const QImage& base) {
  QImage img = Canvas(156, 51, kBgLow);
  for (int x0 : {0, 60}) {
    CopyBackground(&img, base, QRect(x0, 0, kPlayer.width(), kPlayer.height()),
                   kPlayer.topLeft() - QPoint(x0, 0));
    DrawBadge(&img, QRectF(x0 + 8, 9, 44, 32), QStringLiteral("2P"), x0 == 0);
  }
  return img;
}

// Generic arcade push buttons, unlit in the top row and lit below, 40 x 40 each.
QImage DrawBtns() {
  const QColor colours[] = {QColor(0xff, 0x30, 0x40), QColor(0xff, 0xd0, 0x20),
                            QColor(0x30, 0xe0, 0x60), QColor(0x30, 0x90, 0xff),
                            QColor(0xf0, 0xf0, 0xff), QColor(0xff, 0x40, 0xc8)};
  QImage img = Canvas(240, 80, kBgLow);
  for (int i = 0; i < 6; ++i) {
    for (int row = 0; row < 2; ++row) {
      const bool lit = row == 1;
      const QRectF cell(40 * i, 40 * row, 40, 40);
      QPainterPath ring;
      ring.addEllipse(cell.adjusted(5, 5, -5, -5));
      QPainterPath cap;
      cap.addEllipse(cell.adjusted(9, 9, -9, -9));
      const QColor c = colours[i];
      const QColor dark = c.darker(lit ? 160 : 420);
      FillPath(&img, ring, QColor(0x18, 0x1a, 0x2c));
      StrokePath(&img, ring, QColor(0x50, 0x56, 0x70), 2);
      if (lit) AddGlow(&img, cap, c, 3, 0.9, 0, Area(cell));
      QRadialGradient g(cell.center() - QPointF(3, 4), 14);
      g.setColorAt(0, lit ? c.lighter(150) : c.darker(260));
      g.setColorAt(1, dark);
      FillPath(&img, cap, g);
      QPainterPath shine;
      shine.addEllipse(QRectF(cell.left() + 14, cell.top() + 12, 8, 5));
      FillPath(&img, shine, QColor(255, 255, 255, lit ? 150 : 40));
    }
  }
  return img;
}

// A TEST button, normal at x 0..119 and lit at x 120..239.
QImage DrawBtTest() {
  QImage img = Canvas(240, 40, kBgLow);
  const QFont font = ResolveFont(kSans, 18, true, true);
  for (int x0 : {0, 120}) {
    const bool lit = x0 == 120;
    const QRectF box(x0 + 4, 4, 112, 32);
    const QPainterPath body = Rounded(box, 8);
    if (lit) {
      AddGlow(&img, body, kMagenta, 3, 1.0, 2, Area(QRectF(x0, 0, 120, 40)));
      FillPath(
          &img, body,
          Vertical(box.top(), box.bottom(), QColor(0xe4, 0x34, 0x9c), QColor(0x4e, 0x0b, 0x66)));
      StrokePath(&img, body, kPink, 2);
    } else {
      FillPath(
          &img, body,
          Vertical(box.top(), box.bottom(), QColor(0x22, 0x2e, 0x64), QColor(0x0c, 0x11, 0x30)));
      StrokePath(&img, body, kSteel, 2);
    }
    const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("TEST")), box.center());
    FillPath(&img, text, QColor(kSlotTitleColour));
  }
  return img;
}

// The background with every control down: slots lit, arrows pressed.
QImage DrawQddwn(const QImage& qdup, const QImage& bt1, const QImage& arrows) {
  QImage img = qdup.copy();
  for (int i = 0; i < 10; ++i) ShowInto(&img, SlotRect(i), bt1, kSlotLit.rect);
  ShowInto(&img, kBtLeft, arrows, kLeftPressed.rect);
  ShowInto(&img, kBtRight, arrows, kRightPressed.rect);
  return img;
}

}  // namespace

std::vector<SkinPicture> DrawMenuPictures() {
  const QImage base = DrawBase();
  const QImage bt1 = DrawBt1();
  const QImage qdup = DrawQdup(base, bt1);
  const QImage arrows = DrawDnBtLeftRight(base, qdup);
  return {
      {"QDUP", "qdup.png", qdup},
      {"QDDWN", "qddwn.png", DrawQddwn(qdup, bt1, arrows)},
      {"bt1", "bt1.png", bt1},
      {"btns", "btns.png", DrawBtns()},
      {"BT_TEST", "bt_test.png", DrawBtTest()},
      {"Bt_Start", "bt_start.png", DrawBtStart(base)},
      {"CoinDwn", "coindwn.png", DrawCoinDwn(base)},
      {"Numbers", "numbers.png", DrawNumbers(base)},
      {"PleasWait2", "pleaswait2.png", DrawPleasWait2(base)},
      {"PLAYER", "player.png", DrawPlayer(base)},
      {"DnBtLeftRight", "dnbtleftright.png", arrows},
      {"TOPTENUP", "toptenup.png", DrawTopTenUp(base)},
      {"TOPTENDN", "toptendn.png", DrawTopTenDn(base)},
  };
}

const QImage& PictureNamed(const std::vector<SkinPicture>& pictures, const QString& name) {
  for (const SkinPicture& p : pictures) {
    if (p.name == name) return p.image;
  }
  throw std::out_of_range("no picture " + name.toStdString());
}

}  // namespace cs::skinart
