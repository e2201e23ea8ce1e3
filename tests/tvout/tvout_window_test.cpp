// TMain, the TV-out window's logic, on a simulated card: creation and its registry values, the
// standard switches the front end makes with the evaluated signal at each step, the options,
// the display-change guard, Unload and the stored settings, message 0x40A from another process,
// a second instance and a failed driver start; and the factory the program uses.
#include "tvout/tvout_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/registry_store.h"
#include "platform/virtual_event_loop.h"
#include "tvout/hardware_port_io.h"
#include "tvout/register_restore_display_control.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/tvout_factory.h"
#include "tvout/tvout_test_dir.h"

namespace cs::tvout {
namespace {

using testing::ReadAll;
using testing::TestDir;

constexpr char kKeyFile[] = "registry/HKEY_LOCAL_MACHINE.Software.Halvardine.Tvw.ini";

// A cabinet root with a simulated card, its driver and the window on them.
struct Cabinet {
  explicit Cabinet(CardId id = CardId::kS3Trio64, const TestDir* shared = nullptr)
      : dir_(shared ? nullptr : std::make_unique<TestDir>()),
        root((shared ? shared : dir_.get())->path()),
        card(id),
        driver(card) {
    std::filesystem::create_directories(root / "run");
    ::chmod((root / "run").c_str(), 0700);
    const auto mode = DefaultDesktopMode(id);
    EXPECT_TRUE(mode && driver.SetMode(*mode));
    SetMessageBoxHandler([this](const std::string& text) { boxes.push_back(text); });
  }
  ~Cabinet() {
    window.reset();
    SetMessageBoxHandler({});
  }

  TMain& Create(DisplayControl* display = nullptr) {
    window = std::make_unique<TMain>(loop, card, display ? display : &driver,
                                     TMainConfig{root, root / "run"});
    window->RequestTerminate = [this] { ++terminations; };
    window->OnFormCreate();
    return *window;
  }
  // As the front end's start-up makes it: created, hidden, the chipset detected.
  TMain& Start() {
    TMain& w = Create();
    w.Hide();
    w.btnAutoDetectClick();
    return w;
  }
  // A stored key, as an earlier run (or an installer) left it.
  void Store(const std::vector<std::pair<const char*, RegistryValue>>& values) {
    auto key = RegistryKey::Open(root, kTvwKeyPath, true);
    ASSERT_NE(key, nullptr);
    for (const auto& [name, v] : values) key->Write(name, v);
    ASSERT_TRUE(key->CloseKey());
  }
  std::unique_ptr<RegistryKey> Key() const { return RegistryKey::Open(root, kTvwKeyPath, false); }
  Signal Out() const { return EvaluateSignal(card); }
  const EngineSettings& s() const { return window->settings(); }

