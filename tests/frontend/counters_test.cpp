// CALC.INI: what the cabinet reads from it, what it writes, that a save is never torn, and the
// play count.
#include "frontend/counters.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>

#include "catalogue/catalogue_fixture.h"
#include "platform/drive_map.h"
#include "platform/log.h"
#include "platform/profile_file.h"

namespace cs {
namespace {

namespace fs = std::filesystem;
using testing::Game;
using testing::ScratchDir;
using F = CatalogueField;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CountersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(map_.CreateSkeleton());
    SetMessageBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
    SetLogSink([](const std::string&) {});
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    SetLogSink(nullptr);
    SetReplaceStepHookForTesting(nullptr);
  }
  fs::path Windows() const { return dir_.path() / "dosdevices" / "c:" / "windows"; }
  void WriteIni(const std::string& name, const std::string& text) {
    std::ofstream(Windows() / name, std::ios::binary) << text;
  }
  Counters Load() {
    Counters c;
    LoadCounters(map_, &c);
    return c;
  }

  ScratchDir dir_;
  DriveMap map_{dir_.path()};
  std::vector<std::string> boxes_;
};

TEST_F(CountersTest, LoadGivesEachKeyOrItsDefault) {
  struct Case {
    const char* name;
    std::string text;
    void (*check)(const Counters&);
  };
  const Case cases[] = {
      {"no file", "",
       [](const Counters& c) {
         EXPECT_EQ(c.iSysCounter, 0);
         EXPECT_EQ(c.iUserCounter, 0);
         EXPECT_EQ(c.iCredits, 0);
         EXPECT_EQ(c.iCoinCredits, 1);
         EXPECT_EQ(c.CoinStep, -2);  // price 1: 3 coins per credit
         EXPECT_EQ(c.iParCredits, 1);
         EXPECT_EQ(c.iKhz15, 0);
         EXPECT_EQ(c.iVolume, 5);
         EXPECT_EQ(c.iUpdate, 1);
         EXPECT_EQ(c.iUpdatePer, 1);
         EXPECT_EQ(c.DtUpdate, (Date{1999, 1, 1}));
         EXPECT_EQ(c.iUpLevel, 1);
       }},
      {"the example file",
       "[DUZER]\niSysCounter=152\niUserCounter=40\niCredits=2\niCoinCredits=3\niParCredits=0\n"
       "iKhz15=1\niVolume=5\niUpdate=1\niUpdatePer=2\nDtUpdate=10/01/2003\niUpLevel=4\n",
       [](const Counters& c) {
         EXPECT_EQ(c.iSysCounter, 152);
         EXPECT_EQ(c.iUserCounter, 40);
         EXPECT_EQ(c.iCredits, 2);
         EXPECT_EQ(c.iCoinCredits, 3);
         EXPECT_EQ(c.CoinStep, 0);
         EXPECT_EQ(c.iParCredits, 0);
         EXPECT_EQ(c.iKhz15, 1);
         EXPECT_EQ(c.iUpdatePer, 2);
         EXPECT_EQ(c.DtUpdate, (Date{2003, 1, 10}));
         EXPECT_EQ(c.iUpLevel, 4);
       }},
      // Negative credits are read as they are; start-up raises them to 0.
      {"-3 credits", "[DUZER]\niCredits=-3\n",
       [](const Counters& c) { EXPECT_EQ(c.iCredits, -3); }},
      {"abc credits", "[DUZER]\niCredits=abc\niParCredits=-2\n",
       [](const Counters& c) {
         EXPECT_EQ(c.iCredits, 0);
         EXPECT_EQ(c.iParCredits, -2);
       }},
      {"hex volume", "[DUZER]\niVolume=0x0A\n",
       [](const Counters& c) { EXPECT_EQ(c.iVolume, 10); }},
      // An unknown price stays as it is and leaves CoinStep at its start value.
      {"price 7", "[DUZER]\niCoinCredits=7\n",
       [](const Counters& c) {
         EXPECT_EQ(c.iCoinCredits, 7);
         EXPECT_EQ(c.CoinStep, 0);
       }},
      {"names without case", "[duzer]\nICREDITS=4\nDTUPDATE= 3/7/2024 \n",
       [](const Counters& c) {
         EXPECT_EQ(c.iCredits, 4);
         EXPECT_EQ(c.DtUpdate, (Date{2024, 7, 3}));
       }},
      {"bad dates", "[DUZER]\nDtUpdate=31/02/2003\n",
       [](const Counters& c) {
         EXPECT_EQ(c.DtUpdate, (Date{1999, 1, 1}));
       }},
      {"date with a time", "[DUZER]\nDtUpdate=10/01/2003 15:00:00\n",
       [](const Counters& c) {
         EXPECT_EQ(c.DtUpdate, (Date{1999, 1, 1}));
       }},
      {"no section", "iCredits=9\niVolume=20\n",
       [](const Counters& c) {
         EXPECT_EQ(c.iCredits, 0);
         EXPECT_EQ(c.iVolume, 5);
       }},
      {"binary",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0\0[DUZER]\0iCredits=7\xff\xfe",
                   29),
       [](const Counters& c) {
         EXPECT_EQ(c.iCredits, 0);
         EXPECT_EQ(c.iVolume, 5);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Windows() / "CALC.INI");
    if (!c.text.empty()) WriteIni("CALC.INI", c.text);
    c.check(Load());
  }
}

