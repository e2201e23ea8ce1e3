#include "gamelink/check_window.h"

#include <sys/stat.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>

#include "gamelink/check_settings.h"
#include "gamelink/game_flags.h"
#include "platform/log.h"
#include "platform/profile_file.h"
#include "platform/timer.h"

namespace cs {

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

// The pictures are shown twice their size: a 2 x 2 block at 1:1 is too small to judge.
constexpr int kZoom = 2;
// The capture pictures' frame: the largest compared block.
constexpr int kCaptureSide = TFrmCheck::kMaxBlock;
// What a preview file may be (the emulator's picture, scaled at most a few times).
constexpr int kMaxPreviewSide = 4096;
constexpr long long kMaxPreviewFileBytes = 32LL * 1024 * 1024;

const QColor kFace(0xD4, 0xD0, 0xC8);
const QColor kBorder(0x40, 0x40, 0x40);
const QColor kMarker(0xE0, 0x30, 0x30);
const QColor kMarkerSelected(0xFF, 0xD8, 0x00);

struct RegionControls {
  const char* button;
  const char* caption;
  int tag;
  const char* capture;
  const char* reference;
  const char* box;
};
// In region order (kRegionNames): button, its caption and tag, then the capture picture, the
// reference picture and the match box of the same region.
constexpr std::array<RegionControls, kRegionCount> kRegions = {{
    {"SbPlayer1", "P1-B1", 1, "CiMp1", "Cimp10", "CbP1"},
    {"SbPlayer2", "P1-B2", 2, "Cimp2", "Cimp11", "Cbp2"},
    {"SbPlayer22", "P1-B3", 3, "Cimp3", "Cimp12", "Cbp3"},
    {"SbPlayer3", "P2-B1", 4, "Cimp4", "Cimp13", "Cbp4"},
    {"Sbplayer4", "P2-B2", 5, "Cimp5", "Cimp14", "CbP5"},
    {"SbPlayer44", "P2.B3", 6, "Cimp6", "Cimp15", "Cbp6"},
    {"SbPlayer45", "Bmp Start", 8, "Cimp8", "Cimp16", "Cbp8"},
}};

// The top-level window: the close box hides it (the window object lives for the whole run).
class FormWidget final : public QWidget {
 public:
  std::function<void()> onClose;

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (onClose) onClose();
  }
};

// A picture of the screen check, magnified. A capture picture shows the RegionWidth x
// RegionHeight top-left part of its bitmap in a 10 x 10 frame (the rest in the face colour), a
// reference picture its whole 20 x 20 bitmap.
class PictureBox final : public QWidget {
 public:
  PictureBox(QWidget* parent, const CheckPicture& picture, int side, bool shownPartOnly)
      : QWidget(parent), picture_(picture), side_(side), shown_part_only_(shownPartOnly) {
    setFixedSize(side * kZoom + 2, side * kZoom + 2);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Follow();
  }

  // Reads the picture again; repaints when what it shows changed.
  void Follow() {
    QImage img(side_, side_, QImage::Format_ARGB32);
    const int w = shown_part_only_ ? std::clamp(picture_.Width(), 0, side_) : side_;
    const int h = shown_part_only_ ? std::clamp(picture_.Height(), 0, side_) : side_;
    for (int y = 0; y < side_; ++y) {
      for (int x = 0; x < side_; ++x) {
        if (x >= w || y >= h) {
          img.setPixel(x, y, 0);  // not shown
          continue;
        }
        const std::uint32_t p = picture_.Pixel(x, y);
        img.setPixel(x, y, 0xFF000000u | (p == CheckPicture::kNoPixel ? 0u : p));
      }
    }
    if (img != image_) {
      image_ = img;
      update();
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), kFace);
    p.drawImage(QRect(1, 1, side_ * kZoom, side_ * kZoom), image_);
    p.setPen(kBorder);
    p.drawRect(0, 0, width() - 1, height() - 1);
  }

 private:
  const CheckPicture& picture_;
  int side_;
  bool shown_part_only_;
  QImage image_;
};

