// The result window (see view_window.h).
#include "talvo-view/view_window.h"

#include "talvo-view/editor_command.h"

#include "platform/process.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPoint>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace talvo::view {

namespace {

// While rows are being read, the list takes them in this often.
constexpr int kCatchUpMs = 50;
// Characters of a line drawn at most; the rest lies far beyond the window's edge.
constexpr int kDrawnCharacters = 2000;
constexpr size_t kCachedRows = 4000;

// A heading row: the file's path in bold on a tinted band. A line: its number
// in a gutter, then the text with the matched parts on a marker colour;
// context lines in the muted text colour.
class LineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QPalette& pal = opt.palette;
        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        const bool heading = index.data(ResultModel::HeadingRole).toBool();
        QRect r = opt.rect;
        if (selected) {
            painter->fillRect(r, pal.highlight());
        } else if (heading) {
            painter->fillRect(r, pal.alternateBase());
        }
        const QColor textColour = selected ? pal.highlightedText().color() : pal.text().color();
        const QString text = index.data(Qt::DisplayRole).toString().left(kDrawnCharacters);
        const QFontMetrics fm = opt.fontMetrics;
        const int baseline = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
        if (heading) {
            QFont bold = opt.font;
            bold.setBold(true);
            painter->setFont(bold);
            painter->setPen(textColour);
            painter->drawText(r.left() + 4, baseline, text);
            painter->restore();
            return;
        }
        painter->setFont(opt.font);
        const int gutter = fm.horizontalAdvance(QStringLiteral("0000000")) + 12;
        const long lineNo = index.data(ResultModel::LineNumberRole).toLongLong();
        painter->setPen(selected ? textColour : pal.placeholderText().color());
        if (lineNo > 0)
            painter->drawText(QRect(r.left(), r.top(), gutter - 8, r.height()),
                              Qt::AlignRight | Qt::AlignVCenter, QString::number(lineNo));
        const bool context = index.data(ResultModel::ContextRole).toBool();
        const QColor plain = context && !selected ? pal.placeholderText().color() : textColour;
        int x = r.left() + gutter;
        int at = 0;
        auto draw = [&](int from, int to, bool marked) {
            if (to <= from)
                return;
            const QString piece = text.mid(from, to - from);
            const int width = fm.horizontalAdvance(piece);
            if (marked) {
                painter->fillRect(QRect(x, r.top() + 1, width, r.height() - 2),
                                  QColor(255, 214, 0));
                painter->setPen(QColor(Qt::black));
            } else {
                painter->setPen(plain);
            }
            painter->drawText(x, baseline, piece);
            x += width;
        };
        const QVariantList marks = index.data(ResultModel::HighlightsRole).toList();
        for (const QVariant& m : marks) {
            const QPoint part = m.toPoint();
            const int start = std::clamp(part.x(), at, static_cast<int>(text.size()));
            const int end = std::clamp(part.x() + part.y(), start, static_cast<int>(text.size()));
            draw(at, start, false);
            draw(start, end, true);
            at = end;
            if (x > r.right())
                break;
        }
        draw(at, static_cast<int>(text.size()), false);
        painter->restore();
    }
};

QString humanSize(std::uint64_t bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes));
}

} // namespace

ResultModel::ResultModel(ResultRows& rows, QObject* parent)
    : QAbstractListModel(parent), rows_(rows),
      reader_(std::make_unique<LineReader>(rows.layout())) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

bool ResultModel::isHeading(int row) const {
    return row >= 0 && row < shown_ && rows_.row(static_cast<size_t>(row)).heading;
}

