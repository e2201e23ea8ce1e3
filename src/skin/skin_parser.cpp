#include "skin/skin_parser.h"

#include <unordered_map>

#include "skin/skin_text_private.h"

namespace cs {

using namespace skin_text;

int SkinDescription::FindPicture(std::string_view name) const {
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (IEquals(pictures[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

namespace {

struct RawKey {
  std::string key;   // lower case
  std::string name;  // as written
  std::string value;
  int line = 0;
};

struct RawSection {
  std::string name;
  int line = 0;
  std::vector<RawKey> keys;
  std::unordered_map<std::string, int> index;  // lower-case key -> line
};

class Parser {
 public:
  SkinParseResult Run(std::string_view text);

 private:
  void Warn(int line, std::string message) {
    result_.warnings.push_back({line, std::move(message)});
  }
  void ReadSections(std::string_view text);
  std::string ReadValue(std::string_view raw, int line);
  void ReadImages(const RawSection& s);
  ObjectDescription ReadObject(const RawSection& s, std::vector<std::pair<std::string, int>>* kids,
                               int* kind_line);
  bool BuildTree(std::vector<ObjectDescription>& all,
                 const std::vector<std::vector<std::pair<std::string, int>>>& kids,
                 const std::vector<int>& kind_lines);
  void CheckPictures();

  SkinParseResult result_;
  std::vector<RawSection> sections_;
  const RawSection* images_ = nullptr;
};

// The value after '=': surrounding quotes keep blanks and ';' literally; otherwise a ';' after a
// blank starts a comment (a ';' right after a command is the script separator).
std::string Parser::ReadValue(std::string_view raw, int line) {
  std::size_t lead = 0;
  while (lead < raw.size() && IsBlank(raw[lead])) ++lead;
  if (lead < raw.size() && raw[lead] == '"') {
    const std::size_t close = raw.find('"', lead + 1);
    if (close != std::string_view::npos) {
      const std::string_view rest = Trim(raw.substr(close + 1));
      if (!rest.empty() && rest.front() != ';' && rest.front() != '#') {
        Warn(line, "text after the closing quote ignored");
      }
      return std::string(raw.substr(lead + 1, close - lead - 1));
    }
  }
  std::size_t end = raw.size();
  for (std::size_t i = 1; i < raw.size(); ++i) {
    if (raw[i] == ';' && IsBlank(raw[i - 1])) {
      end = i;
      break;
    }
  }
  return std::string(Trim(raw.substr(0, end)));
}

void Parser::ReadSections(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::unordered_map<std::string, int> seen;  // lower-case name -> line
  RawSection* current = nullptr;
  bool skipping = false;  // inside a section that is ignored
  int line_no = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view raw = text.substr(pos, eol - pos);
    pos = eol + 1;
    ++line_no;
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        Warn(line_no, "section header without ']': its keys are ignored");
        current = nullptr;
        skipping = true;
        continue;
      }
      const std::string_view name = Trim(line.substr(1, close - 1));
      if (name.empty()) {
        Warn(line_no, "section without a name: its keys are ignored");
        current = nullptr;
        skipping = true;
        continue;
      }
      const std::string lower = ToLower(name);
      if (auto it = seen.find(lower); it != seen.end()) {
        Warn(line_no, "section " + Quote(name) + " repeats the one at line " +
                          std::to_string(it->second) + ": ignored");
        current = nullptr;
        skipping = true;
        continue;
      }
      seen.emplace(lower, line_no);
      sections_.push_back({std::string(name), line_no, {}, {}});
      current = &sections_.back();
      skipping = false;
      continue;
    }
    if (current == nullptr) {
      if (!skipping) Warn(line_no, "text outside any section ignored");
      continue;
    }
    const std::size_t eq = raw.find('=');
    if (eq == std::string_view::npos) {
      Warn(line_no, "line without '=' ignored");
      continue;
    }
    const std::string_view key = Trim(raw.substr(0, eq));
    if (key.empty()) {
      Warn(line_no, "key without a name ignored");
      continue;
    }
    RawKey k{ToLower(key), std::string(key), ReadValue(raw.substr(eq + 1), line_no), line_no};
    const auto [it, fresh] = current->index.emplace(k.key, line_no);
    if (!fresh) {
      Warn(line_no, "key " + Quote(key) + " repeats the one at line " + std::to_string(it->second) +
                        ": the first one holds");
      continue;
    }
    current->keys.push_back(std::move(k));
  }
}

bool SafeRelativePath(std::string* path) {
  for (char& c : *path) {
    if (c == '\\') c = '/';
  }
  if (path->empty() || path->front() == '/') return false;
  if (path->size() >= 2 && (*path)[1] == ':') return false;  // a drive letter
  std::size_t start = 0;
  while (start <= path->size()) {
    std::size_t slash = path->find('/', start);
    if (slash == std::string::npos) slash = path->size();
    const std::string_view part = std::string_view(*path).substr(start, slash - start);
    if (part == "..") return false;
    start = slash + 1;
  }
  return path->find('\0') == std::string::npos;
}

void Parser::ReadImages(const RawSection& s) {
  for (const RawKey& k : s.keys) {
    std::string file = k.value;
    if (file.empty()) {
      Warn(k.line, "picture " + Quote(k.name) + " names no file: ignored");
      continue;
    }
    if (!SafeRelativePath(&file)) {
      Warn(k.line, "picture " + Quote(k.name) +
                       " must be a path inside the skin's folder (relative, no \"..\"): ignored");
      continue;
    }
    result_.skin.pictures.push_back({k.name, std::move(file), k.line});
  }
}

bool ParseBool(std::string_view v, bool* out) {
  if (IEquals(v, "true") || IEquals(v, "yes") || IEquals(v, "on") || v == "1") {
    *out = true;
    return true;
  }
  if (IEquals(v, "false") || IEquals(v, "no") || IEquals(v, "off") || v == "0") {
    *out = false;
    return true;
  }
  return false;
}

bool ParseColor(std::string_view v, std::uint32_t* out) {
  if (v.size() != 7 || v[0] != '#') return false;
  std::uint32_t rgb = 0;
  for (char c : v.substr(1)) {
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (Lower(c) >= 'a' && Lower(c) <= 'f') {
      d = Lower(c) - 'a' + 10;
    } else {
      return false;
    }
    rgb = rgb * 16 + static_cast<std::uint32_t>(d);
  }
  *out = rgb;
  return true;
}

ObjectDescription Parser::ReadObject(const RawSection& s,
                                     std::vector<std::pair<std::string, int>>* kids,
                                     int* kind_line) {
  ObjectDescription o;
  o.name = s.name;
  o.line = s.line;
  auto number = [&](const RawKey& k, int lo, int hi, int* field) {
    if (!ParseInt(k.value, lo, hi, field)) {
      Warn(k.line, Quote(k.name) + " must be a whole number from " + std::to_string(lo) + " to " +
                       std::to_string(hi) + ": ignored");
    }
  };
  for (const RawKey& k : s.keys) {
    const std::string& key = k.key;
    const std::string& v = k.value;
    if (key == "kind") {
      if (IEquals(v, "form")) {
        o.is_form = true;
        *kind_line = k.line;
      }
    } else if (key == "image") {
      if (v.empty()) continue;
      ImageRef ref;
      if (auto err = ParseImageRef(v, &ref); !err.empty()) {
        Warn(k.line, "Image " + err + ": the object draws no image");
      } else {
        o.image = std::move(ref);
        o.image_line = k.line;
      }
    } else if (key == "left") {
      number(k, -kMaxCoord, kMaxCoord, &o.left);
    } else if (key == "top") {
      number(k, -kMaxCoord, kMaxCoord, &o.top);
    } else if (key == "width") {
      number(k, 0, kMaxCoord, &o.width);
    } else if (key == "height") {
      number(k, 0, kMaxCoord, &o.height);
    } else if (key == "child") {
      for (std::string_view name : SplitCommas(v)) {
        if (!name.empty()) kids->emplace_back(std::string(name), k.line);
      }
    } else if (key == "text") {
      o.text = v;
    } else if (key == "fontname") {
      if (!v.empty()) o.font_name = v;
    } else if (key == "fontsize") {
      number(k, 1, kMaxFontSize, &o.font_size);
    } else if (key == "fontstyle") {
      for (std::string_view word : SplitCommas(v)) {
        if (word.empty()) continue;
        if (IEquals(word, "bold")) {
          o.bold = true;
        } else if (IEquals(word, "italic")) {
          o.italic = true;
        } else if (IEquals(word, "underline")) {
          o.underline = true;
        } else {
          Warn(k.line, "unknown font style " + Quote(word) + " ignored");
        }
      }
    } else if (key == "textalign") {
      if (IEquals(v, "left")) {
        o.align = TextAlign::kLeft;
      } else if (IEquals(v, "center") || IEquals(v, "centre")) {
        o.align = TextAlign::kCenter;
      } else if (IEquals(v, "right")) {
        o.align = TextAlign::kRight;
      } else {
        Warn(k.line, "TextAlign must be left, center or right: ignored");
      }
    } else if (key == "textcolor" || key == "disabledtextcolor") {
      std::uint32_t* field = key == "textcolor" ? &o.text_color : &o.disabled_text_color;
      if (!ParseColor(v, field)) Warn(k.line, Quote(k.name) + " must be #RRGGBB: ignored");
    } else if (key == "textenabled" || key == "visible") {
      bool* field = key == "visible" ? &o.visible : &o.text_enabled;
      if (!ParseBool(v, field)) Warn(k.line, Quote(k.name) + " must be true or false: ignored");
    } else if (key == "hoverevent" || key == "leaveevent" || key == "clickevent" ||
               key == "rightclickevent") {
      const int kind = key == "hoverevent"   ? 0
                       : key == "leaveevent" ? 1
                       : key == "clickevent" ? 2
                                             : 3;
      o.scripts[kind] = v;
      o.script_lines[kind] = k.line;
      for (const std::string& problem : ParseScript(v).problems) {
        Warn(k.line, "in " + Quote(k.name) + ": " + problem);
      }
    } else {
      Warn(k.line, "unknown key " + Quote(k.name) + " ignored");
    }
  }
  return o;
}

bool Parser::BuildTree(std::vector<ObjectDescription>& all,
                       const std::vector<std::vector<std::pair<std::string, int>>>& kids,
                       const std::vector<int>& kind_lines) {
  int root = -1;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!all[i].is_form) continue;
    if (root >= 0) {
      result_.error = {kind_lines[i], "a second object has Kind=form: " + Quote(all[i].name) +
                                          " (the first is " + Quote(all[root].name) + ")"};
      return false;
    }
    root = static_cast<int>(i);
  }
  if (root < 0) {
    result_.error = {0, "no object has Kind=form: the skin has no root"};
    return false;
  }
  std::unordered_map<std::string, int> by_name;
  for (std::size_t i = 0; i < all.size(); ++i)
    by_name.emplace(ToLower(all[i].name), static_cast<int>(i));

  std::vector<ObjectDescription>& out = result_.skin.objects;
  std::vector<char> placed(all.size(), 0), on_path(all.size(), 0);
  struct Frame {
    int out;           // index in out
    int src;           // index in all
    std::size_t next;  // next child name to visit
  };
  std::vector<Frame> stack;
  out.push_back(std::move(all[root]));
  placed[root] = on_path[root] = 1;
  stack.push_back({0, root, 0});
  while (!stack.empty()) {
    const Frame f = stack.back();
    const auto& names = kids[f.src];
    if (f.next == names.size()) {
      out[f.out].subtree_end = static_cast<int>(out.size());
      on_path[f.src] = 0;
      stack.pop_back();
      continue;
    }
    stack.back().next++;
    const auto& [name, line] = names[f.next];
    const auto it = by_name.find(ToLower(name));
    if (it == by_name.end()) {
      Warn(line, "child " + Quote(name) + " has no section: ignored");
      continue;
    }
    const int c = it->second;
    if (on_path[c]) {
      Warn(line, "child " + Quote(name) + " would contain itself (a cycle in Child=): ignored");
      continue;
    }
    if (placed[c]) {
      Warn(line, "child " + Quote(name) + " is listed twice: only its first place holds");
      continue;
    }
    if (static_cast<int>(stack.size()) > kMaxTreeDepth) {
      Warn(line, "child " + Quote(name) + " lies deeper than 64 levels: ignored");
      continue;
    }
    placed[c] = on_path[c] = 1;
    const int idx = static_cast<int>(out.size());
    out.push_back(std::move(all[c]));
    out[idx].parent = f.out;
    out[f.out].children.push_back(idx);
    stack.push_back({idx, c, 0});
  }
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!placed[i]) {
      Warn(all[i].line, "object " + Quote(all[i].name) + " is not under the root: ignored");
    }
  }
  return true;
}

