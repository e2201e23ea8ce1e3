#include "operator_art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "paint_kit.h"

// The operator screens share the menu's theme: dark blue glass under neon, cyan for the fixed
// structure, magenta for what is selected or lit, warm gold for the words that call the operator
// to act, amber seven-segment digits for values.
//
// Each screen is first drawn as it should look (its design): once with every object normal and
// once per object with that object lit. The pictures are then made from the design so that
// every script shows exactly the design: a rectangle that an object shows at its own place holds
// the design of that place ("baking"), even where the rectangle lies a few pixels away from the
// object. Around every object the design is one plain colour for at least those few pixels, so
// the parts of a rectangle that the background also shows at their true place look the same
// there.

namespace cs::skinart {
namespace {

const QColor kBgTop(0x18, 0x11, 0x3e);
const QColor kBgLow(0x08, 0x07, 0x1c);
constexpr int kGradientEnd = 392;
const QColor kPanel(0x0c, 0x0b, 0x26);  // the plain glass every object sits on
const QColor kValueFill(0x04, 0x05, 0x10);
const QColor kCyan(0x27, 0xd7, 0xff);
const QColor kCyanPale(0xa8, 0xf0, 0xff);
const QColor kCyanDim(0x5c, 0xa8, 0xc8);
const QColor kSteel(0x2e, 0x74, 0xb0);
const QColor kMagenta(0xff, 0x2e, 0xb8);
const QColor kPink(0xff, 0x9b, 0xe6);
const QColor kGold(0xff, 0xc8, 0x2a);
const QColor kCream(0xff, 0xf6, 0xd2);
const QColor kOrange(0xff, 0x78, 0x00);
const QColor kAmber(0xff, 0xb2, 0x1e);
const QColor kLabel(0xc4, 0xea, 0xff);

const QString kSans = QStringLiteral("DejaVu Sans");
const QString kSegments = QStringLiteral("DSEG7 Classic");

QLinearGradient Vertical(qreal top, qreal bottom, const QColor& from, const QColor& to) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  return g;
}

QRectF Inset(const QRect& r, qreal d) { return QRectF(r).adjusted(d, d, -d, -d); }

// Everything outside a shape (for light that must not fall inside it).
QPainterPath Outside(const QPainterPath& shape) {
  return Area(QRectF(-50, -50, kScreenW + 100, kScreenH + 100)).subtracted(shape);
}

// A text path with its left edge at left and its middle at centre_y.
QPainterPath LeftAt(const QFont& font, const QString& text, qreal left, qreal centre_y) {
  QPainterPath p = TextPath(font, text);
  const QRectF b = p.boundingRect();
  p.translate(left - b.left(), centre_y - b.center().y());
  return p;
}

QPainterPath RightAt(const QFont& font, const QString& text, qreal right, qreal centre_y) {
  QPainterPath p = TextPath(font, text);
  const QRectF b = p.boundingRect();
  p.translate(right - b.right(), centre_y - b.center().y());
  return p;
}

void GoldWords(QImage* img, const QPainterPath& text, const QPainterPath& clip, int glow = 3) {
  const QRectF box = text.boundingRect();
  AddGlow(img, text, kOrange, glow, 0.9, 0, clip);
  AddGlow(img, text, kGold, 2, 0.6, 0, clip);
  FillPath(img, text, Vertical(box.top(), box.bottom(), kCream, kGold));
}

// Copies the rectangle of from at place into the same place of to.
void CopyArea(QImage* to, const QImage& from, const QRect& place) {
  QPainter p(to);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(place.topLeft(), from, place);
}

// The part of rect that an object at place shows (the rectangle's first columns and rows, as
// far as the object reaches), in picture coordinates.
QRect ShownPart(const QRect& place, const PicRect& rect) {
  return QRect(rect.x1, rect.y1, std::min(rect.Width(), place.width()),
               std::min(rect.Height(), place.height()));
}

// The part of an object's place that its rectangle covers: there the object's own picture shows;
// in the rest of the place the background shows through.
QRect ShownArea(const LitObject& o) {
  return QRect(o.place.topLeft(), ShownPart(o.place, o.rect).size());
}

// Makes picture show design at place through rect: the picture's pixel q in the shown part
// becomes the design's pixel at q moved to the object's place.
void Bake(QImage* picture, const QImage& design, const QRect& place, const PicRect& rect) {
  const QRect part = ShownPart(place, rect).intersected(picture->rect());
  const QPoint shift = place.topLeft() - QPoint(rect.x1, rect.y1);
  QPainter p(picture);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(part.topLeft(), design, part.translated(shift));
}

// ---------------------------------------------------------------- shared pieces

// The screen's backdrop: the menu's gradient, a title with magenta rules, and the glass panel
// that holds every object (plain inside, so the objects can sit anywhere on it).
QImage Backdrop(const QString& title, const QRectF& panel) {
  QImage img = Canvas(kScreenW, kScreenH, kBgLow);
  {
    QPainter p(&img);
    p.fillRect(QRect(0, 0, kScreenW, kGradientEnd), Vertical(0, kGradientEnd, kBgTop, kBgLow));
  }
  const QFont font = ResolveFont(kSans, 22, true, true);
  const QPainterPath text = CentredOn(TextPath(font, title), {320, 17});
  const QRectF tb = text.boundingRect();
  for (const auto& [from, to] : {std::pair<qreal, qreal>{22, tb.left() - 16},
                                 std::pair<qreal, qreal>{tb.right() + 16, 618}}) {
    QPainterPath rule;
    rule.moveTo(from, 17);
    rule.lineTo(to, 17);
    AddGlow(&img, rule, kMagenta, 3, 0.9, 2);
    StrokePath(&img, rule, kPink, 2);
  }
  AddGlow(&img, text, kMagenta, 5, 1.0);
  FillPath(&img, text, Vertical(tb.top(), tb.bottom(), kCream, kGold));

  const QPainterPath edge = Rounded(panel, 10);
  AddGlow(&img, edge, kCyan, 3, 0.8, 2, Outside(edge));
  FillPath(&img, edge, kPanel);
  StrokePath(&img, edge, kCyan, 2);
  // Magenta corner pieces over the frame line, as on the menu's preview frame.
  const qreal l = panel.left(), t = panel.top(), r = panel.right(), b = panel.bottom();
  const qreal arm = 26, bend = 10;
  QPainterPath corners;
  corners.moveTo(l, t + bend + arm);
  corners.lineTo(l, t + bend);
  corners.quadTo(l, t, l + bend, t);
  corners.lineTo(l + bend + arm, t);
  corners.moveTo(r - bend - arm, t);
  corners.lineTo(r - bend, t);
  corners.quadTo(r, t, r, t + bend);
  corners.lineTo(r, t + bend + arm);
  corners.moveTo(r, b - bend - arm);
  corners.lineTo(r, b - bend);
  corners.quadTo(r, b, r - bend, b);
  corners.lineTo(r - bend - arm, b);
  corners.moveTo(l + bend + arm, b);
  corners.lineTo(l + bend, b);
  corners.quadTo(l, b, l, b - bend);
  corners.lineTo(l, b - bend - arm);
  AddGlow(&img, corners, kMagenta, 3, 1.0, 3, Outside(edge));
  StrokePath(&img, corners, kPink, 3);
  return img;
}

// A dark value display around the places of value objects; its inside is kValueFill, the
// colour of every value picture.
void ValueBox(QImage* img, const QRect& places, int margin = 4) {
  const QRectF box = QRectF(places).adjusted(-margin, -margin, margin, margin);
  const QPainterPath body = Rounded(box, 6);
  AddGlow(img, body, kCyan, 2, 0.6, 2, Outside(body));
  FillPath(img, body, kValueFill);
  StrokePath(img, body, kSteel, 2);
}

void SmallText(QImage* img, const QString& text, qreal x, qreal centre_y, bool right,
               const QColor& colour = kCyanDim, int px = 12) {
  const QFont font = ResolveFont(kSans, px, true, false);
  FillPath(img, right ? RightAt(font, text, x, centre_y) : LeftAt(font, text, x, centre_y), colour);
}

// A menu item: its label on the panel, or lit, a magenta bar filling the object with the label
// in white and a gold mark at its left end, like a lit slot of the menu.
void MenuItem(QImage* img, const LitObject& o, bool lit) {
  const QRect place = ShownArea(o);
  const int px = place.height() >= 30 ? 20 : 19;
  const QFont font = ResolveFont(kSans, px, true, true);
  const qreal cy = place.top() + place.height() / 2.0;
  const QPainterPath text = LeftAt(font, o.label, place.left() + 16, cy);
  if (!lit) {
    FillPath(img, text, kLabel);
    return;
  }
  const QRectF box = Inset(place, 1);
  const qreal radius = std::min<qreal>(7, box.height() / 2 - 2);
  const QPainterPath body = Rounded(box, radius);
  QLinearGradient g(0, box.top(), 0, box.bottom());
  g.setColorAt(0, QColor(0xe4, 0x34, 0x9c));
  g.setColorAt(0.45, QColor(0x9c, 0x16, 0x7c));
  g.setColorAt(1, QColor(0x4e, 0x0b, 0x66));
  FillPath(img, body, g);
  FillPath(img, Rounded(box.adjusted(2, 2, -2, -box.height() / 2), radius - 1),
           QColor(255, 255, 255, 44));
  const QPainterPath edge = Rounded(box.adjusted(1, 1, -1, -1), radius - 1);
  AddGlow(img, edge, kMagenta, 3, 1.0, 2, body);
  StrokePath(img, edge, kPink, 2);
  FillPath(img, Rounded(QRectF(box.left() + 4, box.top() + 6, 3, box.height() - 12), 1.5), kGold);
  AddGlow(img, text, Qt::white, 2, 0.5, 0, body);
  const QRectF tb = text.boundingRect();
  FillPath(img, text, Vertical(tb.top(), tb.bottom(), Qt::white, QColor(0xff, 0xe0, 0xf4)));
}

// The screen with every object normal, and one lit screen per object: the normal screen with
// that object's place cleared back to the plain screen and the object drawn lit.
template <typename DrawObject>
ScreenDesign Design(const std::vector<LitObject>& objects, const QImage& plain,
                    const DrawObject& draw, const QString& normal_picture,
                    const QString& lit_picture) {
  ScreenDesign d;
  d.objects = objects;
  d.normal_picture = normal_picture;
  d.lit_picture = lit_picture;
  d.normal = plain.copy();
  for (std::size_t i = 0; i < objects.size(); ++i) draw(&d.normal, i, false);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    QImage lit = d.normal.copy();
    CopyArea(&lit, plain, objects[i].place);
    QImage piece = plain.copy();
    draw(&piece, i, true);
    CopyArea(&lit, piece, objects[i].place);
    d.lit.push_back(lit);
  }
  return d;
}