TEST_F(CountersTest, SaveWritesEveryKeyInOrderAndReadsBack) {
  Counters c;
  c.iSysCounter = 152;
  c.iUserCounter = 40;
  c.iCredits = 2;
  c.iCoinCredits = 4;
  c.iParCredits = 0;
  c.iKhz15 = 1;
  c.iUpdatePer = 2;
  c.DtUpdate = Date{2003, 1, 10};
  c.iUpLevel = 4;
  c.CoinStep = 99;
  ASSERT_TRUE(SaveCounters(map_, &c));
  EXPECT_EQ(c.CoinStep, 1);
  // A new file takes the writer's name.
  EXPECT_EQ(ReadAll(Windows() / "CALC.ini"),
            "[DUZER]\niSysCounter=152\niUserCounter=40\niCredits=2\niCoinCredits=4\n"
            "iParCredits=0\niKhz15=1\niVolume=5\niUpdate=1\niUpdatePer=2\n"
            "DtUpdate=10/01/2003\niUpLevel=4\n");
  Counters back = Load();
  back.CoinStep = c.CoinStep;
  EXPECT_EQ(back.iSysCounter, c.iSysCounter);
  EXPECT_EQ(back.DtUpdate, c.DtUpdate);
  EXPECT_EQ(back.iUpLevel, c.iUpLevel);

  // An unknown price is written as it is and keeps CoinStep.
  c.iCoinCredits = 7;
  ASSERT_TRUE(SaveCounters(map_, &c));
  EXPECT_EQ(c.CoinStep, 1);
  EXPECT_EQ(Load().iCoinCredits, 7);
}

TEST_F(CountersTest, SaveKeepsTheExistingFileItsNameAndItsOtherLines) {
  WriteIni("calc.INI",
           "; cabinet 7\r\n[Duzer]\r\niVolume=0x0A\r\nOperator=Sam\r\n[Extra]\r\nk=v\r\n");
  Counters c = Load();
  EXPECT_EQ(c.iVolume, 10);
  ASSERT_TRUE(SaveCounters(map_, &c));
  const std::string text = ReadAll(Windows() / "calc.INI");
  const std::string head = "; cabinet 7\r\n[Duzer]\r\niVolume=10\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find("Operator=Sam\r\niSysCounter=0\r\n"), std::string::npos);
  EXPECT_NE(text.find("[Extra]\r\nk=v\r\n"), std::string::npos);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Windows())) {
    names.push_back(e.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"calc.INI"});
}

TEST_F(CountersTest, AFailedSaveShowsTheBoxAndLeavesTheFileAsItWas) {
  WriteIni("CALC.INI", "[DUZER]\niCredits=5\n");
  Counters c = Load();
  c.iCredits = 6;
  c.iCoinCredits = 5;
  c.CoinStep = 42;
  SetReplaceStepHookForTesting([](ReplaceStep s) { return s == ReplaceStep::kSyncFile ? EIO : 0; });
  EXPECT_FALSE(SaveCounters(map_, &c));
  EXPECT_EQ(boxes_, std::vector<std::string>{"Unable to write to CALC.ini"});
  EXPECT_EQ(c.CoinStep, 42);
  EXPECT_EQ(ReadAll(Windows() / "CALC.INI"), "[DUZER]\niCredits=5\n");

  // No Windows directory at all.
  SetReplaceStepHookForTesting(nullptr);
  fs::remove_all(Windows());
  EXPECT_FALSE(SaveCounters(map_, &c));
  EXPECT_EQ(boxes_.size(), 2u);
}

// A writer killed before any step of a save, or between any two, leaves a file that reads back
// whole: the old counters or the new, never a mixture, never a torn line.
TEST_F(CountersTest, ASaveKilledAtAnyStepLeavesTheOldOrTheNewFile) {
  Counters old_c;
  old_c.iCredits = 11;
  old_c.iSysCounter = 1000;
  ASSERT_TRUE(SaveCounters(map_, &old_c));
  const std::string old_text = ReadAll(Windows() / "CALC.ini");
  Counters new_c = old_c;
  new_c.iCredits = 12;
  new_c.iSysCounter = 1003;
  new_c.DtUpdate = Date{2026, 1, 1};

  bool saw_old = false, saw_new = false;
  int completed_at = -1;
  for (int kill_at = 0; kill_at < 64 && completed_at < 0; ++kill_at) {
    ASSERT_TRUE(SaveCounters(map_, &old_c));
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int step = 0;
      SetReplaceStepHookForTesting([&](ReplaceStep) {
        if (step++ == kill_at) ::kill(::getpid(), SIGKILL);
        return 0;
      });
      Counters c = new_c;
      _exit(SaveCounters(map_, &c) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (WIFEXITED(status)) {
      ASSERT_EQ(WEXITSTATUS(status), 0);
      completed_at = kill_at;
    }
    const std::string text = ReadAll(Windows() / "CALC.ini");
    const Counters back = Load();
    if (text == old_text) {
      saw_old = true;
      EXPECT_EQ(back.iCredits, 11);
    } else {
      saw_new = true;
      EXPECT_EQ(back.iCredits, 12) << "killed at step " << kill_at << ":\n" << text;
      EXPECT_EQ(back.iSysCounter, 1003);
      EXPECT_EQ(back.DtUpdate, (Date{2026, 1, 1}));
    }
    // The next save clears whatever the killed one left behind.
    Counters again = Load();
    ASSERT_TRUE(SaveCounters(map_, &again));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Windows())) {
      names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"CALC.ini"}) << "killed at step " << kill_at;
  }
  // Create, write, sync, close, rename, sync directory: six boundaries before completion.
  EXPECT_EQ(completed_at, 6);
  EXPECT_TRUE(saw_old);
  EXPECT_TRUE(saw_new);
}

