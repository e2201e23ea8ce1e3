// The ATI clock synthesiser and display FIFO: the arithmetic by the worked examples, and the
// register steps on the simulated card.
#include "tvout/ati_clock.h"

#include <gtest/gtest.h>

#include "tvout_rig.h"

namespace cs::tvout {
namespace {

using testing::LogCapture;
using testing::Rig;

TEST(AtiDividersTest, InitialValuesAndEdges) {
  const AtiDividers d = ComputeAtiDividers(1432, 31, 2832.2);  // x = 30.6558
  EXPECT_EQ(d.post, 4);
  EXPECT_EQ(d.feedback, 123);
  // x so large that even the divider 1 passes 255: the halving ends at 0.
  const AtiDividers none = ComputeAtiDividers(1432, 400, 2832.2);
  EXPECT_EQ(none.post, 0);
  EXPECT_EQ(none.feedback, 0);
  // Ties go to the even integer: 4 * 0.625 = 2.5 -> 2, 4 * 0.875 = 3.5 -> 4.
  EXPECT_EQ(ComputeAtiDividers(4, 1, 5.0).feedback, 2);
  EXPECT_EQ(ComputeAtiDividers(4, 1, 7.0).feedback, 4);
  // Halving: x = 100 -> post 2 (200), x = 200 -> post 1.
  EXPECT_EQ(ComputeAtiDividers(1000, 10, 20000.0).post, 2);
  EXPECT_EQ(ComputeAtiDividers(1000, 20, 20000.0).post, 1);
}

TEST(AtiFifoTest, WorkedExamples) {
  struct Case {
    std::uint8_t postDiv;
    int bpp;
    double x;
    int precision;
    std::uint32_t on, off;
  } cases[] = {
      {8, 8, 35.493, 6, 50, 1099},
      {8, 16, 17.7465, 5, 65, 1098},
      {4, 32, 4.4366, 3, 155, 1092},
  };
  for (const Case& c : cases) {
    const auto f = ComputeAtiFifo(1432, 31, 6300, 2, 123, c.postDiv, c.bpp, 0, 0x00, 0x00);
    ASSERT_TRUE(f) << c.bpp;
    EXPECT_NEAR(f->x, c.x, 0.001) << c.bpp;
    EXPECT_EQ(f->precision, c.precision) << c.bpp;
    EXPECT_EQ(f->config & 0xFFFF, 1135u) << c.bpp;
    EXPECT_EQ((f->config >> 16) & 0x0F, 8u) << c.bpp;
    EXPECT_EQ((f->config >> 20) & 0x07, static_cast<std::uint32_t>(c.precision));
    EXPECT_EQ(f->onOff >> 16, c.on) << c.bpp;
    EXPECT_EQ(f->onOff & 0xFFFF, c.off) << c.bpp;
  }
  // Memory types 4-7 use loop base 8 (field 10) and page term 1.
  const auto fast = ComputeAtiFifo(1432, 31, 6300, 2, 123, 8, 8, 5, 0x00, 0x00);
  ASSERT_TRUE(fast);
  EXPECT_EQ((fast->config >> 16) & 0x0F, 10u);
  EXPECT_EQ(fast->onOff >> 16, 47u);  // r = 3: 9 + 35.49 + 2.99999 = 47.49
}

TEST(AtiFifoTest, UndefinedInputsGiveNoValues) {
  EXPECT_FALSE(ComputeAtiFifo(1432, 31, 6300, 0, 123, 8, 8, 0, 0, 0));  // multiplier 0
  EXPECT_FALSE(ComputeAtiFifo(1432, 31, 6300, 2, 123, 8, 0, 0, 0, 0));  // 0 bits per pixel
  EXPECT_FALSE(ComputeAtiFifo(1432, 31, 6300, 2, 123, 0, 8, 0, 0, 0));  // post divider 0
  EXPECT_FALSE(ComputeAtiFifo(1432, 0, 6300, 2, 123, 8, 8, 0, 0, 0));   // reference divider 0
  EXPECT_FALSE(ComputeAtiFifo(1, 255, 6300, 2, 1, 8, 8, 0, 0, 0));      // pixel clock 0
  EXPECT_EQ(AtiBitsPerPixel(0), 0);
  EXPECT_EQ(AtiBitsPerPixel(7), 0);
  EXPECT_EQ(AtiBitsPerPixel(6), 32);
}

TEST(AtiClockTest, ReadsTheClockTableFromTheVideoBios) {
  Rig rig(CardId::kAtiMach64);
  EXPECT_EQ(rig.engine.ati.RefFreq, 1432);
  EXPECT_EQ(rig.engine.ati.RefDiv, 33);
  EXPECT_EQ(rig.engine.ati.MemClock, 6000);
  // The same table holding the engine's initial values gives the worked example's dividers.
  rig.card.WritePhysical(0xC030A, {31, 0});
  rig.card.WritePhysical(0xC0312, {0x9C, 0x18});  // 6300
  rig.engine.ReadAtiClockInfo();
  EXPECT_EQ(rig.engine.ati.VClkPostDiv, 4);
  EXPECT_EQ(rig.engine.ati.VClkFeedback, 123);
  EXPECT_EQ(rig.engine.ati.MemClock, 6300);
}

TEST(AtiClockTest, ApplyProgramsSynthesiserAndFifo) {
  Rig rig(CardId::kAtiMach64);
  rig.Apply();
  const SimulatedCard& c = rig.card;
  EXPECT_EQ(rig.engine.lastApply().ClockCode, 0x109);
  EXPECT_EQ(c.AtiBlock8(0x90) & 0x03, 3);
  EXPECT_EQ(c.AtiPll(0x05) & 0x07, 0x03);  // synthesiser clock, out of reset
  EXPECT_EQ(c.AtiPll(0x06) >> 6, 3);       // post divider 8 (halved dot clock)
  EXPECT_EQ(c.AtiPll(0x0A), rig.engine.ati.VClkFeedback);
  EXPECT_EQ(c.AtiPll(0x0B) & 0x80, 0x00);
  EXPECT_EQ(rig.engine.ati.PllMultiplier, 2);
  EXPECT_EQ(rig.engine.ati.EffectivePostDiv, 8);
  EXPECT_NEAR(rig.Out().vclkHz, 14.16e6, 0.05e6);
  const auto f = ComputeAtiFifo(1432, 33, 6000, 2, rig.engine.ati.VClkFeedback, 8, 8,
                                c.AtiBlock8(0xE4), c.AtiBlock8(0xB1), c.AtiBlock8(0xB2));
  ASSERT_TRUE(f);
  EXPECT_EQ(c.AtiBlock32(0x20) & 0x7FFFFF, f->config);
  EXPECT_EQ(c.AtiBlock32(0x24), f->onOff);
  EXPECT_EQ(rig.Sr(0x00), 0x03);  // the VGA sequencer is not left in reset

  // 128 columns: no halving, post divider 4.
  Rig wide(CardId::kAtiMach64, {1024, 768, 8});
  wide.Apply();
  EXPECT_EQ(wide.engine.lastApply().ClockCode, 0x101);
  EXPECT_EQ(wide.card.AtiPll(0x06) >> 6, 2);
  EXPECT_NEAR(wide.Out().vclkHz, 28.42e6, 0.05e6);  // 14.318 * 2 * 131 / (33 * 4)
}

TEST(AtiClockTest, FortyColumnsGetTheirOwn25MHzDividers) {
  Rig rig(CardId::kAtiMach64, {320, 240, 8});
  rig.Apply();
  EXPECT_EQ(rig.engine.lastApply().ClockCode, 0x009);
  EXPECT_NEAR(rig.Out().vclkHz, 12.59e6, 0.05e6);
  EXPECT_NEAR(rig.Out().hfreqHz, 15430, 60);
}

TEST(AtiClockTest, FifoIsLeftAsItWasWhenItsComputationIsUndefined) {
  struct Case {
    const char* what;
    std::uint8_t pll0b;     // synthesiser register 0x0B before the apply
    std::uint8_t pixWidth;  // +0x1D
  } cases[] = {{"multiplier 0", 0x00, 0x02}, {"0 bits per pixel", 0x08, 0x07}};
  for (const Case& c : cases) {
    Rig rig(CardId::kAtiMach64);
    rig.card.SetAtiPll(0x0B, c.pll0b);
    rig.card.SetAtiBlock8(0x1D, c.pixWidth);
    const std::uint32_t config = rig.card.AtiBlock32(0x20);
    const std::uint32_t onOff = rig.card.AtiBlock32(0x24);
    LogCapture log;
    rig.Apply();
    EXPECT_EQ(rig.card.AtiBlock32(0x20), config) << c.what;
    EXPECT_EQ(rig.card.AtiBlock32(0x24), onOff) << c.what;
    EXPECT_TRUE(log.Contains("display FIFO left as it was")) << c.what;
  }
}

TEST(AtiClockTest, NoDividerLeavesTheSynthesiserRunning) {
  Rig rig(CardId::kAtiMach64);
  LogCapture log;
  rig.card.WritePhysical(0xC030A, {0x90, 0x01});  // reference divider 400: nothing fits
  rig.engine.ReadAtiClockInfo();
  ASSERT_EQ(rig.engine.ati.VClkPostDiv, 0);
  EXPECT_TRUE(log.Contains("no divider for 28.322 MHz"));
  const std::uint8_t fb = rig.card.AtiPll(0x0A);
  rig.Apply();
  EXPECT_EQ(rig.card.AtiPll(0x0A), fb);
  EXPECT_TRUE(rig.card.hazards().empty());
  EXPECT_TRUE(rig.Out().sync);
  EXPECT_TRUE(log.Contains("no usable divider"));
}

TEST(AtiClockTest, BlockRegistersOfTheApply) {
  Rig rig(CardId::kAtiMach64, {640, 480, 8}, kStandardPal, true);
  rig.Apply();
  const SimulatedCard& c = rig.card;
  const StoredTimings& t = rig.engine.timings;
  EXPECT_EQ(c.AtiBlock32(0x00), static_cast<std::uint32_t>(t.HDispEnd) << 16 | 0x71);
  EXPECT_EQ(c.AtiBlock32(0x04), (8u | 0x20u) << 16 | 0x5A);
  EXPECT_EQ(c.AtiBlock32(0x08), 479u << 16 | (623 + 3));  // interlace on ATI counts frame lines
  EXPECT_EQ(c.AtiBlock32(0x0C), (8u | 0x20u) << 16 | 532);
  EXPECT_EQ(c.AtiBlock8(0x1C) & 0x02, 0x02);
  EXPECT_EQ((c.AtiBlock32(0x14) >> 22), 80u);  // pitch unchanged in interlace
}

}  // namespace
}  // namespace cs::tvout
