#include "tvout/tvout_window_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QToolButton>

#include "tvout/tvout_window.h"

namespace cs::tvout {

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

// The top-level window: its close box hides it through the window's handler.
class TMainWidget final : public QWidget {
 public:
  explicit TMainWidget(TMain& window) : window_(window) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    window_.FormClose();
  }

 private:
  TMain& window_;
};

// The small monitor picture between the arrows; a double click runs ShowAbout.
class ScreenPicture final : public QLabel {
 public:
  ScreenPicture(QWidget* parent, TMain& window) : QLabel(parent), window_(window) {
    QPixmap pix(30, 26);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(90, 90, 90));
    p.drawRoundedRect(0, 0, 29, 21, 3, 3);
    p.setBrush(QColor(30, 60, 140));
    p.drawRect(3, 3, 23, 15);
    p.setPen(QColor(255, 255, 255));
    p.drawLine(6, 7, 14, 7);
    p.drawLine(6, 11, 20, 11);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(11, 22, 7, 3);
    p.end();
    setPixmap(pix);
    setAlignment(Qt::AlignCenter);
  }

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override { window_.ShowAbout(); }

 private:
  TMain& window_;
};

}  // namespace

struct TMainView::Impl {
  TMain& window;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  bool syncPosted = false;
  bool raisePending = false;
  bool placed = false;

  TMainWidget* form = nullptr;
  QRadioButton *chkModeVGA = nullptr, *chkModePAL = nullptr, *chkModeNTSC = nullptr;
  QCheckBox *chkISP = nullptr, *chkNoInterlace = nullptr, *chkOEVSyncSz = nullptr;
  QCheckBox *chkExitVGA = nullptr, *chkSaveExit = nullptr;
  QComboBox *comboChipsets = nullptr, *comboModels = nullptr;
  QPushButton *btnDetect = nullptr, *btnDetectNext = nullptr, *btnClose = nullptr;
  QToolButton *btnUp = nullptr, *btnDown = nullptr, *btnLeft = nullptr, *btnRight = nullptr;
  QLineEdit *editHFreq = nullptr, *editVFreq = nullptr;
  QMenu* menu = nullptr;
  QAction *VGAMode1 = nullptr, *TVMode1 = nullptr;

  explicit Impl(TMain& w) : window(w) {}
  ~Impl() {
    *alive = false;
    delete form;
  }

  template <typename T>
  T* Make(QWidget* parent, const char* name, const char* caption, const char* hint, int x, int y,
          int w, int h) {
    T* c = new T(parent);
    c->setObjectName(Q(name));
    if constexpr (requires { c->setText(QString()); }) {
      if (caption) c->setText(Q(caption));
    }
    if (hint) c->setToolTip(Q(hint));
    c->setGeometry(x, y, w, h);
    return c;
  }

  QGroupBox* Group(const char* name, const char* caption, int x, int y, int w, int h) {
    auto* g = new QGroupBox(Q(caption), form);
    g->setObjectName(Q(name));
    g->setGeometry(x, y, w, h);
    return g;
  }

  // Runs a handler, then brings the widgets in line at once (Qt changed its own state already).
  template <typename F>
  auto Handler(F f) {
    return [this, f] {
      f();
      Sync();
    };
  }

  void Build();
  void Schedule();
  void Sync();
  void SyncCombo(QComboBox* box, const std::vector<std::string>& texts, int index);
};

