#pragma once
// The display-mode reset the TV-out window relies on: switching back to VGA, or re-applying the
// TV timings after an option change, starts with the display driver setting the current mode
// again. The simulated card's driver re-establishes its mode (simulated_display_driver.h); on
// hardware the register state saved before the first TV apply is restored
// (register_restore_display_control.h).
//
// Main thread only.
#include <functional>
#include <utility>

namespace cs::tvout {

class DisplayControl {
 public:
  virtual ~DisplayControl() = default;
  // Sets the current mode again. Returns false when that could not be done (the timings stay
  // as they are).
  virtual bool ResetDisplayMode() = 0;
  // Called by the engine at the start of every apply that programs TV timings, before the first
  // register is touched.
  virtual void BeforeTvApply() {}

  // The system's display-change message: called synchronously after every mode the control set
  // (a reset, or a real change of resolution), on the main thread. The TV-out window listens.
  void SetDisplayChangeHandler(std::function<void()> handler) { on_change_ = std::move(handler); }

 protected:
  void NotifyDisplayChange() {
    if (on_change_) on_change_();
  }

 private:
  std::function<void()> on_change_;
};

}  // namespace cs::tvout