// The preview panel Cimp7: a white client area inside a single border, showing what the
// emulator drew into it and the seven regions outlined; a mouse release on it picks a region.
class PreviewPanel final : public QWidget {
 public:
  PreviewPanel(QWidget* parent, const TFrmCheck& check)
      : QWidget(parent),
        check_(check),
        picture_(CheckWindow::kClientWidth, CheckWindow::kClientHeight, QImage::Format_RGB32) {
    picture_.fill(Qt::white);
    setFixedSize(CheckWindow::kPanelWidth, CheckWindow::kPanelHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
  }

  std::function<void(int x, int y)> onPick;

  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& image) {
    picture_.fill(Qt::white);
    QPainter p(&picture_);
    p.drawImage(0, 0, image.convertToFormat(QImage::Format_RGB32));
    p.end();
    update();
  }
  // Repaints when the regions or the highlighted one changed.
  void Follow(int selected) {
    std::array<Rect32, kRegionCount> regions;
    for (int i = 0; i < kRegionCount; ++i)
      regions[static_cast<std::size_t>(i)] = check_.CheckRec.Region(i);
    if (regions != regions_ || selected != selected_) {
      regions_ = regions;
      selected_ = selected;
      update();
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(1, 1, picture_);
    p.setClipRect(1, 1, CheckWindow::kClientWidth, CheckWindow::kClientHeight);
    // The outlines lie just outside each block, so the block's own pixels stay visible; the
    // region of the button that is down is drawn last, in its own colour.
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < kRegionCount; ++i) {
        if ((i == selected_) != (pass == 1)) continue;
        const Rect32& r = regions_[static_cast<std::size_t>(i)];
        const std::int64_t w = static_cast<std::int64_t>(r.right) - r.left;
        const std::int64_t h = static_cast<std::int64_t>(r.bottom) - r.top;
        if (r.left < -CheckPicture::kSide || r.top < -CheckPicture::kSide ||
            r.left > CheckWindow::kClientWidth || r.top > CheckWindow::kClientHeight || w < 1 ||
            h < 1 || w > CheckPicture::kSide || h > CheckPicture::kSide) {
          continue;
        }
        p.setPen(i == selected_ ? kMarkerSelected : kMarker);
        p.drawRect(r.left, r.top, static_cast<int>(w) + 1, static_cast<int>(h) + 1);
      }
    }
    p.setClipping(false);
    p.setPen(kBorder);
    p.drawRect(0, 0, width() - 1, height() - 1);
  }

  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    const QPoint c = event->position().toPoint() - QPoint(1, 1);
    if (c.x() < 0 || c.y() < 0 || c.x() >= CheckWindow::kClientWidth ||
        c.y() >= CheckWindow::kClientHeight) {
      return;  // on the border
    }
    if (onPick) onPick(c.x(), c.y());
  }

 private:
  const TFrmCheck& check_;
  QImage picture_;
  std::array<Rect32, kRegionCount> regions_{};
  int selected_ = -1;
};

// Identity of a preview file's content as the file system states it (a writer that replaces the
// file by renaming a new one over it changes the inode).
using FileStamp = std::tuple<unsigned long long, long long, long long, long long>;

}  // namespace

struct CheckWindow::Impl {
  EventLoop& loop;
  TFrmCheck& check;
  const GameFlags& flags;
  std::function<std::string()> nameFile;
  Timer refresh;

  FormWidget* form = nullptr;
  PreviewPanel* Cimp7 = nullptr;
  std::array<PictureBox*, kRegionCount> capture{};
  std::array<PictureBox*, kRegionCount> reference{};
  std::array<QCheckBox*, kRegionCount> match{};
  std::array<QToolButton*, kRegionCount> regionButton{};
  QButtonGroup* regionGroup = nullptr;
  QSpinBox *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr, *UpDown4 = nullptr;
  QLineEdit *EdWidth2 = nullptr, *EdHeight2 = nullptr, *EdTime = nullptr;
  QLabel *lblGame = nullptr, *lblPreview = nullptr, *lblStatus = nullptr;

  std::filesystem::path source;
  FileStamp sourceStamp{};
  bool sourceRefusedLogged = false;
  bool placed = false;