void TMainView::Impl::Build() {
  using C = TMain::Control;
  form = new TMainWidget(window);
  form->setObjectName(Q("TMain"));
  form->setWindowTitle(Q(kTMainCaption));
  // Single fixed border, system menu and minimise box.
  form->setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
  form->setFixedSize(kTMainClientWidth, kTMainClientHeight);
  QFont font(Q("DejaVu Sans"));
  font.setPixelSize(11);
  form->setFont(font);

  QGroupBox* standard = Group("grpStandard", "Video Standard", 4, 2, 114, 72);
  chkModeVGA = Make<QRadioButton>(standard, "chkModeVGA", "(S)&VGA Mode", "Select (S)VGA timings",
                                  8, 17, 102, 17);
  chkModePAL =
      Make<QRadioButton>(standard, "chkModePAL", "&PAL Mode", "Select PAL timings", 8, 34, 102, 17);
  chkModeNTSC = Make<QRadioButton>(standard, "chkModeNTSC", "&NTSC Mode", "Select NTSC timings", 8,
                                   51, 102, 17);

  QGroupBox* chipset = Group("grpChipset", "Video Chipset", 122, 2, 269, 72);
  auto* lblBrand = Make<QLabel>(chipset, "lblBrand", "&Brand :", nullptr, 8, 19, 46, 16);
  comboChipsets =
      Make<QComboBox>(chipset, "comboChipsets", nullptr, "Your video chipset", 56, 16, 138, 21);
  lblBrand->setBuddy(comboChipsets);
  auto* lblModel = Make<QLabel>(chipset, "lblModel", "Mode&l :", nullptr, 8, 45, 46, 16);
  comboModels = Make<QComboBox>(chipset, "comboModels", nullptr,
                                "Select the most appropriate model here", 56, 42, 138, 21);
  lblModel->setBuddy(comboModels);
  btnDetect =
      Make<QPushButton>(chipset, "btnDetect", "&Detect",
                        "If you're unsure of what chipset you have, press this", 200, 15, 62, 23);
  btnDetectNext =
      Make<QPushButton>(chipset, "btnDetectNext", "Ne&xt",
                        "Finds the next card on a multiple VGA installation", 200, 41, 62, 23);

  QGroupBox* options = Group("grpOptions", "Options", 4, 78, 178, 115);
  chkISP = Make<QCheckBox>(
      options, "chkISP", "Positive &sync polarity",
      "Set to positive sync if your device negates the normal polarity (negative)", 8, 20, 166, 17);
  chkNoInterlace = Make<QCheckBox>(options, "chkNoInterlace", "No &interlace",
                                   "Non interlaced video modes, even if supported", 8, 38, 166, 17);
  chkOEVSyncSz =
      Make<QCheckBox>(options, "chkOEVSyncSz", "&Odd/Even VSync size",
                      "Try turning this on if you're getting a monochrome output", 8, 56, 166, 17);
  chkExitVGA = Make<QCheckBox>(options, "chkExitVGA", "&Exit to VGA mode",
                               "Get back to VGA mode upon quiting", 8, 74, 166, 17);
  chkSaveExit = Make<QCheckBox>(options, "chkSaveExit", "Save &changes on exit",
                                "Stores current configuration when leaving", 8, 92, 166, 17);

  QGroupBox* centering = Group("grpCentering", "Output Centering", 186, 78, 96, 115);
  btnUp = Make<QToolButton>(centering, "btnUp", nullptr, "Scroll output up", 36, 20, 24, 22);
  btnLeft = Make<QToolButton>(centering, "btnLeft", nullptr, "Shift output left", 6, 50, 24, 24);
  auto* picScreen = new ScreenPicture(centering, window);
  picScreen->setObjectName(Q("picScreen"));
  picScreen->setGeometry(32, 48, 32, 28);
  btnRight =
      Make<QToolButton>(centering, "btnRight", nullptr, "Shift output right", 66, 50, 24, 24);
  btnDown = Make<QToolButton>(centering, "btnDown", nullptr, "Scroll output down", 36, 82, 24, 22);
  btnUp->setArrowType(Qt::UpArrow);
  btnDown->setArrowType(Qt::DownArrow);
  btnLeft->setArrowType(Qt::LeftArrow);
  btnRight->setArrowType(Qt::RightArrow);

  Make<QLabel>(form, "lblHFreq", "H.Frequency :", nullptr, 288, 80, 103, 15);
  editHFreq =
      Make<QLineEdit>(form, "editHFreq", nullptr, "Current horizontal frequency", 288, 96, 103, 21);
  Make<QLabel>(form, "lblVFreq", "V. Frequency :", nullptr, 288, 121, 103, 15);
  editVFreq = Make<QLineEdit>(form, "editVFreq", nullptr,
                              "Frames per second. Should be around 50/60Hz when in TV mode", 288,
                              137, 103, 21);
  editHFreq->setReadOnly(true);
  editVFreq->setReadOnly(true);
  btnClose =
      Make<QPushButton>(form, "btnClose", "&Unload", "Terminates the program", 288, 167, 103, 26);

  menu = new QMenu(form);
  menu->setObjectName(Q("PopupMenu1"));
  QObject::connect(menu->addAction(Q("&Open...")), &QAction::triggered,
                   Handler([this] { window.OpenMainClick(); }));
  menu->addSeparator();
  VGAMode1 = menu->addAction(Q("VGA Mode"));
  VGAMode1->setCheckable(true);
  QObject::connect(VGAMode1, &QAction::triggered, Handler([this] { window.chkModeVGAClick(); }));
  TVMode1 = menu->addAction(Q("TV Mode"));
  TVMode1->setCheckable(true);
  QObject::connect(TVMode1, &QAction::triggered, Handler([this] { window.TVMode1Click(); }));
  menu->addSeparator();
  QObject::connect(menu->addAction(Q("&Close")), &QAction::triggered,
                   Handler([this] { window.btnCloseClick(); }));
  QObject::connect(menu->addAction(Q("Close to &VGA")), &QAction::triggered,
                   Handler([this] { window.ClosetoVGA1Click(); }));
  menu->addSeparator();
  QObject::connect(menu->addAction(Q("&About")), &QAction::triggered,
                   Handler([this] { window.ShowAbout(); }));

  auto click = [this](C c) { return Handler([this, c] { window.Click(c); }); };
  QObject::connect(chkModeVGA, &QRadioButton::clicked, click(C::chkModeVGA));
  QObject::connect(chkModePAL, &QRadioButton::clicked, click(C::chkModePAL));
  QObject::connect(chkModeNTSC, &QRadioButton::clicked, click(C::chkModeNTSC));
  QObject::connect(chkISP, &QCheckBox::clicked, click(C::chkISP));
  QObject::connect(chkNoInterlace, &QCheckBox::clicked, click(C::chkNoInterlace));
  QObject::connect(chkOEVSyncSz, &QCheckBox::clicked, click(C::chkOEVSyncSz));
  QObject::connect(chkExitVGA, &QCheckBox::clicked, click(C::chkExitVGA));
  QObject::connect(chkSaveExit, &QCheckBox::clicked, click(C::chkSaveExit));
  QObject::connect(comboChipsets, &QComboBox::activated, form, [this](int i) {
    window.SelectBrand(i);
    Sync();
  });
  QObject::connect(comboModels, &QComboBox::activated, form, [this](int i) {
    window.SelectModel(i);
    Sync();
  });
  QObject::connect(btnDetect, &QPushButton::clicked,
                   Handler([this] { window.btnAutoDetectClick(); }));
  QObject::connect(btnDetectNext, &QPushButton::clicked,
                   Handler([this] { window.btnDetectNextClick(); }));
  QObject::connect(btnUp, &QToolButton::clicked, Handler([this] { window.btnUpClick(); }));
  QObject::connect(btnDown, &QToolButton::clicked, Handler([this] { window.btnDownClick(); }));
  QObject::connect(btnLeft, &QToolButton::clicked, Handler([this] { window.btnLeftClick(); }));
  QObject::connect(btnRight, &QToolButton::clicked, Handler([this] { window.btnRightClick(); }));
  QObject::connect(btnClose, &QPushButton::clicked, Handler([this] { window.btnCloseClick(); }));
}

