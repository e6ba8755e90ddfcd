// The help window. Headings of the document (levels 1 to 3) make the contents
// pane; a click there, a context number or an internal link scrolls the
// browser so the target stands at the top.
#include "platform/help_window.h"

#include "platform/ui.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace talvo::platform {

namespace {
constexpr int kPositionRole = Qt::UserRole;
} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser), contents_(new QTreeWidget),
      findField_(new QLineEdit), back_(new QPushButton(QStringLiteral("戻る(&B)"))),
      findStatus_(new QLabel) {
    setWindowTitle(QStringLiteral("%1 ヘルプ").arg(QLatin1String(kApplicationTitle)));
    resize(900, 640);

    auto* toContents = new QPushButton(QStringLiteral("目次(&C)"));
    auto* findButton = new QPushButton(QStringLiteral("次を検索(&N)"));
    auto* findLabel = new QLabel(QStringLiteral("検索(&F):"));
    findLabel->setBuddy(findField_);
    back_->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(back_);
    bar->addWidget(toContents);
    bar->addSpacing(12);
    bar->addWidget(findLabel);
    bar->addWidget(findField_, 1);
    bar->addWidget(findButton);
    bar->addWidget(findStatus_);

    contents_->setHeaderHidden(true);
    browser_->setOpenExternalLinks(true);
    auto* splitter = new QSplitter;
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({220, 680});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);

    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(toContents, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(findButton, &QPushButton::clicked, this, &HelpWindow::findNext);
    connect(findField_, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    connect(findField_, &QLineEdit::textChanged, findStatus_, &QLabel::clear);
    connect(contents_, &QTreeWidget::itemActivated, this, &HelpWindow::onContentsItem);
    connect(contents_, &QTreeWidget::itemClicked, this, &HelpWindow::onContentsItem);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::rebuildContents);
}

bool HelpWindow::openFile(const QString& path) {
    QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    file_ = info.absoluteFilePath();
    browser_->clearHistory();
    browser_->setSource(QUrl::fromLocalFile(file_));
    browser_->reload(); // the file may have changed since it was last shown
    rebuildContents();
    return true;
}

void HelpWindow::showContents() {
    scrollToPosition(0);
}

bool HelpWindow::showContext(int context) {
    if (showAnchor(QStringLiteral("context-%1").arg(context)))
        return true;
    showContents();
    return false;
}

bool HelpWindow::showAnchor(const QString& name) {
    for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(name)) {
                scrollToPosition(block.position());
                return true;
            }
        }
    }
    return false;
}

bool HelpWindow::findNext() {
    const QString text = findField_->text();
    if (text.isEmpty())
        return false;
    bool found = browser_->find(text);
    if (!found) {
        // Wrap around: search again from the top.
        QTextCursor start(browser_->document());
        browser_->setTextCursor(start);
        found = browser_->find(text);
    }
    findStatus_->setText(found ? QString() : QStringLiteral("見つかりません"));
    return found;
}

void HelpWindow::rebuildContents() {
    contents_->clear();
    QTreeWidgetItem* parents[4] = {nullptr, nullptr, nullptr, nullptr};
    for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
        int level = block.blockFormat().headingLevel();
        if (level < 1 || level > 3 || block.text().trimmed().isEmpty())
            continue;
        QTreeWidgetItem* parent = nullptr;
        for (int up = level - 1; up >= 1 && !parent; --up)
            parent = parents[up];
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
        item->setText(0, block.text().trimmed());
        item->setData(0, kPositionRole, block.position());
        parents[level] = item;
        for (int deeper = level + 1; deeper <= 3; ++deeper)
            parents[deeper] = nullptr;
    }
    contents_->expandAll();
}

void HelpWindow::scrollToPosition(int position) {
    QTextCursor cursor(browser_->document());
    cursor.setPosition(position);
    browser_->setTextCursor(cursor);
    QTextBlock block = browser_->document()->findBlock(position);
    auto* layout = browser_->document()->documentLayout();
    int top = position == 0 ? 0 : static_cast<int>(layout->blockBoundingRect(block).top());
    browser_->verticalScrollBar()->setValue(top);
}

void HelpWindow::onContentsItem(QTreeWidgetItem* item) {
    if (item)
        scrollToPosition(item->data(0, kPositionRole).toInt());
}

} // namespace talvo::platform
