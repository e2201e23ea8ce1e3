#pragma once
// A throw-away skin folder: pictures drawn with QImage and an INI text.
#include <QImage>
#include <QTemporaryDir>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

namespace cs::test {

// Pixel colours of the fixture pictures (0xRRGGBB). Channels of 200 make fade mid-points exact.
inline constexpr std::uint32_t kBackground = 0x202020;
inline constexpr std::uint32_t kNormal = 0x00C800;  // btn x 0..29
inline constexpr std::uint32_t kLit = 0x0000C8;     // btn x 30..59
inline constexpr std::uint32_t kRed = 0xC80000;

class SkinFolder {
 public:
  SkinFolder() {
    Picture("bg.png", 640, 480, [](int, int) { return kBackground; });
    Picture("btn.png", 60, 20, [](int x, int) { return x < 30 ? kNormal : kLit; });
    Picture("red.png", 30, 20, [](int, int) { return kRed; });
  }

  std::string Path(const std::string& name) const {
    return dir_.filePath(QString::fromStdString(name)).toStdString();
  }

  void Picture(const std::string& name, int w, int h,
               const std::function<std::uint32_t(int, int)>& rgb) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) img.setPixel(x, y, 0xFF000000u | rgb(x, y));
    }
    img.save(QString::fromStdString(Path(name)));
  }

  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }

 private:
  QTemporaryDir dir_;
};

// A small skin: BACK holds A (with child A1) and B; C is hidden. A's scripts light and unlight it.
inline const char* kBaseSkin = R"([Images]
bg=bg.png
btn=btn.png
red=red.png

[BACK]
Kind=form
Image=bg,0,0,639,479
Left=0
Top=0
Width=640
Height=480
Child=A,B,C

[A]
Image=btn,0,0,29,19
Left=10
Top=10
Width=30
Height=20
HoverEvent=ChangeImage(btn,30,0,59,19);action(1)
LeaveEvent=ChangeImage(btn,0,0,29,19)
Child=A1

[A1]
Image=red,0,0,29,19
Left=10
Top=40
Width=30
Height=20
HoverEvent=action(11)

[B]
Image=btn,0,0,29,19
Left=100
Top=10
Width=30
Height=20
HoverEvent=action(2)
ClickEvent=FadeImage(btn,30,0,59,19,100)

[C]
Image=red,0,0,29,19
Left=200
Top=10
Width=30
Height=20
Visible=false
HoverEvent=ChangeImage(btn,30,0,59,19);action(3)
)";

}  // namespace cs::test
