// The catalogue CSV: what import accepts, what it rejects (with the line and the reason), and
// that export reads back as the same rows.
#include "catalogue/catalogue_csv.h"

#include <gtest/gtest.h>

namespace cs {
namespace {

constexpr const char* kHeader = "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\n";

TEST(CatalogueCsvTest, AcceptsQuotedFieldsLineEndsAndEmptyValues) {
  const std::string text = std::string("\xEF\xBB\xBF") +
                           "namefile , NameGame,group,credits,coins,NRPLAYER\r\n"
                           "galaxo,Galaxo Blast,GR1,12,0,2\r\n"
                           "\n"
                           "q_bert2,\"Hop,\"\"Cube\"\"\",GR2,,-3,\n"
                           "  tmb , Tomb Run ,,0,1,1\n"
                           "lastrow,\" Spaced \",GR1,2147483647,0,32767";
  const CatalogueCsv csv = ParseCatalogueCsv(text);
  ASSERT_TRUE(csv.problems.empty()) << csv.problems[0].line << ": " << csv.problems[0].reason;
  const std::vector<GameRow> expected = {
      {"galaxo", "Galaxo Blast", "GR1", 12, 0, 2},
      {"q_bert2", "Hop,\"Cube\"", "GR2", std::nullopt, -3, std::nullopt},
      {"tmb", "Tomb Run", std::nullopt, 0, 1, 1},
      {"lastrow", " Spaced ", "GR1", 2147483647, 0, 32767},
  };
  EXPECT_EQ(csv.rows, expected);
  // Export quotes what needs it and reads back the same.
  const std::string out = FormatCatalogueCsv(csv.rows);
  EXPECT_EQ(out.substr(0, std::string(kHeader).size()), kHeader);
  EXPECT_NE(out.find("\"Hop,\"\"Cube\"\"\""), std::string::npos);
  EXPECT_EQ(ParseCatalogueCsv(out).rows, expected);
}

TEST(CatalogueCsvTest, EveryBadRowIsReportedWithItsLineAndReason) {
  struct Case {
    const char* row;
    const char* reason;
  };
  const Case cases[] = {
      {"../etc,Escape,GR1,0,0,1", "NAMEFILE must be 1 to 8 letters, digits or underscores"},
      {"two words,T,GR1,0,0,1", "NAMEFILE must be"},
      {"toolongname,T,GR1,0,0,1", "NAMEFILE must be"},
      {",No Name,GR1,0,0,1", "NAMEFILE must be"},
      {"ok,Fifteen chars!!,GR1,0,0,1", "NAMEGAME must be at most 14 characters"},
      {"ok,\"Bell\x07\",GR1,0,0,1", "NAMEGAME must be UTF-8 text without control characters"},
      {"ok,\"Line\nbreak\",GR1,0,0,1", "without control characters"},
      {"ok,Bad \xFF byte,GR1,0,0,1", "UTF-8"},
      {"ok,T,ELEVENCHARS,0,0,1", "GROUP must be at most 10 characters"},
      {"ok,T,GR1,abc,0,1", "CREDITS is not an integer: \"abc\""},
      {"ok,T,GR1,-1,0,1", "CREDITS must be 0 to 2147483647"},
      {"ok,T,GR1,2147483648,0,1", "CREDITS must be 0 to 2147483647"},
      {"ok,T,GR1,99999999999999999999,0,1", "CREDITS is not an integer"},
      {"ok,T,GR1,0x10,0,1", "CREDITS is not an integer"},
      {"ok,T,GR1,0,1.5,1", "COINS is not an integer"},
      {"ok,T,GR1,0,0,32768", "Nrplayer must be 0 to 32767"},
      {"ok,T,GR1,0,0", "expected 6 fields, found 5"},
      {"ok,T,GR1,0,0,1,extra", "expected 6 fields, found 7"},
      {"ok,T\"x,GR1,0,0,1", "a quote inside an unquoted field"},
      {"ok,\"T\"x,GR1,0,0,1", "text after a closing quote"},
  };
  for (const Case& c : cases) {
    // A good row before and after: the bad one is on line 3.
    const std::string text =
        std::string(kHeader) + "good1,Good,GR1,1,0,1\n" + c.row + "\ngood2,Good,GR1,1,0,1\n";
    const CatalogueCsv csv = ParseCatalogueCsv(text);
    ASSERT_EQ(csv.problems.size(), 1u) << c.row;
    EXPECT_EQ(csv.problems[0].line, 3u) << c.row;
    EXPECT_NE(csv.problems[0].reason.find(c.reason), std::string::npos)
        << c.row << " -> " << csv.problems[0].reason;
  }
}

TEST(CatalogueCsvTest, StructuralProblems) {
  // Line numbers count the lines of a quoted field that spans several.
  CatalogueCsv csv = ParseCatalogueCsv(std::string(kHeader) +
                                       "a,\"Two\nlines\",GR1,0,0,1\nb,T,GR1,x,0,1\n"
                                       "c,T,GR1,0,0,1\nC,Again,GR1,0,0,1\n");
  ASSERT_EQ(csv.problems.size(), 3u);
  EXPECT_EQ(csv.problems[0].line, 2u);
  EXPECT_EQ(csv.problems[1].line, 4u);
  EXPECT_EQ(csv.problems[2].line, 6u);
  EXPECT_NE(csv.problems[2].reason.find("already on line 5"), std::string::npos);

  for (const char* bad : {"", "\n\n", "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS\n", "a,T,GR1,0,0,1\n",
                          "NAMEFILE,NAMEGAME,GROUP,COINS,CREDITS,Nrplayer\n"}) {
    csv = ParseCatalogueCsv(bad);
    ASSERT_EQ(csv.problems.size(), 1u) << bad;
    EXPECT_NE(csv.problems[0].reason.find("first line must be"), std::string::npos);
  }
  csv = ParseCatalogueCsv(std::string(kHeader) + "a,\"never closed,GR1,0,0,1\n");
  ASSERT_EQ(csv.problems.size(), 1u);
  EXPECT_EQ(csv.problems[0].reason, "a quoted field is not closed");

  // A header alone is an empty, valid catalogue.
  csv = ParseCatalogueCsv(kHeader);
  EXPECT_TRUE(csv.problems.empty());
  EXPECT_TRUE(csv.rows.empty());
}

}  // namespace
}  // namespace cs
