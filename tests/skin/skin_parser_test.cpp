#include "skin/skin_parser.h"

#include <gtest/gtest.h>

#include "skin/skin_script.h"

namespace cs {
namespace {

std::string Describe(const ParsedScript& s) {
  std::string out;
  for (const ScriptCommand& c : s.commands) {
    if (!out.empty()) out += ";";
    switch (c.op) {
      case ScriptOp::kChangeImage:
      case ScriptOp::kFadeImage:
        out += (c.op == ScriptOp::kChangeImage ? "C:" : "F:") + c.image.picture + "," +
               std::to_string(c.image.x1) + "," + std::to_string(c.image.y1) + "," +
               std::to_string(c.image.x2) + "," + std::to_string(c.image.y2);
        if (c.op == ScriptOp::kFadeImage) out += "," + std::to_string(c.fade_ms);
        break;
      case ScriptOp::kAction:
        out += "A:" + std::to_string(c.action);
        break;
    }
  }
  return out;
}

TEST(ParseScript, CommandsAndSkippedOnes) {
  struct Case {
    const char* text;
    const char* commands;
    std::size_t problems;
  };
  const Case cases[] = {
      {"ChangeImage(bt1,205,0,410,32);action(1)", "C:bt1,205,0,410,32;A:1", 0},
      {"Changeimage( bt1 , 0,0, 205 ,32 )", "C:bt1,0,0,205,32", 0},
      {"FADEIMAGE(CoinDwn,4,2,368,50,200)", "F:CoinDwn,4,2,368,50,200", 0},
      {"  action(101) ; ACTION(-3);", "A:101;A:-3", 0},
      {"", "", 0},
      {" ; ;; ", "", 0},
      {"jump(1);action(2)", "A:2", 1},
      {"action(x)", "", 1},
      {"action(99999999999)", "", 1},
      {"action", "", 1},
      {"action(1", "", 1},
      {"action(1))", "", 1},
      {"action(1) junk", "", 1},
      {"ChangeImage(bt1,5,0,4,0)", "", 1},      // x2 < x1
      {"ChangeImage(bt1,0,0,99999,1)", "", 1},  // beyond 32767
      {"ChangeImage(bt1,0,0,1)", "", 1},        // too few numbers
      {"ChangeImage(,0,0,1,1)", "", 1},         // no picture
      {"FadeImage(a,0,0,1,1,-5)", "", 1},
      {"FadeImage(a,0,0,1,1,70000)", "", 1},
      {"FadeImage(a,0,0,1,1)", "", 1},
  };
  for (const Case& c : cases) {
    const ParsedScript s = ParseScript(c.text);
    EXPECT_EQ(Describe(s), c.commands) << c.text;
    EXPECT_EQ(s.problems.size(), c.problems) << c.text;
  }
}

constexpr const char* kHeader =
    "[Images]\n"
    "bg=bg.png\n"
    "[BACK]\n"
    "Kind=form\n"
    "Image=bg,0,0,639,479\n";  // lines 1-5

TEST(ParseSkin, TreeInDrawingOrderAndValues) {
  const std::string text = std::string(kHeader) +
                           "Child=a, B ,\n"
                           "[A]\n"
                           "child=A2,a1\n"
                           "Left=-5\n"
                           "TOP=7   ; a comment\n"
                           "Text=\"  -->\"\n"
                           "HoverEvent=ChangeImage(bg,1,2,3,4);action(1) ; lit\n"
                           "FontStyle=Bold, italic\n"
                           "TextAlign=Right\n"
                           "TextColor=#FFd040\n"
                           "TextEnabled=false\n"
                           "[A1]\n[a2]\n[B]\nVisible=no\n";
  const SkinParseResult r = ParseSkin(text);
  ASSERT_TRUE(r.ok) << r.error.message;
  EXPECT_TRUE(r.warnings.empty()) << r.warnings.front().message;
  const auto& o = r.skin.objects;
  ASSERT_EQ(o.size(), 5u);
  const char* order[] = {"BACK", "A", "a2", "A1", "B"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(o[i].name, order[i]);
  EXPECT_EQ(o[0].subtree_end, 5);
  EXPECT_EQ(o[1].subtree_end, 4);
  EXPECT_EQ(o[3].parent, 1);
  EXPECT_EQ(o[4].parent, 0);
  EXPECT_EQ(o[1].left, -5);
  EXPECT_EQ(o[1].top, 7);
  EXPECT_EQ(o[1].text, "  -->");
  EXPECT_EQ(o[1].scripts[0], "ChangeImage(bg,1,2,3,4);action(1)");
  EXPECT_TRUE(o[1].bold && o[1].italic && !o[1].underline);
  EXPECT_EQ(o[1].align, TextAlign::kRight);
  EXPECT_EQ(o[1].text_color, 0xFFD040u);
  EXPECT_FALSE(o[1].text_enabled);
  EXPECT_FALSE(o[4].visible);
  ASSERT_TRUE(o[0].image.has_value());
  EXPECT_EQ(o[0].image->Width(), 640);
}

TEST(ParseSkin, ErrorsWithLineNumbers) {
  struct Case {
    std::string text;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"[Images]\nbg=bg.png\n[BACK]\nImage=bg,0,0,1,1\n", 0, "no object has Kind=form"},
      {"", 0, "no object has Kind=form"},
      {std::string(kHeader) + "[OTHER]\nLeft=1\nKind=FORM\n", 8, "second object has Kind=form"},
  };
  for (const Case& c : cases) {
    const SkinParseResult r = ParseSkin(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.error.line, c.line) << c.text;
    EXPECT_NE(r.error.message.find(c.says), std::string::npos) << r.error.message;
  }
}

// Faults that skip one thing: the skin still loads, with a warning at the fault's line.
TEST(ParseSkin, SkippedFaultsWarnAtTheirLine) {
  struct Case {
    const char* name;
    std::string text;
    int line;
    const char* says;
    std::size_t objects;
  };
  const std::string H = kHeader;  // ends at line 5
  const Case cases[] = {
      {"bad rectangle", H + "Child=A\n[A]\nImage=bg,5,5,1,1\n", 8, "bad rectangle", 2},
      {"unknown picture", H + "Child=A\n[A]\nImage=nope,0,0,1,1\n", 8, "unknown picture", 2},
      {"script picture", H + "HoverEvent=ChangeImage(nope,0,0,1,1)\n", 6, "unknown picture", 1},
      {"bad script", H + "HoverEvent=Jump(3);action(1)\n", 6, "unknown command", 1},
      {"cycle", H + "Child=A\n[A]\nChild=B\n[B]\nChild=A\n", 10, "cycle", 3},
      {"root as child", H + "Child=A\n[A]\nChild=back\n", 8, "cycle", 2},
      {"listed twice", H + "Child=A,B\n[A]\nChild=B\n[B]\n", 6, "listed twice", 3},
      {"no section", H + "Child=A,ghost\n", 6, "has no section", 1},
      {"repeated section", H + "Child=A\n[A]\n[a]\nLeft=3\n", 8, "repeats", 2},
      {"not under root", H + "[LOST]\n", 6, "not under the root", 1},
      {"huge number", H + "Left=99999999999\n", 6, "whole number", 1},
      {"huge font", H + "FontSize=100000\n", 6, "whole number", 1},
      {"negative width", H + "Width=-1\n", 6, "whole number", 1},
      {"bad colour", H + "TextColor=red\n", 6, "#RRGGBB", 1},
      {"bad bool", H + "Visible=maybe\n", 6, "true or false", 1},
      {"unknown key", H + "Heigth=3\n", 6, "unknown key", 1},
      {"repeated key", H + "Left=1\nleft=2\n", 7, "repeats", 1},
      {"no equals", H + "Left\n", 6, "without '='", 1},
      {"outside path", "[Images]\nup=../x.png\n[R]\nKind=form\n", 2, "inside the skin's folder", 1},
      {"absolute path", "[Images]\nup=/etc/passwd\n[R]\nKind=form\n", 2, "inside the skin's folder",
       1},
  };
  for (const Case& c : cases) {
    const SkinParseResult r = ParseSkin(c.text);
    ASSERT_TRUE(r.ok) << c.name << ": " << r.error.message;
    EXPECT_EQ(r.skin.objects.size(), c.objects) << c.name;
    bool found = false;
    for (const SkinDiagnostic& w : r.warnings) {
      if (w.line == c.line && w.message.find(c.says) != std::string::npos) found = true;
    }
    EXPECT_TRUE(found) << c.name << ": first warning: "
                       << (r.warnings.empty()
                               ? "none"
                               : std::to_string(r.warnings[0].line) + " " + r.warnings[0].message);
  }
  // The skipped value leaves the default.
  const SkinParseResult huge = ParseSkin(std::string(kHeader) + "Left=99999999999\n");
  EXPECT_EQ(huge.skin.objects[0].left, 0);
  const SkinParseResult bad = ParseSkin(std::string(kHeader) + "Child=A\n[A]\nImage=bg,5,5,1,1\n");
  EXPECT_FALSE(bad.skin.objects[1].image.has_value());
}

TEST(ParseSkin, DeepChainsStopAtTheDepthLimit) {
  std::string text = "[R]\nKind=form\nChild=O0\n";
  for (int i = 0; i < 200; ++i) {
    text += "[O" + std::to_string(i) + "]\nChild=O" + std::to_string(i + 1) + "\n";
  }
  const SkinParseResult r = ParseSkin(text);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.skin.objects.size(), static_cast<std::size_t>(kMaxTreeDepth + 1));
}

}  // namespace
}  // namespace cs
