#include "fake_game_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/video_writer.h"

namespace cs::fakegame {

namespace {

std::uint32_t Hash(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

// A small deterministic generator (xorshift).
struct Rng {
  std::uint32_t s;
  std::uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int In(int n) { return static_cast<int>(Next() % static_cast<std::uint32_t>(n)); }
};

QColor Hue(std::uint32_t seed, int shift, int sat = 220, int val = 255) {
  return QColor::fromHsv(static_cast<int>((seed + static_cast<std::uint32_t>(shift)) % 360), sat,
                         val);
}

void Stars(QPainter& g, Rng rng, int w, int h, int frame) {
  for (int i = 0; i < 70; ++i) {
    const int x = rng.In(w);
    const int speed = 1 + rng.In(3);
    const int y = (rng.In(h) + frame * speed) % h;
    const int b = 90 + speed * 50;
    g.fillRect(x, y, speed, speed, QColor(b, b, b));
  }
}

void Ship(QPainter& g, QPointF c, double s, const QColor& col) {
  QPainterPath p;
  p.moveTo(c.x(), c.y() - 10 * s);
  p.lineTo(c.x() + 8 * s, c.y() + 8 * s);
  p.lineTo(c.x(), c.y() + 4 * s);
  p.lineTo(c.x() - 8 * s, c.y() + 8 * s);
  p.closeSubpath();
  g.fillPath(p, col);
}

void Invader(QPainter& g, int x, int y, int s, const QColor& col, bool open) {
  static const char* rows[2][6] = {
      {"..X..X..", ".XXXXXX.", "XX.XX.XX", "XXXXXXXX", ".X....X.", "X......X"},
      {"..X..X..", "X.XXXX.X", "XX.XX.XX", "XXXXXXXX", "..X..X..", ".X....X."}};
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 8; ++c) {
      if (rows[open][r][c] == 'X') g.fillRect(x + c * s, y + r * s, s, s, col);
    }
  }
}

void Shooter(QPainter& g, const Look& look, Phase phase, int f, int w, int h) {
  g.fillRect(0, 0, w, h, QColor(4, 4, 16));
  Stars(g, Rng{look.seed | 1}, w, h, f);
  const int s = std::max(2, w / 110);
  const int dx = static_cast<int>(std::sin(f / 12.0) * w / 10);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 7; ++c) {
      Invader(g, w / 8 + c * w / 10 + dx, h / 6 + r * h / 10, s, Hue(look.seed, r * 40),
              (f / 8 + c) % 2 == 0);
    }
  }
  if (phase != Phase::kGameOver) {
    const double px = w / 2 + std::sin(f / 9.0) * w / 3;
    Ship(g, QPointF(px, h * 0.86), s / 1.5, QColor(80, 255, 160));
    if (phase == Phase::kPlay || f % 20 < 10) {
      g.fillRect(QRectF(px - 1, h * 0.86 - 14 - (f % 10) * h / 14.0, 2, 8), QColor(255, 255, 120));
    }
  }
}

void Racer(QPainter& g, const Look& look, Phase, int f, int w, int h) {
  QLinearGradient sky(0, 0, 0, h / 2);
  sky.setColorAt(0, Hue(look.seed, 200, 160, 120));
  sky.setColorAt(1, Hue(look.seed, 20, 200, 255));
  g.fillRect(0, 0, w, h / 2, sky);
  g.fillRect(0, h / 2, w, h - h / 2, QColor(30, 110, 40));
  // The road in perspective, with moving stripes.
  for (int y = h / 2; y < h; ++y) {
    const double t = (y - h / 2.0) / (h / 2.0);
    const double half = w * (0.05 + 0.45 * t);
    const double curve = std::sin(f / 25.0) * w * 0.2 * (1 - t);
    const int cx = static_cast<int>(w / 2 + curve);
    const bool band = static_cast<int>(std::log(t + 0.02) * 30 - f * 0.8) % 2 == 0;
    g.fillRect(QRectF(cx - half, y, half * 2, 1), band ? QColor(90, 90, 96) : QColor(70, 70, 76));
    g.fillRect(QRectF(cx - half - half * 0.08, y, half * 0.08, 1),
               band ? Qt::white : QColor(220, 30, 30));
    g.fillRect(QRectF(cx + half, y, half * 0.08, 1), band ? Qt::white : QColor(220, 30, 30));
  }
  const int carW = w / 7, carH = h / 9;
  const int carX = static_cast<int>(w / 2 - carW / 2 + std::sin(f / 7.0) * w / 12);
  g.fillRect(carX, h - carH - h / 20, carW, carH, Hue(look.seed, 0));
  g.fillRect(carX + carW / 5, h - carH - h / 20 - carH / 3, carW * 3 / 5, carH / 2,
             QColor(40, 40, 60));
}

void Maze(QPainter& g, const Look& look, Phase phase, int f, int w, int h) {
  g.fillRect(0, 0, w, h, Qt::black);
  const int cols = 15, rows = 11;
  const int cw = w / cols, ch = (h - h / 8) / rows;
  Rng rng{look.seed | 7};
  const QColor wall = Hue(look.seed, 230, 200, 230);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const int x = c * cw, y = h / 8 + r * ch;
      const bool isWall = r == 0 || c == 0 || r == rows - 1 || c == cols - 1 ||
                          (r % 2 == 0 && c % 2 == 0) || rng.In(9) == 0;
      if (isWall) {
        g.setPen(QPen(wall, 2));
        g.setBrush(Qt::NoBrush);
        g.drawRoundedRect(x + 2, y + 2, cw - 4, ch - 4, 4, 4);
      } else if ((r + c + f / 6) % 3 != 0) {
        g.fillRect(x + cw / 2 - 1, y + ch / 2 - 1, 3, 3, QColor(255, 200, 170));
      }
    }
  }
  if (phase != Phase::kGameOver) {
    const int path = (f * 2) % ((cols - 2) * cw);
    g.setBrush(QColor(255, 230, 0));
    g.setPen(Qt::NoPen);
    const int mouth = std::abs((f % 10) - 5) * 8;
    g.drawPie(QRect(cw + path, h / 8 + ch * 5 + 2, ch - 4, ch - 4), mouth * 16,
              (360 - 2 * mouth) * 16);
  }
  for (int i = 0; i < 3; ++i) {
    const int gx = static_cast<int>(w / 2 + std::sin(f / 11.0 + i * 2) * w / 3);
    g.setBrush(Hue(look.seed, 100 + i * 80));
    g.drawRoundedRect(gx, h / 8 + ch * (2 + i * 3), ch - 4, ch - 4, 6, 6);
  }
}

