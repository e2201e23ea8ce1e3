#pragma once

// Where the menu skin's objects sit on the 640 x 480 screen and which picture rectangles their
// scripts show. The art is drawn around these places, so they live in one table here and must
// agree with resources/skins/menu/menu.ini.

#include <QRect>
#include <QString>
#include <array>

namespace cs::skinart {

// A picture rectangle as the skin writes it: x1,y1,x2,y2 with the corners included.
struct PicRect {
  int x1, y1, x2, y2;
  int Width() const { return x2 - x1 + 1; }
  int Height() const { return y2 - y1 + 1; }
};

// One ChangeImage step: a picture and its rectangle.
struct Shown {
  QString picture;
  PicRect rect;
};

inline constexpr int kScreenW = 640;
inline constexpr int kScreenH = 480;

// Title slots BUT_1 to BUT_10.
inline constexpr int kSlotLeft = 25;
inline constexpr std::array<int, 10> kSlotTops = {47, 82, 117, 152, 184, 219, 254, 289, 324, 359};
inline constexpr int kSlotW = 205;
inline constexpr int kSlotH = 33;
inline QRect SlotRect(int index) { return {kSlotLeft, kSlotTops[index], kSlotW, kSlotH}; }

// The preview surface the program lays over the background, and the objects around it.
inline const QRect kPreview(250, 70, 340, 300);
inline const QRect kTopTen(236, 33, 358, 34);
inline const QRect kTopTenDn(237, 376, 358, 32);
inline const QRect kBtLeft(23, 399, 63, 35);
inline const QRect kBtRight(136, 399, 63, 35);
inline const QRect kPage(200, 400, 40, 35);
inline const QRect kMsg(18, 435, 373, 43);
inline const QRect kWait(325, 95, 220, 90);
inline const QRect kPlayer(450, 205, 60, 50);
inline const QRect kP1(340, 205, 80, 50);
inline const QRect kCredits(563, 440, 42, 30);

// The rectangles the menu's scripts and the program name.
inline const Shown kSlotNormal{"bt1", {0, 0, 205, 32}};
inline const Shown kSlotLit{"bt1", {205, 0, 410, 32}};
inline const Shown kLeftPressed{"DnBtLeftRight", {0, 6, 67, 42}};
inline const Shown kLeftNormal{"QDUP", {22, 402, 90, 435}};
inline const Shown kRightPressed{"DnBtLeftRight", {116, 4, 185, 42}};
inline const Shown kRightNormal{"QDUP", {138, 400, 206, 435}};
// BT_RIGHT's first image: the released right arrow kept in DnBtLeftRight's lower row, the same
// pixels kRightNormal shows, so the arrow does not move when the first refresh releases it.
inline const Shown kRightInitial{"DnBtLeftRight", {116, 50, 178, 84}};
inline const Shown kTopTenOn{"TOPTENUP", {0, 0, 359, 34}};
inline const Shown kTopTenOff{"QDUP", {236, 33, 594, 67}};
inline const Shown kTopTenDnOn{"TOPTENDN", {0, 0, 359, 34}};
inline const Shown kTopTenDnOff{"QDUP", {236, 376, 594, 408}};
inline const std::array<Shown, 4> kPageDigits = {
    Shown{"Numbers", {41, 0, 81, 35}}, Shown{"Numbers", {81, 0, 120, 35}},
    Shown{"Numbers", {121, 0, 160, 35}}, Shown{"Numbers", {161, 0, 201, 35}}};
inline const Shown kMsgBlank{"Bt_Start", {0, 0, 372, 42}};
inline const Shown kMsgInsertCoin{"Bt_Start", {0, 50, 380, 100}};
inline const Shown kMsgCoinDown{"CoinDwn", {4, 2, 368, 50}};
inline const Shown kMsgStartGlow{"Bt_Start", {0, 100, 370, 150}};
inline const Shown kMsgStartPlain{"Bt_Start", {0, 150, 370, 370}};
inline const Shown kMsgHidden{"QDUP", {18, 435, 388, 485}};
inline const Shown kWaitBright{"PleasWait2", {60, 0, 290, 90}};
inline const Shown kWaitDim{"PleasWait2", {60, 105, 290, 195}};
inline const Shown kWaitCleared{"QDUP", {251, 163, 581, 205}};
inline const Shown kPlayerTwo{"PLAYER", {0, 0, 75, 50}};
inline const Shown kPlayerOne{"PLAYER", {60, 0, 155, 50}};
inline const Shown kP1Mark{"QDUP", {340, 205, 420, 255}};

}  // namespace cs::skinart
