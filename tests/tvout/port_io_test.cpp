// The access operations every step is written against, and the hardware backend's failure
// paths (exercised through replaced system calls: no test touches real hardware).
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tvout/hardware_port_io.h"
#include "tvout_rig.h"

namespace cs::tvout {
namespace {

using testing::LogCapture;

TEST(PortIoTest, BitTestsOnWritableStuckAndReadOnlyRegisters) {
  struct Case {
    CardId card;
    std::uint16_t port;
    std::uint8_t index;
    std::uint8_t mask;
    bool expected;
  } cases[] = {
      {CardId::kS3Trio64, 0x3D4, 0x13, 0xFF, true},      // offset: all bits writable
      {CardId::kS3Trio64, 0x3D4, 0x30, 0x0F, false},     // chip ID: read-only
      {CardId::kS3Trio64, 0x3C4, 0x00, 0x07, false},     // SR00: bit 2 does not exist (reads 0)
      {CardId::kTsengEt4000, 0x3D4, 0x33, 0x0F, false},  // key closed: writes ignored
      {CardId::kOakOti087, 0x3DE, 0x0D, 0x38, true},
      {CardId::kRealtek, 0x3D4, 0x1F, 0x3F, false},  // ID register
      {CardId::kIbmVga, 0x3D4, 0x35, 0x0F, false},   // no such register
  };
  for (const Case& c : cases) {
    SimulatedCard card(c.card);
    card.SetReg(Bank::kCrtc, 0x13, 0x5A);
    const std::uint8_t before = card.ReadIndexed(c.port, c.index);
    EXPECT_EQ(card.TestIndexedBits(c.port, c.index, c.mask), c.expected)
        << card.personality().name << " " << std::hex << int(c.index);
    EXPECT_EQ(card.ReadIndexed(c.port, c.index), before) << "register left as found";
  }
}

TEST(PortIoTest, PortBitTestAndMaskedWrite) {
  SimulatedCard tseng(CardId::kTsengEt3000);
  EXPECT_TRUE(tseng.TestPortBits(0x3CD, 0x3F));  // segment select
  SimulatedCard s3(CardId::kS3Trio64);
  EXPECT_FALSE(s3.TestPortBits(0x3CD, 0x3F));  // nothing there: all ones

  s3.SetReg(Bank::kCrtc, 0x13, 0xFF);
  s3.MaskedIndexedWrite(0x3D4, 0x13, 0x17, 0x05);
  EXPECT_EQ(s3.Reg(Bank::kCrtc, 0x13), 0xED);
}

TEST(PortIoTest, ReadModifyWriteGoesStraightToTheDataPort) {
  SimulatedCard card(CardId::kS3Trio64);
  card.SetTracing(true);
  card.ModifyCrtc(0x09, 0xDF, 0x00);
  ASSERT_EQ(card.trace().size(), 3u);
  EXPECT_TRUE(card.trace()[0].write && card.trace()[0].port == 0x3D4);
  EXPECT_FALSE(card.trace()[1].write);
  EXPECT_TRUE(card.trace()[2].write && card.trace()[2].port == 0x3D5);
}

TEST(PortIoTest, CrtcPortFollowsMiscOutputBit0) {
  SimulatedCard card(CardId::kIbmVga);
  card.SetMisc(0x62);
  card.UpdateCrtcPort();
  EXPECT_EQ(card.CrtcPort, 0x3B4);
  card.SetReg(Bank::kCrtc, 0x13, 0x28);
  EXPECT_EQ(card.ReadCrtc(0x13), 0x28);
  EXPECT_EQ(card.ReadIndexed(0x3D4, 0x13), 0xFF);  // the colour ports are not decoded now
  card.SetMisc(0x63);
  card.UpdateCrtcPort();
  EXPECT_EQ(card.CrtcPort, 0x3D4);
}

TEST(HardwarePortIoTest, PortAndAddressWhitelists) {
  struct Case {
    std::uint16_t port;
    int width;
    bool write;
    bool allowed;
  } cases[] = {
      {0x3C4, 2, true, true},    {0x3DA, 1, false, true},  {0x3BF, 1, true, true},
      {0xCF8, 4, true, true},    {0xCFC, 4, false, true},  {0xCF9, 1, true, false},
      {0xCF8, 2, true, false},   {0xCF8, 1, true, true},   {0xCFA, 1, true, true},
      {0xCF9, 1, false, true},   {0xCFA, 4, false, false}, {0x0020, 1, true, false},
      {0x0064, 1, true, false},  {0x03F8, 1, true, false}, {0x0000, 4, true, false},
      {0xC000, 4, false, true},  {0x43C8, 1, true, true},  {0xD824, 4, true, true},
      {0xFFFE, 4, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsVideoPort(c.port, c.width, c.write), c.allowed)
        << std::hex << c.port << " width " << c.width;
  }
  EXPECT_TRUE(IsVideoBiosAddress(0xC0048));
  EXPECT_TRUE(IsVideoBiosAddress(0xD0011));
  EXPECT_FALSE(IsVideoBiosAddress(0x9FFFF));
  EXPECT_FALSE(IsVideoBiosAddress(0xFFFFD));
  EXPECT_FALSE(IsVideoBiosAddress(0xFEC00000));
}

struct FakeSystem {
  int ioplResult = -1;
  int ioplErrno = EPERM;
  int openResult = -1;
  std::vector<int> ioplCalls;
  std::vector<off_t> reads;
  int closed = -1;
  HardwareSystem Make() {
    HardwareSystem s;
    s.iopl = [this](int level) {
      ioplCalls.push_back(level);
      if (ioplResult != 0) errno = ioplErrno;
      return level == 0 ? 0 : ioplResult;
    };
    s.open = [this](const char*, int) {
      if (openResult < 0) errno = EACCES;
      return openResult;
    };
    s.pread = [this](int, void* buf, size_t n, off_t off) {
      reads.push_back(off);
      const unsigned char bytes[4] = {0x20, 0x01, 0xAA, 0x55};
      std::memcpy(buf, bytes, n < 4 ? n : 4);
      return static_cast<ssize_t>(n);
    };
    s.close = [this](int fd) {
      closed = fd;
      return 0;
    };
    return s;
  }
};

TEST(HardwarePortIoTest, RefusedPrivilegeIsReportedAndNoPortIsTouched) {
  FakeSystem sys;
  HardwarePortIo io(sys.Make());
  LogCapture log;
  EXPECT_FALSE(io.InitializeWinIo());
  EXPECT_TRUE(log.Contains("port access refused"));
  EXPECT_FALSE(io.initialized());
  // Without access every read gives what an empty bus gives, and nothing executes.
  EXPECT_EQ(io.PortRead8(0x3CC), 0xFF);
  EXPECT_EQ(io.PortRead16(0x3C4), 0xFFFF);
  EXPECT_EQ(io.PortRead32(0xCFC), 0xFFFFFFFFu);
  io.PortWrite8(0x3C2, 0x00);
  io.PortWrite32(0xCF8, 0x80000000);
  EXPECT_FALSE(io.TestIndexedBits(0x3C4, 0x06, 0xFF));
  EXPECT_TRUE(log.Contains("before InitializeWinIo"));
  std::uint32_t v = 0;
  EXPECT_FALSE(io.GetPhysLong(0xC0048, &v));
  EXPECT_EQ(v, 0xFFFFFFFFu);
  io.ShutdownWinIo();  // harmless without access
  EXPECT_EQ(sys.ioplCalls, std::vector<int>{3});
}

TEST(HardwarePortIoTest, BiosReadsThroughDevMemAndShutdown) {
  // Ports are never touched here: only the physical-memory path, which needs no privilege in the
  // fake, is exercised after a granted start.
  FakeSystem sys;
  sys.ioplResult = 0;
  sys.openResult = 42;
  {
    HardwarePortIo io(sys.Make());
    ASSERT_TRUE(io.InitializeWinIo());
    std::uint32_t v = 0;
    EXPECT_TRUE(io.GetPhysLong(0xC0048, &v));
    EXPECT_EQ(v, 0x55AA0120u);  // little-endian
    LogCapture log;
    EXPECT_FALSE(io.GetPhysLong(0x100000, &v));
    EXPECT_TRUE(log.Contains("outside the video BIOS area"));
    EXPECT_EQ(sys.reads, std::vector<off_t>{0xC0048});
    io.ShutdownWinIo();
    EXPECT_EQ(sys.closed, 42);
    EXPECT_FALSE(io.initialized());
  }
  EXPECT_EQ(sys.ioplCalls, (std::vector<int>{3, 0}));
}

TEST(HardwarePortIoTest, MissingDevMemStillGrantsPorts) {
  FakeSystem sys;
  sys.ioplResult = 0;
  LogCapture log;
  HardwarePortIo io(sys.Make());
  EXPECT_TRUE(io.InitializeWinIo());
  EXPECT_TRUE(log.Contains("/dev/mem"));
  std::uint32_t v = 0;
  EXPECT_FALSE(io.GetPhysLong(0xC0048, &v));
  io.ShutdownWinIo();
}

}  // namespace
}  // namespace cs::tvout
