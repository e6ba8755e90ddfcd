// The option tab control SSTab1: three pages holding the option boxes
// CheckA1 0 ... 9 and 12 ... 27 under the group labels Panel3D7 ... Panel3D10.
// It also owns the two start-up boxes 10 and 11, which sit in a frame of the
// main window instead of on a page. The widgets mirror a grep::OptionBoxes state.
//
// The panel also carries the daily behaviour of the option area: showing and
// hiding it, page changes with their enabling, the exclusive groups and the
// keys and right mouse button inside it. What belongs to the window (its
// height, tiny mode, runs, the command-set menu, the pattern box) is read
// through OptionPanelWindow and asked for through the signals.
#pragma once

#include "grep/option_store.h"
#include "grep/options.h"

#include <QPoint>
#include <QTabWidget>

#include <array>
#include <functional>

class QCheckBox;
class QKeyEvent;
class QLabel;

namespace talvo::grep {

// What the option area reads from the window it sits in. An unset hook reads
// as: the height the panel asked for last, tiny mode off, tiny switch usable.
struct OptionPanelWindow {
    std::function<int()> heightTwips;       // the window's outer height now
    std::function<bool()> tinyMode;         // CheckA2 ticked
    std::function<bool()> tinySwitchUsable; // the switch shows teal
};

class OptionPanel : public QTabWidget {
    Q_OBJECT
public:
    // startupBoxParent receives boxes 10 and 11.
    OptionPanel(QWidget* parent, QWidget* startupBoxParent);

    QCheckBox* box(int index) const { return boxes_[static_cast<std::size_t>(index)]; }
    QLabel* groupLabel(int k) const { return labels_[static_cast<std::size_t>(k)]; }

    Ticks ticks() const;
    void setCommonTicks(const CommonTicks& ticks);
    // Apply program onto the boxes, with the page shown now.
    void applyProgram(const ProgramOptions& program, const StoredTick& storedTick);
    // The flag table of the program applied last.
    const std::array<std::string, kBoxCount>& flags() const { return flags_; }

    // Tab order of the tab strip and of the boxes of one page, or of all boxes.
    void setTabStripInTabOrder(bool inOrder);
    void setBoxesInTabOrder(int first, int last, bool inOrder);

    // Window heights in twips; any height up to the threshold is collapsed.
    static constexpr int kCollapsedHeight = 4150;
    static constexpr int kExpandedHeight = 6855;
    static constexpr int kShownThreshold = 4500;

    OptionPanelWindow window;
    bool optionsShown() const;

    // Toggle option area: asks for 6855 or 4150 twips and puts the tab strip
    // and the boxes of the page shown into the tab order, or all of them out.
    void toggleOptionArea();
    // Next option page: 0 → 1 → 2 → 0; the page change settles the enabling.
    void nextOptionPage();
    // The page keys as the window's buttons and file box handle them: Page Up
    // enters tiny mode (collapsed, switch teal) or hides the area, Page Down
    // shows the area or moves to the next page, Escape and Page Up in tiny
    // mode are only swallowed. Returns whether the key was swallowed.
    bool sharedPageKey(int key);

signals:
    // The window sets its outer height to `twips`, at once.
    void windowHeightRequested(int twips);
    // Page Up in a box of a collapsed area: tick CheckA2 and run its change handling.
    void tinyModeRequested();
    // Enter in a box (never an auto-repeated one): the pattern box's Enter
    // shortcuts with these modifiers, which act only while "&Grep" is enabled.
    void enterPressed(Qt::KeyboardModifiers modifiers);
    // Escape in a box: as Escape in the pattern box (nothing in the settings mode).
    void escapePressed();
    // F5 on the tab strip, the right mouse button on a box or the tab strip.
    void commandMenuRequested(QPoint globalPos);
    // The keyboard focus goes to the pattern box Combo1.
    void patternBoxFocusRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int windowHeight() const;
    void requestHeight(int twips);
    void pageChanged(int shown);
    void boxTickChanged(int index, bool ticked);
    bool boxKeyDown(QKeyEvent* event);
    bool tabStripKeyDown(QKeyEvent* event);

    OptionBoxes snapshot() const;
    void display(const OptionBoxes& state);

    std::array<QCheckBox*, kBoxCount> boxes_{};
    std::array<QLabel*, kGroupLabelCount> labels_{};
    std::array<std::string, kBoxCount> flags_;
    const ProgramOptions* program_ = nullptr;
    int shownPage_ = 0;
    int requestedHeight_ = kExpandedHeight;
};

} // namespace talvo::grep
