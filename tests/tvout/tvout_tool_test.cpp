// coinshell-tvout, run as installers run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "tvout/card_personality.h"

namespace cs::tvout {
namespace {

struct ToolRun {
  int status;
  std::string out;
};

ToolRun Tool(const std::string& args) {
  const std::string cmd = std::string(COINSHELL_TVOUT_TOOL) + " " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ToolRun r{-1, {}};
  if (!p) return r;
  std::array<char, 4096> buf;
  while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) r.out.append(buf.data(), n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST(TvoutToolTest, CardsListsEveryPersonality) {
  const ToolRun r = Tool("cards");
  ASSERT_EQ(r.status, 0) << r.out;
  for (const Personality& p : Personalities()) {
    EXPECT_NE(r.out.find(std::string(p.name) + " "), std::string::npos) << p.name;
  }
  EXPECT_NE(r.out.find("s3-trio64        Chipset 3   Model 0x0011"), std::string::npos);
  EXPECT_NE(r.out.find("ati-mach64       Chipset 8   Model 0x4354"), std::string::npos);
}

TEST(TvoutToolTest, SimulatePrintsTheApply) {
  const ToolRun r = Tool("simulate --card s3-trio64 --mode 640x480x8 --standard PAL");
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* part :
       {"\"Chipset\": 3", "\"Model\": 17", "\"ClockCode\": 273", "\"row\": 5", "\"HTotalReg\": 108",
        "\"VTotalReg\": 311", "\"VSyncStart\": 266", "\"CR00\": 108", "\"MISC\": 39", "\"SR01\": 1",
        "\"GR06\": 5", "\"signal\": {\"dot_clock_hz\": 14161000", "\"hfreq_hz\": 15664.8",
        "\"interlaced\": true", "\"visible_lines\": 240", "\"hazards\": []"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  }
  const ToolRun n = Tool(
      "simulate --card tseng-et4000 --mode 640x480x16 --standard NTSC "
      "--no-interlace --positive-sync --odd-even-vsync");
  ASSERT_EQ(n.status, 0) << n.out;
  EXPECT_NE(n.out.find("\"interlaced\": false"), std::string::npos) << n.out;
  EXPECT_NE(n.out.find("\"hsync_negative\": true"), std::string::npos) << n.out;
  EXPECT_NE(n.out.find("\"VSyncEnd\": 245"), std::string::npos) << n.out;  // 242 + 4 - 1
}

TEST(TvoutToolTest, DetectRunsTheIdentification) {
  struct Case {
    const char* args;
    std::vector<const char*> parts;
  } cases[] = {
      {"detect --card ati-mach64",
       {"\"Chipset\": 8", "\"Model\": 17236", "\"IOBase\": 55296", "\"PciMechanism\": 1",
        "\"brand\": \"ATI Technology\"", "\"model\": \"Generic (I/O: D800h)\""}},
      {"detect --card s3-trio64", {"\"Chipset\": 3", "\"Model\": 17", "\"IOBase\": 0"}},
      // In slot order: the S3 answers the VGA ports, the ATI sits on the bus after it.
      {"detect --card s3-trio64 --card ati-mach64", {"\"Chipset\": 8", "\"IOBase\": 55552"}},
      {"detect --card intel --card sis-6326", {"\"Chipset\": 9", "\"Model\": 30720"}},
      {"detect --card tseng-et4000 --pci 0",
       {"\"Chipset\": 5", "\"Model\": 4000", "\"PciMechanism\": 0", "\"hazards\": []"}},
      {"detect --card sis-300 --pci 2",
       {"\"Chipset\": 14", "\"Model\": 768", "\"PciMechanism\": 2"}},
  };
  for (const Case& c : cases) {
    const ToolRun r = Tool(c.args);
    ASSERT_EQ(r.status, 0) << c.args << "\n" << r.out;
    for (const char* part : c.parts) {
      EXPECT_NE(r.out.find(part), std::string::npos) << c.args << ": " << part << "\n" << r.out;
    }
  }
}

TEST(TvoutToolTest, BadArguments) {
  struct Case {
    const char* args;
    int status;
    const char* says;
  } cases[] = {
      {"", 2, "usage"},
      {"simulate --card nosuch --mode 640x480x8 --standard PAL", 2, "unknown card"},
      {"simulate --card s3-trio64 --mode 640x480 --standard PAL", 2, "bad mode"},
      {"simulate --card s3-trio64 --mode 640x480x8 --standard SECAM", 2, "bad standard"},
      {"simulate --card s3-trio64 --mode 640x480x8", 2, "usage"},
      {"simulate --card tseng-et3000 --mode 1280x1024x8 --standard PAL", 1, "cannot set"},
      {"cards extra", 2, "usage"},
      {"detect", 2, "usage"},
      {"detect --card nosuch", 2, "unknown card"},
      {"detect --card s3-trio64 --pci 3", 2, "--pci"},
      {"detect --card s3-trio64 --card tseng-et4000", 2, "not a PCI card"},
      {"detect --card s3-trio64 --card ati-mach64 --pci 0", 2, "needs a PCI bus"},
  };
  for (const Case& c : cases) {
    const ToolRun r = Tool(c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << "\n" << r.out;
  }
}

}  // namespace
}  // namespace cs::tvout
