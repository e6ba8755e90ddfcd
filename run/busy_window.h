// Form3, the "Now busy ..." window shown while a search runs. It listens to
// the runner: it closes when the run has ended and its "&Cancel" cancels the
// run. A hidden check box below the visible area holds the focus and swallows
// every key, so no keystroke reaches anything while the search runs.
#pragma once

#include <QCheckBox>
#include <QDialog>

class QLabel;
class QPushButton;

namespace talvo::run {

class Runner;

// Check1: takes the focus and discards every key press and release.
class KeySink : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    bool event(QEvent* event) override;
};

class BusyWindow : public QDialog {
    Q_OBJECT
public:
    // Size of the window's client area, in twips.
    static constexpr int kWidthTwips = 3900;
    static constexpr int kHeightTwips = 1500;
    // Top below the main window's top, in twips.
    static constexpr int kTopOffsetTwips = 800;

    explicit BusyWindow(Runner* runner, QWidget* parent = nullptr);

    // Top at the main window's top + 800 twips, centred horizontally on it.
    void placeOver(const QWidget* mainWindow);

    QLabel* image() const { return image1_; }
    QPushButton* cancelButton() const { return command1_; }
    KeySink* keySink() const { return check1_; }

public slots:
    // Escape or closing the frame asks for Cancel; only the runner's end closes.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Runner* runner_;
    QLabel* image1_;
    QPushButton* command1_;
    KeySink* check1_;
};

} // namespace talvo::run