// The normal and the lit picture of a design: each object's rectangle holds what the object
// shows at its place. Objects sharing one rectangle look alike; the first of them is baked.
std::pair<QImage, QImage> BakePictures(const ScreenDesign& d) {
  QImage normal = d.normal.copy();
  QImage lit = d.normal.copy();
  std::vector<QRect> done;
  for (std::size_t i = 0; i < d.objects.size(); ++i) {
    const LitObject& o = d.objects[i];
    const QRect key(o.rect.x1, o.rect.y1, o.rect.Width(), o.rect.Height());
    if (std::find(done.begin(), done.end(), key) != done.end()) continue;
    done.push_back(key);
    Bake(&normal, d.normal, o.place, o.rect);
    Bake(&lit, d.lit[i], o.place, o.rect);
  }
  return {normal, lit};
}

// ---------------------------------------------------------------- value pictures (QDtestBMPS)

// A label in gold, centred on centre, its light kept inside area.
void ValueWords(QImage* img, const QString& words, int px, QPointF centre, const QRect& area) {
  const QFont font = ResolveFont(kSans, px, true, false);
  const QPainterPath text = CentredOn(TextPath(font, words), centre);
  GoldWords(img, text, Area(QRectF(area).adjusted(3, 3, -3, -3)), 2);
}

