// The option tab control SSTab1: three pages holding the option boxes
// CheckA1 0 ... 9 and 12 ... 27 under the group labels Panel3D7 ... Panel3D10.
// It also owns the two start-up boxes 10 and 11, which sit in a frame of the
// main window instead of on a page. The widgets mirror a grep::OptionBoxes state.
#pragma once

#include "grep/option_store.h"
#include "grep/options.h"

#include <QTabWidget>

#include <array>

class QCheckBox;
class QLabel;

namespace talvo::grep {

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

private:
    OptionBoxes snapshot() const;
    void display(const OptionBoxes& state);

    std::array<QCheckBox*, kBoxCount> boxes_{};
    std::array<QLabel*, kGroupLabelCount> labels_{};
    std::array<std::string, kBoxCount> flags_;
};

} // namespace talvo::grep
