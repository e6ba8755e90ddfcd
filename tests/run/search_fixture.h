// A stand-in main window for the search session's tests: the controls the
// session reaches (pattern and file boxes, Narrowing, the status line, the tiny
// switch) on one widget, a recording user interface and a throw-away program
// directory. The batch file runs through the bundled talvo-cmd and talvo-grep
// when they work in this build, else through small shell stand-ins.
#pragma once

#include "platform/recording_ui.h"
#include "run/search_session.h"
#include "tests/support/program_dir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

namespace talvo::run::test {

// True when the build's talvo-cmd runs a batch line through talvo-grep; found
// once per test program.
bool bundledProgramsWork();

// Writes the shell stand-ins into dir: "stand-in-cmd" (runs each batch line
// with sh, the marker line with cp) and "CGREP.EXE" (grep -e PATTERN FILES).
void writeStandIns(const talvo::test::ProgramDir& dir);

// The live (not zombie) processes of process group pgid.
int processGroupMembers(long pgid);

struct SearchFixture {
    SearchFixture();
    ~SearchFixture();

    // "&Grep" with these box texts.
    void grep(const QString& pattern, const QString& files);

    std::unique_ptr<talvo::test::ProgramDir> dir;
    bool realPrograms = false;
    QWidget window;
    QComboBox* combo1;
    QComboBox* combo2;
    QCheckBox* narrowing;
    QLabel* label1;
    QCheckBox* checkA2;
    QString options;
    QString base = "CGREP";
    int program = 1;
    QString editor;
    platform::RecordingUserInterface ui;
    // What the command-line editor answers; nullopt cancels it.
    std::optional<QString> editAnswer;
    int editCalls = 0;
    std::unique_ptr<SearchSession> session;
};

} // namespace talvo::run::test