ShownLine ResultModel::shownLine(int row) const {
    if (row < 0 || row >= shown_)
        return {};
    auto cached = cache_.find(row);
    if (cached != cache_.end())
        return cached->second;
    if (cache_.size() > kCachedRows)
        cache_.clear();
    const ResultRows::Row r = rows_.row(static_cast<size_t>(row));
    const std::string line = rows_.lineAt(r.offset);
    ShownLine shown;
    if (r.heading) {
        shown.path = reader_->headingPath(line);
    } else {
        shown = reader_->read(line, rows_.groupPathOf(static_cast<size_t>(row)));
    }
    return cache_.emplace(row, std::move(shown)).first->second;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_)
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole: {
        const ShownLine l = shownLine(row);
        return isHeading(row) ? l.path : l.text;
    }
    case Qt::ToolTipRole: {
        const ShownLine l = shownLine(row);
        return l.line > 0 ? QStringLiteral("%1:%2").arg(l.path).arg(l.line) : l.path;
    }
    case HeadingRole:
        return isHeading(row);
    case LineNumberRole:
        return static_cast<qlonglong>(shownLine(row).line);
    case ContextRole:
        return shownLine(row).context;
    case HighlightsRole: {
        QVariantList parts;
        for (auto [start, length] : shownLine(row).highlights)
            parts << QPoint(start, length);
        return parts;
    }
    default:
        return {};
    }
}

bool ResultModel::catchUp() {
    const bool more = !rows_.finished();
    const int available = static_cast<int>(
        std::min<size_t>(rows_.size(), static_cast<size_t>(std::numeric_limits<int>::max())));
    if (available > shown_) {
        beginInsertRows({}, shown_, available - 1);
        shown_ = available;
        endInsertRows();
    }
    return more || rows_.size() > static_cast<size_t>(shown_);
}

void ResultModel::restart(const grep::result::Layout& layout) {
    beginResetModel();
    reader_ = std::make_unique<LineReader>(layout);
    shown_ = 0;
    cache_.clear();
    endResetModel();
}

ViewWindow::ViewWindow(std::string resultPath, std::string iniPath, QWidget* parent)
    : QMainWindow(parent), resultPath_(std::move(resultPath)), iniPath_(std::move(iniPath)) {
    model_ = new ResultModel(rows_, this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("絞り込み(&F):"), central);
    filter_ = new QLineEdit(central);
    filter_->setObjectName(QStringLiteral("filter"));
    filter_->setClearButtonEnabled(true);
    filter_->setPlaceholderText(QStringLiteral("入力した文字を含む行だけを表示"));
    filterLabel->setBuddy(filter_);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    layout->addLayout(filterRow);

    list_ = new LineList(central);
    list_->setObjectName(QStringLiteral("lines"));
    list_->setModel(model_);
    list_->setItemDelegate(new LineDelegate(list_));
    list_->installEventFilter(this);
    layout->addWidget(list_, 1);

    auto* editorRow = new QHBoxLayout;
    auto* editorLabel = new QLabel(QStringLiteral("エディタ(&E):"), central);
    editor_ = new QComboBox(central);
    editor_->setObjectName(QStringLiteral("editor"));
    editor_->setEditable(true);
    editor_->setInsertPolicy(QComboBox::NoInsert);
    editor_->setToolTip(QStringLiteral(
        "行を開くコマンド。{path} はファイル、{line} は行番号、{column} は桁に置き換わります"));
    for (const auto& t : installedTemplates())
        editor_->addItem(t.command);
    QString command = loadCommand(iniPath_);
    if (command.isEmpty())
        command = defaultCommand();
    editor_->setEditText(command);
    editorLabel->setBuddy(editor_);
    editorRow->addWidget(editorLabel);
    editorRow->addWidget(editor_, 1);
    layout->addLayout(editorRow);
    setCentralWidget(central);

    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        rows_.setFilter(text.toStdString());
        model_->restart(rows_.layout());
        catchUp();
    });
    filter_->installEventFilter(this);
    connect(list_, &LineList::activated, this, [this](int row) { jumpTo(row); });
    connect(editor_, &QComboBox::activated, this, [this] { saveEditorCommand(); });
    connect(editor_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { saveEditorCommand(); });
    poll_.setInterval(kCatchUpMs);
    connect(&poll_, &QTimer::timeout, this, &ViewWindow::catchUp);

    resize(900, 600);
    reload();
    list_->setFocus();
}

