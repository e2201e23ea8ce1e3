#pragma once
// The TV-out window for the composition root: from the `--tvout` option, the window TMain with
// its port I/O backend, its DisplayControl and (in a program with a QApplication) its widgets,
// after its creation ran; or no window at all, as on the design's systems where port access is
// not allowed.
//
//   ""                       the hardware backend if it can start (x86, root), else no window
//   "off"                    no window
//   "hardware"               the hardware backend (a failed start shows "Error loading service
//                            driver. Exiting..." and asks the program to terminate, as designed)
//   "simulated:NAME"         a simulated card (a personality of `coinshell-tvout cards`) whose
//   "simulated:NAME:WxHxBPP" driver sets the desktop mode given, or the first of 640x480 at 16,
//                            8 and 4 bits per pixel that the card can show
//
// The demo cabinet runs "simulated:s3-trio64" (the chip of the design's worked example), so the
// whole path from the video-mode button to a 15 kHz signal can be seen without the hardware.
//
// Main thread only.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "tvout/card_personality.h"
#include "tvout/display_mode.h"
#include "tvout/hardware_port_io.h"

namespace cs::tvout {

class TMain;
class TMainView;
class SimulatedCard;
class SimulatedDisplayDriver;
class DisplayControl;
class PortIo;

inline constexpr char kDemoTvOut[] = "simulated:s3-trio64";

struct TvOutChoice {
  enum class Kind { kAuto, kOff, kHardware, kSimulated };
  Kind kind = Kind::kAuto;
  CardId card = CardId::kIbmVga;
  std::optional<DisplayMode> mode;  // simulated: the desktop mode its driver sets
};

// nullopt, with `*error` saying why, for text that is none of the forms above (an unknown card,
// a mode the card cannot show).
std::optional<TvOutChoice> ParseTvOutOption(std::string_view text, std::string* error = nullptr);

struct TvOutEnvironment {
  std::filesystem::path root;    // the cabinet root (the key store is <root>/registry)
  std::filesystem::path ipcDir;  // <ipc>: lock "ORVEXWin", endpoint "TMain"
  // Application.Terminate: Unload, a second instance or a failed driver start end the program.
  std::function<void()> terminate;
  // The widgets (only where a QApplication exists).
  bool createView = true;
  // The system calls of the hardware backend (tests replace them).
  std::optional<HardwareSystem> hardwareSystem;
};

class TvOutWindow {
 public:
  ~TvOutWindow();
  TvOutWindow(const TvOutWindow&) = delete;
  TvOutWindow& operator=(const TvOutWindow&) = delete;

  TMain& window() const { return *window_; }
  // "hardware" or "simulated:NAME".
  const std::string& backend() const { return backend_; }
  PortIo& io() const { return *io_; }
  DisplayControl& display() const { return *display_; }
  // The simulated card and its driver (nullptr on hardware).
  SimulatedCard* card() const { return card_; }
  SimulatedDisplayDriver* driver() const { return driver_; }
  // The widgets (nullptr without a QApplication).
  TMainView* view() const { return view_.get(); }

 private:
  friend std::unique_ptr<TvOutWindow> CreateTvOutWindow(EventLoop&, const TvOutChoice&,
                                                        TvOutEnvironment);
  TvOutWindow() = default;

  std::string backend_;
  std::unique_ptr<PortIo> io_;
  std::unique_ptr<DisplayControl> display_;
  SimulatedCard* card_ = nullptr;
  SimulatedDisplayDriver* driver_ = nullptr;
  std::unique_ptr<TMain> window_;
  std::unique_ptr<TMainView> view_;
};

// Builds the backend and the window and runs the window's creation (OnFormCreate). nullptr for
// "off", and for "" when the hardware backend cannot start (one log line says why).
std::unique_ptr<TvOutWindow> CreateTvOutWindow(EventLoop& loop, const TvOutChoice& choice,
                                               TvOutEnvironment env);

// The `tvout` object of `coinshell-ctl status`: Chipset, Model, IOBase, TVModeOn, StandardCode,
// Interlaced, Polarity (integers), Visible, backend, and for a simulated card the evaluated
// `signal` (dot_clock_hz, hfreq_hz, lines_per_field, field_hz, interlaced, visible_lines...).
// "null" when there is no window.
std::string TvOutStatusJson(const TvOutWindow* tvout);

}  // namespace cs::tvout