void Parser::CheckPictures() {
  std::unordered_map<std::string, int> names;
  for (const PictureDescription& p : result_.skin.pictures) names.emplace(ToLower(p.name), p.line);
  auto unknown = [&](const std::string& name) { return names.count(ToLower(name)) == 0; };
  for (ObjectDescription& o : result_.skin.objects) {
    if (o.image && unknown(o.image->picture)) {
      Warn(o.image_line, "object " + Quote(o.name) + ": Image names an unknown picture " +
                             Quote(o.image->picture) + ": the object draws no image");
      o.image.reset();
    }
    for (int kind = 0; kind < kScriptKinds; ++kind) {
      for (const ScriptCommand& cmd : ParseScript(o.scripts[kind]).commands) {
        if (cmd.op != ScriptOp::kAction && unknown(cmd.image.picture)) {
          Warn(o.script_lines[kind], "object " + Quote(o.name) +
                                         ": a script names an unknown picture " +
                                         Quote(cmd.image.picture) + " (that step draws nothing)");
        }
      }
    }
  }
}

SkinParseResult Parser::Run(std::string_view text) {
  if (text.size() > kMaxSkinTextBytes) {
    result_.error = {0, "the skin text is larger than 4 MiB"};
    return std::move(result_);
  }
  ReadSections(text);
  std::vector<ObjectDescription> all;
  std::vector<std::vector<std::pair<std::string, int>>> kids;
  std::vector<int> kind_lines;
  for (const RawSection& s : sections_) {
    if (IEquals(s.name, "images")) {
      ReadImages(s);
      continue;
    }
    kids.emplace_back();
    kind_lines.push_back(s.line);
    all.push_back(ReadObject(s, &kids.back(), &kind_lines.back()));
  }
  if (!BuildTree(all, kids, kind_lines)) {
    result_.skin = {};
    return std::move(result_);
  }
  CheckPictures();
  result_.ok = true;
  return std::move(result_);
}

}  // namespace

SkinParseResult ParseSkin(std::string_view text) { return Parser().Run(text); }

}  // namespace cs