class CountPlayTest : public CountersTest {
 protected:
  void SetUp() override {
    CountersTest::SetUp();
    file_ = dir_.path() / "dosdevices" / "c:" / "qd" / "PARAMS2.DAT";
    testing::WriteCatalogue(file_, {Game("played", "Played", "GR1", 41),
                                    GameRow{"fresh", "Fresh", "GR1", std::nullopt, 0, 1},
                                    Game("other", "Other", "GR1", 7)});
    tb_.SetFile(file_);
    tb_.SetFilter(CatalogueFilter::kInUse);
    tb_.SetFiltered(true);
    tb_.SetIndexName("iCredits");
    ASSERT_TRUE(tb_.Open());
  }
  // Positions Tb the way a launch does: first row, then k rows further.
  void OnRow(int k) {
    tb_.First();
    for (int i = 0; i < k; ++i) tb_.Next();
  }

  fs::path file_;
  CatalogueView tb_;
};

TEST_F(CountPlayTest, CountsAndSavesCalcIniBeforeAndAfterThePost) {
  // At every replacement of CALC.INI, note the play count the file holds.
  CatalogueView watcher(file_);
  watcher.SetIndexName("");
  ASSERT_TRUE(watcher.Open());  // "other", "played" in NAMEFILE order after "fresh"
  std::vector<std::int32_t> credits_at_save;
  SetReplaceStepHookForTesting([&](ReplaceStep s) {
    if (s == ReplaceStep::kRename) {
      watcher.First();
      while (watcher.ReadText(F::NAMEFILE) != "played") watcher.Next();
      credits_at_save.push_back(watcher.ReadInt(F::CREDITS).value_or(-1));
    }
    return 0;
  });
  Counters c;
  c.iCredits = 3;
  OnRow(0);
  ASSERT_TRUE(CountPlay(map_, &c, &tb_));
  EXPECT_EQ(credits_at_save, (std::vector<std::int32_t>{41, 42}));
  EXPECT_EQ(tb_.ReadInt(F::CREDITS), 42);
  EXPECT_EQ(tb_.ReadText(F::NAMEFILE), "played");  // the view stays on the game
  EXPECT_EQ(Load().iCredits, 3);
}

TEST_F(CountPlayTest, AnEmptyCountBecomesOneAndAnUnreadableOneRestartsAtZero) {
  Counters c;
  OnRow(2);  // "fresh", empty count, last in the play-count order
  ASSERT_EQ(tb_.ReadText(F::NAMEFILE), "fresh");
  ASSERT_TRUE(CountPlay(map_, &c, &tb_));
  EXPECT_EQ(tb_.ReadInt(F::CREDITS), 1);

  {
    auto db = CatalogueDb::Open(file_);
    ASSERT_TRUE(db->Exec("UPDATE PARAMS2 SET CREDITS = 'x9' WHERE NAMEFILE = 'other'"));
  }
  tb_.First();
  while (tb_.ReadText(F::NAMEFILE) != "other") ASSERT_TRUE(tb_.Next());
  ASSERT_TRUE(CountPlay(map_, &c, &tb_));
  EXPECT_EQ(tb_.ReadInt(F::CREDITS), 0);
}

TEST_F(CountPlayTest, WithoutACurrentRowNothingIsAddedAndTheHandlerEnds) {
  Counters c;
  tb_.SetFilter(CatalogueFilter::kAvailable);  // no game available: an empty view
  ASSERT_FALSE(tb_.HasRow());
  EXPECT_FALSE(CountPlay(map_, &c, &tb_));
  auto rows = CatalogueDb::Open(file_)->ReadAllGames();
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->size(), 3u);
  // A failed first save ends it before the catalogue is touched.
  tb_.SetFilter(CatalogueFilter::kInUse);
  OnRow(0);
  SetReplaceStepHookForTesting([](ReplaceStep) { return EROFS; });
  EXPECT_FALSE(CountPlay(map_, &c, &tb_));
  EXPECT_EQ(tb_.ReadInt(F::CREDITS), 41);
  EXPECT_FALSE(tb_.Editing());
}

}  // namespace
}  // namespace cs