// A seven-segment digit (or only the dim "8" behind it for a blank) centred on centre.
void SegmentDigit(QImage* img, QChar digit, QPointF centre, const QRect& area) {
  const QFont font = ResolveFont(kSegments, 18, false, false);
  const QPainterPath ghost = CentredOn(TextPath(font, QStringLiteral("8")), centre);
  FillPath(img, ghost, QColor(0x1a, 0x10, 0x05));
  if (digit == ' ') return;
  // Every digit is placed by the ghost's box, so a narrow "1" sits on its right segments.
  QPainterPath number = TextPath(font, QString(digit));
  const QPainterPath eight = TextPath(font, QStringLiteral("8"));
  number.translate(ghost.boundingRect().topLeft() - eight.boundingRect().topLeft());
  AddGlow(img, number, kOrange, 2, 0.9, 0, Area(QRectF(area).adjusted(3, 3, -3, -3)));
  FillPath(img, number, kAmber);
}

QImage DrawBmps() {
  QImage img = Canvas(640, 340, kValueFill);
  for (std::size_t i = 0; i < kPriceLabels.size(); ++i) {
    const QRect area = ShownPart(kPriceValue, kPriceLabels[i]);
    ValueWords(
        &img, kPriceTexts[i], 24,
        QPointF(area.left() + kPriceValue.width() / 2.0, area.top() + kPriceValue.height() / 2.0),
        area);
  }
  // Digits sit in columns 4..25 of their 30: VOL covers the last four columns of VOL2.
  const auto digit = [&](QChar c, const PicRect& r) {
    const QRect area = ShownPart(kVolumeTens, r);
    SegmentDigit(&img, c, QPointF(area.left() + 14.5, area.top() + 15), area);
  };
  digit(' ', kDigitBlank);
  for (int k = 0; k < 10; ++k) digit(QChar('0' + k), kDigits[k]);
  // The settings values, centred on their objects (a rectangle narrower than the object leaves
  // the background's plain value colour beside it).
  const auto word = [&](const QString& w, const PicRect& r, const QRect& object, int px) {
    const QRect area = ShownPart(object, r);
    ValueWords(&img, w, px,
               QPointF(r.x1 + object.width() / 2.0, r.y1 + object.height() / 2.0 - 0.5), area);
  };
  word(QStringLiteral("AUTO"), kAutoLabel, kUpdateValue, 22);
  word(QStringLiteral("MANUAL"), kManualLabel, kUpdateValue, 22);
  for (std::size_t i = 0; i < kPeriodLabels.size(); ++i) {
    word(kPeriodTexts[i], kPeriodLabels[i], kPeriodValue, 18);
  }
  return img;
}

