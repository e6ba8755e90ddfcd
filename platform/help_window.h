// The program's own help window: the HTML help document in a text browser,
// with a contents pane built from the document's headings, working links, Back
// and a find field. Topics are addressed by anchors "context-N".
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace talvo::platform {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Loads the document; false when the file cannot be read.
    bool openFile(const QString& path);
    QString currentFile() const { return file_; }

    // Scrolls to the top of the document, where its contents begin.
    void showContents();
    // Scrolls to the element with id or anchor "context-<context>"; false (and
    // the top shown) when the document has none.
    bool showContext(int context);
    bool showAnchor(const QString& name);

    // Finds the find field's text after the cursor, wrapping around once.
    bool findNext();

    QTextBrowser* browser() const { return browser_; }
    QTreeWidget* contentsPane() const { return contents_; }
    QLineEdit* findField() const { return findField_; }
    QPushButton* backButton() const { return back_; }

private:
    void rebuildContents();
    void scrollToPosition(int position);
    void onContentsItem(QTreeWidgetItem* item);

    QString file_;
    QTextBrowser* browser_;
    QTreeWidget* contents_;
    QLineEdit* findField_;
    QPushButton* back_;
    QLabel* findStatus_;
};

} // namespace talvo::platform
