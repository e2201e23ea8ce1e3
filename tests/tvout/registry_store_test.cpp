// The registry key store: stored value forms, key file names, typed reads with defaults, lazy
// durable writes.
#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tvout/tvout_test_dir.h"

namespace cs {
namespace {

using tvout::testing::ReadAll;
using tvout::testing::TestDir;
using tvout::testing::WriteAll;
using Kind = RegistryValue::Kind;

constexpr char kTvw[] = "HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw";

TEST(RegistryValueTest, StoredForms) {
  struct Case {
    const char* stored;
    RegistryValue value;
  } good[] = {
      {"dword:0000002a", {Kind::kInteger, 42, {}}},
      {"dword:000000F3", {Kind::kInteger, 0xF3, {}}},
      {"dword:ffffffff", {Kind::kInteger, 0xFFFFFFFF, {}}},
      {"sz:\"PAL\"", {Kind::kString, 0, "PAL"}},
      {"sz:\"\"", {Kind::kString, 0, ""}},
      {"sz:\"a \\\"b\\\" \\\\ c\"", {Kind::kString, 0, "a \"b\" \\ c"}},
      {"sz:\"x\\ny\\r\\t\\x01\\x7f\"", {Kind::kString, 0, "x\ny\r\t\x01\x7f"}},
      {"sz:\"  spaced  \"", {Kind::kString, 0, "  spaced  "}},
  };
  for (const Case& c : good) {
    const auto v = DecodeRegistryValue(c.stored);
    ASSERT_TRUE(v) << c.stored;
    EXPECT_EQ(*v, c.value) << c.stored;
    EXPECT_EQ(DecodeRegistryValue(EncodeRegistryValue(c.value)), c.value) << c.stored;
  }
  EXPECT_EQ(EncodeRegistryValue({Kind::kInteger, 0xF3, {}}), "dword:000000f3");
  EXPECT_EQ(EncodeRegistryValue({Kind::kString, 0, "a\"\n"}), "sz:\"a\\\"\\n\"");

  for (const char* bad :
       {"", "42", "PAL", "\"PAL\"", "dword:2a", "dword:0000002g", "dword:000000002a",
        "dword: 0000002a", "DWORD:0000002a", "sz:PAL", "sz:\"PAL", "sz:\"a\"b\"", "sz:\"\\q\"",
        "sz:\"\\x4\"", "sz:\"\\x4g\"", "sz:\"\\\"", "sz:\"tab\there\"", "sz:\"PAL\" "}) {
    EXPECT_FALSE(DecodeRegistryValue(bad)) << bad;
  }
}

TEST(RegistryKeyTest, FileNames) {
  EXPECT_EQ(RegistryKeyFileName(kTvw), "HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini");
  EXPECT_EQ(RegistryKeyFileName("A.B\\C d\\%"), "A%2EB.C%20d.%25.ini");
  EXPECT_EQ(RegistryKeyFileName("..\\x"), "%2E%2E.x.ini");
  EXPECT_EQ(RegistryKeyFileName("a/b"), "a%2Fb.ini");
  for (const char* bad : {"", "\\A", "A\\", "A\\\\B", " A", "A \\B", "A]B", "A\nB", "A\tB"}) {
    EXPECT_FALSE(RegistryKeyFileName(bad)) << bad;
  }
  EXPECT_FALSE(RegistryKeyFileName(std::string(300, 'k')));
}

TEST(RegistryKeyTest, OpenCreatesOnlyWhenAsked) {
  TestDir dir;
  EXPECT_EQ(RegistryKey::Open(dir.path(), kTvw, false), nullptr);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "registry"));
  std::string error;
  EXPECT_EQ(RegistryKey::Open(dir.path(), "bad]key", true, &error), nullptr);
  EXPECT_NE(error.find("not a key path"), std::string::npos);

  auto key = RegistryKey::Open(dir.path(), kTvw, true);
  ASSERT_NE(key, nullptr);
  const auto file = dir.path() / "registry" / "HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini";
  EXPECT_EQ(ReadAll(file), "[HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw]\n");
  EXPECT_FALSE(key->ValueExists("Chipset"));
  EXPECT_NE(RegistryKey::Open(dir.path(), kTvw, false), nullptr);
}