  Impl(EventLoop& l, TFrmCheck& c, const GameFlags& f, std::function<std::string()> n)
      : loop(l), check(c), flags(f), nameFile(std::move(n)), refresh(l, kRefreshMs, false) {}
  ~Impl() { delete form; }

  template <typename T>
  T* Make(QWidget* parent, const char* name, const char* caption, int x, int y, int w, int h) {
    T* c = new T(parent);
    c->setObjectName(Q(name));
    if constexpr (requires { c->setText(QString()); }) {
      if (caption) c->setText(Q(caption));
    }
    c->setGeometry(x, y, w, h);
    return c;
  }
  QGroupBox* Group(const char* name, const char* caption, int x, int y, int w, int h) {
    auto* g = new QGroupBox(Q(caption), form);
    g->setObjectName(Q(name));
    g->setGeometry(x, y, w, h);
    return g;
  }
  // An edit with its up-down: the spin box carries the up-down's name, its text field the
  // edit's.
  QSpinBox* UpDown(QWidget* parent, const char* name, const char* edit, int min, int max, int value,
                   int x, int y) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(Q(name));
    s->setRange(min, max);
    s->setValue(value);
    // A typed number takes effect on Enter or when the field is left, not at each key.
    s->setKeyboardTracking(false);
    s->setGeometry(x, y, 56, 22);
    if (auto* e = s->findChild<QLineEdit*>()) e->setObjectName(Q(edit));
    return s;
  }
  QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint,
                      int x, int y, int w, std::function<void()> handler) {
    auto* b = Make<QPushButton>(parent, name, caption, x, y, w, 24);
    if (hint) b->setToolTip(Q(hint));
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, form, [this, handler] {
      handler();
      Refresh();
    });
    return b;
  }

  void Build();
  void Refresh();
  void FollowSource();
  void Report(const std::string& text);
  void Status(const std::string& text) { lblStatus->setText(Q(text)); }
  // Runs a sender and says whether its record reached an emulator.
  void Send(const char* what, const std::function<void()>& sender);
  // The message for edits that do not hold whole numbers.
  void EditError(const char* consequence);
  void StartPreview();
  void Save();
  void Pick(int x, int y);
  std::uint32_t PanelId();
};

