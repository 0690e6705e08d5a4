#include "app/gui/grid/LogGrid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

#include "app/gui/grid/LogTableModel.h"

namespace qm::gui {

namespace {

// Blank space between a cell's text and its lines.
constexpr int kTextPadding = 3;
// Pixels per step of the horizontal scroll bar and of the Left and Right keys.
constexpr int kHorizontalStep = 20;

// One line of text with a little air and the row line.
int RowHeightFor(const QFontMetrics& metrics) { return metrics.height() + 4; }

}  // namespace

TLogGrid::TLogGrid(qm::TReadingLog& log, QWidget* parent)
    : QAbstractScrollArea(parent), ownModel_(std::make_unique<TLogTableModel>(log)), model_(ownModel_.get()) {
  Build();
}

TLogGrid::TLogGrid(TLogTableModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(&model) { Build(); }

TLogGrid::~TLogGrid() {
  // The header must not outlive its model, even for the moment between the two destructors.
  header_->setModel(nullptr);
}

void TLogGrid::Build() {
  setObjectName(QStringLiteral("DBGrid1"));
  rowHeight_ = RowHeightFor(fontMetrics());
  setFocusPolicy(Qt::StrongFocus);
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);

  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setObjectName(QStringLiteral("DBGrid1Titles"));
  header_->setModel(model_);
  header_->setSectionsClickable(false);
  header_->setSectionsMovable(false);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(false);
  header_->setMinimumSectionSize(8);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header_->setFocusPolicy(Qt::NoFocus);
  SetColumnWidths({kColumnWidths.begin(), kColumnWidths.end()});

  // The wheel over the titles or a scroll bar moves the current row as it does over the rows.
  header_->viewport()->installEventFilter(this);
  verticalScrollBar()->installEventFilter(this);
  horizontalScrollBar()->installEventFilter(this);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(kHorizontalStep);

  // An append paints the new row and the row that was current before, the rest of the grid is
  // scrolled as it stands; a reset, a removal and a new column width paint everything.
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
    UpdateScrollBars();
    FollowCurrentRow();
    UpdateRowsFrom(first);
  });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { Relayout(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { Relayout(); });
  connect(model_, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
  connect(model_, &TLogTableModel::CurrentRowChanged, this, [this] { FollowCurrentRow(); });
  connect(header_, &QHeaderView::sectionResized, this, [this] {
    UpdateScrollBars();
    viewport()->update();
  });

  UpdateGeometries();
}

std::vector<int> TLogGrid::ColumnWidths() const {
  std::vector<int> widths(kLogFieldCount);
  for (std::size_t c = 0; c < widths.size(); ++c) widths[c] = header_->sectionSize(static_cast<int>(c));
  return widths;
}

void TLogGrid::SetColumnWidths(const std::vector<int>& widths) {
  const std::size_t n = std::min(widths.size(), kLogFieldCount);
  for (std::size_t c = 0; c < n; ++c)
    header_->resizeSection(static_cast<int>(c), std::max(widths[c], header_->minimumSectionSize()));
}

int TLogGrid::TopRow() const { return verticalScrollBar()->value(); }

int TLogGrid::VisibleRowCount() const { return std::max(1, viewport()->height() / rowHeight_); }

int TLogGrid::RowAt(int y) const {
  if (y < 0) return -1;
  const int row = TopRow() + y / rowHeight_;
  return row < model_->rowCount() ? row : -1;
}

void TLogGrid::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    rowHeight_ = RowHeightFor(fontMetrics());
    UpdateGeometries();
    viewport()->update();
  }
}

// The current row is painted in the active or the inactive highlight.
void TLogGrid::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  UpdateRow(shownCurrent_);
}

void TLogGrid::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  UpdateRow(shownCurrent_);
}

void TLogGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateGeometries();
}

// The titles sit in the top margin of the viewport, as wide as the viewport.
void TLogGrid::UpdateGeometries() {
  const int height = header_->sizeHint().height();
  setViewportMargins(0, height, 0, 0);
  const QRect area = viewport()->geometry();
  header_->setGeometry(area.left(), area.top() - height, area.width(), height);
  UpdateScrollBars();
  // The current row stays in view when the grid is laid out anew, as it does for an append.
  FollowCurrentRow();
}

