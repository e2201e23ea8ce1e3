#include "platform/drive_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cs {
namespace {

namespace fs = std::filesystem;

class DriveMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("cs-drive-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    map_ = std::make_unique<DriveMap>(root_);
    ASSERT_TRUE(map_->CreateSkeleton());
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
  std::unique_ptr<DriveMap> map_;
};

TEST_F(DriveMapTest, ComponentsMatchExistingEntriesWithoutCase) {
  std::ofstream(root_ / "dosdevices/c:/windows/CALC.ini") << "x";
  fs::create_directories(root_ / "dosdevices/c:/qd");
  EXPECT_EQ(*map_->Resolve("c:\\WINDOWS\\CALC.INI"), root_ / "dosdevices/c:/windows/CALC.ini");
  EXPECT_EQ(*map_->Resolve("C:\\QD\\NEW.AVI"), root_ / "dosdevices/c:/qd/NEW.AVI");
  EXPECT_EQ(*map_->Resolve("c:/qd//x"), root_ / "dosdevices/c:/qd/x");
}

TEST_F(DriveMapTest, PathsThatCouldLeaveTheDriveAreRefused) {
  for (const char* bad : {"qd\\x", "\\qd\\x", "c:\\qd\\..\\..\\etc", "c:\\.\\x", "1:\\x", ""}) {
    EXPECT_FALSE(map_->Resolve(bad).has_value()) << bad;
  }
  EXPECT_FALSE(map_->Resolve(std::string("c:\\a\0b", 7)).has_value());
}

TEST_F(DriveMapTest, ComPortsUseTheLinkOrTheDefaultDevice) {
  EXPECT_EQ(*map_->ComDevice("COM2"), fs::path("/dev/ttyS1"));
  fs::create_symlink("/dev/null", root_ / "dosdevices/com2");
  EXPECT_EQ(*map_->ComDevice("com2"), root_ / "dosdevices/com2");
  EXPECT_FALSE(map_->ComDevice("COM").has_value());
  EXPECT_FALSE(map_->ComDevice("COM0").has_value());
  EXPECT_FALSE(map_->ComDevice("COM2/../x").has_value());
}

}  // namespace
}  // namespace cs
