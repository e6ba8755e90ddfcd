// The list of result rows: draws only the rows in sight, so a list of tens of
// millions of rows scrolls as fast as one of ten (a QListView lays out every
// row it holds whenever rows are added).
#pragma once

#include <QAbstractItemModel>
#include <QAbstractScrollArea>
#include <QPointer>

class QAbstractItemDelegate;

namespace talvo::view {

class LineList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LineList(QWidget* parent = nullptr);

    // A one-column model whose rows are all one text line high.
    void setModel(QAbstractItemModel* model);
    void setItemDelegate(QAbstractItemDelegate* delegate);

    int currentRow() const { return current_; }
    void setCurrentRow(int row); // clamped; scrolls it into sight
    void scrollTo(int row);
    // Where a row is drawn in the viewport (empty when out of sight).
    QRect rowRect(int row) const;
    int rowAt(QPoint viewportPoint) const;
    int rowHeight() const;

signals:
    // Enter or a double click on a row.
    void activated(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void updateScrollBar();
    int rowCount() const;
    int visibleRows() const;

    QPointer<QAbstractItemModel> model_;
    QAbstractItemDelegate* delegate_ = nullptr;
    int current_ = -1;
};

} // namespace talvo::view