void ViewWindow::reload() {
    const QString name = QFileInfo(QString::fromStdString(resultPath_)).fileName();
    setWindowTitle(name.isEmpty() ? QStringLiteral("talvo-view")
                                  : name + QStringLiteral(" - talvo-view"));
    if (resultPath_.empty() || !rows_.open(resultPath_)) {
        model_->restart(rows_.layout());
        showStatus(
            resultPath_.empty()
                ? QStringLiteral("結果ファイルがありません")
                : QStringLiteral("%1 を開けません").arg(QString::fromStdString(resultPath_)));
        return;
    }
    if (!filter_->text().isEmpty())
        rows_.setFilter(filter_->text().toStdString());
    model_->restart(rows_.layout());
    catchUp();
}

void ViewWindow::catchUp() {
    const bool hadRows = model_->rowCount() > 0;
    const bool more = model_->catchUp();
    if (!hadRows && model_->rowCount() > 0 && list_->currentRow() < 0) {
        // The first line, not its heading, so Enter jumps at once.
        list_->setCurrentRow(model_->rowCount() > 1 && model_->isHeading(0) ? 1 : 0);
    }
    QString text = QStringLiteral("%1 行").arg(QLocale().toString(model_->rowCount()));
    if (more) {
        text += QStringLiteral("  (読み込み中 %1 / %2)")
                    .arg(humanSize(rows_.bytesRead()), humanSize(rows_.fileSize()));
        if (!poll_.isActive())
            poll_.start();
    } else {
        poll_.stop();
    }
    showStatus(text);
}

QString ViewWindow::editorCommand() const {
    return editor_->currentText().trimmed();
}

void ViewWindow::saveEditorCommand() {
    const QString command = editorCommand();
    if (!command.isEmpty() && command != loadCommand(iniPath_))
        saveCommand(iniPath_, command);
}

bool ViewWindow::jumpTo(int row) {
    if (row < 0 || row >= model_->rowCount())
        return false;
    const ShownLine line = model_->shownLine(row);
    const std::string dir =
        QFileInfo(QString::fromStdString(resultPath_)).absolutePath().toStdString();
    const auto target = jumpTarget(line, dir);
    if (!target) {
        showStatus(QStringLiteral("この行には開くファイルの名前がありません"));
        return false;
    }
    const QString path = QString::fromStdString(target->path);
    const QStringList command =
        expandCommand(editorCommand(), path, model_->isHeading(row) ? 1 : target->line,
                      model_->isHeading(row) ? 1 : target->column);
    if (command.isEmpty() || !platform::startDetached(command.front(), command.mid(1))) {
        showStatus(QStringLiteral("エディタを起動できません: %1").arg(editorCommand()));
        return false;
    }
    saveEditorCommand();
    showStatus(QStringLiteral("%1 の %2 行目を開きました").arg(path).arg(target->line));
    return true;
}

bool ViewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == filter_) {
        // From the filter, the arrows and Enter act on the list.
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_PageDown:
        case Qt::Key_PageUp:
            list_->setFocus();
            QApplication::sendEvent(list_, event);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (list_->currentRow() >= 0)
                jumpTo(list_->currentRow());
            return true;
        default:
            return false;
        }
    }
    if (watched == list_) {
        // Typing on the list filters it.
        const Qt::KeyboardModifiers mods =
            key->modifiers() & ~Qt::ShiftModifier & ~Qt::KeypadModifier;
        const QString text = key->text();
        if (mods == Qt::NoModifier && !text.isEmpty() && text.front().isPrint()) {
            filter_->setFocus();
            filter_->insert(text);
            return true;
        }
        if (key->key() == Qt::Key_Backspace && !filter_->text().isEmpty()) {
            filter_->setFocus();
            filter_->backspace();
            return true;
        }
        if (key->key() == Qt::Key_Escape && !filter_->text().isEmpty()) {
            filter_->clear();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void ViewWindow::showStatus(const QString& text) {
    status_->setText(text);
}

} // namespace talvo::view