std::vector<ValueObject> TestValues() {
  std::vector<ValueObject> v;
  v.push_back({"LB_1", kPriceValue, "QDtestBMPS", kPriceLabels});
  std::vector<PicRect> digits = kDigits;
  digits.insert(digits.begin(), kDigitBlank);
  v.push_back({"VOL2", kVolumeTens, "QDtestBMPS", digits});
  digits.erase(digits.begin());
  v.push_back({"VOL", kVolumeUnits, "QDtestBMPS", digits});
  return v;
}

std::vector<ValueObject> SettingsValues() {
  return {{"LB_UP", kUpdateValue, "QDtestBMPS", {kAutoLabel, kManualLabel}},
          {"LB_PER", kPeriodValue, "QDtestBMPS", kPeriodLabels}};
}

// ---------------------------------------------------------------- test menu

const QRectF kTestPanel(8, 36, 624, 424);

QImage TestPlain() {
  QImage img = Backdrop(QStringLiteral("TEST MENU"), kTestPanel);
  ValueBox(&img, kPriceValue);
  ValueBox(&img, kVolumeTens.united(kVolumeUnits));
  ValueBox(&img, kTestCredits);
  const auto mid = [](const QRect& r) { return r.top() + r.height() / 2.0; };
  SmallText(&img, QStringLiteral("COINS / CREDITS"), 536, mid(kPriceValue), true);
  SmallText(&img, QStringLiteral("LEVEL 0 - 20"), 544, mid(kVolumeTens), true);
  SmallText(&img, QStringLiteral("CREDITS NOW"), 436, mid(kTestCredits), true);
  for (int i : {2, 3, 4}) {
    SmallText(&img, QStringLiteral("\u25B6"), 612, mid(kTestItems[i].place), true, kCyan, 13);
  }
  // What the defaults are, right of the item's place.
  SmallText(&img, QStringLiteral("1/1  \u00B7  VOLUME 5  \u00B7  AUTO, 30 DAYS"), 612,
            mid(kTestItems[6].place), true);
  const QFont hint = ResolveFont(kSans, 12, true, false);
  const qreal hy = mid(kTestItems[7].place);
  QPainterPath keys = RightAt(hint,
                              QStringLiteral("\u25B2\u25BC SELECT     \u25C0\u25B6 CHANGE     "
                                             "START: ENTER"),
                              612, hy);
  FillPath(&img, keys, kCyanDim);
  return img;
}

ScreenDesign TestDesign() {
  const QImage plain = TestPlain();
  return Design(
      kTestItems, plain,
      [](QImage* img, std::size_t i, bool lit) { MenuItem(img, kTestItems[i], lit); }, "QDtestUP",
      "QDtestDWN");
}

// ---------------------------------------------------------------- settings

const QRectF kSetPanel(8, 36, 624, 424);

void ResetButton(QImage* img, bool lit) {
  // Below LB_PER's display, whose lower edge reaches into BUT_4's top rows.
  const QRectF box(500, 149, 92, 44);
  const QPainterPath body = Rounded(box, 10);
  const QPainterPath clip = Area(QRectF(kReset));
  const QFont font = ResolveFont(kSans, 17, true, true);
  const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("RESET")), box.center());
  if (lit) {
    AddGlow(img, body, QColor(0xff, 0x30, 0x50), 3, 1.0, 3, clip);
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xff, 0x5a, 0x6e), QColor(0x9a, 0x0c, 0x2a)));
    FillPath(img, Rounded(box.adjusted(3, 3, -3, -box.height() / 2), 7), QColor(255, 255, 255, 60));
    StrokePath(img, body, QColor(0xff, 0xc0, 0xc8), 2);
    AddGlow(img, text, Qt::white, 2, 0.6, 0, body);
    FillPath(img, text, Qt::white);
  } else {
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x5a, 0x10, 0x22), QColor(0x2a, 0x06, 0x14)));
    FillPath(img, Rounded(box.adjusted(3, 3, -3, -box.height() / 2), 7), QColor(255, 255, 255, 22));
    StrokePath(img, body, QColor(0xc8, 0x30, 0x48), 2);
    FillPath(img, text, QColor(0xff, 0xb8, 0xc2));
  }
}

void GridFrame(QImage* img, const QRect& grid) {
  const QPainterPath edge = Area(QRectF(grid).adjusted(-2, -2, 2, 2));
  AddGlow(img, edge, kCyan, 2, 0.6, 2, Outside(Area(QRectF(grid))));
  StrokePath(img, Area(QRectF(grid).adjusted(-1.5, -1.5, 1.5, 1.5)), kSteel, 2);
}

