// The list of result rows (see line_list.h).
#include "talvo-view/line_list.h"

#include <QAbstractItemDelegate>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>

namespace talvo::view {

LineList::LineList(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            [this] { viewport()->update(); });
}

void LineList::setModel(QAbstractItemModel* model) {
    model_ = model;
    current_ = -1;
    auto changed = [this] {
        if (current_ >= rowCount())
            current_ = rowCount() - 1;
        updateScrollBar();
        viewport()->update();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(model, &QAbstractItemModel::modelReset, this, [this, changed] {
        current_ = -1;
        verticalScrollBar()->setValue(0);
        changed();
    });
    changed();
}

void LineList::setItemDelegate(QAbstractItemDelegate* delegate) {
    delegate_ = delegate;
}

int LineList::rowCount() const {
    return model_ ? model_->rowCount() : 0;
}

int LineList::rowHeight() const {
    return fontMetrics().height() + 4;
}

int LineList::visibleRows() const {
    return std::max(1, viewport()->height() / rowHeight());
}

void LineList::updateScrollBar() {
    verticalScrollBar()->setPageStep(visibleRows());
    verticalScrollBar()->setRange(0, std::max(0, rowCount() - visibleRows()));
}

void LineList::setCurrentRow(int row) {
    if (rowCount() == 0)
        return;
    current_ = std::clamp(row, 0, rowCount() - 1);
    scrollTo(current_);
    viewport()->update();
}

void LineList::scrollTo(int row) {
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + visibleRows())
        bar->setValue(row - visibleRows() + 1);
}

QRect LineList::rowRect(int row) const {
    const int top = verticalScrollBar()->value();
    if (row < top || row >= top + visibleRows() + 1 || row >= rowCount())
        return {};
    return QRect(0, (row - top) * rowHeight(), viewport()->width(), rowHeight());
}

int LineList::rowAt(QPoint point) const {
    const int row = verticalScrollBar()->value() + point.y() / rowHeight();
    return point.y() >= 0 && row < rowCount() ? row : -1;
}

void LineList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    if (!model_ || !delegate_)
        return;
    const int top = verticalScrollBar()->value();
    const int last = std::min(rowCount(), top + visibleRows() + 1);
    for (int row = top; row < last; ++row) {
        QStyleOptionViewItem option;
        option.initFrom(this);
        option.rect = rowRect(row);
        option.font = font();
        option.fontMetrics = fontMetrics();
        option.state = QStyle::State_Enabled;
        if (row == current_)
            option.state |= QStyle::State_Selected;
        if (hasFocus() && row == current_)
            option.state |= QStyle::State_HasFocus;
        delegate_->paint(&painter, option, model_->index(row, 0));
    }
}

void LineList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

void LineList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrentRow(current_ - 1);
        break;
    case Qt::Key_Down:
        setCurrentRow(current_ + 1);
        break;
    case Qt::Key_PageUp:
        setCurrentRow(current_ - visibleRows());
        break;
    case Qt::Key_PageDown:
        setCurrentRow(current_ + visibleRows());
        break;
    case Qt::Key_Home:
        setCurrentRow(0);
        break;
    case Qt::Key_End:
        setCurrentRow(rowCount() - 1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current_ >= 0)
            emit activated(current_);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LineList::mousePressEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint());
    if (row >= 0)
        setCurrentRow(row);
    setFocus();
}

void LineList::mouseDoubleClickEvent(QMouseEvent* event) {
    const int row = rowAt(event->position().toPoint());
    if (row >= 0 && event->button() == Qt::LeftButton) {
        setCurrentRow(row);
        emit activated(row);
    }
}

} // namespace talvo::view