void CheckWindow::Impl::Build() {
  form = new FormWidget;
  form->onClose = [this] {
    form->hide();
    refresh.SetEnabled(false);
  };
  form->setObjectName(Q("TFrmCheck"));
  form->setWindowTitle(Q("Game Configuration"));
  form->setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                       Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  form->setFixedSize(kWidth, kHeight);
  QFont font(Q("DejaVu Sans"));
  font.setPixelSize(11);
  form->setFont(font);

  // The preview panel, alone in a holder: when it gets its native window (its id goes to the
  // emulator) no other control has to become one.
  auto* holder = new QWidget(form);
  holder->setObjectName(Q("PnPreview"));
  holder->setGeometry(8, 8, kPanelWidth, kPanelHeight);
  Cimp7 = new PreviewPanel(holder, check);
  Cimp7->setObjectName(Q("Cimp7"));
  Cimp7->setAttribute(Qt::WA_DontCreateNativeAncestors);
  Cimp7->move(0, 0);
  Cimp7->onPick = [this](int x, int y) { Pick(x, y); };

  // The seven regions: button, live capture, reference picture, match box.
  QGroupBox* regions = Group("GbRegions", "Regions", 523, 4, 170, 384);
  Make<QLabel>(regions, "LbRegion", "Region", 8, 18, 58, 14);
  Make<QLabel>(regions, "LbLive", "Live", 72, 18, 26, 14);
  Make<QLabel>(regions, "LbReference", "Picture", 100, 18, 44, 14);
  Make<QLabel>(regions, "LbMatch", "OK", 148, 18, 18, 14);
  // The button that is down wears the colour of its region's outline on the preview.
  regions->setStyleSheet(
      Q("QToolButton { border: 1px solid #8a8780; border-radius: 2px; background: #ece9e2; "
        "padding: 0px; }"
        "QToolButton:hover { background: #f6f4ef; }"
        "QToolButton:checked { background: #ffd800; border-color: #6b5a00; }"));
  regionGroup = new QButtonGroup(form);
  regionGroup->setObjectName(Q("SbRegions"));
  regionGroup->setExclusive(true);
  for (int i = 0; i < kRegionCount; ++i) {
    const RegionControls& r = kRegions[static_cast<std::size_t>(i)];
    const int y = 36 + i * 49;
    auto* b = Make<QToolButton>(regions, r.button, r.caption, 6, y + 9, 60, 24);
    b->setCheckable(true);
    b->setProperty("Tag", r.tag);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setToolTip(Q("The next click on the preview sets region \"") + Q(r.caption) + Q("\""));
    regionGroup->addButton(b, i);
    regionButton[static_cast<std::size_t>(i)] = b;

    const std::size_t k = static_cast<std::size_t>(i);
    capture[k] = new PictureBox(regions, check.Capture[k], kCaptureSide, true);
    capture[k]->setObjectName(Q(r.capture));
    capture[k]->move(72, y + 10);
    capture[k]->setToolTip(Q("What the screen check sees in \"") + Q(r.caption) + Q("\""));
    reference[k] = new PictureBox(regions, check.Reference[k], CheckPicture::kSide, false);
    reference[k]->setObjectName(Q(r.reference));
    reference[k]->move(100, y);
    reference[k]->setToolTip(Q("Reference picture of \"") + Q(r.caption) + Q("\""));
    match[k] = Make<QCheckBox>(regions, r.box, nullptr, 148, y + 13, 16, 16);
    // The box shows the match flag; only the screen check sets it.
    match[k]->setAttribute(Qt::WA_TransparentForMouseEvents);
    match[k]->setFocusPolicy(Qt::NoFocus);
    match[k]->setToolTip(Q("\"") + Q(r.caption) + Q("\" matches its reference picture"));
  }
  QObject::connect(regionGroup, &QButtonGroup::idClicked, form, [this](int) { Refresh(); });

  // Block size and offsets.
  QGroupBox* block = Group("GbBlock", "Compared block", 8, 394, 124, 86);
  Make<QLabel>(block, "LbWidth", "Width", 10, 26, 44, 16);
  UpDown2 = UpDown(block, "UpDown2", "EdWidth", TFrmCheck::kMinBlock, TFrmCheck::kMaxBlock,
                   check.UpDown2, 58, 22);
  Make<QLabel>(block, "LbHeight", "height", 10, 56, 44, 16);
  UpDown1 = UpDown(block, "UpDown1", "EdHeight", TFrmCheck::kMinBlock, TFrmCheck::kMaxBlock,
                   check.UpDown1, 58, 52);
  QGroupBox* offsets = Group("GbOffsets", "Offsets", 140, 394, 124, 86);
  Make<QLabel>(offsets, "LbOffX", "Off X", 10, 26, 44, 16);
  UpDown3 = UpDown(offsets, "UpDown3", "Edit1", -TFrmCheck::kMaxOffset, TFrmCheck::kMaxOffset,
                   check.UpDown3, 58, 22);
  Make<QLabel>(offsets, "LbOffY", "Off Y", 10, 56, 44, 16);
  UpDown4 = UpDown(offsets, "UpDown4", "Edit2", -TFrmCheck::kMaxOffset, TFrmCheck::kMaxOffset,
                   check.UpDown4, 58, 52);
  for (QSpinBox* s : {UpDown1, UpDown2}) {
    QObject::connect(s, &QSpinBox::valueChanged, form, [this] {
      check.SetBlockSize(UpDown2->value(), UpDown1->value());
      Refresh();
    });
  }
  for (QSpinBox* s : {UpDown3, UpDown4}) {
    QObject::connect(s, &QSpinBox::valueChanged, form, [this] {
      check.SetOffsets(UpDown3->value(), UpDown4->value());
      Refresh();
    });
  }

  // The game: its name, the start-up time, the preview size (hidden).
  QGroupBox* game = Group("GbGame", "Game", 272, 394, 243, 86);
  lblGame = Make<QLabel>(game, "LbGame", nullptr, 10, 22, 225, 16);
  Make<QLabel>(game, "LbTime", "StartUp Time", 10, 56, 80, 16);
  EdTime = Make<QLineEdit>(game, "EdTime", nullptr, 94, 52, 48, 22);
  EdTime->setToolTip(Q("Seconds the game takes to start up"));
  Make<QLabel>(game, "LbSeconds", "s", 146, 56, 20, 16);
  EdWidth2 = Make<QLineEdit>(game, "EdWidth2", nullptr, 170, 52, 30, 22);
  EdHeight2 = Make<QLineEdit>(game, "EdHeight2", nullptr, 204, 52, 30, 22);
  EdWidth2->hide();
  EdHeight2->hide();
  const auto follow = [this](QLineEdit* e, std::string TFrmCheck::*field) {
    e->setText(Q(check.*field));
    QObject::connect(e, &QLineEdit::textChanged, form,
                     [this, field](const QString& t) { check.*field = t.toStdString(); });
  };
  follow(EdTime, &TFrmCheck::EdTime);
  follow(EdWidth2, &TFrmCheck::EdWidth2);
  follow(EdHeight2, &TFrmCheck::EdHeight2);

  // The preview.
  QGroupBox* preview = Group("GbPreview", "Preview", 523, 394, 170, 86);
  Button(preview, "BtStartAll", "Start All", "The emulator draws its picture into the panel", 8, 22,
         74, [this] { StartPreview(); });
  Button(preview, "BtStopAll", "Stop All", "The emulator stops drawing into the panel", 88, 22, 74,
         [this] { Send("Stop preview", [this] { check.BtStopAllClick(); }); });
  lblPreview = Make<QLabel>(preview, "LbPreview", nullptr, 10, 54, 152, 16);

  // The screen check.
  QGroupBox* checking = Group("GbCheck", "Screen check", 8, 486, 124, 94);
  Button(checking, "BtStartComp", "Start", "The live captures and matches of the seven regions", 8,
         22, 108, [this] { Send("Start check", [this] { check.BtcompareClick(); }); });
  Button(checking, "BtStopComp", "Stop Check", nullptr, 8, 54, 108,
         [this] { Send("Stop check", [this] { check.BtStopCompClick(); }); });

  // Tests of the emulator's inputs and messages.
  QGroupBox* tests = Group("GbTests", "Emulator test", 140, 486, 375, 94);
  Button(tests, "BtFire", "System Test", "The service switch, once", 8, 22, 114,
         [this] { Send("System Test", [this] { check.BtFireClick(); }); });
  Button(tests, "btx10", "coin 1", "A coin, then player 1 start", 130, 22, 114,
         [this] { Send("coin 1", [this] { check.btx10Click(); }); });
  Button(tests, "Btx11", "Coin 2", "A coin with player 2 start, then player 1 start", 252, 22, 114,
         [this] { Send("Coin 2", [this] { check.Btx11Click(); }); });
  Button(tests, "BtMsg1", "Msg1", "Show the test message in the game's picture", 8, 54, 114,
         [this] { Send("Test message", [this] { check.BtMsg1Click(); }); });
  Button(tests, "BtMsg1_", "Msg1", "Hide the test message", 130, 54, 114,
         [this] { Send("Test message removal", [this] { check.BtMsg1_Click(); }); });

  // Saving.
  QGroupBox* files = Group("GbFiles", "Game files", 523, 486, 170, 94);
  Button(files, "BtSave", "Save", "Write the game's .xy file and its seven reference pictures", 8,
         22, 154, [this] { Save(); });
  lblStatus = Make<QLabel>(files, "LbStatus", nullptr, 10, 50, 154, 40);
  lblStatus->setWordWrap(true);
  lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont small = font;
  small.setPixelSize(10);
  lblStatus->setFont(small);

  refresh.SetHandler([this] { Refresh(); });
  Refresh();
}

