#pragma once
// The PC keys of the simulated panel, shared by the terminal and the window: a letter or digit
// holds its switch, its upper-case form latches it. The arrows hold player 1's stick, Esc and x
// hold exit.
namespace cs::panelsim {

struct KeyBinding {
  char key;
  const char* name;
};

inline constexpr KeyBinding kKeys[] = {
    {'5', "COIN1"},      {'1', "P1_START"}, {'c', "P1_B1"},   {'v', "P1_B2"},    {' ', "P1_B3"},
    {'b', "P1_B4"},      {'z', "P1_B5"},    {'t', "SERVICE"}, {'6', "COIN2"},    {'2', "P2_START"},
    {'r', "P2_UP"},      {'f', "P2_DOWN"},  {'d', "P2_LEFT"}, {'g', "P2_RIGHT"}, {'a', "P2_B1"},
    {'s', "P2_B2"},      {'q', "P2_B3"},    {'w', "P2_B4"},   {'e', "P2_B5"},    {'x', "EXIT"},
    {'m', "VIDEO_MODE"},
};

}  // namespace cs::panelsim