QImage SettingsPlain() {
  QImage img = Backdrop(QStringLiteral("SETTINGS AND COUNTERS"), kSetPanel);
  ValueBox(&img, kUpdateValue);
  ValueBox(&img, kPeriodValue);
  GridFrame(&img, kGrid1);
  GridFrame(&img, kGrid2);
  ValueBox(&img, kSetCredits);
  const auto mid = [](const QRect& r) { return r.top() + r.height() / 2.0; };
  SmallText(&img, QStringLiteral("AUTOMATIC ROTATION OF GAMES"), 456, mid(kUpdateValue), true);
  {
    // The keys of the two lists, centred under both.
    const QFont hint = ResolveFont(kSans, 11, true, false);
    FillPath(
        &img,
        CentredOn(TextPath(hint, QStringLiteral("P2 \u25C0\u25B6 CHOOSE LIST      P2 \u25B2\u25BC "
                                                "CHOOSE GAME      P2 START: EXCHANGE")),
                  {310.5, 367}),
        kCyanDim);
  }
  const QFont font = ResolveFont(kSans, 16, true, true);
  GoldWords(&img, RightAt(font, QStringLiteral("TOTAL CREDITS"), 456, mid(kSetCredits)),
            QPainterPath());
  SmallText(&img, QStringLiteral("RESET: PRESS START SIX TIMES"), 622, 434, true);
  SmallText(&img, QStringLiteral("\u25B2\u25BC SELECT     \u25C0\u25B6 CHANGE     START: ENTER"),
            622, 452, true);
  return img;
}

ScreenDesign SettingsDesign() {
  const QImage plain = SettingsPlain();
  ScreenDesign d = Design(
      kSetItems, plain,
      [](QImage* img, std::size_t i, bool lit) { MenuItem(img, kSetItems[i], lit); },
      "QDtestSETSUP", "QDtestSETSDWN");
  ResetButton(&d.normal, false);
  for (QImage& lit : d.lit) ResetButton(&lit, false);
  return d;
}

// RESET: the button lit in rows 0..59, normal in rows 68..127, each on the screen it lies on.
QImage DrawResetPicture(const ScreenDesign& d) {
  QImage lit_screen = d.normal.copy();
  CopyArea(&lit_screen, SettingsPlain(), kReset);
  ResetButton(&lit_screen, true);
  QImage img = Canvas(101, 161, kPanel);
  QPainter p(&img);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QPoint(kResetLit.x1, kResetLit.y1), lit_screen, kReset);
  p.drawImage(QPoint(kResetNormal.x1, kResetNormal.y1), d.normal, kReset);
  return img;
}

// ---------------------------------------------------------------- input test

const QRectF kInputsPanel(6, 34, 628, 386);

QRadialGradient CapGradient(QPointF c, qreal r, const QColor& hi, const QColor& lo) {
  QRadialGradient g(c - QPointF(r * 0.3, r * 0.35), r * 1.3);
  g.setColorAt(0, hi);
  g.setColorAt(1, lo);
  return g;
}

void RoundButton(QImage* img, const QRect& place, bool lit) {
  const QPointF c(place.left() + place.width() / 2.0, place.top() + place.height() / 2.0);
  QPainterPath bezel;
  bezel.addEllipse(c, 21, 21);
  QPainterPath cap;
  cap.addEllipse(c, 16, 16);
  const QPainterPath clip = Area(QRectF(place));
  FillPath(img, bezel, QColor(0x14, 0x16, 0x2a));
  StrokePath(img, bezel, QColor(0x4a, 0x56, 0x80), 2);
  if (lit) {
    AddGlow(img, cap, kMagenta, 3, 1.0, 0, clip);
    FillPath(img, cap, CapGradient(c, 16, QColor(0xff, 0xe4, 0xf6), QColor(0xe0, 0x1c, 0x9a)));
    StrokePath(img, cap, kPink, 1.5);
  } else {
    FillPath(img, cap, CapGradient(c, 16, QColor(0x3a, 0x4a, 0x90), QColor(0x12, 0x16, 0x3a)));
    StrokePath(img, cap, kSteel, 1.5);
  }
  QPainterPath shine;
  shine.addEllipse(QRectF(c.x() - 8, c.y() - 11, 9, 5));
  FillPath(img, shine, QColor(255, 255, 255, lit ? 150 : 45));
}

void StartButton(QImage* img, const QRect& place, const QString& label, bool lit) {
  const QRectF box(place.left() + 7, place.top() + 6, place.width() - 14, place.height() - 14);
  const QPainterPath body = Rounded(box, 12);
  const QPainterPath clip = Area(QRectF(place));
  const QFont big = ResolveFont(kSans, 18, true, true);
  const QFont small = ResolveFont(kSans, 9, true, false);
  const QPainterPath name = CentredOn(TextPath(big, label), box.center() - QPointF(0, 6));
  const QPainterPath start =
      CentredOn(TextPath(small, QStringLiteral("START")), box.center() + QPointF(0, 12));
  if (lit) {
    AddGlow(img, body, kMagenta, 3, 1.0, 2, clip);
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xff, 0x6a, 0xcc), QColor(0x8a, 0x0c, 0x6a)));
    FillPath(img, Rounded(box.adjusted(3, 3, -3, -box.height() / 2), 9), QColor(255, 255, 255, 70));
    StrokePath(img, body, kPink, 2);
    FillPath(img, name, Qt::white);
    FillPath(img, start, Qt::white);
  } else {
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x22, 0x2e, 0x64), QColor(0x0c, 0x11, 0x30)));
    FillPath(img, Rounded(box.adjusted(3, 3, -3, -box.height() / 2), 9), QColor(255, 255, 255, 22));
    StrokePath(img, body, kCyan, 2);
    FillPath(img, name, kGold);
    FillPath(img, start, kCyanPale);
  }
}

