#include "tvout/simulate_report.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "tvout/json_writer_private.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/video_engine.h"

namespace cs::tvout {

namespace {

std::string RegName(const char* prefix, unsigned index) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%s%02X", prefix, index);
  return buf;
}

const char* BankPrefix(Bank b) {
  switch (b) {
    case Bank::kSeq:
      return "SR";
    case Bank::kCrtc:
      return "CR";
    case Bank::kGfx:
      return "GR";
    case Bank::kAttr:
      return "AR";
    case Bank::kOak:
      return "OR";
  }
  return "?";
}

}  // namespace

void SignalJson(Json* j, const std::string& key, const Signal& s) {
  j->Open(key);
  j->Number("dot_clock_hz", std::round(s.dotClockHz));
  j->Number("hfreq_hz", std::round(s.hfreqHz * 10) / 10);
  j->Number("lines_per_field", s.linesPerField);
  j->Number("field_hz", std::round(s.fieldHz * 1000) / 1000);
  j->Bool("interlaced", s.interlaced);
  j->Int("visible_lines", s.visibleLines);
  j->Bool("hsync_negative", s.hsyncNegative);
  j->Bool("vsync_negative", s.vsyncNegative);
  j->Bool("sync", s.sync);
  j->OpenArray("problems");
  for (const auto& p : s.problems) j->String("", p);
  j->Close();
  j->Close();
}

std::string SignalToJson(const Signal& s) {
  Json j;
  SignalJson(&j, "", s);
  return j.str();
}

std::string CardsText() {
  std::string out;
  for (const Personality& p : Personalities()) {
    SimulatedCard card(p.id);
    SimulatedDisplayDriver driver(card);
    char line[160];
    std::snprintf(line, sizeof line, "%-16s Chipset %-3u Model 0x%04X  ",
                  std::string(p.name).c_str(), p.chipset, p.model);
    out += line;
    out += std::string(p.description) + "\n    modes:";
    for (const DisplayMode& m : driver.SupportedModes()) out += " " + ToString(m);
    out += "\n";
  }
  return out;
}

SimulateResult Simulate(const SimulateRequest& req) {
  SimulateResult result;
  SimulatedCard card(req.card);
  SimulatedDisplayDriver driver(card);
  if (const auto why = driver.Refusal(req.mode)) {
    result.error =
        std::string(card.personality().name) + " cannot set " + ToString(req.mode) + ": " + *why;
    return result;
  }
  driver.SetMode(req.mode);
  const Personality& p = card.personality();
  VideoEngine engine(card, &driver);
  engine.settings.Chipset = p.chipset;
  engine.settings.Model = p.model;
  if (p.family == Family::kAti) {
    engine.settings.IOBase = card.AtiIoBase();
    engine.ReadAtiClockInfo();
  }
  LoadStandard(&engine.settings, req.standardCode);
  engine.settings.TVModeOn = 1;
  engine.settings.Interlaced = req.noInterlace ? 0 : 1;
  engine.settings.Polarity = req.positiveSync ? 0xF3 : 0x33;
  engine.settings.OddOrEvenSyncSize = req.oddEvenVsync ? 1 : 0;
  const Signal vga = EvaluateSignal(card);
  card.ClearHazards();
  engine.ApplyTVTimings();
  const Signal tv = EvaluateSignal(card);
  const ApplyReport& rep = engine.lastApply();
  const StoredTimings& t = engine.timings;

  Json j;
  j.Open();
  j.String("card", std::string(p.name));
  j.String("mode", ToString(req.mode));
  j.String("standard", req.standardCode == kStandardNtsc ? "NTSC" : "PAL");
  j.Int("Chipset", p.chipset);
  j.Int("Model", p.model);
  if (rep.ClockCode) {
    j.Int("ClockCode", *rep.ClockCode);
  } else {
    j.Null("ClockCode");
  }
  if (rep.row) {
    j.Int("row", *rep.row);
  } else {
    j.Null("row");
  }
  j.Int("HTotalReg", t.HTotalReg);
  j.Int("HDispEnd", t.HDispEnd);
  j.Int("HBlankStart", t.HBlankStart);
  j.Int("HBlankEnd", t.HBlankEnd);
  j.Int("HSyncStart", t.HSyncStart);
  j.Int("HSyncEnd", t.HSyncEnd);
  j.Int("VDispEnd", t.VDispEnd);
  j.Int("VBlankStart", t.VBlankStart);
  j.Int("VSyncStart", t.VSyncStart);
  j.Int("VSyncEnd", t.VSyncEnd);
  j.Int("VBlankEnd", t.VBlankEnd);
  j.Int("VTotalReg", t.VTotalReg);
  j.Bool("vertical_programmed", rep.verticalWritten);
  j.Open("registers");
  j.Int("MISC", card.Misc());
  for (unsigned i = 0; i <= 0x04; ++i)
    j.Int(RegName("SR", i), card.Reg(Bank::kSeq, static_cast<std::uint8_t>(i)));
  for (unsigned i = 0; i <= 0x18; ++i)
    j.Int(RegName("CR", i), card.Reg(Bank::kCrtc, static_cast<std::uint8_t>(i)));
  for (unsigned i = 0; i <= 0x08; ++i)
    j.Int(RegName("GR", i), card.Reg(Bank::kGfx, static_cast<std::uint8_t>(i)));
  for (unsigned i = 0; i <= 0x14; ++i)
    j.Int(RegName("AR", i), card.Reg(Bank::kAttr, static_cast<std::uint8_t>(i)));
  j.Close();
  j.Open("extended");
  for (const ExtReg& r : p.ext)
    j.Int(RegName(BankPrefix(r.bank), r.index), card.Reg(r.bank, r.index));
  if (p.family == Family::kTrident && p.id != CardId::kTrident8800br) {
    j.Int("SR0D_old", card.TridentOld(0x0D));
    j.Int("SR0E_old", card.TridentOld(0x0E));
  }
  if (p.id == CardId::kTrident3d) j.Int("clock_word", card.TridentClockWord());
  if (p.family == Family::kAti) {
    for (unsigned off : {0x00u, 0x04u, 0x08u, 0x0Cu, 0x14u, 0x1Cu, 0x20u, 0x24u}) {
      j.Int(RegName("ATI+", off), card.AtiBlock32(static_cast<std::uint8_t>(off)));
    }
    j.Int("ATI+90", card.AtiBlock8(0x90));
    for (unsigned i : {0x02u, 0x05u, 0x06u, 0x07u, 0x08u, 0x09u, 0x0Au, 0x0Bu, 0x19u}) {
      j.Int(RegName("PLL", i), card.AtiPll(static_cast<std::uint8_t>(i)));
    }
  }
  j.Close();
  SignalJson(&j, "vga_signal", vga);
  SignalJson(&j, "signal", tv);
  j.OpenArray("hazards");
  for (const auto& h : card.hazards()) j.String("", h);
  j.Close();
  j.Close();
  result.json = j.str();
  return result;
}

}  // namespace cs::tvout
