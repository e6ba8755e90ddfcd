// The main window Form1: owns every control and all program-wide state for the
// program's whole life. Start-up (load), Quit, the settings read and saves,
// the grep-program selection and the window-level events live here; the logic
// itself is in grep/ (programs, option tables) and app/settings. Runs, the
// command-set menu and the command lines are other subsystems, reached through
// the hooks below.
#pragma once

#include "app/settings.h"
#include "grep/programs.h"

#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace talvo::platform {
class UserInterface;
}
namespace talvo::grep {
class OptionPanel;
}

namespace talvo::app {

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Design figures, twips.
    static constexpr int kWidth = 9600;
    static constexpr int kCollapsedHeight = 4150;
    static constexpr int kExpandedHeight = 6855;
    static constexpr int kShownThreshold = 4500;
    static constexpr int kPanelHeight = 1260; // Panel3D1, also the tiny-mode height
    static constexpr int kPatternTop = 1350;
    static constexpr int kPatternTinyTop = 70;
    static constexpr int kSwitchTop = 1490;
    static constexpr int kSwitchTinyTop = 90;

    MainWindow(std::string programDirectory, platform::UserInterface& ui,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: detection, result-file clean-up, settings, placement, collapse rule.
    void load();
    // Quit: shutdown save and the option sections, then onEnd. The close request
    // of the window runs the same.
    void quit();
    // Settings save of the settings mode: what the two boxes and the start-up
    // boxes show now; then the editor and default file are read back.
    void saveSettings();
    // "&Choose": save, switch to the next available program, apply it.
    void selectNextProgram();
    // "&Options": show or hide the option area.
    void toggleOptionArea();
    // "参照(&R)": the file-open dialog; the chosen path goes into the file box.
    void browse();
    // "&Setting" / "&OK": enter or leave the settings mode, where the two boxes
    // edit the editor and the default file.
    void toggleSettingsMode();
    bool inSettingsMode() const;

    // Hooks for the other subsystems; unset hooks do nothing.
    std::function<void()> onGrep, onEditor, onAuto, onList, onSetting, onBrowse;
    // Sets the edit-before-run request (Ctrl with Enter) before onAuto or onGrep.
    std::function<void()> onEditBeforeRun;
    // Pops up the command-set menu at a global position; unset: MnuCommand pops up.
    std::function<void(QPoint)> onPopupCommandMenu;
    // Builds the command-set menu at start-up; returns the highest item index (-1: none).
    std::function<int(QMenu&)> onBuildCommandMenu;
    // Ends the program after Quit; unset: the application's event loop exits.
    std::function<void()> onEnd;

    // Controls.
    QComboBox* patternBox() const { return combo1_; }
    QComboBox* fileBox() const { return combo2_; }
    QCheckBox* narrowing() const { return narrowing_; }
    QLabel* statusLabel() const { return label1_; }
    QCheckBox* tinySwitch() const { return checkA2_; }
    QCheckBox* optionBox(int index) const;
    grep::OptionPanel* optionPanel() const { return sstab1_; }
    QPushButton* commandButton(int n) const; // Command3D1 ... Command3D9
    QPushButton* helpButton() const { return sscommand1_; }
    QMenu* commandMenu() const { return commandMenu_; }
    // Replaces MnuCommand (the window takes ownership).
    void setCommandMenu(QMenu* menu);
    int highestCommandMenuIndex() const { return highestMenuIndex_; }

    // State other subsystems read.
    std::string optionString() const; // Build option string
    int selectedProgram() const { return registry_.selected(); }
    const std::string& baseName() const { return registry_.selectedBaseName(); }
    const grep::ProgramRegistry& programs() const { return registry_; }
    const std::string& editorValue() const { return editorValue_; }
    const std::string& editorPath() const { return editorPath_; }
    const std::string& defaultFile() const { return defaultFile_; }
    const std::string& programDirectory() const { return programDir_; }
    std::string settingsFile() const { return settingsPath(programDir_); }
    platform::UserInterface& ui() const { return ui_; }

    // Layout state.
    int heightTwips() const { return heightTw_; }
    bool optionsShown() const { return heightTw_ > kShownThreshold; }
    bool isTinyMode() const;
    std::int32_t leftTwips() const;
    std::int32_t topTwips() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void detectPrograms();
    void cleanUpResultFiles();
    void readSettings();
    void applySelectedProgram();
    void showSelectedProgram();
    void placeWindow(const Settings& settings);
    void applyCollapseRule();
    void setHeightTwips(int twips);
    void tinySwitchChanged(bool ticked);
    void updateTinySwitchColour();
    void updateRunButtons(QComboBox* changed);
    void popupCommandMenu(QPoint globalPos);
    void setTitle();
    bool tinySwitchUsable() const;

    std::string programDir_;
    platform::UserInterface& ui_;
    grep::ProgramRegistry registry_;
    std::string editorValue_;
    std::string editorPath_;
    QString savedPattern_, savedFiles_; // the boxes' texts while in the settings mode
    std::string defaultFile_{kStartDefaultFile};
    int tinyFlag_ = 0;
    int heightTw_ = kExpandedHeight;
    int highestMenuIndex_ = -1;
    bool ended_ = false;
    // The stored position and where it put the window, so an unmoved window
    // saves exactly what was read.
    std::pair<std::int32_t, std::int32_t> placedTwips_{0, 0};
    QPoint placedPixels_{-1, -1};
    bool placed_ = false;

    QFrame* panel3d1_ = nullptr;
    std::array<QPushButton*, 10> buttons_{}; // Command3D1 ... Command3D9 at 1 ... 9
    QPushButton* sscommand1_ = nullptr;
    QLabel* panel3d4_ = nullptr;
    QLabel* panel3d5_ = nullptr;
    QComboBox* combo1_ = nullptr;
    QComboBox* combo2_ = nullptr;
    QCheckBox* checkA2_ = nullptr;
    QCheckBox* narrowing_ = nullptr;
    QGroupBox* frame3d2_ = nullptr;
    QLabel* label1_ = nullptr;
    QFrame* panel3d6_ = nullptr;
    grep::OptionPanel* sstab1_ = nullptr;
    QMenu* commandMenu_ = nullptr;
};

} // namespace talvo::app