// The vertical scroll bar counts rows, the horizontal one pixels. A scroll bar repaints itself on
// every step change, even to the same value, and this runs on every append: only changes are set.
void TLogGrid::UpdateScrollBars() {
  const auto set = [](QScrollBar* bar, int page, int maximum) {
    if (bar->pageStep() != page) bar->setPageStep(page);
    if (bar->maximum() != maximum || bar->minimum() != 0) bar->setRange(0, maximum);
  };
  const int visible = VisibleRowCount();
  set(verticalScrollBar(), visible, std::max(0, model_->rowCount() - visible));
  const int width = viewport()->width();
  set(horizontalScrollBar(), width, std::max(0, header_->length() - width));
}

void TLogGrid::Relayout() {
  UpdateScrollBars();
  shownCurrent_ = -1;
  FollowCurrentRow();
  viewport()->update();
}

// Rows move by whole rows: the pixels still valid are moved, only the rows coming into view are
// painted. The meter's stream scrolls the grid by one row per reading.
void TLogGrid::scrollContentsBy(int dx, int dy) {
  if (dx != 0) {
    header_->setOffset(horizontalScrollBar()->value());
    viewport()->update();
  } else if (std::abs(dy) < VisibleRowCount()) {
    viewport()->scroll(0, dy * rowHeight_);
  } else {
    viewport()->update();
  }
}

// Shows the log's current row: scrolls it into view and moves the highlight to it.
void TLogGrid::FollowCurrentRow() {
  const int current = model_->CurrentRow();
  EnsureRowVisible(current);
  if (current == shownCurrent_) return;
  UpdateRow(shownCurrent_);
  UpdateRow(current);
  shownCurrent_ = current;
}

void TLogGrid::UpdateRow(int row) {
  if (row < 0) return;
  const int y = (row - TopRow()) * rowHeight_;
  if (y + rowHeight_ <= 0 || y >= viewport()->height()) return;
  viewport()->update(0, y, viewport()->width(), rowHeight_);
}

void TLogGrid::UpdateRowsFrom(int row) {
  const int y = std::max(0, (row - TopRow()) * rowHeight_);
  if (y < viewport()->height()) viewport()->update(0, y, viewport()->width(), viewport()->height() - y);
}

void TLogGrid::EnsureRowVisible(int row) {
  if (row < 0) return;
  const int top = TopRow();
  const int visible = VisibleRowCount();
  if (row < top)
    verticalScrollBar()->setValue(row);
  else if (row >= top + visible)
    verticalScrollBar()->setValue(row - visible + 1);
}

void TLogGrid::MoveCurrentRowTo(int row) {
  const int rows = model_->rowCount();
  if (rows == 0) return;
  row = std::clamp(row, 0, rows - 1);
  if (row == model_->CurrentRow())
    EnsureRowVisible(row);
  else
    model_->SetCurrentRow(row);  // the log tells the grid back, which then shows it
}

void TLogGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect exposed = event->rect();
  const int top = TopRow();
  const int firstRow = top + std::max(0, exposed.top()) / rowHeight_;
  const int lastRow = std::min(model_->rowCount() - 1, top + exposed.bottom() / rowHeight_);
  if (lastRow < firstRow) return;

  int firstColumn = header_->logicalIndexAt(exposed.left());
  int lastColumn = header_->logicalIndexAt(exposed.right());
  if (firstColumn < 0) firstColumn = 0;
  if (lastColumn < 0) lastColumn = header_->count() - 1;
  const int lastSection = header_->count() - 1;
  const int right = header_->sectionViewportPosition(lastSection) + header_->sectionSize(lastSection);
  if (right <= exposed.left() || firstColumn > lastColumn) return;

  // Alignment belongs to the column; it is read once per column, from the first row painted.
  std::array<int, kLogFieldCount> alignment{};
  for (int c = firstColumn; c <= lastColumn; ++c)
    alignment[static_cast<std::size_t>(c)] = model_->data(model_->index(firstRow, c), Qt::TextAlignmentRole).toInt();

  const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
  const QPalette& colours = palette();
  QStyleOptionViewItem option;
  option.initFrom(this);
  const auto gridRgb = static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this));
  const QColor gridColour = QColor::fromRgba(gridRgb);
  const QFontMetrics metrics = fontMetrics();
  const int current = shownCurrent_;

  for (int row = firstRow; row <= lastRow; ++row) {
    const int y = (row - top) * rowHeight_;
    const bool selected = row == current;
    if (selected)
      painter.fillRect(QRect(-header_->offset(), y, right + header_->offset(), rowHeight_ - 1),
                       colours.brush(group, QPalette::Highlight));
    painter.setPen(colours.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    for (int c = firstColumn; c <= lastColumn; ++c) {
      const int width = header_->sectionSize(c);
      if (width <= 2 * kTextPadding) continue;
      const QRect box(header_->sectionViewportPosition(c) + kTextPadding, y, width - 1 - 2 * kTextPadding,
                      rowHeight_ - 1);
      const QString text = model_->data(model_->index(row, c), Qt::DisplayRole).toString();
      if (text.isEmpty()) continue;
      const QString shown = metrics.elidedText(text, Qt::ElideRight, box.width());
      painter.drawText(box, alignment[static_cast<std::size_t>(c)], shown);
    }
  }

  // Lines at the bottom of every row and the right of every column, over the rows only.
  painter.setPen(gridColour);
  const int bottom = (lastRow - top + 1) * rowHeight_ - 1;
  for (int row = firstRow; row <= lastRow; ++row) {
    const int y = (row - top + 1) * rowHeight_ - 1;
    painter.drawLine(exposed.left(), y, std::min(right - 1, exposed.right()), y);
  }
  const int firstY = (firstRow - top) * rowHeight_;
  for (int c = firstColumn; c <= lastColumn; ++c) {
    const int x = header_->sectionViewportPosition(c) + header_->sectionSize(c) - 1;
    painter.drawLine(x, firstY, x, bottom);
  }
}

void TLogGrid::keyPressEvent(QKeyEvent* event) {
  model_->Flush();  // keys act on every row the log holds, not just those painted so far
  const int current = std::max(0, model_->CurrentRow());
  const int page = VisibleRowCount();
  switch (event->key()) {
    case Qt::Key_Up:
      MoveCurrentRowTo(current - 1);
      break;
    case Qt::Key_Down:
      MoveCurrentRowTo(current + 1);
      break;
    case Qt::Key_PageUp:
      MoveCurrentRowTo(current - page);
      break;
    case Qt::Key_PageDown:
      MoveCurrentRowTo(current + page);
      break;
    case Qt::Key_Home:
      MoveCurrentRowTo(0);
      break;
    case Qt::Key_End:
      MoveCurrentRowTo(model_->rowCount() - 1);
      break;
    case Qt::Key_Left:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Right:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TLogGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const int row = RowAt(event->position().toPoint().y());
  if (row >= 0) MoveCurrentRowTo(row);
  event->accept();
}

void TLogGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    event->accept();
  else
    QAbstractScrollArea::mouseReleaseEvent(event);
}

// Dragging with the button held takes the current row along, past the edges too.
void TLogGrid::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || model_->rowCount() == 0) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  const int y = event->position().toPoint().y();
  const int row = y < 0 ? TopRow() - 1 : TopRow() + y / rowHeight_;
  MoveCurrentRowTo(row);
  event->accept();
}

void TLogGrid::wheelEvent(QWheelEvent* event) {
  const QPoint angle = event->angleDelta();
  if (angle.y() == 0 && angle.x() != 0) {
    QAbstractScrollArea::wheelEvent(event);  // a sideways wheel scrolls the columns
    return;
  }
  QueueWheelStep(*event);
  event->accept();
}

bool TLogGrid::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const bool sideways = wheel->angleDelta().y() == 0 && wheel->angleDelta().x() != 0;
    if (!sideways) {
      QueueWheelStep(*wheel);
      return true;
    }
    if (watched == verticalScrollBar()) return true;  // a sideways wheel does not scroll rows
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

// One wheel event, one row: the arrow key is queued, so the row moves after this event is done.
void TLogGrid::QueueWheelStep(const QWheelEvent& event) {
  const int delta = event.angleDelta().y() != 0 ? event.angleDelta().y() : event.pixelDelta().y();
  // A touchpad opens and closes a gesture with events that carry no turn at all.
  if (delta == 0 && (event.phase() == Qt::ScrollBegin || event.phase() == Qt::ScrollEnd)) return;
  const int key = delta <= 0 ? Qt::Key_Down : Qt::Key_Up;
  QCoreApplication::postEvent(this, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

}  // namespace qm::gui
