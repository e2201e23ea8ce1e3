// Starts the real shell offscreen on a demo cabinet root and looks at it from outside, as an
// operator's support tools would: the control socket, CALC.INI and the catalogue file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "catalogue/catalogue_db.h"
#include "platform/control_socket.h"
#include "platform/process.h"
#include "platform/profile_file.h"

namespace cs {
namespace {

namespace fs = std::filesystem;

fs::path Bin(const std::string& rel) {
  const char* b = std::getenv("COINSHELL_BINARY_DIR");
  return fs::path(b ? b : "build/default") / rel;
}

int RunAndWait(const std::vector<std::string>& argv) {
  std::string cmd;
  for (const auto& a : argv) cmd += "'" + a + "' ";
  return std::system((cmd + ">/dev/null 2>&1").c_str());
}

class CabinetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("cs-int-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    ASSERT_EQ(RunAndWait({Bin("tools/coinshell-demo/coinshell-demo").string(), "--out",
                          root_.string(), "--no-previews"}),
              0);
    // The demo writes DtUpdate as today; an old date makes this start rotate.
    ProfileFile calc = ProfileFile::Load(root_ / "dosdevices/c:/windows/CALC.INI");
    calc.WriteString("DUZER", "DtUpdate", "01/01/2000");
    calc.WriteInteger("DUZER", "iCredits", -3);
    ASSERT_TRUE(calc.Save());
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    fs::remove_all(root_);
  }
  pid_t StartShell() {
    SpawnRequest r{
        Bin("src/app/coinshell"), {"--root", root_.string(), "--tvout=off"}, root_, {}, true};
    r.extraEnv = {{"QT_QPA_PLATFORM", "offscreen"}, {"COINSHELL_SKINS", Bin("skins").string()}};
    const auto pid = SpawnDetached(r);
    return pid ? *pid : -1;
  }
  std::string Ask(const std::string& req) {
    return ControlRequest(root_ / "run/control", req, 10000).value_or("<no answer>");
  }
  std::string WaitForStartup() {
    for (int i = 0; i < 300; ++i) {
      const auto s = ControlRequest(root_ / "run/control", "status", 2000);
      if (s && s->find("\"startupDone\":true") != std::string::npos) return *s;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
  }
  fs::path root_;
  pid_t pid_ = -1;
};

TEST_F(CabinetTest, StartsRotatesReportsAndShutsDownCleanly) {
  pid_ = StartShell();
  ASSERT_GT(pid_, 0);
  const std::string status = WaitForStartup();
  ASSERT_FALSE(status.empty()) << "the shell never finished its start-up";
  EXPECT_NE(status.find("\"iCredits\":0,"), std::string::npos) << status;  // -3 raised to 0
  EXPECT_NE(status.find("\"CurSlot\":1,"), std::string::npos);
  EXPECT_NE(status.find("\"PageOffset\":0,"), std::string::npos);
  EXPECT_NE(status.find("\"visible\":[\"TDbgFrm\"]"), std::string::npos);
  EXPECT_EQ(status.find("\"slots\":[null"), std::string::npos);

  // A second shell on the same root refuses to start.
  SpawnRequest second{Bin("src/app/coinshell"), {"--root", root_.string()}, root_, {}, true};
  second.extraEnv = {{"QT_QPA_PLATFORM", "offscreen"}};
  const auto pid2 = SpawnDetached(second);
  ASSERT_TRUE(pid2);
  int st = 0;
  ASSERT_EQ(::waitpid(*pid2, &st, 0), *pid2);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1);

  const fs::path png = root_ / "shot.png";
  EXPECT_EQ(Ask("screenshot " + png.string()), "ok " + png.string() + "\n");
  EXPECT_GT(fs::file_size(png), 10000u);

  EXPECT_EQ(Ask("quit"), "ok\n");
  ASSERT_EQ(::waitpid(pid_, &st, 0), pid_);
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);

  // The rotation ran and was saved with the date of the day.
  const ProfileFile calc = ProfileFile::Load(root_ / "dosdevices/c:/windows/CALC.INI");
  EXPECT_NE(calc.ReadString("DUZER", "DtUpdate", ""), "01/01/2000");
  auto db = CatalogueDb::Open(root_ / "dosdevices/c:/qd/PARAMS2.DAT");
  ASSERT_TRUE(db);
  const auto rows = db->ReadAllGames();
  ASSERT_TRUE(rows);
  int inUse = 0, freshInUse = 0;
  for (const GameRow& r : *rows) {
    if (r.GROUP == std::string("GR1")) {
      ++inUse;
      if (r.CREDITS == 0) ++freshInUse;
    }
  }
  EXPECT_EQ(inUse, 40);
  EXPECT_GE(freshInUse, 10);  // ten games came back with no plays
}

}  // namespace
}  // namespace cs
