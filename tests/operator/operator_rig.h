#pragma once
// A cabinet's operator screens in virtual time: the four screens on their built skins, a real
// catalogue file in a scratch directory, the test tone written to a raw file by ALSA's file
// device, and a stand-in for the main window's side (forwarding, the test menu opened on code
// 500 with its six values copied in and out, a save counted when it closes).
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "catalogue/catalogue_fixture.h"
#include "operator/operator_screens.h"
#include "platform/virtual_event_loop.h"

namespace cs::testing {

inline std::filesystem::path SkinDir() {
  const char* bin = std::getenv("COINSHELL_BINARY_DIR");
  return std::filesystem::path(bin ? bin : ".") / "skins";
}

using MenuValues = TestMenuValues;

// The main window's side of the operator screens, as the panel handler does it.
class MainSide final : public MessageTarget {
 public:
  MainSide(EventLoop& loop, OperatorScreens& screens) : MessageTarget(loop), screens_(screens) {}

  MenuValues values;        // the window's fields
  int saves = 0;            // CALC.INI writes
  int mainScreenCodes = 0;  // presses the main screen handled itself

 protected:
  void WndProc(const Message& m) override {
    if (m.msg != WM_PANEL_INPUT) return;
    if (screens_.ForwardPanelInput(m.wParam, m.lParam)) return;
    if (m.wParam != 500) {
      ++mainScreenCodes;
      return;
    }
    screens_.RunTestMenu(&values);
    ++saves;
  }

 private:
  OperatorScreens& screens_;
};

class OperatorRig {
 public:
  explicit OperatorRig(const std::vector<GameRow>& games) {
    WriteCatalogue(catalogue(), games);
    OperatorConfig config;
    config.skinDir = SkinDir();
    config.catalogue = catalogue();
    config.pcmDevice = "file:'" + toneFile().string() + "',raw";
    screens = std::make_unique<OperatorScreens>(loop, config);
    main = std::make_unique<MainSide>(loop, *screens);
    loop.Advance(1000);  // the creation scripts settle
  }

  std::filesystem::path catalogue() const { return dir.path() / "PARAMS2.DAT"; }
  std::filesystem::path toneFile() const { return dir.path() / "tone.raw"; }

  // A panel press as the reader posts it, at `at` ms from the script's start.
  void PressAt(std::int64_t at, int code, int lParam = 50) {
    script_.push_back(
        {at, [this, code, lParam] { main->PostMessage(WM_PANEL_INPUT, code, lParam); }});
    end_ = std::max(end_, at);
  }
  // Presses one after another, each a fresh press (longer apart than a held control repeats).
  void Presses(std::initializer_list<int> codes, std::int64_t gap = 300) {
    for (int c : codes) PressAt(end_ += gap, c);
  }
  // Something to look at in the middle of the script.
  void At(std::int64_t at, std::function<void()> probe) {
    script_.push_back({at, std::move(probe)});
    end_ = std::max(end_, at);
  }
  void Then(std::function<void()> probe) { At(end_ += 150, std::move(probe)); }

  // Runs the script in virtual time. Screens still open at its end are closed (a modal loop
  // never ends otherwise), which fails the test.
  void Run() {
    for (auto& [at, task] : script_) loop.Schedule(at, std::move(task));
    loop.Schedule(end_ + 1000, [this] {
      for (Form* f :
           {static_cast<Form*>(&screens->FrmInp), static_cast<Form*>(&screens->FrmTestMon),
            static_cast<Form*>(&screens->FrmSet), static_cast<Form*>(&screens->FrmTest)}) {
        if (f->Visible()) {
          ADD_FAILURE() << f->ClassName() << " still open at the end of the script";
          f->Hide();
        }
      }
    });
    script_.clear();
    loop.Advance(end_ + 1500);
    end_ = 0;
  }

  // What the tone generator last played.
  std::vector<std::uint8_t> Played() {
    screens->FrmTest.MpSound.WaitIdle();
    std::ifstream f(toneFile(), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }

  ScratchDir dir;
  VirtualEventLoop loop;
  std::unique_ptr<OperatorScreens> screens;
  std::unique_ptr<MainSide> main;

 private:
  std::vector<std::pair<std::int64_t, std::function<void()>>> script_;
  std::int64_t end_ = 0;
};

// How far the canvas at an object's place is from a picture's rectangle shown there (mean
// difference of the colour channels): tells which of its images an object shows.
inline double Distance(const QImage& canvas, const SkinObject& o, const QImage& picture, int x1,
                       int y1) {
  const int w = std::min(o.Width(), picture.width() - x1);
  const int h = std::min(o.Height(), picture.height() - y1);
  double sum = 0;
  int n = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const QRgb a = canvas.pixel(o.Left() + x, o.Top() + y);
      const QRgb b = picture.pixel(x1 + x, y1 + y);
      sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
             std::abs(qBlue(a) - qBlue(b));
      ++n;
    }
  }
  return n ? sum / (3.0 * n) : 1e9;
}

inline QImage Picture(const std::string& skin, const std::string& file) {
  QImage img(QString::fromStdString((SkinDir() / skin / file).string()));
  EXPECT_FALSE(img.isNull()) << file;
  return img.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace cs::testing
