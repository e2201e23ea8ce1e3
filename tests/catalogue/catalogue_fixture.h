#pragma once
// A scratch directory and a catalogue file in it, for catalogue and front-end tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue_db.h"
#include "catalogue/catalogue_view.h"

namespace cs::testing {

// A fresh directory under the system's temporary directory, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("cs-") + info->test_suite_name() + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline GameRow Game(std::string namefile, std::string title, std::optional<std::string> group,
                    std::optional<std::int32_t> credits, std::optional<std::int32_t> coins = 0,
                    std::optional<std::int32_t> players = 1) {
  return GameRow{std::move(namefile), std::move(title), std::move(group), credits, coins, players};
}

// Creates `file` holding `rows`.
inline void WriteCatalogue(const std::filesystem::path& file, const std::vector<GameRow>& rows) {
  std::string error;
  auto db = CatalogueDb::Create(file, &error);
  ASSERT_TRUE(db) << error;
  ASSERT_TRUE(db->UpsertGames(rows, &error)) << error;
}

// NAMEFILE of every row of an open view, walking from its first row with Next().
inline std::vector<std::string> Walk(CatalogueView& v) {
  std::vector<std::string> names;
  if (!v.First()) return names;
  do {
    names.push_back(v.ReadText(CatalogueField::NAMEFILE).value_or("?"));
  } while (v.Next());
  return names;
}

// The same walking back from the last row with Prior().
inline std::vector<std::string> WalkBack(CatalogueView& v) {
  std::vector<std::string> names;
  if (!v.Last()) return names;
  do {
    names.push_back(v.ReadText(CatalogueField::NAMEFILE).value_or("?"));
  } while (v.Prior());
  return names;
}

}  // namespace cs::testing
