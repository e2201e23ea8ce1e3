#pragma once

// Where the operator screens' objects sit and which picture rectangles their scripts show. The
// art is drawn around these places; they must agree with resources/skins/{test,settings,inputs,
// monitor}/*.ini.

#include <QRect>
#include <QString>
#include <vector>

#include "menu_layout.h"

namespace cs::skinart {

// An object whose hover and leave scripts show the same rectangle of the lit and of the normal
// picture (its first image is the normal one).
struct LitObject {
  const char* name;
  QRect place;
  PicRect rect;
  QString label;  // what the picture shows there
};

// ---------------------------------------------------------------- test menu (TFrmTest)

inline const std::vector<LitObject> kTestItems = {
    {"BUT_1", {20, 46, 170, 33}, {20, 40, 520, 70}, "CREDITS"},
    {"BUT_2", {20, 96, 310, 30}, {20, 95, 330, 125}, "MASTER VOLUME"},
    {"BUT_3", {19, 155, 470, 30}, {20, 155, 490, 185}, "SETTINGS AND COUNTERS"},
    {"BUT_4", {20, 211, 240, 30}, {20, 211, 260, 240}, "INPUTS TEST"},
    {"BUT_5", {20, 265, 270, 25}, {20, 265, 290, 290}, "MONITOR TEST"},
    {"BUT_6", {20, 315, 290, 25}, {20, 315, 310, 340}, "CLEAR CREDITS"},
    {"BUT_7", {21, 370, 365, 27}, {20, 370, 380, 395}, "FACTORY DEFAULTS"},
    {"BUT_8", {21, 425, 90, 25}, {20, 425, 110, 450}, "EXIT"},
};
inline const QRect kPriceValue(550, 46, 70, 35);     // LB_1
inline const QRect kVolumeTens(558, 93, 30, 30);     // VOL2
inline const QRect kVolumeUnits(584, 93, 30, 30);    // VOL
inline const QRect kTestCredits(450, 315, 152, 29);  // the program's ZsCredits

// QDtestBMPS: the price labels by iCoinCredits 1..5, the volume digits (blank, then 0..9).
inline const std::vector<PicRect> kPriceLabels = {{30, 50, 100, 85},
                                                  {148, 50, 225, 85},
                                                  {270, 50, 360, 85},
                                                  {392, 50, 482, 85},
                                                  {520, 50, 600, 85}};
inline const std::vector<QString> kPriceTexts = {"3/1", "2/1", "1/1", "1/2", "1/3"};
inline const PicRect kDigitBlank{1, 85, 40, 120};
inline const std::vector<PicRect> kDigits = {
    {40, 85, 80, 120},   {80, 85, 110, 120},  {115, 85, 145, 120}, {156, 85, 190, 120},
    {198, 85, 238, 120}, {248, 85, 290, 120}, {294, 85, 332, 120}, {343, 85, 382, 120},
    {396, 85, 430, 120}, {450, 85, 488, 120}};

// ---------------------------------------------------------------- settings (TFrmSet)

inline const std::vector<LitObject> kSetItems = {
    {"BUT_1", {25, 59, 160, 33}, {20, 60, 180, 90}, "UPDATE"},
    {"BUT_2", {21, 109, 400, 30}, {20, 110, 430, 140}, "AUTO UPDATE PERIOD"},
    {"BUT_3", {20, 159, 380, 35}, {20, 160, 400, 200}, "MANUAL SELECTION"},
    {"BUT_5", {21, 416, 100, 35}, {20, 420, 120, 450}, "EXIT"},
};
inline const QRect kReset(496, 137, 100, 60);  // BUT_4
inline const PicRect kResetLit{0, 0, 100, 60};
inline const PicRect kResetNormal{0, 68, 100, 160};
inline const QRect kUpdateValue(471, 59, 145, 35);   // LB_UP
inline const QRect kPeriodValue(465, 110, 160, 30);  // LB_PER
inline const PicRect kAutoLabel{2, 160, 130, 190};
inline const PicRect kManualLabel{176, 160, 330, 190};
inline const std::vector<PicRect> kPeriodLabels = {
    {20, 230, 190, 255}, {218, 230, 395, 260}, {20, 300, 190, 330}, {218, 300, 395, 330}};
inline const std::vector<QString> kPeriodTexts = {"30 DAYS", "45 DAYS", "60 DAYS", "90 DAYS"};
inline const QRect kGrid1(25, 205, 280, 150);
inline const QRect kGrid2(316, 205, 280, 150);
inline const QRect kSetCredits(470, 380, 152, 29);

// ---------------------------------------------------------------- input test (TFrmInp)

enum class Control { kMenu, kStart, kButton, kLeft, kUp, kRight, kDown };

struct Indicator {
  LitObject object;
  Control control;
};

inline const std::vector<Indicator> kIndicators = {
    {{"BUT_1", {16, 43, 90, 45}, {15, 45, 110, 90}, "MENU"}, Control::kMenu},
    {{"BUT_2", {196, 46, 88, 57}, {196, 47, 284, 101}, "P1"}, Control::kStart},
    {{"BUT_3", {91, 130, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_4", {172, 129, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_5", {252, 130, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_6", {91, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_8", {172, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_9", {252, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_10", {491, 46, 88, 57}, {488, 47, 586, 101}, "P2"}, Control::kStart},
    {{"BUT_11", {387, 130, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_12", {466, 130, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_13", {546, 130, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_14", {387, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_15", {466, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_16", {546, 184, 74, 54}, {90, 130, 164, 184}, ""}, Control::kButton},
    {{"BUT_17", {47, 312, 65, 35}, {47, 312, 112, 347}, ""}, Control::kLeft},
    {{"BUT_18", {111, 251, 36, 61}, {111, 251, 147, 314}, ""}, Control::kUp},
    {{"BUT_19", {146, 312, 65, 35}, {146, 312, 209, 346}, ""}, Control::kRight},
    {{"BUT_20", {110, 341, 36, 61}, {110, 341, 146, 408}, ""}, Control::kDown},
    {{"BUT_21", {342, 312, 65, 35}, {47, 312, 112, 347}, ""}, Control::kLeft},
    {{"BUT_22", {407, 251, 36, 61}, {111, 251, 147, 314}, ""}, Control::kUp},
    {{"BUT_23", {442, 312, 65, 35}, {146, 312, 209, 346}, ""}, Control::kRight},
    {{"BUT_24", {407, 341, 36, 61}, {110, 341, 146, 408}, ""}, Control::kDown},
};

// ---------------------------------------------------------------- monitor test (TFrmTestMon)

inline const LitObject kMonitorExit{"BUT_EX", {276, 385, 90, 30}, {276, 385, 371, 414}, "EXIT"};

}  // namespace cs::skinart
