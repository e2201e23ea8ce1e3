#pragma once
// Frames of an invented arcade game, drawn from its short name: the genre, colours and motion
// follow from the name, so every demo game looks different and the same name always looks the
// same. Used for the demo cabinet's preview videos and by the emulator stand-in.
#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

namespace cs::fakegame {

enum class Phase {
  kAttract,   // title screen with a blinking INSERT COIN / PUSH START
  kPlay,      // a player in play
  kGameOver,  // GAME OVER over the play field
};

struct Look {
  int genre = 0;  // 0 shooter, 1 racer, 2 maze, 3 platformer
  std::uint32_t seed = 0;
};

Look LookOf(const std::string& namefile);

// Draws frame `frame` of the game into a w x h picture.
QImage DrawFrame(const Look& look, const QString& title, Phase phase, int frame, int w, int h,
                 int score = 0);

// Writes a silent preview video of the game: an attract part, then play. False with `*error`.
bool WritePreview(const std::string& file, const std::string& namefile, const QString& title, int w,
                  int h, int frames, std::string* error);

}  // namespace cs::fakegame