void MenuButton(QImage* img, const QRect& place, bool lit) {
  const QRectF box = Inset(place, 5);
  const QPainterPath body = Rounded(box, 8);
  const QFont font = ResolveFont(kSans, 16, true, true);
  const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("MENU")), box.center());
  if (lit) {
    AddGlow(img, body, kMagenta, 3, 1.0, 2, Area(QRectF(place)));
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xe4, 0x34, 0x9c), QColor(0x4e, 0x0b, 0x66)));
    StrokePath(img, body, kPink, 2);
    FillPath(img, text, Qt::white);
  } else {
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x22, 0x2e, 0x64), QColor(0x0c, 0x11, 0x30)));
    StrokePath(img, body, kSteel, 2);
    FillPath(img, text, kCyanPale);
  }
}

void ArrowKey(QImage* img, const QRect& place, Control dir, bool lit) {
  const QRectF box = Inset(place, 4);
  const QPainterPath body = Rounded(box, 6);
  // The arrow points away from the stick, in the outer half of the key.
  const bool horizontal = dir == Control::kLeft || dir == Control::kRight;
  const qreal len = 11, half = 8;
  QPointF tip, c = box.center();
  QPainterPath arrow;
  if (horizontal) {
    const int sgn = dir == Control::kLeft ? -1 : 1;
    c.setX(c.x() + sgn * 6);
    tip = QPointF(c.x() + sgn * len / 2, c.y());
    arrow.moveTo(tip);
    arrow.lineTo(c.x() - sgn * len / 2, c.y() - half);
    arrow.lineTo(c.x() - sgn * len / 2, c.y() + half);
  } else {
    const int sgn = dir == Control::kUp ? -1 : 1;
    c.setY(c.y() + sgn * 8);
    tip = QPointF(c.x(), c.y() + sgn * len / 2);
    arrow.moveTo(tip);
    arrow.lineTo(c.x() - half, c.y() - sgn * len / 2);
    arrow.lineTo(c.x() + half, c.y() - sgn * len / 2);
  }
  arrow.closeSubpath();
  if (lit) {
    // The keys of a stick overlap at their corners by two pixels: the light stays off them.
    AddGlow(img, body, kMagenta, 2, 1.0, 2, Area(Inset(place, 2)));
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xe4, 0x34, 0x9c), QColor(0x5e, 0x0b, 0x70)));
    StrokePath(img, body, kPink, 2);
    AddGlow(img, arrow, Qt::white, 2, 0.8, 0, body);
    FillPath(img, arrow, Qt::white);
  } else {
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0x1c, 0x26, 0x56), QColor(0x0c, 0x11, 0x30)));
    StrokePath(img, body, kSteel, 2);
    FillPath(img, arrow, kCyan);
  }
}

void DrawIndicator(QImage* img, const Indicator& ind, bool lit) {
  const QRect place = ShownArea(ind.object);
  switch (ind.control) {
    case Control::kMenu:
      MenuButton(img, place, lit);
      break;
    case Control::kStart:
      StartButton(img, place, ind.object.label, lit);
      break;
    case Control::kButton:
      RoundButton(img, place, lit);
      break;
    default:
      ArrowKey(img, place, ind.control, lit);
      break;
  }
}

void StickBall(QImage* img, QPointF c) {
  QPainterPath ball;
  ball.addEllipse(c, 11, 11);
  FillPath(img, ball, CapGradient(c, 11, QColor(0xff, 0x8a, 0x9a), QColor(0x90, 0x0a, 0x24)));
  StrokePath(img, ball, QColor(0x40, 0x06, 0x12), 1);
}

