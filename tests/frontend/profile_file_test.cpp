// Profile file semantics the counters rely on, and the atomic replacement of the file.
#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "catalogue/catalogue_fixture.h"

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> DirEntries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileFileTest, ReadsLikeAWindowsProfile) {
  const ProfileFile p = ProfileFile::FromText(
      "iCredits=99\n"  // before any section: belongs to none
      "; a comment=1\n"
      "[Duzer]\r\n"
      "  ICREDITS =  4  \n"
      "iCredits=5\n"  // a second entry: the first wins
      "Quoted=\"  padded  \"\n"
      "Single='x'\n"
      "Lonely\"=\"\n"
      "noequals\n"
      "Empty=\n"
      "[ other ]\n"
      "iVolume=7\n"
      "[DUZER]\n"
      "iVolume=9\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"duzer", "icredits", "4"},  {"DUZER", "Quoted", "  padded  "}, {"DUZER", "Single", "x"},
      {"DUZER", "Lonely\"", "\""}, {"DUZER", "noequals", "<def>"},    {"DUZER", "Empty", ""},
      {"other", "iVolume", "7"},   {"DUZER", "iVolume", "<def>"},  // only the first section counts
      {"missing", "x", "<def>"},   {"DUZER", "; a comment", "<def>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(p.ReadString(c.section, c.key, "<def>"), c.expected) << c.section << "/" << c.key;
  }
}

TEST(ProfileFileTest, IntegersAreDecimalOrHexAndAnythingElseIsTheDefault) {
  struct Case {
    const char* value;
    std::int32_t expected;  // default is -99
  };
  const Case cases[] = {
      {"10", 10},
      {"-3", -3},
      {"+7", 7},
      {"0x0A", 10},
      {"0X1f", 31},
      {"-0x10", -16},
      {"0xFFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"\"12\"", 12},
      {"abc", -99},
      {"12abc", -99},
      {"", -99},
      {"0x", -99},
      {"0x1G", -99},
      {"2147483648", -99},
      {"0x100000000", -99},
      {"1 2", -99},
      {"1.5", -99},
      {"$0A", -99},
  };
  for (const Case& c : cases) {
    const ProfileFile p = ProfileFile::FromText(std::string("[S]\nk=") + c.value + "\n");
    EXPECT_EQ(p.ReadInteger("S", "K", -99), c.expected) << c.value;
  }
  EXPECT_EQ(ProfileFile::FromText("[S]\n").ReadInteger("S", "k", 5), 5);
}

TEST(ProfileFileTest, WritesKeepTheRestOfTheFile) {
  ProfileFile p = ProfileFile::FromText(
      "; settings\r\n[DUZER]\r\niCredits=2\r\niVolume = 5\r\n\r\n[Other]\r\nx=1\r\n");
  EXPECT_TRUE(p.WriteInteger("duzer", "ivolume", 0x0A));
  EXPECT_TRUE(p.WriteString("DUZER", "DtUpdate", "10/01/2003"));
  EXPECT_TRUE(p.WriteString("New", "k", "v"));
  EXPECT_EQ(p.ToText(),
            "; settings\r\n[DUZER]\r\niCredits=2\r\niVolume=10\r\nDtUpdate=10/01/2003\r\n\r\n"
            "[Other]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n");

  // Names and values that would not read back as themselves are refused.
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } bad[] = {{"", "k", "v"},   {"S]", "k", "v"},  {"S", "", "v"},        {"S", "a=b", "v"},
             {"S", " k", "v"}, {"S", ";k", "v"},  {"S", "k", "line\nx"}, {"S\n[T", "k", "v"},
             {"S", "[k", "v"}, {"S", "k", "a\rb"}};
  for (const auto& b : bad) {
    EXPECT_FALSE(p.WriteString(b.section, b.key, b.value)) << b.section << "/" << b.key;
  }
  EXPECT_FALSE(p.WriteString("S", std::string("k\0x", 3), "v"));
  EXPECT_EQ(p.ReadString("S", "k", "<none>"), "<none>");
}

TEST(ProfileFileTest, GarbageAndBinaryFilesGiveDefaultsAndCanBeRewritten) {
  ScratchDir dir;
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  for (const std::string& text :
       {binary, std::string("iCredits=5\niVolume=3\n"), std::string("[DUZER"),
        std::string("\0\0[DUZER]\0iCredits=5", 20), std::string(100000, '[')}) {
    WriteAll(dir.path() / "calc.ini", text);
    ProfileFile p = ProfileFile::Load(dir.path() / "CALC.INI");
    EXPECT_EQ(p.ReadInteger("DUZER", "iCredits", 0), 0);
    ASSERT_TRUE(p.WriteInteger("DUZER", "iCredits", 3));
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(ProfileFile::Load(dir.path() / "CALC.INI").ReadInteger("DUZER", "iCredits", 0), 3);
  }
}

TEST(ProfileFileTest, SaveReplacesTheExistingFileUnderItsOwnName) {
  ScratchDir dir;
  WriteAll(dir.path() / "Calc.Ini", "[DUZER]\niCredits=1\n");
  ::chmod((dir.path() / "Calc.Ini").c_str(), 0640);
  ProfileFile p = ProfileFile::Load(dir.path() / "CALC.ini");
  EXPECT_EQ(p.Path(), dir.path() / "Calc.Ini");
  p.WriteInteger("DUZER", "iCredits", 2);
  std::string error;
  ASSERT_TRUE(p.Save(&error)) << error;
  EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"Calc.Ini"});
  EXPECT_EQ(ReadAll(dir.path() / "Calc.Ini"), "[DUZER]\niCredits=2\n");
  struct stat st;
  ASSERT_EQ(::stat((dir.path() / "Calc.Ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A link is followed: the file it points to is replaced and the link stays.
  fs::create_directories(dir.path() / "real");
  WriteAll(dir.path() / "real" / "target.ini", "[A]\nx=1\n");
  fs::create_symlink("real/target.ini", dir.path() / "link.ini");
  ASSERT_TRUE(ReplaceFileAtomically(dir.path() / "link.ini", "[A]\nx=2\n", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link.ini"));
  EXPECT_EQ(ReadAll(dir.path() / "real" / "target.ini"), "[A]\nx=2\n");
}

TEST(ProfileFileTest, AFailedStepLeavesTheOldFileAndNoTemporaryFile) {
  ScratchDir dir;
  const fs::path file = dir.path() / "CALC.INI";
  const std::string old_text = "[DUZER]\niCredits=1\n";
  for (ReplaceStep failing : {ReplaceStep::kCreateTemp, ReplaceStep::kWrite, ReplaceStep::kSyncFile,
                              ReplaceStep::kCloseTemp, ReplaceStep::kRename}) {
    WriteAll(file, old_text);
    SetReplaceStepHookForTesting([&](ReplaceStep s) { return s == failing ? ENOSPC : 0; });
    std::string error;
    EXPECT_FALSE(ReplaceFileAtomically(file, "[DUZER]\niCredits=2\n", &error));
    SetReplaceStepHookForTesting(nullptr);
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(file), old_text);
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"CALC.INI"});
  }
  // Nowhere to write: an error, not a crash.
  std::string error;
  EXPECT_FALSE(ReplaceFileAtomically(dir.path() / "missing" / "CALC.INI", "x", &error));
  EXPECT_NE(error.find("create temporary file"), std::string::npos);
}

}  // namespace
}  // namespace cs