  std::unique_ptr<TestDir> dir_;
  std::filesystem::path root;
  VirtualEventLoop loop;
  SimulatedCard card;
  SimulatedDisplayDriver driver;
  std::unique_ptr<TMain> window;
  int terminations = 0;
  std::vector<std::string> boxes;
};

RegistryValue Int(std::uint32_t v) { return {RegistryValue::Kind::kInteger, v, {}}; }
RegistryValue Str(const char* s) { return {RegistryValue::Kind::kString, 0, s}; }

// What a television needs: 15.2-16.2 kHz lines and a field rate within 3 % of the standard's.
void ExpectTelevision(const Signal& s, double fieldHz, bool interlaced, const std::string& what) {
  EXPECT_TRUE(s.sync) << what;
  EXPECT_TRUE(s.problems.empty()) << what << ": " << s.problems.front();
  EXPECT_GE(s.hfreqHz, 15200) << what;
  EXPECT_LE(s.hfreqHz, 16200) << what;
  EXPECT_NEAR(s.fieldHz, fieldHz, fieldHz * 0.03) << what;
  EXPECT_EQ(s.interlaced, interlaced) << what;
}

void ExpectSameSignal(const Signal& a, const Signal& b, const std::string& what) {
  EXPECT_DOUBLE_EQ(a.dotClockHz, b.dotClockHz) << what;
  EXPECT_DOUBLE_EQ(a.hfreqHz, b.hfreqHz) << what;
  EXPECT_DOUBLE_EQ(a.fieldHz, b.fieldHz) << what;
  EXPECT_EQ(a.interlaced, b.interlaced) << what;
  EXPECT_EQ(a.visibleLines, b.visibleLines) << what;
  EXPECT_EQ(a.hsyncNegative, b.hsyncNegative) << what;
}

// ---- creation ----

TEST(TMainCreationTest, FirstRunWithoutTheKey) {
  Cabinet c;
  const Signal vga = c.Out();
  TMain& w = c.Create();
  EXPECT_TRUE(w.Created());
  EXPECT_EQ(w.Loading, 0);
  EXPECT_TRUE(w.controls.chkExitVGA);
  EXPECT_TRUE(w.controls.chkSaveExit);
  EXPECT_FALSE(w.controls.chkISP);
  EXPECT_FALSE(w.controls.chkNoInterlace);
  EXPECT_TRUE(w.controls.chkModeVGA);
  EXPECT_TRUE(w.controls.VGAMode1);
  EXPECT_FALSE(w.controls.TVMode1);
  EXPECT_EQ(c.s().Polarity, 0x33);
  EXPECT_EQ(c.s().Interlaced, 1);
  EXPECT_EQ(c.s().TVModeOn, 0);
  EXPECT_EQ(w.chipsets.BrandText(), "Standard IBM VGA");
  EXPECT_EQ(c.s().Chipset, kChipIbm);
  EXPECT_TRUE(w.Visible());
  EXPECT_TRUE(c.boxes.empty());
  EXPECT_EQ(c.terminations, 0);
  EXPECT_TRUE(std::filesystem::exists(c.root / kKeyFile)) << "the key is created at opening";
  ExpectSameSignal(c.Out(), vga, "VGA stays as the driver set it");
  EXPECT_TRUE(w.controls.editHFreq.empty());
  EXPECT_TRUE(w.controls.editVFreq.empty());
  // The option handlers only work after creation.
  TMain early(c.loop, c.card, &c.driver, TMainConfig{c.root, c.root / "run"});
  early.chkNoInterlaceClick();
  EXPECT_EQ(early.settings().Interlaced, 1);
}

TEST(TMainCreationTest, StoredValues) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, RegistryValue>> stored;
    std::function<void(const Cabinet&)> check;
  } cases[] = {
      {"NTSC starts in TV mode",
       {{"VideoStandard", Str("NTSC")}, {"Chipset", Int(3)}, {"Model", Int(0x11)}},
       [](const Cabinet& c) {
         EXPECT_EQ(c.s().TVModeOn, 1);
         EXPECT_EQ(c.s().StandardCode, kStandardNtsc);
         EXPECT_EQ(c.s().FieldLines, 263);
         EXPECT_TRUE(c.window->controls.chkModeNTSC);
         EXPECT_FALSE(c.window->controls.chkModeVGA);
         EXPECT_TRUE(c.window->controls.TVMode1);
         EXPECT_FALSE(c.window->controls.VGAMode1);
         ExpectTelevision(c.Out(), 59.94, true, "stored NTSC");
       }},
      {"PAL with the options",
       {{"VideoStandard", Str("PAL")},
        {"Chipset", Int(3)},
        {"Model", Int(0x11)},
        {"Polarity", Int(0xF3)},
        {"Interlaced", Int(0)},
        {"OddOrEvenSyncSize", Int(1)},
        {"ExitToVGA", Int(0)},
        {"SaveChanges", Int(0)},
        {"Visible", Int(0)}},
       [](const Cabinet& c) {
         const TMainControls& k = c.window->controls;
         EXPECT_TRUE(k.chkModePAL);
         EXPECT_TRUE(k.chkISP);
         EXPECT_TRUE(k.chkNoInterlace);
         EXPECT_TRUE(k.chkOEVSyncSz);
         EXPECT_FALSE(k.chkExitVGA);
         EXPECT_FALSE(k.chkSaveExit);
         EXPECT_FALSE(c.window->Visible());
         EXPECT_EQ(c.s().Polarity, 0xF3);
         EXPECT_EQ(c.s().OddOrEvenSyncSize, 1);
         const Signal s = c.Out();
         ExpectTelevision(s, 50, false, "stored PAL, no interlace");
         EXPECT_TRUE(s.hsyncNegative);
       }},
      {"Model only with Chipset",
       {{"Model", Int(0x11)}},
       [](const Cabinet& c) { EXPECT_EQ(c.s().Model, 0); }},
      {"the low byte of Chipset, the low 16 bits of Model; an unknown code keeps its entry",
       {{"Chipset", Int(0x107)}, {"Model", Int(0x10053)}},
       [](const Cabinet& c) {
         EXPECT_EQ(c.s().Chipset, 7);
         EXPECT_EQ(c.s().Model, 0x53);
         EXPECT_EQ(c.window->chipsets.BrandText(), "Unknown (7)");
       }},
      {"Interlaced read as a boolean; Polarity 0x33 leaves the box unchecked",
       {{"Interlaced", Int(5)}, {"Polarity", Int(0x33)}},
       [](const Cabinet& c) {
         EXPECT_EQ(c.s().Interlaced, 1);
         EXPECT_FALSE(c.window->controls.chkNoInterlace);
         EXPECT_FALSE(c.window->controls.chkISP);
       }},
      {"values of the wrong type or an unknown standard keep the defaults",
       {{"VideoStandard", Int(1)},
        {"ExitToVGA", Str("no")},
        {"Visible", Str("0")},
        {"Polarity", Str("243")}},
       [](const Cabinet& c) {
         EXPECT_TRUE(c.window->controls.chkModeVGA);
         EXPECT_TRUE(c.window->controls.chkExitVGA);
         EXPECT_TRUE(c.window->Visible());
         EXPECT_EQ(c.s().Polarity, 0x33);
       }},
      {"an empty standard is VGA",
       {{"VideoStandard", Str("")}},
       [](const Cabinet& c) { EXPECT_EQ(c.s().TVModeOn, 0); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Cabinet c;
    c.Store(k.stored);
    c.Create();
    ASSERT_TRUE(c.window->Created());
    k.check(c);
  }
}

// ---- the front end's calls ----

// The start-up and the video-mode button drive exactly these calls: VGA, then interlace toggled
// and PAL, then NTSC, then interlace toggled back and VGA. Every card, its own desktop.
TEST(TMainStandardsTest, FrontEndSequenceOnEveryCard) {
  for (const Personality& p : Personalities()) {
    SCOPED_TRACE(std::string(p.name));
    Cabinet c(p.id);
    TMain& w = c.Create();
    w.Hide();
    w.btnAutoDetectClick();
    ASSERT_EQ(c.s().Chipset, p.chipset);
    const Signal vga = c.Out();
    c.card.ClearHazards();

    w.chkNoInterlaceClick();
    ExpectSameSignal(c.Out(), vga, "an option in VGA mode changes no timing");
    w.chkModePALClick();
    EXPECT_EQ(c.s().Interlaced, 0);
    ExpectTelevision(c.Out(), 50, false, "PAL");
    EXPECT_EQ(c.Out().visibleLines, 240);
    EXPECT_TRUE(w.controls.TVMode1);

    w.chkModeNTSCClick();
    ExpectTelevision(c.Out(), 59.94, false, "NTSC");

    w.chkNoInterlaceClick();
    EXPECT_EQ(c.s().Interlaced, 1);
    w.chkModeVGAClick();
    EXPECT_EQ(c.s().TVModeOn, 0);
    ExpectSameSignal(c.Out(), vga, "back to VGA");
    EXPECT_TRUE(w.controls.VGAMode1);
    EXPECT_FALSE(w.controls.TVMode1);

    // Called from code, the handlers left the radio buttons alone.
    EXPECT_TRUE(w.controls.chkModeVGA);
    EXPECT_FALSE(w.controls.chkModePAL);
    EXPECT_FALSE(w.controls.chkNoInterlace);
    EXPECT_TRUE(c.card.hazards().empty()) << c.card.hazards().front();
  }
}

TEST(TMainStandardsTest, InterlaceToggles) {
  Cabinet c;
  TMain& w = c.Start();
  w.chkModePALClick();
  ExpectTelevision(c.Out(), 50, true, "PAL interlaced");
  w.chkNoInterlaceClick();
  ExpectTelevision(c.Out(), 50, false, "one toggle");
  w.chkNoInterlaceClick();
  EXPECT_EQ(c.s().Interlaced, 1);
  ExpectTelevision(c.Out(), 50, true, "two toggles");
  EXPECT_FALSE(w.controls.chkNoInterlace) << "called from code: the box stays";
}

TEST(TMainStandardsTest, OptionsInVgaTakeEffectAtTheNextSwitch) {
  Cabinet c;
  TMain& w = c.Start();
  const Signal vga = c.Out();
  const int resets = c.driver.resetCount();
  w.Click(TMain::Control::chkISP);
  w.Click(TMain::Control::chkOEVSyncSz);
  EXPECT_TRUE(w.controls.chkISP);
  EXPECT_EQ(c.s().Polarity, 0xF3);
  EXPECT_EQ(c.s().OddOrEvenSyncSize, 1);
  EXPECT_EQ(c.driver.resetCount(), resets) << "no reset in VGA mode";
  ExpectSameSignal(c.Out(), vga, "VGA");
  w.chkModePALClick();
  const Signal pal = c.Out();
  ExpectTelevision(pal, 50, true, "PAL");
  EXPECT_TRUE(pal.hsyncNegative);
  // In TV mode an option change re-applies at once.
  w.Click(TMain::Control::chkISP);
  EXPECT_FALSE(c.Out().hsyncNegative);
  EXPECT_EQ(c.driver.resetCount(), resets + 2);
}

TEST(TMainStandardsTest, ResolutionChangeReappliesAndTheResetItselfIsIgnored) {
  Cabinet c;
  TMain& w = c.Start();
  w.chkModePALClick();
  // The apply after the reset saw the driver's own mode (480 lines), not a second apply on top
  // of the TV timings the first one programmed (the message of the reset is ignored).
  EXPECT_EQ(w.engine.lastApply().displayedLines, 480);
  EXPECT_EQ(w.ResettingDisplay, 0);
  ASSERT_TRUE(c.driver.SetMode({800, 600, 16}));
  ExpectTelevision(c.Out(), 50, true, "PAL after 800x600");
  EXPECT_EQ(w.engine.lastApply().displayedLines, 600);
  EXPECT_EQ(c.Out().visibleLines, 294);  // 300 per field, cut below the sync at 295
  w.chkModeVGAClick();
  ASSERT_TRUE(c.driver.SetMode({1024, 768, 16}));
  EXPECT_GT(c.Out().hfreqHz, 40000) << "in VGA mode a change of resolution stays VGA";
}

TEST(TMainStandardsTest, TvModeMenuItem) {
  Cabinet c;
  TMain& w = c.Start();
  const Signal vga = c.Out();
  w.TVMode1Click();  // before any standard: nothing to program
  EXPECT_EQ(c.s().TVModeOn, 0);
  EXPECT_TRUE(w.controls.VGAMode1);
  ExpectSameSignal(c.Out(), vga, "TV Mode before a standard");
  w.chkModeNTSCClick();
  w.chkModeVGAClick();
  w.TVMode1Click();  // the last standard again
  EXPECT_TRUE(w.controls.TVMode1);
  ExpectTelevision(c.Out(), 59.94, true, "TV Mode");
}

TEST(TMainStandardsTest, UserClicksOnTheRadioButtons) {
  Cabinet c;
  TMain& w = c.Start();
  const int resets = c.driver.resetCount();
  w.Click(TMain::Control::chkModeVGA);  // already checked: no handler
  EXPECT_EQ(c.driver.resetCount(), resets);
  w.Click(TMain::Control::chkModeNTSC);
  EXPECT_TRUE(w.controls.chkModeNTSC);
  EXPECT_FALSE(w.controls.chkModeVGA);
  ExpectTelevision(c.Out(), 59.94, true, "NTSC button");
  w.Click(TMain::Control::chkModeNTSC);
  EXPECT_EQ(c.driver.resetCount(), resets + 1);
  w.Click(TMain::Control::chkModeVGA);
  EXPECT_EQ(c.s().TVModeOn, 0);
}

// On hardware no driver re-establishes its mode: the registers saved before the first apply are
// written back. The same window on the card model shows the exact VGA signal again.
TEST(TMainStandardsTest, RegisterRestoreAsOnHardware) {
  Cabinet c(CardId::kCirrus);
  TMain& w = c.Create(nullptr);
  RegisterRestoreDisplayControl restore(c.card, w.engine.settings);
  w.SetDisplayControl(&restore);
  w.btnAutoDetectClick();
  const Signal vga = c.Out();
  w.chkModePALClick();
  ExpectTelevision(c.Out(), 50, true, "PAL");
  w.chkModeNTSCClick();
  ExpectTelevision(c.Out(), 59.94, true, "NTSC");
  w.chkModeVGAClick();
  ExpectSameSignal(c.Out(), vga, "restored");
  EXPECT_FALSE(restore.saved());
}

// ---- closing and the stored settings ----

TEST(TMainUnloadTest, WithoutSaveChangesOnlyThatValueIsWritten) {
  Cabinet c;
  c.Store({{"VideoStandard", Str("NTSC")}, {"Polarity", Int(0x33)}, {"Chipset", Int(3)}});
  TMain& w = c.Create();
  SimulatedCard fresh(CardId::kS3Trio64);
  SimulatedDisplayDriver freshDriver(fresh);
  freshDriver.SetMode({640, 480, 16});
  const Signal vga = EvaluateSignal(fresh);
  w.Click(TMain::Control::chkSaveExit);  // checked by default: now unchecked
  w.Click(TMain::Control::chkISP);
  ASSERT_EQ(c.s().TVModeOn, 1);
  w.btnCloseClick();
  EXPECT_EQ(c.terminations, 1);
  EXPECT_EQ(c.s().TVModeOn, 0) << "Exit to VGA mode is checked";
  ExpectSameSignal(c.Out(), vga, "VGA after Unload");
  auto key = c.Key();
  EXPECT_EQ(key->ReadBool("SaveChanges"), false);
  EXPECT_EQ(key->ReadString("VideoStandard"), "NTSC");
  EXPECT_EQ(key->ReadInteger("Polarity"), 0x33);
  EXPECT_FALSE(key->ValueExists("Visible"));
}

TEST(TMainUnloadTest, SettingsSurviveARestart) {
  TestDir root;
  {
    Cabinet c(CardId::kS3Trio64, &root);
    TMain& w = c.Create();
    w.btnAutoDetectClick();
    w.Click(TMain::Control::chkModePAL);
    w.Click(TMain::Control::chkNoInterlace);
    w.Click(TMain::Control::chkISP);
    w.Click(TMain::Control::chkExitVGA);
    w.Hide();
    w.btnCloseClick();
    EXPECT_EQ(c.s().TVModeOn, 1) << "Exit to VGA mode unchecked: the TV timings stay";
  }
  const std::string text = ReadAll(root.path() / kKeyFile);
  for (const char* line :
       {"SaveChanges=dword:00000001", "ExitToVGA=dword:00000000", "Polarity=dword:000000f3",
        "Interlaced=dword:00000000", "OddOrEvenSyncSize=dword:00000000", "VideoStandard=sz:\"PAL\"",
        "Chipset=dword:00000003", "Model=dword:00000011", "Visible=dword:00000000"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  Cabinet c(CardId::kS3Trio64, &root);
  TMain& w = c.Create();
  EXPECT_FALSE(w.Visible());
  EXPECT_EQ(c.s().Chipset, kChipS3);
  EXPECT_EQ(c.s().Model, 0x11);
  EXPECT_EQ(w.chipsets.ModelText(), "Trio32/64");
  EXPECT_TRUE(w.controls.chkModePAL);
  EXPECT_TRUE(w.controls.chkNoInterlace);
  EXPECT_FALSE(w.controls.chkExitVGA);
  const Signal s = c.Out();
  ExpectTelevision(s, 50, false, "PAL after the restart");
  EXPECT_TRUE(s.hsyncNegative);
}

TEST(TMainUnloadTest, UnknownBrandCodeIsStoredBack) {
  TestDir root;
  {
    Cabinet c(CardId::kIbmVga, &root);
    c.Store({{"Chipset", Int(7)}, {"Model", Int(0)}});
    c.Create().btnCloseClick();
  }
  Cabinet c(CardId::kIbmVga, &root);
  EXPECT_EQ(c.Key()->ReadInteger("Chipset"), 7);
}

TEST(TMainUnloadTest, CloseIsRefusedAndCloseToVga) {
  Cabinet c;
  TMain& w = c.Create();
  w.FormClose();
  EXPECT_FALSE(w.Visible());
  EXPECT_EQ(c.terminations, 0);

  // The front end's PAL leaves the VGA button checked: "Close to VGA" then leaves the switch to
  // the Unload step and its "Exit to VGA mode".
  w.chkModePALClick();
  w.Click(TMain::Control::chkExitVGA);  // unchecked
  w.ClosetoVGA1Click();
  EXPECT_EQ(c.s().TVModeOn, 1);
  EXPECT_EQ(c.terminations, 1);

  // With the PAL button checked, checking the VGA button runs its handler.
  Cabinet d;
  TMain& v = d.Create();
  v.Click(TMain::Control::chkModePAL);
  v.Click(TMain::Control::chkExitVGA);
  v.ClosetoVGA1Click();
  EXPECT_EQ(d.s().TVModeOn, 0);
  EXPECT_EQ(d.Key()->ReadString("VideoStandard"), "VGA");
}

// ---- message 0x40A from another process ----

TEST(TMainMessagesTest, OpenedThroughItsSocket) {
  Cabinet c;
  TMain& w = c.Create();
  w.Hide();
  int fronts = 0, menus = 0;
  w.OnBringToFront = [&] { ++fronts; };
  w.OnPopupMenu = [&] { ++menus; };
  const auto endpoint = c.root / "run" / "TMain";
  auto deliver = [&](Message m) { ASSERT_TRUE(PostWindowMessage(endpoint, m)); };
  // Another message on the socket is not accepted.
  deliver({WM_DISPLAYCHANGE, 0, 0});
  deliver({WM_TVOUT_NOTIFY, 0, kNotifyLeftDoubleClick});
  ASSERT_TRUE(c.loop.WaitForPosted(std::chrono::seconds(5)));
  c.loop.DrainPosted();
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(fronts, 1);
  deliver({WM_TVOUT_NOTIFY, 0, kNotifyRightButtonUp});
  ASSERT_TRUE(c.loop.WaitForPosted(std::chrono::seconds(5)));
  c.loop.DrainPosted();
  EXPECT_EQ(menus, 1);
  EXPECT_EQ(fronts, 2);
  deliver({WM_TVOUT_NOTIFY, 0, 0x201});  // another mouse event: nothing
  ASSERT_TRUE(c.loop.WaitForPosted(std::chrono::seconds(5)));
  c.loop.DrainPosted();
  EXPECT_EQ(menus + fronts, 3);
  EXPECT_EQ(c.s().TVModeOn, 0);
}

// ---- a second instance, a failed driver start ----

TEST(TMainFailureTest, SecondInstance) {
  Cabinet c;
  c.Create();
  SimulatedCard other(CardId::kS3Trio64);
  SimulatedDisplayDriver otherDriver(other);
  otherDriver.SetMode({640, 480, 16});
  const std::uint64_t accesses = other.accessCount();
  TMain second(c.loop, other, &otherDriver, TMainConfig{c.root, c.root / "run"});
  int terminations = 0;
  second.RequestTerminate = [&] { ++terminations; };
  second.OnFormCreate();
  EXPECT_EQ(c.boxes, std::vector<std::string>{"ORVEX was already running!"});
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(second.Created());
  EXPECT_FALSE(second.Visible());
  // It never touches the controller the first window drives.
  second.btnAutoDetectClick();
  second.chkModePALClick();
  second.btnCloseClick();
  EXPECT_EQ(other.accessCount(), accesses);
  EXPECT_EQ(otherDriver.resetCount(), 0);
  EXPECT_FALSE(c.Key()->ValueExists("SaveChanges")) << "it stores nothing either";
}

TEST(TMainFailureTest, DriverDoesNotStart) {
  TestDir root;
  VirtualEventLoop loop;
  HardwareSystem refused = HardwareSystem::Real();
  refused.iopl = [](int) {
    errno = EPERM;
    return -1;
  };
  HardwarePortIo io(refused);
  std::vector<std::string> boxes;
  SetMessageBoxHandler([&](const std::string& t) { boxes.push_back(t); });
  TMain w(loop, io, nullptr, TMainConfig{root.path(), root.path()});
  int terminations = 0;
  w.RequestTerminate = [&] { ++terminations; };
  w.OnFormCreate();
  SetMessageBoxHandler({});
  EXPECT_EQ(boxes, std::vector<std::string>{"Error loading service driver. Exiting..."});
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(w.Created());
  EXPECT_EQ(w.Loading, 1);
  EXPECT_FALSE(io.initialized());
}

// ---- the factory and the status ----

TEST(TvOutFactoryTest, Options) {
  struct Case {
    const char* text;
    bool ok;
    TvOutChoice::Kind kind;
    const char* mode;
  } cases[] = {
      {"", true, TvOutChoice::Kind::kAuto, nullptr},
      {"off", true, TvOutChoice::Kind::kOff, nullptr},
      {"hardware", true, TvOutChoice::Kind::kHardware, nullptr},
      {"simulated:s3-trio64", true, TvOutChoice::Kind::kSimulated, "640x480x16"},
      {"simulated:ibm-vga", true, TvOutChoice::Kind::kSimulated, "640x480x4"},
      {"simulated:cirrus:800x600x8", true, TvOutChoice::Kind::kSimulated, "800x600x8"},
      {"simulated:", false, {}, nullptr},
      {"simulated:nosuch", false, {}, nullptr},
      {"simulated:tseng-et3000:1280x1024x8", false, {}, nullptr},
      {"simulated:s3-trio64:640x480", false, {}, nullptr},
      {"Simulated:s3-trio64", false, {}, nullptr},
      {"on", false, {}, nullptr},
  };
  for (const Case& k : cases) {
    std::string error;
    const auto c = ParseTvOutOption(k.text, &error);
    EXPECT_EQ(c.has_value(), k.ok) << k.text;
    if (!c) {
      EXPECT_FALSE(error.empty()) << k.text;
      continue;
    }
    EXPECT_EQ(c->kind, k.kind) << k.text;
    if (k.mode) {
      EXPECT_EQ(ToString(c->mode.value()), k.mode) << k.text;
    }
  }
}

TEST(TvOutFactoryTest, Backends) {
  TestDir root;
  std::filesystem::create_directories(root.path() / "run");
  VirtualEventLoop loop;
  HardwareSystem refused = HardwareSystem::Real();
  refused.iopl = [](int) {
    errno = EPERM;
    return -1;
  };
  std::vector<std::string> boxes;
  SetMessageBoxHandler([&](const std::string& t) { boxes.push_back(t); });
  int terminations = 0;
  auto env = [&] {
    TvOutEnvironment e{root.path(), root.path() / "run", [&] { ++terminations; }, false, refused};
    return e;
  };
  EXPECT_EQ(CreateTvOutWindow(loop, *ParseTvOutOption("off"), env()), nullptr);
  EXPECT_EQ(CreateTvOutWindow(loop, *ParseTvOutOption(""), env()), nullptr)
      << "no port access and nothing asked for: no window";
  EXPECT_TRUE(boxes.empty());
  {
    auto hw = CreateTvOutWindow(loop, *ParseTvOutOption("hardware"), env());
    ASSERT_NE(hw, nullptr) << "asked for: the window exists and its creation fails";
    EXPECT_EQ(hw->backend(), "hardware");
    EXPECT_EQ(hw->card(), nullptr);
    EXPECT_FALSE(hw->window().Created());
    EXPECT_EQ(boxes, std::vector<std::string>{"Error loading service driver. Exiting..."});
    EXPECT_EQ(terminations, 1);
  }
  SetMessageBoxHandler({});

  auto tv = CreateTvOutWindow(loop, *ParseTvOutOption(kDemoTvOut), env());
  ASSERT_NE(tv, nullptr);
  EXPECT_EQ(tv->backend(), "simulated:s3-trio64");
  ASSERT_NE(tv->card(), nullptr);
  EXPECT_EQ(tv->view(), nullptr);
  TMain& w = tv->window();
  EXPECT_TRUE(w.Created());
  // Start-up step 3, then the video-mode button's first step.
  w.Hide();
  w.btnAutoDetectClick();
  w.chkNoInterlaceClick();
  w.chkModePALClick();
  const std::string json = TvOutStatusJson(tv.get());
  for (const char* part :
       {"\"backend\": \"simulated:s3-trio64\"", "\"Chipset\": 3", "\"Model\": 17", "\"IOBase\": 0",
        "\"TVModeOn\": 1", "\"StandardCode\": 99", "\"Interlaced\": 0", "\"Polarity\": 51",
        "\"Visible\": false", "\"signal\": {\"dot_clock_hz\": ", "\"interlaced\": false",
        "\"visible_lines\": 240"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  EXPECT_EQ(TvOutStatusJson(nullptr), "null");
}

}  // namespace
}  // namespace cs::tvout
