// libFuzzer target: the skin INI parser and the script parser on arbitrary bytes. Besides not
// crashing, a parsed skin must hold a consistent tree and in-range values.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "skin/skin_parser.h"
#include "skin/skin_script.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckCommands(const cs::ParsedScript& s) {
  for (const cs::ScriptCommand& c : s.commands) {
    if (c.op == cs::ScriptOp::kAction) continue;
    Check(!c.image.picture.empty());
    Check(c.image.x1 >= 0 && c.image.x1 <= c.image.x2 && c.image.x2 <= cs::kMaxImageCoord);
    Check(c.image.y1 >= 0 && c.image.y1 <= c.image.y2 && c.image.y2 <= cs::kMaxImageCoord);
    Check(c.fade_ms >= 0 && c.fade_ms <= cs::kMaxFadeMs);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckCommands(cs::ParseScript(text));

  const cs::SkinParseResult r = cs::ParseSkin(text);
  if (!r.ok) return 0;
  std::unordered_set<std::string> pictures;
  for (const cs::PictureDescription& p : r.skin.pictures) {
    std::string lower = p.name;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    pictures.insert(lower);
  }
  const auto& objects = r.skin.objects;
  const int n = static_cast<int>(objects.size());
  Check(n >= 1 && objects[0].parent == -1 && objects[0].subtree_end == n);
  for (int i = 0; i < n; ++i) {
    const cs::ObjectDescription& o = objects[i];
    Check(o.subtree_end > i && o.subtree_end <= n);
    Check(i == 0 ||
          (o.parent >= 0 && o.parent < i && objects[o.parent].subtree_end >= o.subtree_end));
    Check(o.width >= 0 && o.height >= 0 && o.font_size >= 1 && o.font_size <= cs::kMaxFontSize);
    for (int c : o.children) Check(c > i && c < o.subtree_end && objects[c].parent == i);
    if (o.image) {
      std::string lower = o.image->picture;
      for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
      Check(pictures.count(lower) == 1);
    }
    for (const std::string& script : o.scripts) CheckCommands(cs::ParseScript(script));
  }
  for (const cs::PictureDescription& p : r.skin.pictures) {
    Check(!p.file.empty() && p.file.front() != '/');
    const std::string wrapped = "/" + p.file + "/";
    Check(wrapped.find("/../") == std::string::npos);
  }
  return 0;
}