void CheckWindow::Impl::Refresh() {
  for (std::size_t i = 0; i < kRegionCount; ++i) {
    capture[i]->Follow();
    reference[i]->Follow();
    match[i]->setChecked(check.MatchBox[i].load(std::memory_order_relaxed));
  }
  // Setting the controls from the data must not run their handlers again.
  const auto setSpin = [](QSpinBox* s, int v) {
    if (s->value() == v) return;
    const QSignalBlocker block(s);
    s->setValue(v);
  };
  setSpin(UpDown1, check.UpDown1);
  setSpin(UpDown2, check.UpDown2);
  setSpin(UpDown3, check.UpDown3);
  setSpin(UpDown4, check.UpDown4);
  const auto setEdit = [](QLineEdit* e, const std::string& text) {
    const QString t = Q(text);
    if (e->text() == t) return;
    const QSignalBlocker block(e);
    e->setText(t);
  };
  setEdit(EdTime, check.EdTime);
  setEdit(EdWidth2, check.EdWidth2);
  setEdit(EdHeight2, check.EdHeight2);

  FollowSource();
  Cimp7->Follow(regionGroup->checkedId());

  const std::string name = nameFile ? nameFile() : std::string();
  lblGame->setText((name.empty() ? Q("No game selected") : Q("Files of ") + Q(name)) +
                   (flags.Running() ? Q(", game running") : QString()));
  const CheckRecord& r = check.CheckRec;
  lblPreview->setText(
      r.PreviewWnd == 0
          ? Q("Preview off")
          : Q("Preview on, ") +
                QString::number(static_cast<long long>(r.PreviewRect.right) - r.PreviewRect.left) +
                Q(" x ") +
                QString::number(static_cast<long long>(r.PreviewRect.bottom) - r.PreviewRect.top));
}