void TMainView::Impl::Schedule() {
  if (syncPosted) return;
  syncPosted = true;
  std::weak_ptr<bool> weak = alive;
  window.loop().Post([this, weak] {
    if (auto a = weak.lock(); a && *a) {
      syncPosted = false;
      Sync();
    }
  });
}

void TMainView::Impl::SyncCombo(QComboBox* box, const std::vector<std::string>& texts, int index) {
  bool same = box->count() == static_cast<int>(texts.size());
  for (int i = 0; same && i < box->count(); ++i) same = box->itemText(i) == Q(texts[i]);
  if (!same) {
    box->clear();
    for (const auto& t : texts) box->addItem(Q(t));
  }
  box->setCurrentIndex(index);
}

void TMainView::Impl::Sync() {
  // Only the user's clicks and picks emit the signals connected above, so setting the state
  // here runs no handler.
  const TMainControls& c = window.controls;
  chkModeVGA->setChecked(c.chkModeVGA);
  chkModePAL->setChecked(c.chkModePAL);
  chkModeNTSC->setChecked(c.chkModeNTSC);
  chkISP->setChecked(c.chkISP);
  chkNoInterlace->setChecked(c.chkNoInterlace);
  chkOEVSyncSz->setChecked(c.chkOEVSyncSz);
  chkExitVGA->setChecked(c.chkExitVGA);
  chkSaveExit->setChecked(c.chkSaveExit);
  VGAMode1->setChecked(c.VGAMode1);
  TVMode1->setChecked(c.TVMode1);
  editHFreq->setText(Q(c.editHFreq));
  editVFreq->setText(Q(c.editVFreq));

  const ChipsetSelection& s = window.chipsets;
  std::vector<std::string> brands, models;
  for (const auto& b : s.brands) brands.push_back(b.text);
  for (const auto& m : s.models) models.push_back(m.text);
  SyncCombo(comboChipsets, brands, s.brandIndex);
  SyncCombo(comboModels, models, s.modelIndex);
  btnDetectNext->setEnabled(s.btnDetectNextEnabled);

  if (window.Visible()) {
    if (!placed) {
      // Centred on the screen, the first time it is shown.
      if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        form->move(r.center() - QPoint(form->width() / 2, form->height() / 2));
      }
      placed = true;
    }
    if (!form->isVisible()) form->show();
    if (raisePending) {
      form->showNormal();
      form->raise();
      form->activateWindow();
    }
  } else if (form->isVisible()) {
    form->hide();
  }
  raisePending = false;
}

std::unique_ptr<TMainView> TMainView::Create(TMain& window) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return std::unique_ptr<TMainView>(new TMainView(window));
}

TMainView::TMainView(TMain& window) : impl_(std::make_unique<Impl>(window)) {
  impl_->Build();
  Impl* impl = impl_.get();
  window.OnChanged = [impl] { impl->Schedule(); };
  window.OnBringToFront = [impl] {
    impl->raisePending = true;
    impl->Schedule();
  };
  window.OnPopupMenu = [impl] {
    impl->Sync();
    impl->menu->popup(QCursor::pos());
  };
  impl_->Schedule();
}

TMainView::~TMainView() {
  TMain& w = impl_->window;
  w.OnChanged = nullptr;
  w.OnBringToFront = nullptr;
  w.OnPopupMenu = nullptr;
}

QWidget* TMainView::widget() const { return impl_->form; }
QMenu* TMainView::PopupMenu1() const { return impl_->menu; }
void TMainView::Sync() { impl_->Sync(); }

}  // namespace cs::tvout
