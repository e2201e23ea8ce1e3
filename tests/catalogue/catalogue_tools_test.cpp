// The two tools run as a user would run them: coinshell-catalogue and coinshell-demo.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <set>
#include <sstream>

#include "catalogue/catalogue_csv.h"
#include "catalogue/catalogue_fixture.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/profile_file.h"

extern char** environ;

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `program` with `args` (no shell), standard input from `input` when given.
ToolRun Spawn(const fs::path& scratch, const char* program, std::vector<std::string> args,
              const std::string& input = "") {
  const fs::path out = scratch / "stdout", err = scratch / "stderr", in = scratch / "stdin";
  std::ofstream(in, std::ios::binary) << input;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv{const_cast<char*>(program)};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  ToolRun r;
  if (posix_spawn(&pid, program, &fa, nullptr, argv.data(), environ) == 0) {
    waitpid(pid, &r.status, 0);
    r.status = WIFEXITED(r.status) ? WEXITSTATUS(r.status) : 128 + WTERMSIG(r.status);
  }
  posix_spawn_file_actions_destroy(&fa);
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

class CatalogueToolTest : public ::testing::Test {
 protected:
  ToolRun Tool(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", db_.string()});
    return Spawn(dir_.path(), COINSHELL_CATALOGUE_TOOL, std::move(args), input);
  }
  void WriteCsv(const std::string& name, const std::string& text) {
    std::ofstream(dir_.path() / name, std::ios::binary) << text;
  }
  ScratchDir dir_;
  fs::path db_ = dir_.path() / "PARAMS2.DAT";
};

TEST_F(CatalogueToolTest, CreateImportExportList) {
  ToolRun r = Tool({"create"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Tool({"create"}).status, 1);  // never over an existing file
  r = Tool({"list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("0 games, 0 in use, 0 available"), std::string::npos);

  WriteCsv("games.csv",
           "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\r\n"
           "zeta,\"Zeta, the Game\",GR1,4,0,2\r\nalpha,Alpha,GR2,,1,1\r\n");
  r = Tool({"import", (dir_.path() / "games.csv").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("2 rows imported"), std::string::npos);
  // Replaces by NAMEFILE without case, adds the rest; the CSV may come on standard input.
  r = Tool(
      {"import", "-"},
      "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\nZETA,Zeta,GR1,5,0,2\nnew1,New,GR2,0,0,1\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("(1 added, 1 replaced)"), std::string::npos) << r.out;

  r = Tool({"export"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\n"
            "alpha,Alpha,GR2,,1,1\nnew1,New,GR2,0,0,1\nZETA,Zeta,GR1,5,0,2\n");
  r = Tool({"list"});
  EXPECT_NE(r.out.find("3 games, 1 in use, 2 available"), std::string::npos) << r.out;
}

TEST_F(CatalogueToolTest, ABadRowImportsNothing) {
  ASSERT_EQ(Tool({"create"}).status, 0);
  WriteCsv("bad.csv",
           "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\n"
           "good,Good,GR1,1,0,1\n"
           "../../etc,Escape,GR1,1,0,1\n"
           "good2,Good,GR1,abc,0,1\n");
  const std::string csv = (dir_.path() / "bad.csv").string();
  const ToolRun r = Tool({"import", csv});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(csv + ":3: NAMEFILE must be 1 to 8 letters, digits or underscores"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(csv + ":4: CREDITS is not an integer: \"abc\""), std::string::npos);
  EXPECT_NE(r.err.find("nothing imported"), std::string::npos);
  EXPECT_EQ(Tool({"export"}).out, "NAMEFILE,NAMEGAME,GROUP,CREDITS,COINS,Nrplayer\n");
  // Into a missing file: nothing is created either.
  fs::remove(db_);
  EXPECT_EQ(Tool({"import", csv}).status, 1);
  EXPECT_FALSE(fs::exists(db_));
}

TEST_F(CatalogueToolTest, UsageAndMissingFiles) {
  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"drop"}).status, 2);
  EXPECT_EQ(Tool({"import"}).status, 2);
  EXPECT_EQ(Spawn(dir_.path(), COINSHELL_CATALOGUE_TOOL, {"list"}).status, 2);
  const ToolRun r = Tool({"export"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no such file"), std::string::npos);
  EXPECT_FALSE(fs::exists(db_));
  EXPECT_EQ(Tool({"import", (dir_.path() / "none.csv").string()}).status, 1);
}

TEST(DemoToolTest, BuildsACompleteCabinetRootAndKeepsOtherDirectories) {
  ScratchDir dir;
  const fs::path root = dir.path() / "cabinet";
  ToolRun r = Spawn(dir.path(), COINSHELL_DEMO_TOOL, {"--out", root.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const DriveMap map(root);
  for (const char* d : {"c:\\windows", "c:\\qd", "c:\\shell", "d:\\"}) {
    EXPECT_TRUE(fs::is_directory(*map.Resolve(d))) << d;
  }
  EXPECT_TRUE(fs::is_directory(map.IpcDir()));

  auto db = CatalogueDb::Open(*map.Resolve("c:\\qd\\PARAMS2.DAT"));
  ASSERT_TRUE(db);
  const auto rows = db->ReadAllGames();
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->size(), 60u);
  std::set<std::string> names, titles, counts;
  int in_use = 0;
  for (const GameRow& g : *rows) {
    EXPECT_FALSE(RowProblem(g).has_value()) << g.NAMEFILE;
    names.insert(g.NAMEFILE);
    titles.insert(*g.NAMEGAME);
    if (g.GROUP == "GR1") {
      ++in_use;
      counts.insert(std::to_string(*g.CREDITS));
    }
  }
  EXPECT_EQ(names.size(), 60u);
  EXPECT_EQ(titles.size(), 60u);
  EXPECT_EQ(in_use, 40);
  EXPECT_GT(counts.size(), 25u);  // varied play counts

  const ProfileFile ini = ProfileFile::Load(*map.Resolve("c:\\windows\\CALC.INI"));
  EXPECT_GT(ini.ReadInteger("DUZER", "iCredits", 0), 0);
  EXPECT_TRUE(Date::ParseShort(ini.ReadString("DUZER", "DtUpdate", "")).has_value());

  // A non-empty directory is refused; --force writes the demo again over it.
  std::ofstream(root / "notes.txt") << "keep me";
  r = Spawn(dir.path(), COINSHELL_DEMO_TOOL, {"--out", root.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not empty"), std::string::npos);
  r = Spawn(dir.path(), COINSHELL_DEMO_TOOL, {"--out", root.string(), "--force"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(CatalogueDb::Open(*map.Resolve("c:\\qd\\PARAMS2.DAT"))->ReadAllGames()->size(), 60u);
  EXPECT_EQ(ReadAll(root / "notes.txt"), "keep me");
  EXPECT_EQ(Spawn(dir.path(), COINSHELL_DEMO_TOOL, {}).status, 2);
}

}  // namespace
}  // namespace cs