void CheckWindow::Impl::FollowSource() {
  if (source.empty() || check.CheckRec.PreviewWnd == 0) return;
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const FileStamp stamp{
      static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_mtim.tv_sec),
      static_cast<long long>(st.st_mtim.tv_nsec), static_cast<long long>(st.st_size)};
  if (stamp == sourceStamp) return;
  sourceStamp = stamp;
  // The file comes from another program: its size and the picture's are checked before decoding.
  QImageReader reader(Q(source.string()));
  const QSize size = reader.size();
  const bool fits = st.st_size <= kMaxPreviewFileBytes && size.isValid() &&
                    size.width() <= kMaxPreviewSide && size.height() <= kMaxPreviewSide;
  QImage img = fits ? reader.read() : QImage();
  if (img.isNull()) {
    if (!sourceRefusedLogged) {
      LogDiag("gamelink", source.string() + ": not a preview picture the window can show (" +
                              reader.errorString().toStdString() + ")");
      sourceRefusedLogged = true;
    }
    return;
  }
  sourceRefusedLogged = false;
  // The emulator was asked to draw PreviewRect's size; a file at another scale is brought back
  // to it without smoothing, so that every pixel keeps its exact colour.
  const Rect32& pr = check.CheckRec.PreviewRect;
  const std::int64_t w = static_cast<std::int64_t>(pr.right) - pr.left;
  const std::int64_t h = static_cast<std::int64_t>(pr.bottom) - pr.top;
  if (w > 0 && h > 0 && w <= kMaxPreviewSide && h <= kMaxPreviewSide &&
      (w != img.width() || h != img.height())) {
    img = img.scaled(static_cast<int>(w), static_cast<int>(h), Qt::IgnoreAspectRatio,
                     Qt::FastTransformation);
  }
  Cimp7->SetPicture(img);
}

void CheckWindow::Impl::Report(const std::string& text) {
  Status(text);
  ShowMessageBox(text);
}

void CheckWindow::Impl::Send(const char* what, const std::function<void()>& sender) {
  const std::uint64_t lost = check.LostRecords();
  sender();
  Status(check.LostRecords() == lost
             ? std::string(what) + ": sent."
             : std::string(what) + ": no emulator is listening, nothing arrived.");
}

void CheckWindow::Impl::EditError(const char* consequence) {
  struct Edit {
    const std::string& text;
    const char* label;
  };
  const Edit edits[] = {{check.EdWidth2, "preview width"},
                        {check.EdHeight2, "preview height"},
                        {check.EdTime, "StartUp Time"}};
  for (const Edit& e : edits) {
    std::int32_t v = 0;
    if (!ParseProfileInteger(e.text, &v)) {
      Report("\"" + e.text + "\" is not a whole number (" + e.label + "): " + consequence + ".");
      return;
    }
  }
}

