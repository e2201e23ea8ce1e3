#include "paint_kit.h"

#include <QFontInfo>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace cs::skinart {

QFont ResolveFont(const QString& family, int pixel_size, bool bold, bool italic) {
  QFont font(family);
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  font.setItalic(italic);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::NoFontMerging));
  const QFontInfo info(font);
  if (info.family() != family) {
    throw std::runtime_error("font \"" + family.toStdString() + "\" is not installed (got \"" +
                             info.family().toStdString() + "\")");
  }
  return font;
}

QImage Canvas(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

namespace {

// One box pass along a line of count pixels, step pixels apart.
void BoxLine(QRgb* first, int count, int step, int radius, std::vector<QRgb>* line) {
  line->resize(count);
  for (int i = 0; i < count; ++i) (*line)[i] = first[i * step];
  const int window = 2 * radius + 1;
  int a = 0, r = 0, g = 0, b = 0;
  auto add = [&](QRgb px, int sign) {
    a += sign * qAlpha(px);
    r += sign * qRed(px);
    g += sign * qGreen(px);
    b += sign * qBlue(px);
  };
  for (int k = 0; k < radius && k < count; ++k) add((*line)[k], 1);
  for (int i = 0; i < count; ++i) {
    if (i + radius < count) add((*line)[i + radius], 1);
    if (i - radius - 1 >= 0) add((*line)[i - radius - 1], -1);
    const int half = window / 2;
    first[i * step] =
        qRgba((r + half) / window, (g + half) / window, (b + half) / window, (a + half) / window);
  }
}

}  // namespace

void Blur(QImage* image, int radius) {
  if (radius <= 0) return;
  if (image->format() != QImage::Format_ARGB32_Premultiplied) {
    *image = image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
  }
  const int w = image->width();
  const int h = image->height();
  const int stride = image->bytesPerLine() / 4;
  auto* bits = reinterpret_cast<QRgb*>(image->bits());
  std::vector<QRgb> line;
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y) BoxLine(bits + y * stride, w, 1, radius, &line);
    for (int x = 0; x < w; ++x) BoxLine(bits + x, h, stride, radius, &line);
  }
}

QPainterPath TextPath(const QFont& font, const QString& text) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  return path;
}

QPainterPath CentredOn(QPainterPath path, QPointF centre) {
  const QRectF box = path.boundingRect();
  path.translate(centre - box.center());
  return path;
}

QPainterPath Rounded(const QRectF& box, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(box, radius, radius);
  return path;
}

QPainterPath Area(const QRectF& box) {
  QPainterPath path;
  path.addRect(box);
  return path;
}

void AddGlow(QImage* target, const QPainterPath& shape, const QColor& colour, int radius,
             qreal strength, qreal stroke_width, const QPainterPath& clip) {
  // Only the neighbourhood of the shape is blurred, which keeps large pictures quick.
  const QRect area =
      shape.boundingRect()
          .toAlignedRect()
          .adjusted(-4 * radius - int(stroke_width) - 2, -4 * radius - int(stroke_width) - 2,
                    4 * radius + int(stroke_width) + 2, 4 * radius + int(stroke_width) + 2)
          .intersected(target->rect());
  if (area.isEmpty()) return;
  QImage layer = Canvas(area.width(), area.height(), Qt::transparent);
  {
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-area.topLeft());
    if (stroke_width > 0) {
      p.strokePath(shape, QPen(colour, stroke_width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
      p.fillPath(shape, colour);
    }
  }
  Blur(&layer, radius);
  QPainter p(target);
  if (!clip.isEmpty()) p.setClipPath(clip);
  p.setCompositionMode(QPainter::CompositionMode_Plus);
  p.setOpacity(strength);
  p.drawImage(area.topLeft(), layer);
}

void FillPath(QImage* target, const QPainterPath& path, const QBrush& brush) {
  QPainter p(target);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillPath(path, brush);
}

void StrokePath(QImage* target, const QPainterPath& path, const QColor& colour, qreal width) {
  QPainter p(target);
  p.setRenderHint(QPainter::Antialiasing);
  p.strokePath(path, QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void ShowInto(QImage* screen, const QRect& object, const QImage& picture, const PicRect& rect) {
  const QRect source = QRect(rect.x1, rect.y1, rect.Width(), rect.Height())
                           .intersected(QRect(rect.x1, rect.y1, object.width(), object.height()))
                           .intersected(picture.rect());
  if (source.isEmpty()) return;
  QPainter p(screen);
  p.setClipRect(object);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(object.topLeft() + (source.topLeft() - QPoint(rect.x1, rect.y1)), picture, source);
}

int MaxDifference(const QImage& a, const QImage& b, const QRect& area, QPoint* where) {
  int worst = 0;
  const QRect inside = area.intersected(a.rect()).intersected(b.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
      if (d > worst) {
        worst = d;
        if (where != nullptr) *where = QPoint(x, y);
      }
    }
  }
  return worst;
}

}  // namespace cs::skinart
