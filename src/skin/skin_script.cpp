#include "skin/skin_script.h"

#include "skin/skin_text_private.h"

namespace cs {

using namespace skin_text;

std::string ParseImageRef(std::string_view text, ImageRef* out) {
  const auto parts = SplitCommas(text);
  if (parts.size() != 5) return "expects picture,x1,y1,x2,y2";
  if (parts[0].empty()) return "names no picture";
  ImageRef ref;
  ref.picture = std::string(parts[0]);
  int* coords[4] = {&ref.x1, &ref.y1, &ref.x2, &ref.y2};
  for (int i = 0; i < 4; ++i) {
    if (!ParseInt(parts[i + 1], 0, kMaxImageCoord, coords[i])) {
      return "bad rectangle: coordinates are whole numbers from 0 to 32767";
    }
  }
  if (ref.x2 < ref.x1 || ref.y2 < ref.y1) return "bad rectangle: x2 < x1 or y2 < y1";
  *out = std::move(ref);
  return {};
}

namespace {

// Parses one command; returns an empty string on success, else what is wrong.
std::string ParseCommand(std::string_view text, ScriptCommand* out) {
  const std::size_t open = text.find('(');
  if (open == std::string_view::npos) return "no argument list";
  const std::string_view word = Trim(text.substr(0, open));
  const std::size_t close = text.rfind(')');
  if (close == std::string_view::npos || close < open) return "no closing parenthesis";
  if (!Trim(text.substr(close + 1)).empty()) return "text after the closing parenthesis";
  const std::string_view args = text.substr(open + 1, close - open - 1);
  if (args.find('(') != std::string_view::npos || args.find(')') != std::string_view::npos) {
    return "parenthesis inside the arguments";
  }
  ScriptCommand cmd;
  if (IEquals(word, "changeimage")) {
    cmd.op = ScriptOp::kChangeImage;
    if (auto err = ParseImageRef(args, &cmd.image); !err.empty()) return "ChangeImage " + err;
  } else if (IEquals(word, "fadeimage")) {
    cmd.op = ScriptOp::kFadeImage;
    const std::size_t last = args.rfind(',');
    if (last == std::string_view::npos) return "FadeImage expects picture,x1,y1,x2,y2,ms";
    if (auto err = ParseImageRef(args.substr(0, last), &cmd.image); !err.empty()) {
      return "FadeImage " + err + ",ms";
    }
    if (!ParseInt(args.substr(last + 1), 0, kMaxFadeMs, &cmd.fade_ms)) {
      return "FadeImage time is a whole number of milliseconds from 0 to 60000";
    }
  } else if (IEquals(word, "action")) {
    cmd.op = ScriptOp::kAction;
    if (!ParseInt(args, INT32_MIN, INT32_MAX, &cmd.action)) {
      return "Action expects one whole number";
    }
  } else {
    return "unknown command " + Quote(word);
  }
  *out = std::move(cmd);
  return {};
}

}  // namespace

ParsedScript ParseScript(std::string_view text) {
  ParsedScript result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = Trim(text.substr(start, end - start));
    if (!piece.empty()) {
      ScriptCommand cmd;
      std::string err = ParseCommand(piece, &cmd);
      if (err.empty()) {
        result.commands.push_back(std::move(cmd));
      } else {
        result.problems.push_back(Quote(piece) + " skipped: " + err);
      }
    }
    start = end + 1;
  }
  return result;
}

}  // namespace cs
