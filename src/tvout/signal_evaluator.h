#pragma once
// What a simulated card puts out, read back from its registers: the dot clock through the
// card's clock sources and dividers, the horizontal and vertical timings, interlace, sync
// polarity. For the chip-specific clock halving, pixel pipelines and interlace bits it follows
// what each personality models (card_personality.h). Problems that would cost the monitor its
// sync (a sync never reached, a sync inside the picture, no clock) are listed.
#include <string>
#include <vector>

#include "tvout/simulated_card.h"

namespace cs::tvout {

struct Signal {
  bool sync = false;  // syncs come out at all (clock running, sequencer and CRTC enabled)
  std::vector<std::string> problems;

  double vclkHz = 0;      // the selected clock source, before any divider
  double dotClockHz = 0;  // the CRTC's dot clock: hfreq = dotClock / (dotsPerChar * htotal)
  int dotsPerChar = 8;
  int htotalChars = 0;
  int hdispChars = 0;
  int hsyncStartChar = 0;
  int hsyncChars = 0;
  double hfreqHz = 0;

  int frameLines = 0;       // lines of the vertical counter's cycle, in scan lines
  int vdispFrameLines = 0;  // displayed lines of that cycle
  int vsyncStartLine = 0;
  int vsyncLines = 0;
  bool interlaced = false;
  bool frameCounted = false;  // in interlace the vertical registers count frame lines
  double linesPerField = 0;
  double fieldHz = 0;
  int visibleLines = 0;  // displayed lines of one field

  bool hsyncNegative = false;
  bool vsyncNegative = false;
};

Signal EvaluateSignal(const SimulatedCard& card);

}  // namespace cs::tvout
