#pragma once
// Skin scripts: the command lists that objects run on hover, leave, click and right click.
//
//   script  := command { ";" command }        empty commands (";;", a trailing ";") are skipped
//   command := word "(" arg { "," arg } ")"   blanks allowed around every token
//   word    := ChangeImage | FadeImage | Action   in any case
//
//   ChangeImage(picture, x1, y1, x2, y2)       show that rectangle of the picture
//   FadeImage(picture, x1, y1, x2, y2, ms)     cross-fade to it over ms milliseconds
//   Action(n)                                  raise the engine's custom action n
//
// Pure C++ without Qt, so that it can be fuzzed on its own.
#include <string>
#include <string_view>
#include <vector>

namespace cs {

// Largest picture coordinate a rectangle may name.
inline constexpr int kMaxImageCoord = 32767;
// Longest fade a script may ask for.
inline constexpr int kMaxFadeMs = 60000;

// A rectangle of a named picture, corners included: (x2-x1+1) x (y2-y1+1) pixels.
struct ImageRef {
  std::string picture;
  int x1 = 0;
  int y1 = 0;
  int x2 = 0;
  int y2 = 0;
  int Width() const { return x2 - x1 + 1; }
  int Height() const { return y2 - y1 + 1; }
  friend bool operator==(const ImageRef&, const ImageRef&) = default;
};

enum class ScriptOp { kChangeImage, kFadeImage, kAction };

struct ScriptCommand {
  ScriptOp op = ScriptOp::kAction;
  ImageRef image;   // ChangeImage, FadeImage
  int fade_ms = 0;  // FadeImage
  int action = 0;   // Action
};

struct ParsedScript {
  std::vector<ScriptCommand> commands;
  // One line for each command that was skipped (unknown word, wrong arguments).
  std::vector<std::string> problems;
};

ParsedScript ParseScript(std::string_view text);

// Parses "picture,x1,y1,x2,y2" (the value of an object's Image key and the arguments of
// ChangeImage). Returns an empty string on success, else what is wrong.
std::string ParseImageRef(std::string_view text, ImageRef* out);

}  // namespace cs
