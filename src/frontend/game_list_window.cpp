#include "frontend/game_list_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "catalogue/catalogue_view.h"

namespace cs {

namespace {

constexpr CatalogueField kColumns[] = {CatalogueField::NAMEFILE, CatalogueField::NAMEGAME,
                                       CatalogueField::GROUP,    CatalogueField::CREDITS,
                                       CatalogueField::COINS,    CatalogueField::Nrplayer};
constexpr int kColumnCount = 6;

// The row indicator of the current row, in the grid's left margin.
const QString kIndicator = QStringLiteral("\u25B6");

QString CellText(const GameRow& row, CatalogueField field) {
  auto text = [](const std::optional<std::string>& s) {
    return s ? QString::fromStdString(*s) : QString();
  };
  auto number = [](const std::optional<std::int32_t>& n) {
    return n ? QString::number(*n) : QString();
  };
  switch (field) {
    case CatalogueField::NAMEFILE:
      return QString::fromStdString(row.NAMEFILE);
    case CatalogueField::NAMEGAME:
      return text(row.NAMEGAME);
    case CatalogueField::GROUP:
      return text(row.GROUP);
    case CatalogueField::CREDITS:
      return number(row.CREDITS);
    case CatalogueField::COINS:
      return number(row.COINS);
    case CatalogueField::Nrplayer:
      return number(row.Nrplayer);
  }
  return QString();
}

}  // namespace

TFrmGameList::TFrmGameList(CatalogueView& view, QWidget* parent)
    : QWidget(parent, Qt::Window), view_(view) {
  setObjectName(QString::fromLatin1(kClassName));
  setWindowTitle(QStringLiteral("Game List"));
  // The cabinet's X session has no window manager, so no frame: the window is its client area.
  resize(kWidth, kHeight);

  auto* navigator = new QWidget(this);
  navigator->setObjectName(QStringLiteral("DBNavigator1"));
  auto* nav = new QHBoxLayout(navigator);
  nav->setContentsMargins(0, 0, 0, 0);
  nav->setSpacing(0);
  const struct {
    const char* name;
    const char* glyph;
    const char* hint;
    void (TFrmGameList::*action)();
  } kButtons[] = {{"btnFirst", "|\u25C0", "First record", &TFrmGameList::First},
                  {"btnPrior", "\u25C0", "Prior record", &TFrmGameList::Prior},
                  {"btnNext", "\u25B6", "Next record", &TFrmGameList::Next},
                  {"btnLast", "\u25B6|", "Last record", &TFrmGameList::Last}};
  for (int i = 0; i < 4; ++i) {
    auto* b = new QToolButton(navigator);
    b->setObjectName(QString::fromLatin1(kButtons[i].name));
    b->setText(QString::fromUtf8(kButtons[i].glyph));
    b->setToolTip(QString::fromLatin1(kButtons[i].hint));
    b->setFixedSize(40, 25);
    const auto action = kButtons[i].action;
    connect(b, &QToolButton::clicked, this, [this, action] { (this->*action)(); });
    nav->addWidget(b);
    buttons_[i] = b;
  }
  nav->addStretch(1);

  grid_ = new QTableWidget(0, kColumnCount, this);
  grid_->setObjectName(QStringLiteral("DBGrid1"));
  QStringList titles;
  for (CatalogueField f : kColumns) titles << QString::fromLatin1(FieldName(f).data());
  grid_->setHorizontalHeaderLabels(titles);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->setDefaultSectionSize(20);
  grid_->verticalHeader()->setMinimumWidth(18);
  grid_->setWordWrap(false);
  grid_->setColumnWidth(0, 80);
  grid_->setColumnWidth(1, 130);
  grid_->setColumnWidth(2, 60);
  for (int c = 3; c < kColumnCount; ++c) grid_->setColumnWidth(c, 62);
  grid_->horizontalHeader()->setStretchLastSection(true);
  connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
    if (filling_ || row < 0 || row == previous) return;
    GoToGridRow(row);
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(navigator);
  layout->addWidget(grid_, 1);
  Select();
}

TFrmGameList::~TFrmGameList() = default;

void TFrmGameList::Open() {
  if (isVisible()) Refresh();  // a window being shown reads its rows in showEvent
  show();
  // Centred once shown, when the frame a window manager may add is known.
  if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
    const QRect area = s->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
  }
  raise();
  activateWindow();
}

void TFrmGameList::Refresh() {
  rows_ = view_.Active() ? view_.Rows() : std::vector<GameRow>();
  Fill();
}

void TFrmGameList::First() {
  view_.First();
  Refresh();
}

void TFrmGameList::Prior() {
  view_.Prior();
  Refresh();
}

void TFrmGameList::Next() {
  view_.Next();
  Refresh();
}

void TFrmGameList::Last() {
  view_.Last();
  Refresh();
}

QImage TFrmGameList::Screenshot() { return grab().toImage(); }

void TFrmGameList::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
}

void TFrmGameList::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Refresh();
}

void TFrmGameList::GoToGridRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || !view_.Active()) return;
  const std::string& target = rows_[row].NAMEFILE;
  // A walk from the first row, as the view moves only row by row; it ends on the row, or on
  // the last one when the row has left the view since the grid was read.
  if (view_.First()) {
    while (view_.ReadText(CatalogueField::NAMEFILE).value_or(std::string()) != target &&
           view_.Next()) {
    }
  }
  // The grid is in the middle of its own selection change: rebuilding it here would pull the
  // rows from under it, so only a changed catalogue waits for the loop.
  if (view_.Rows() == rows_) {
    Select();
  } else {
    QTimer::singleShot(0, this, [this] { Refresh(); });
  }
}

void TFrmGameList::Fill() {
  filling_ = true;
  grid_->clearContents();
  grid_->setRowCount(static_cast<int>(rows_.size()));
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
    for (int c = 0; c < kColumnCount; ++c) {
      auto* item = new QTableWidgetItem(CellText(rows_[r], kColumns[c]));
      if (!IsTextField(kColumns[c])) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid_->setItem(r, c, item);
    }
    grid_->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
  }
  filling_ = false;
  Select();
}

void TFrmGameList::Select() {
  filling_ = true;
  current_ = -1;
  if (const auto row = view_.CurrentRow()) {
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
      if (rows_[r].NAMEFILE == row->NAMEFILE) {
        current_ = r;
        break;
      }
    }
  }
  for (int r = 0; r < grid_->rowCount(); ++r) {
    if (auto* h = grid_->verticalHeaderItem(r)) h->setText(r == current_ ? kIndicator : QString());
  }
  if (current_ >= 0) {
    grid_->setCurrentCell(current_, std::max(0, grid_->currentColumn()));
    grid_->scrollToItem(grid_->item(current_, 0));
  } else {
    grid_->setCurrentCell(-1, -1);
    grid_->clearSelection();
  }
  // As a navigator does: nothing to go back to on the first row, nothing further on the last;
  // from the gap a row left, both ways are open.
  const int last = static_cast<int>(rows_.size()) - 1;
  const bool any = !rows_.empty();
  buttons_[0]->setEnabled(any && current_ != 0);
  buttons_[1]->setEnabled(any && current_ != 0);
  buttons_[2]->setEnabled(any && (current_ < 0 || current_ != last));
  buttons_[3]->setEnabled(any && (current_ < 0 || current_ != last));
  filling_ = false;
}

TFrmGameList& OpenGameList(std::unique_ptr<TFrmGameList>* window, CatalogueView& tb, bool show) {
  if (!*window) *window = std::make_unique<TFrmGameList>(tb);
  if (show) (*window)->Open();
  return **window;
}

}  // namespace cs