QImage InputsPlain() {
  QImage img = Backdrop(QStringLiteral("INPUTS TEST"), kInputsPanel);
  const QFont heading = ResolveFont(kSans, 13, true, true);
  for (const auto& [x, words] : {std::pair<qreal, QString>{208.5, QStringLiteral("PLAYER 1")},
                                 std::pair<qreal, QString>{503.5, QStringLiteral("PLAYER 2")}}) {
    FillPath(&img, CentredOn(TextPath(heading, words), {x, 116}), kCyanPale);
  }
  SmallText(&img, QStringLiteral("EXIT"), 61, 98, false, kCyanDim, 10);
  // The sticks' tops, between their four keys.
  StickBall(&img, {128.5, 326.5});
  StickBall(&img, {424.5, 326.5});
  SmallText(&img, QStringLiteral("PLAYER 1 STICK"), 128.5 - 40, 412, false, kCyanDim, 10);
  SmallText(&img, QStringLiteral("PLAYER 2 STICK"), 424.5 - 40, 412, false, kCyanDim, 10);
  const QFont font = ResolveFont(kSans, 20, true, true);
  GoldWords(&img,
            CentredOn(TextPath(font, QStringLiteral("EXIT (PRESS BOTH P1 AND P2)")), {320, 442}),
            QPainterPath());
  SmallText(&img, QStringLiteral("EVERY CONTROL LIGHTS UP WHEN ITS INPUT ARRIVES"), 320 - 150, 467,
            false, kCyanDim, 11);
  return img;
}

std::vector<LitObject> IndicatorObjects() {
  std::vector<LitObject> v;
  for (const Indicator& i : kIndicators) v.push_back(i.object);
  return v;
}

ScreenDesign InputsDesign() {
  const QImage plain = InputsPlain();
  return Design(
      IndicatorObjects(), plain,
      [](QImage* img, std::size_t i, bool lit) { DrawIndicator(img, kIndicators[i], lit); },
      "QDtestINPUTSUP", "QDtestINPUTSDWN");
}

// ---------------------------------------------------------------- monitor test card

void Line(QPainter& p, qreal x1, qreal y1, qreal x2, qreal y2) {
  p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void ExitButton(QImage* img, bool lit) {
  const QRect place = kMonitorExit.place;
  const QRectF box = Inset(place, 1);
  const QPainterPath body = Rounded(box, 7);
  const QFont font = ResolveFont(kSans, 16, true, true);
  const QPainterPath text = CentredOn(TextPath(font, QStringLiteral("EXIT")), box.center());
  {
    QPainter p(img);
    p.fillRect(place, Qt::black);
  }
  if (lit) {
    FillPath(img, body,
             Vertical(box.top(), box.bottom(), QColor(0xe4, 0x34, 0x9c), QColor(0x4e, 0x0b, 0x66)));
    AddGlow(img, Rounded(box.adjusted(1, 1, -1, -1), 6), kMagenta, 2, 1.0, 2, body);
    StrokePath(img, Rounded(box.adjusted(1, 1, -1, -1), 6), kPink, 2);
    FillPath(img, text, Qt::white);
  } else {
    FillPath(img, body, QColor(0x0c, 0x11, 0x30));
    StrokePath(img, Rounded(box.adjusted(1, 1, -1, -1), 6), kCyan, 2);
    FillPath(img, text, kCyanPale);
  }
}

QImage MonitorPlain() {
  QImage img = Canvas(kScreenW, kScreenH, QColor(0x30, 0x30, 0x30));
  QPainter p(&img);
  // Crosshatch: 16 x 12 squares of 40 pixels, one-pixel white lines, the outermost on the edge
  // pixels (geometry, convergence, overscan).
  p.setPen(QPen(Qt::white, 1));
  for (int x = 0; x <= 640; x += 40)
    Line(p, std::min(x, 639) + 0.5, 0, std::min(x, 639) + 0.5, 480);
  for (int y = 0; y <= 480; y += 40)
    Line(p, 0, std::min(y, 479) + 0.5, 640, std::min(y, 479) + 0.5);
  p.setPen(Qt::NoPen);
  // Centre block, black, holding the patterns.
  const QRect centre(120, 80, 400, 320);
  p.fillRect(centre, Qt::black);
  // Colour bars at full level: white, yellow, cyan, green, magenta, red, blue, black.
  const QColor bars[] = {
      Qt::white,           QColor(255, 255, 0), QColor(0, 255, 255), QColor(0, 255, 0),
      QColor(255, 0, 255), QColor(255, 0, 0),   QColor(0, 0, 255),   Qt::black};
  for (int i = 0; i < 8; ++i) p.fillRect(QRect(120 + 50 * i, 100, 50, 80), bars[i]);
  // Gray scale: eight steps from black to white.
  for (int i = 0; i < 8; ++i) {
    const int v = i * 255 / 7;
    p.fillRect(QRect(120 + 50 * i, 180, 50, 40), QColor(v, v, v));
  }
  // Near-black steps for the brightness (black, 4 %, 8 %, 12 %) and gray/black bars for
  // streaking and the black level, each 50 pixels.
  const int darks[] = {0, 10, 20, 31};
  for (int i = 0; i < 4; ++i) {
    p.fillRect(QRect(120 + 50 * i, 220, 50, 40), QColor(darks[i], darks[i], darks[i]));
  }
  for (int i = 0; i < 4; ++i) {
    p.fillRect(QRect(320 + 50 * i, 220, 50, 40), i % 2 == 0 ? QColor(128, 128, 128) : Qt::black);
  }
  // Line patterns (sharpness, interlace): vertical lines 1, 2, 3 and 4 pixels wide, then
  // horizontal lines 1 and 2 pixels high.
  for (int k = 0; k < 4; ++k) {
    const int w = k + 1;
    const QRect zone(120 + 64 * k, 260, 64, 50);
    for (int x = zone.left(); x + w <= zone.right() + 1; x += 2 * w) {
      p.fillRect(QRect(x, zone.top(), w, zone.height()), Qt::white);
    }
  }
  for (int k = 0; k < 2; ++k) {
    const int h = k + 1;
    const QRect zone(376 + 72 * k, 260, 72, 50);
    for (int y = zone.top(); y + h <= zone.bottom() + 1; y += 2 * h) {
      p.fillRect(QRect(zone.left(), y, zone.width(), h), Qt::white);
    }
  }
  // Dark, gray and white steps: the contrast and white balance.
  const int steps[] = {32, 128, 255};
  for (int i = 0; i < 3; ++i) {
    const int v = steps[i];
    p.fillRect(QRect(120 + 400 * i / 3, 310, 400 / 3 + (i == 2 ? 1 : 0), 50), QColor(v, v, v));
  }
  p.end();
  // The large circle (linearity, aspect) and a centre cross.
  {
    QPainter q(&img);
    q.setRenderHint(QPainter::Antialiasing);
    q.setPen(QPen(Qt::white, 2));
    q.drawEllipse(QPointF(320, 240), 228, 228);
    // Focus circles in the four corners.
    for (const QPointF c :
         {QPointF(40.5, 40.5), QPointF(599.5, 40.5), QPointF(40.5, 439.5), QPointF(599.5, 439.5)}) {
      q.setPen(Qt::NoPen);
      q.setBrush(Qt::black);
      q.drawEllipse(c, 30, 30);
      q.setBrush(Qt::NoBrush);
      q.setPen(QPen(Qt::white, 1));
      for (int r = 4; r <= 28; r += 4) q.drawEllipse(c, r, r);
      Line(q, c.x() - 30, c.y(), c.x() + 30, c.y());
      Line(q, c.x(), c.y() - 30, c.x(), c.y() + 30);
    }
  }
  // The card's name.
  const QFont font = ResolveFont(kSans, 13, true, false);
  {
    QPainter q(&img);
    q.fillRect(QRect(250, 82, 140, 16), Qt::black);
  }
  FillPath(&img, CentredOn(TextPath(font, QStringLiteral("MONITOR TEST")), {320, 90}), Qt::white);
  SmallText(&img, QStringLiteral("P1 START"), 320 - 23, 374, false, QColor(0xc0, 0xc0, 0xc0), 10);
  return img;
}

ScreenDesign MonitorDesign() {
  const QImage plain = MonitorPlain();
  return Design(
      {kMonitorExit}, plain, [](QImage* img, std::size_t, bool lit) { ExitButton(img, lit); },
      "QDMONTESTUP", "QDMONTESTDWN");
}

}  // namespace