void Platformer(QPainter& g, const Look& look, Phase phase, int f, int w, int h) {
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, Hue(look.seed, 180, 120, 90));
  sky.setColorAt(1, Hue(look.seed, 260, 160, 40));
  g.fillRect(0, 0, w, h, sky);
  const int scroll = (f * 3) % w;
  for (int i = 0; i < 6; ++i) {
    const int x = (i * w / 3 - scroll + w * 2) % (w * 2) - w / 2;
    const int y = h / 3 + (i % 3) * h / 6;
    g.fillRect(x, y, w / 4, h / 30, Hue(look.seed, 40, 180, 200));
  }
  g.fillRect(0, h - h / 10, w, h / 10, Hue(look.seed, 60, 200, 120));
  if (phase != Phase::kGameOver) {
    const double jump = std::abs(std::sin(f / 8.0)) * h / 4;
    const QRectF hero(w / 3, h - h / 10 - h / 9 - jump, w / 24, h / 9);
    g.fillRect(hero, QColor(255, 90, 60));
    g.fillRect(QRectF(hero.x(), hero.y(), hero.width(), hero.height() / 3), QColor(255, 220, 180));
  }
}

void Hud(QPainter& g, const Look& look, Phase phase, const QString& title, int f, int w, int h,
         int score) {
  QFont f1(QStringLiteral("DejaVu Sans Mono"));
  f1.setBold(true);
  f1.setPixelSize(std::max(8, h / 22));
  g.setFont(f1);
  g.setPen(QColor(255, 80, 80));
  g.drawText(QRect(6, 2, w / 3, h / 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("1UP"));
  g.setPen(Qt::white);
  g.drawText(QRect(6, h / 16, w / 3, h / 16), Qt::AlignLeft | Qt::AlignVCenter,
             QString::number(score).rightJustified(6, QLatin1Char('0')));
  g.setPen(QColor(255, 80, 80));
  g.drawText(QRect(w / 3, 2, w / 3, h / 16), Qt::AlignCenter, QStringLiteral("HI-SCORE"));
  g.setPen(Qt::white);
  g.drawText(QRect(w / 3, h / 16, w / 3, h / 16), Qt::AlignCenter,
             QString::number(50000 + static_cast<int>(look.seed % 50) * 1000));
  if (phase == Phase::kAttract) {
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setBold(true);
    big.setItalic(true);
    big.setPixelSize(std::max(10, h / 9));
    g.setFont(big);
    const QRect band(0, h * 2 / 5, w, h / 6);
    g.setPen(QColor(0, 0, 0, 160));
    g.drawText(band.translated(3, 3), Qt::AlignCenter, title.toUpper());
    g.setPen(Hue(look.seed, 30, 120, 255));
    g.drawText(band, Qt::AlignCenter, title.toUpper());
    if (f % 30 < 18) {
      g.setFont(f1);
      g.setPen(QColor(255, 255, 120));
      g.drawText(QRect(0, h * 3 / 5, w, h / 10), Qt::AlignCenter, QStringLiteral("PUSH START"));
    }
  } else if (phase == Phase::kGameOver) {
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setBold(true);
    big.setPixelSize(std::max(10, h / 8));
    g.setFont(big);
    g.setPen(QColor(255, 60, 60));
    g.drawText(QRect(0, h * 2 / 5, w, h / 5), Qt::AlignCenter, QStringLiteral("GAME OVER"));
  }
}

}  // namespace

Look LookOf(const std::string& namefile) {
  const std::uint32_t h = Hash(namefile);
  return Look{static_cast<int>(h % 4), h};
}

QImage DrawFrame(const Look& look, const QString& title, Phase phase, int frame, int w, int h,
                 int score) {
  QImage img(w, h, QImage::Format_RGB32);
  QPainter g(&img);
  g.setRenderHint(QPainter::Antialiasing);
  switch (look.genre) {
    case 0:
      Shooter(g, look, phase, frame, w, h);
      break;
    case 1:
      Racer(g, look, phase, frame, w, h);
      break;
    case 2:
      Maze(g, look, phase, frame, w, h);
      break;
    default:
      Platformer(g, look, phase, frame, w, h);
      break;
  }
  Hud(g, look, phase, title, frame, w, h, score);
  return img;
}

bool WritePreview(const std::string& file, const std::string& namefile, const QString& title, int w,
                  int h, int frames, std::string* error) {
  VideoWriter vw;
  if (!vw.Open(file, w, h, 25, error)) return false;
  const Look look = LookOf(namefile);
  for (int i = 0; i < frames; ++i) {
    const Phase phase = i < frames / 3 ? Phase::kAttract : Phase::kPlay;
    vw.Write(DrawFrame(look, title, phase, i, w, h, i * 10));
  }
  if (!vw.Close()) {
    if (error) *error = "cannot write " + file;
    return false;
  }
  return true;
}

}  // namespace cs::fakegame
