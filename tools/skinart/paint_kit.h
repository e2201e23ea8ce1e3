#pragma once

// Small drawing helpers for the skin pictures: exact fonts, a deterministic blur for neon glow,
// text outlines and the compositing rule of the skin engine.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QString>

#include "menu_layout.h"

namespace cs::skinart {

// The font of that family at a pixel size. Throws std::runtime_error when the font system
// resolves the request to another family: a substitute would change every picture.
QFont ResolveFont(const QString& family, int pixel_size, bool bold, bool italic);

// A premultiplied ARGB picture filled with one colour.
QImage Canvas(int width, int height, const QColor& fill);

// Blurs every channel of a premultiplied picture with three box passes of the given radius
// (close to a Gaussian); pixels outside the picture count as transparent.
void Blur(QImage* image, int radius);

// The outline of a text, and the same path moved so that its bounding box is centred on centre.
QPainterPath TextPath(const QFont& font, const QString& text);
QPainterPath CentredOn(QPainterPath path, QPointF centre);

// Adds light around a shape: the shape filled (or stroked, when stroke_width > 0) in colour,
// blurred by radius and added onto target with the given strength.
// When clip is not empty the light stays inside it.
void AddGlow(QImage* target, const QPainterPath& shape, const QColor& colour, int radius,
             qreal strength, qreal stroke_width = 0, const QPainterPath& clip = QPainterPath());

// A rounded rectangle, and a plain rectangle as a path (for clips).
QPainterPath Rounded(const QRectF& box, qreal radius);
QPainterPath Area(const QRectF& box);

// Fills or strokes a path with antialiasing.
void FillPath(QImage* target, const QPainterPath& path, const QBrush& brush);
void StrokePath(QImage* target, const QPainterPath& path, const QColor& colour, qreal width);

// The skin engine's rule for an image step: the rectangle of the picture, unscaled, with its
// top-left at the object's place, clipped to the object; parts outside the picture are skipped.
void ShowInto(QImage* screen, const QRect& object, const QImage& picture, const PicRect& rect);

// The largest difference of one colour channel between two pictures inside area, and where it
// is when worst is given.
int MaxDifference(const QImage& a, const QImage& b, const QRect& area, QPoint* worst = nullptr);

}  // namespace cs::skinart