QStringList OperatorSkins() {
  return {QStringLiteral("test"), QStringLiteral("settings"), QStringLiteral("inputs"),
          QStringLiteral("monitor")};
}

OperatorSkinArt DrawOperatorSkin(const QString& skin) {
  OperatorSkinArt art;
  if (skin == "test") {
    art.design = TestDesign();
    const auto [up, dwn] = BakePictures(art.design);
    art.pictures = {{"QDtestUP", "qdtestup.png", up},
                    {"QDtestDWN", "qdtestdwn.png", dwn},
                    {"QDtestBMPS", "qdtestbmps.png", DrawBmps()}};
    art.values = TestValues();
  } else if (skin == "settings") {
    art.design = SettingsDesign();
    const auto [up, dwn] = BakePictures(art.design);
    art.pictures = {{"QDtestSETSUP", "qdtestsetsup.png", up},
                    {"QDtestSETSDWN", "qdtestsetsdwn.png", dwn},
                    {"QDtestBMPS", "qdtestbmps.png", DrawBmps()},
                    {"RESET", "reset.png", DrawResetPicture(art.design)}};
    art.values = SettingsValues();
  } else if (skin == "inputs") {
    art.design = InputsDesign();
    const auto [up, dwn] = BakePictures(art.design);
    art.pictures = {{"QDtestINPUTSUP", "qdtestinputsup.png", up},
                    {"QDtestINPUTSDWN", "qdtestinputsdwn.png", dwn}};
  } else if (skin == "monitor") {
    art.design = MonitorDesign();
    const auto [up, dwn] = BakePictures(art.design);
    art.pictures = {{"QDMONTESTUP", "qdmontestup.png", up},
                    {"QDMONTESTDWN", "qdmontestdwn.png", dwn}};
  } else {
    throw std::invalid_argument("no operator skin \"" + skin.toStdString() + "\"");
  }
  return art;
}

}  // namespace cs::skinart
