// The result window: the lines of a result file grouped by file under a
// heading row, with each line's number in its file and the matched parts
// highlighted; typing filters the lines, Enter or a double click opens the
// line's file at that line in the user's editor.
#pragma once

#include "talvo-view/line_list.h"
#include "talvo-view/result_line.h"
#include "talvo-view/result_rows.h"

#include <QAbstractListModel>
#include <QMainWindow>
#include <QTimer>

#include <map>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;

namespace talvo::view {

// The rows of a ResultRows for a list view; grows as the rows are read.
class ResultModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { HeadingRole = Qt::UserRole + 1, LineNumberRole, HighlightsRole, ContextRole };
    explicit ResultModel(ResultRows& rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Takes in the rows read since the last call; true while more may come.
    bool catchUp();
    // After the rows were started again (another file or filter).
    void restart(const grep::result::Layout& layout);
    // The line of a row as shown, its file's path filled in from its heading.
    ShownLine shownLine(int row) const;
    bool isHeading(int row) const;

private:
    ResultRows& rows_;
    std::unique_ptr<LineReader> reader_;
    int shown_ = 0;
    mutable std::map<int, ShownLine> cache_; // the rows on screen, read once
};

class ViewWindow : public QMainWindow {
    Q_OBJECT
public:
    // iniPath: the talvo.ini that keeps the editor command.
    ViewWindow(std::string resultPath, std::string iniPath, QWidget* parent = nullptr);

    // Reads the result file again from the start (it was opened once more).
    void reload();
    // Opens the file of a row at its line; false, with the reason in the
    // status bar, when that cannot be done.
    bool jumpTo(int row);

    LineList* list() const { return list_; }
    QLineEdit* filterBox() const { return filter_; }
    QComboBox* editorBox() const { return editor_; }
    ResultModel* model() const { return model_; }
    ResultRows& rows() { return rows_; }
    QString editorCommand() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void catchUp();
    void saveEditorCommand();
    void showStatus(const QString& text);

    std::string resultPath_;
    std::string iniPath_;
    ResultRows rows_;
    ResultModel* model_;
    LineList* list_;
    QLineEdit* filter_;
    QComboBox* editor_;
    QLabel* status_;
    QTimer poll_;
};

} // namespace talvo::view