TEST(RegistryKeyTest, TypedValuesWrittenLazilyAndDurably) {
  TestDir dir;
  const auto file = dir.path() / "registry" / "HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini";
  {
    auto key = RegistryKey::Open(dir.path(), kTvw, true);
    ASSERT_NE(key, nullptr);
    EXPECT_TRUE(key->WriteInteger("Polarity", 0xF3));
    EXPECT_TRUE(key->WriteBool("SaveChanges", false));
    EXPECT_TRUE(key->WriteString("VideoStandard", "NTSC"));
    EXPECT_TRUE(key->WriteInteger("Model", -1));
    EXPECT_FALSE(key->WriteInteger("bad=name", 1));
    EXPECT_FALSE(key->WriteInteger(" padded", 1));
    // Read back before the close, from memory; nothing reached the file yet.
    EXPECT_EQ(key->ReadInteger("polarity"), 0xF3);
    EXPECT_EQ(ReadAll(file), "[HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw]\n");
    EXPECT_TRUE(key->CloseKey());
    EXPECT_FALSE(key->Dirty());
  }
  EXPECT_EQ(ReadAll(file),
            "[HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw]\n"
            "Polarity=dword:000000f3\n"
            "SaveChanges=dword:00000000\n"
            "VideoStandard=sz:\"NTSC\"\n"
            "Model=dword:ffffffff\n");

  // Names and the key path are matched without regard to case; types are kept apart.
  auto key = RegistryKey::Open(dir.path(), "hkey_local_machine\\SOFTWARE\\halvardine\\tvw", false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadInteger("POLARITY"), 0xF3);
  EXPECT_EQ(key->ReadBool("SaveChanges"), false);
  EXPECT_EQ(key->ReadString("VideoStandard"), "NTSC");
  EXPECT_EQ(key->ReadInteger("Model"), -1);
  EXPECT_EQ(key->ReadString("Polarity"), std::nullopt);
  EXPECT_EQ(key->ReadInteger("VideoStandard"), std::nullopt);
  EXPECT_EQ(key->ReadBool("Missing"), std::nullopt);
  // A rewrite keeps the line in place.
  key->WriteString("VideoStandard", "PAL");
  key.reset();  // the destructor closes, and so writes
  EXPECT_NE(ReadAll(file).find("SaveChanges=dword:00000000\nVideoStandard=sz:\"PAL\"\n"),
            std::string::npos);
}

TEST(RegistryKeyTest, FailedWriteLeavesTheFileAsItWas) {
  TestDir dir;
  {
    auto key = RegistryKey::Open(dir.path(), kTvw, true);
    key->WriteString("VideoStandard", "PAL");
  }
  const auto file = dir.path() / "registry" / "HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini";
  const std::string before = ReadAll(file);
  auto key = RegistryKey::Open(dir.path(), kTvw, false);
  key->WriteString("VideoStandard", "NTSC");
  SetReplaceStepHookForTesting(
      [](ReplaceStep step) { return step == ReplaceStep::kRename ? EIO : 0; });
  std::string error;
  EXPECT_FALSE(key->CloseKey(&error));
  SetReplaceStepHookForTesting({});
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadAll(file), before);
}

TEST(RegistryKeyTest, HandEditedValuesThatDoNotParseReadAsMissing) {
  TestDir dir;
  WriteAll(dir.path() / "registry" / "hkey_local_machine.software.halvardine.tvw.INI",
           "; edited by hand\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Halvardine\\Tvw]\r\n"
           "Polarity=243\r\n"
           "Chipset=dword:00000107\r\n"
           "VideoStandard=\"NTSC\"\r\n"
           "Visible=dword:0000000x\r\n"
           "Model = dword:00000011 \r\n"
           "\x01\x02 garbage\r\n");
  auto key = RegistryKey::Open(dir.path(), kTvw, false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadInteger("Polarity"), std::nullopt);
  EXPECT_EQ(key->ReadInteger("Chipset"), 0x107);
  EXPECT_EQ(key->ReadString("VideoStandard"), std::nullopt);
  EXPECT_EQ(key->ReadBool("Visible"), std::nullopt);
  EXPECT_EQ(key->ReadInteger("Model"), 0x11);
  // The file keeps its own name, line ends and foreign lines when written.
  key->WriteInteger("Polarity", 0x33);
  ASSERT_TRUE(key->CloseKey());
  const std::string text =
      ReadAll(dir.path() / "registry" / "hkey_local_machine.software.halvardine.tvw.INI");
  EXPECT_NE(text.find("; edited by hand\r\n"), std::string::npos);
  EXPECT_NE(text.find("Polarity=dword:00000033\r\n"), std::string::npos);
  EXPECT_NE(text.find("\x01\x02 garbage\r\n"), std::string::npos);
}

}  // namespace
}  // namespace cs