std::uint32_t CheckWindow::Impl::PanelId() {
  // The panel's native window id (an X11 window on X). A platform without native child windows
  // still gives an id; only its low 32 bits travel in the record.
  const std::uint32_t id = static_cast<std::uint32_t>(Cimp7->winId());
  // 0 would tell the emulator that the preview is stopped.
  return id != 0 ? id : 1u;
}

void CheckWindow::Impl::StartPreview() {
  check.PreviewPanelId = PanelId();
  const std::uint64_t lost = check.LostRecords();
  if (!check.Button1Click()) {
    EditError("nothing was sent to the emulator");
    return;
  }
  Status(check.LostRecords() == lost ? "Start preview: sent."
                                     : "Start preview: no emulator is listening, nothing arrived.");
  // A picture the emulator wrote before is shown at once.
  sourceStamp = {};
}

void CheckWindow::Impl::Save() {
  const std::string name = nameFile ? nameFile() : std::string();
  if (name.empty()) {
    Report("No game is selected on the menu: nothing was saved.");
    return;
  }
  if (!check.ReadEdits()) {
    EditError("nothing was saved");
    return;
  }
  std::string error;
  if (!check.BtSaveClick(name, &error)) {
    Report("Saving the files of " + name + " failed: " + error);
    return;
  }
  Status("Saved " + name + ".xy and " + name + "t1.bmp to t7.bmp.");
}

void CheckWindow::Impl::Pick(int x, int y) {
  const int k = regionGroup->checkedId();
  if (k < 0) {
    Status("Press a region button first, then click the preview.");
    return;
  }
  check.PickRegion(k, x, y, Cimp7->Picture());
  Refresh();
  Status(std::string(kRegionNames[static_cast<std::size_t>(k)]) + " set at " + std::to_string(x) +
         ", " + std::to_string(y) + " (" + std::to_string(check.RegionWidth) + " x " +
         std::to_string(check.RegionHeight) + ").");
}

std::unique_ptr<CheckWindow> CheckWindow::Create(EventLoop& loop, TFrmCheck& check,
                                                 const GameFlags& flags,
                                                 std::function<std::string()> currentNameFile) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return nullptr;
  return std::unique_ptr<CheckWindow>(
      new CheckWindow(loop, check, flags, std::move(currentNameFile)));
}

CheckWindow::CheckWindow(EventLoop& loop, TFrmCheck& check, const GameFlags& flags,
                         std::function<std::string()> currentNameFile)
    : impl_(std::make_unique<Impl>(loop, check, flags, std::move(currentNameFile))) {
  impl_->Build();
}

CheckWindow::~CheckWindow() = default;

void CheckWindow::ShowCheckWindow() {
  QWidget* f = impl_->form;
  impl_->Refresh();
  f->show();
  if (!impl_->placed) {
    // Centred with its frame, whose size is known once the window exists.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect r = screen->availableGeometry();
      const QSize outer = f->frameGeometry().size();
      f->move(r.center() - QPoint(outer.width() / 2, outer.height() / 2));
    }
    impl_->placed = true;
  }
  f->raise();
  f->activateWindow();
  impl_->refresh.SetEnabled(true);
}

void CheckWindow::Hide() { impl_->form->onClose(); }

bool CheckWindow::Visible() const { return impl_->form->isVisible(); }

void CheckWindow::SetPreviewImage(const QImage& image) { impl_->Cimp7->SetPicture(image); }

void CheckWindow::SetPreviewSource(std::filesystem::path png) {
  impl_->source = std::move(png);
  impl_->sourceStamp = {};
  impl_->sourceRefusedLogged = false;
}

QImage CheckWindow::PreviewImage() const { return impl_->Cimp7->Picture(); }

void CheckWindow::Refresh() { impl_->Refresh(); }

QImage CheckWindow::Screenshot() const { return impl_->form->grab().toImage(); }

QWidget* CheckWindow::widget() const { return impl_->form; }

}  // namespace cs
