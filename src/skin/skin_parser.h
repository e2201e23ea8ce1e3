#pragma once
// The skin INI text: a [Images] section naming picture files and one section per object
// (docs/skin-format.md describes every key). ParseSkin checks the text and resolves the object
// tree; it reads no file and uses no Qt, so that it can be fuzzed on its own.
//
// Faults that leave no usable skin (no root, two roots) are an error with a line number; every
// other fault skips the key, the command, the child or the object it concerns and adds a
// warning with its line number. A warning never changes how the rest of the skin is read.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "skin/skin_script.h"

namespace cs {

enum class TextAlign { kLeft, kCenter, kRight };

// The four stored scripts of an object, in this order.
enum class ScriptKind { kHover = 0, kLeave = 1, kClick = 2, kRightClick = 3 };
inline constexpr int kScriptKinds = 4;

inline constexpr int kMaxCoord = 32767;   // Left, Top (also as -32767), Width, Height
inline constexpr int kMaxFontSize = 512;  // pixels
inline constexpr int kMaxTreeDepth = 64;  // levels below the root
inline constexpr std::size_t kMaxSkinTextBytes = 4 << 20;

struct ObjectDescription {
  std::string name;
  int line = 0;  // line of the section header
  bool is_form = false;
  std::optional<ImageRef> image;
  int image_line = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::string text;
  std::string font_name = "DejaVu Sans";
  int font_size = 12;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  TextAlign align = TextAlign::kLeft;
  std::uint32_t text_color = 0xFFFFFF;  // 0xRRGGBB
  std::uint32_t disabled_text_color = 0x808080;
  bool text_enabled = true;
  bool visible = true;
  std::array<std::string, kScriptKinds> scripts;  // as written (trimmed)
  std::array<int, kScriptKinds> script_lines{};
  // The tree, as indexes into SkinDescription::objects.
  int parent = -1;      // -1 for the root
  int subtree_end = 0;  // one past the object's last descendant
  std::vector<int> children;
};

struct PictureDescription {
  std::string name;
  std::string file;  // relative to the INI's folder, '/' separated, never absolute, no ".."
  int line = 0;
};

struct SkinDescription {
  std::vector<PictureDescription> pictures;
  // The objects under the root in drawing order (depth first, children in Child= order): the
  // root is objects[0], and an object's descendants are the range (index, subtree_end).
  std::vector<ObjectDescription> objects;

  // Index of the picture with that name (case ignored), or -1.
  int FindPicture(std::string_view name) const;
};

struct SkinDiagnostic {
  int line = 0;  // 1-based; 0 when the fault has no single line
  std::string message;
};

struct SkinParseResult {
  bool ok = false;
  SkinDescription skin;  // when ok
  SkinDiagnostic error;  // when not ok
  std::vector<SkinDiagnostic> warnings;
};

SkinParseResult ParseSkin(std::string_view text);

}  // namespace cs
