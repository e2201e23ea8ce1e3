// The reader's MAMEKEY handle rule, against a real mailslot server.
#include "panel/key_mask_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/mailslot.h"

namespace cs {
namespace {

namespace fs = std::filesystem;

class KeyMaskWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/cs-key-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    slot_ = MailslotPath(dir_, "MAMEKEY");
    SetLogSink([this](const std::string& line) { log_.push_back(line); });
  }
  void TearDown() override {
    SetLogSink({});
    fs::remove_all(dir_);
  }
  // The masks waiting at the server.
  std::vector<std::uint32_t> Received(MailslotServer& s) {
    std::vector<std::uint32_t> out;
    std::uint8_t b[8];
    while (auto r = s.Receive(b, sizeof b, 0)) {
      EXPECT_EQ(r->length, 4u);
      out.push_back(std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
                    std::uint32_t{b[3]} << 24);
    }
    return out;
  }
  fs::path dir_, slot_;
  std::vector<std::string> log_;
};

TEST_F(KeyMaskWriterTest, KeepsAWorkingHandleOpenAndWritesLittleEndian) {
  MailslotServer s;
  ASSERT_TRUE(s.Bind(slot_));
  KeyMaskWriter w(slot_);
  EXPECT_FALSE(w.HandleOpen());
  EXPECT_TRUE(w.Send(0x00400804, true));
  EXPECT_TRUE(w.HandleOpen());
  EXPECT_TRUE(w.Send(0, true));
  EXPECT_EQ(Received(s), (std::vector<std::uint32_t>{0x00400804, 0}));
  EXPECT_TRUE(log_.empty());
}

TEST_F(KeyMaskWriterTest, NoGameRunningSkipsTheWriteAndClosesTheHandle) {
  MailslotServer s;
  ASSERT_TRUE(s.Bind(slot_));
  KeyMaskWriter w(slot_);
  ASSERT_TRUE(w.Send(4, true));
  EXPECT_FALSE(w.Send(8, false));
  EXPECT_FALSE(w.HandleOpen());
  EXPECT_TRUE(w.Send(16, true)) << "the next mask reopens";
  EXPECT_EQ(Received(s), (std::vector<std::uint32_t>{4, 16}));
  EXPECT_TRUE(log_.empty()) << "a skipped write is the rule, not an error";
}

TEST_F(KeyMaskWriterTest, MissingOrGoneEmulatorLosesTheMaskAndTheNextOneTriesAgain) {
  KeyMaskWriter w(slot_);
  EXPECT_FALSE(w.Send(4, true));
  EXPECT_FALSE(w.HandleOpen());
  EXPECT_FALSE(w.Send(8, true));
  EXPECT_EQ(log_.size(), 1u) << "one line for a run of failures";

  {
    MailslotServer s;
    ASSERT_TRUE(s.Bind(slot_));
    EXPECT_TRUE(w.Send(12, true));
    EXPECT_EQ(Received(s), (std::vector<std::uint32_t>{12})) << "lost masks are not repeated";
  }
  EXPECT_FALSE(w.Send(16, true)) << "server gone";
  EXPECT_FALSE(w.HandleOpen());
  EXPECT_EQ(log_.size(), 2u);

  MailslotServer again;
  ASSERT_TRUE(again.Bind(slot_));
  EXPECT_TRUE(w.Send(20, true));
  EXPECT_EQ(Received(again), (std::vector<std::uint32_t>{20}));
}

}  // namespace
}  // namespace cs
