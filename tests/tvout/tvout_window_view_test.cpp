// The widgets of the TV-out window: every control's caption and hint, clicks reaching the
// window's handlers, the widgets following the window (shown, hidden, the close box, message
// 0x40A), and a picture of it (tvout-window.png in the build folder, to look at).
#include "tvout/tvout_window_view.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <chrono>
#include <cstdlib>

#include "platform/log.h"
#include "platform/virtual_event_loop.h"
#include "platform/window_endpoint.h"
#include "tvout/signal_evaluator.h"
#include "tvout/simulated_card.h"
#include "tvout/simulated_display_driver.h"
#include "tvout/tvout_test_dir.h"
#include "tvout/tvout_window.h"

namespace cs::tvout {
namespace {

struct Viewed {
  Viewed() : card(CardId::kS3Trio64), driver(card) {
    std::filesystem::create_directories(dir.path() / "run");
    ::chmod((dir.path() / "run").c_str(), 0700);
    driver.SetMode({640, 480, 16});
    window =
        std::make_unique<TMain>(loop, card, &driver, TMainConfig{dir.path(), dir.path() / "run"});
    window->RequestTerminate = [this] { ++terminations; };
    view = TMainView::Create(*window);
    window->OnFormCreate();
    loop.DrainPosted();
  }
  ~Viewed() {
    view.reset();
    window.reset();
  }
  template <typename T>
  T* Find(const char* name) const {
    T* w = view->widget()->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QWidget* form() const { return view->widget(); }

  testing::TestDir dir;
  VirtualEventLoop loop;
  SimulatedCard card;
  SimulatedDisplayDriver driver;
  std::unique_ptr<TMain> window;
  std::unique_ptr<TMainView> view;
  int terminations = 0;
};

QString Q(const char* s) { return QString::fromUtf8(s); }

TEST(TMainViewTest, ControlsCaptionsAndHints) {
  Viewed v;
  ASSERT_NE(v.view, nullptr);
  EXPECT_EQ(v.form()->windowTitle(), Q("ORVEX For Windows"));
  EXPECT_EQ(v.form()->size(), QSize(395, 197));
  EXPECT_EQ(v.form()->minimumSize(), v.form()->maximumSize()) << "a fixed border";
  EXPECT_TRUE(v.form()->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(v.form()->windowFlags() & Qt::WindowMaximizeButtonHint);

  struct Button {
    const char* name;
    const char* caption;
    const char* hint;
  } buttons[] = {
      {"chkModeVGA", "(S)&VGA Mode", "Select (S)VGA timings"},
      {"chkModePAL", "&PAL Mode", "Select PAL timings"},
      {"chkModeNTSC", "&NTSC Mode", "Select NTSC timings"},
      {"chkISP", "Positive &sync polarity",
       "Set to positive sync if your device negates the normal polarity (negative)"},
      {"chkNoInterlace", "No &interlace", "Non interlaced video modes, even if supported"},
      {"chkOEVSyncSz", "&Odd/Even VSync size",
       "Try turning this on if you're getting a monochrome output"},
      {"chkExitVGA", "&Exit to VGA mode", "Get back to VGA mode upon quiting"},
      {"chkSaveExit", "Save &changes on exit", "Stores current configuration when leaving"},
      {"btnDetect", "&Detect", "If you're unsure of what chipset you have, press this"},
      {"btnDetectNext", "Ne&xt", "Finds the next card on a multiple VGA installation"},
      {"btnClose", "&Unload", "Terminates the program"},
      {"btnUp", "", "Scroll output up"},
      {"btnDown", "", "Scroll output down"},
      {"btnLeft", "", "Shift output left"},
      {"btnRight", "", "Shift output right"},
  };
  for (const Button& b : buttons) {
    auto* w = v.Find<QAbstractButton>(b.name);
    if (!w) continue;
    EXPECT_EQ(w->text(), Q(b.caption)) << b.name;
    EXPECT_EQ(w->toolTip(), Q(b.hint)) << b.name;
    EXPECT_TRUE(w->isVisibleTo(v.form())) << b.name;
    EXPECT_TRUE(v.form()->rect().contains(w->mapTo(v.form(), w->rect().bottomRight())))
        << b.name << " lies outside the window";
  }
  EXPECT_EQ(v.Find<QComboBox>("comboChipsets")->toolTip(), Q("Your video chipset"));
  EXPECT_EQ(v.Find<QComboBox>("comboModels")->toolTip(),
            Q("Select the most appropriate model here"));
  EXPECT_EQ(v.Find<QLabel>("lblBrand")->text(), Q("&Brand :"));
  EXPECT_EQ(v.Find<QLabel>("lblModel")->text(), Q("Mode&l :"));
  EXPECT_EQ(v.Find<QLabel>("lblHFreq")->text(), Q("H.Frequency :"));
  EXPECT_EQ(v.Find<QLabel>("lblVFreq")->text(), Q("V. Frequency :"));
  EXPECT_EQ(v.Find<QLineEdit>("editHFreq")->toolTip(), Q("Current horizontal frequency"));
  EXPECT_EQ(v.Find<QLineEdit>("editVFreq")->toolTip(),
            Q("Frames per second. Should be around 50/60Hz when in TV mode"));
  EXPECT_TRUE(v.Find<QLineEdit>("editHFreq")->isReadOnly());
  EXPECT_TRUE(v.Find<QLineEdit>("editVFreq")->text().isEmpty());
  for (const auto& [name, title] :
       {std::pair{"grpStandard", "Video Standard"}, std::pair{"grpOptions", "Options"},
        std::pair{"grpChipset", "Video Chipset"}, std::pair{"grpCentering", "Output Centering"}}) {
    EXPECT_EQ(v.Find<QGroupBox>(name)->title(), Q(title));
  }
  QStringList items;
  for (QAction* a : v.view->PopupMenu1()->actions()) {
    items << (a->isSeparator() ? Q("-") : a->text());
  }
  EXPECT_EQ(items, (QStringList{Q("&Open..."), Q("-"), Q("VGA Mode"), Q("TV Mode"), Q("-"),
                                Q("&Close"), Q("Close to &VGA"), Q("-"), Q("&About")}));

  // The state at creation: VGA checked, both exit options checked, the brand list filled,
  // "Ne&xt" disabled, the menu's "VGA Mode" checked.
  EXPECT_TRUE(v.Find<QRadioButton>("chkModeVGA")->isChecked());
  EXPECT_TRUE(v.Find<QCheckBox>("chkExitVGA")->isChecked());
  EXPECT_TRUE(v.Find<QCheckBox>("chkSaveExit")->isChecked());
  EXPECT_FALSE(v.Find<QPushButton>("btnDetectNext")->isEnabled());
  EXPECT_EQ(v.Find<QComboBox>("comboChipsets")->count(), 12);
  EXPECT_EQ(v.Find<QComboBox>("comboChipsets")->currentText(), Q("Standard IBM VGA"));
  EXPECT_TRUE(v.view->PopupMenu1()->actions()[2]->isChecked());
  EXPECT_FALSE(v.view->PopupMenu1()->actions()[3]->isChecked());
}

TEST(TMainViewTest, ClicksReachTheHandlers) {
  Viewed v;
  v.Find<QPushButton>("btnDetect")->click();
  EXPECT_EQ(v.window->settings().Chipset, kChipS3);
  EXPECT_EQ(v.Find<QComboBox>("comboModels")->currentText(), Q("Trio32/64"));
  EXPECT_TRUE(v.Find<QPushButton>("btnDetectNext")->isEnabled());

  v.Find<QRadioButton>("chkModePAL")->click();
  EXPECT_EQ(v.window->settings().TVModeOn, 1);
  EXPECT_NEAR(EvaluateSignal(v.card).fieldHz, 50, 1.5);
  EXPECT_TRUE(v.view->PopupMenu1()->actions()[3]->isChecked());
  v.Find<QCheckBox>("chkNoInterlace")->click();
  EXPECT_EQ(v.window->settings().Interlaced, 0);
  EXPECT_TRUE(v.Find<QCheckBox>("chkNoInterlace")->isChecked());
  EXPECT_FALSE(EvaluateSignal(v.card).interlaced);

  const std::uint8_t sync = v.window->engine.timings.HSyncStart;
  v.Find<QToolButton>("btnRight")->click();
  EXPECT_EQ(v.window->engine.timings.HSyncStart, sync - 1);
  v.Find<QToolButton>("btnLeft")->click();
  EXPECT_EQ(v.window->engine.timings.HSyncStart, sync);

  // A brand picked in the list.
  auto* brands = v.Find<QComboBox>("comboChipsets");
  brands->setCurrentIndex(9);
  Q_EMIT brands->activated(9);
  EXPECT_EQ(v.window->settings().Chipset, kChipTseng);
  EXPECT_EQ(v.Find<QComboBox>("comboModels")->count(), 3);
  auto* models = v.Find<QComboBox>("comboModels");
  Q_EMIT models->activated(2);
  EXPECT_EQ(v.window->settings().Model, 4000);

  // The menu's "VGA Mode".
  v.view->PopupMenu1()->actions()[2]->trigger();
  EXPECT_EQ(v.window->settings().TVModeOn, 0);
  EXPECT_TRUE(v.Find<QRadioButton>("chkModeVGA")->isChecked());
  EXPECT_GT(EvaluateSignal(v.card).hfreqHz, 30000);

  v.Find<QPushButton>("btnClose")->click();
  EXPECT_EQ(v.terminations, 1);
}

// Counts how often a widget was really shown.
struct ShowCounter : QObject {
  int shows = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Show) ++shows;
    return false;
  }
};

TEST(TMainViewTest, WidgetsFollowTheWindow) {
  // Created visible (Visible defaults to true) and hidden by the front end in the same step: the
  // widget never appears.
  testing::TestDir dir;
  std::filesystem::create_directories(dir.path() / "run");
  VirtualEventLoop loop;
  SimulatedCard card(CardId::kIbmVga);
  SimulatedDisplayDriver driver(card);
  driver.SetMode({640, 480, 4});
  TMain w(loop, card, &driver, TMainConfig{dir.path(), dir.path() / "run"});
  auto view = TMainView::Create(w);
  ShowCounter counter;
  view->widget()->installEventFilter(&counter);
  w.OnFormCreate();
  EXPECT_TRUE(w.Visible());
  w.Hide();
  loop.DrainPosted();
  EXPECT_EQ(counter.shows, 0);
  EXPECT_FALSE(view->widget()->isVisible());

  // Message 0x40A with lParam 0x203 from another process opens it.
  ASSERT_TRUE(PostWindowMessage(dir.path() / "run" / "TMain",
                                Message{WM_TVOUT_NOTIFY, 0, kNotifyLeftDoubleClick}));
  ASSERT_TRUE(loop.WaitForPosted(std::chrono::seconds(5)));
  loop.DrainPosted();
  EXPECT_TRUE(view->widget()->isVisible());
  EXPECT_EQ(counter.shows, 1);

  // The close box hides it; the program goes on.
  int terminations = 0;
  w.RequestTerminate = [&] { ++terminations; };
  EXPECT_FALSE(view->widget()->close());
  loop.DrainPosted();
  EXPECT_FALSE(w.Visible());
  EXPECT_FALSE(view->widget()->isVisible());
  EXPECT_EQ(terminations, 0);

  // lParam 0x204: the pop-up menu.
  ASSERT_TRUE(PostWindowMessage(dir.path() / "run" / "TMain",
                                Message{WM_TVOUT_NOTIFY, 0, kNotifyRightButtonUp}));
  ASSERT_TRUE(loop.WaitForPosted(std::chrono::seconds(5)));
  loop.DrainPosted();
  EXPECT_TRUE(view->PopupMenu1()->isVisible());
  view->PopupMenu1()->hide();
}

TEST(TMainViewTest, Picture) {
  Viewed v;
  v.window->btnAutoDetectClick();
  v.window->Click(TMain::Control::chkModePAL);
  v.loop.DrainPosted();
  const QImage shot = v.form()->grab().toImage();
  EXPECT_EQ(shot.size(), QSize(395, 197));
  const char* out = std::getenv("COINSHELL_BINARY_DIR");
  const std::string file = std::string(out ? out : "/tmp") + "/tvout-window.png";
  EXPECT_TRUE(shot.save(QString::fromStdString(file), "PNG")) << file;
  // Something is drawn: the controls' text is darker than the window's background.
  int dark = 0;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) dark += qGray(shot.pixel(x, y)) < 96;
  }
  EXPECT_GT(dark, 1500);
}

}  // namespace
}  // namespace cs::tvout
