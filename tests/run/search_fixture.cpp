// The search session's test fixture and its shell stand-ins.
#include "tests/run/search_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace talvo::run::test {

namespace {

constexpr const char* kStandInInterpreter = R"(#!/bin/sh
# Runs each line of a batch file with sh.
PATH=.:$PATH
export PATH
tr -d '\r' < "$1" | while IFS= read -r line; do
  case "$line" in
    :*) ;;
    "Copy WWW.BAT XXX.BAT") cp WWW.BAT XXX.BAT ;;
    *) sh -c "$line" ;;
  esac
done
)";

constexpr const char* kStandInGrep = R"(#!/bin/sh
# grep -e PATTERN FILES..., the other flags ignored.
pattern=
files=
while [ $# -gt 0 ]; do
  case "$1" in
    -e) shift; pattern=$1 ;;
    -*) ;;
    *) files="$files $1" ;;
  esac
  shift
done
grep -h -e "$pattern" $files
exit 0
)";

void makeExecutable(const std::string& path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

} // namespace

bool bundledProgramsWork() {
    static const bool works = [] {
        talvo::test::ProgramDir probe(talvo::test::ProgramDir::Contents::BundledPrograms);
        probe.write("in.txt", "one\nabc\n");
        probe.write("WWW.BAT", ": probe\r\ncgrep.exe -e abc in.txt > out.txt\r\n"
                               "Copy WWW.BAT XXX.BAT\r\n");
        auto result = talvo::test::runProgram(probe.path(), {probe.file("talvo-cmd"), "WWW.BAT"});
        return result.status == 0 && probe.exists("XXX.BAT") &&
               probe.read("out.txt").find("abc") != std::string::npos;
    }();
    return works;
}

void writeStandIns(const talvo::test::ProgramDir& dir) {
    dir.write("stand-in-cmd", kStandInInterpreter);
    dir.write("CGREP.EXE", kStandInGrep);
    makeExecutable(dir.file("stand-in-cmd"));
    makeExecutable(dir.file("CGREP.EXE"));
}

int processGroupMembers(long pgid) {
    // /proc/PID/stat: "pid (comm) state ppid pgrp ..."; zombies do not count,
    // they are gone but for their parent's wait.
    int members = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat))
            continue;
        auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        char state = 0;
        long ppid = 0, pgrp = 0;
        if (rest >> state >> ppid >> pgrp && pgrp == pgid && state != 'Z')
            ++members;
    }
    return members;
}

SearchFixture::SearchFixture()
    : combo1(new QComboBox(&window)), combo2(new QComboBox(&window)),
      narrowing(new QCheckBox(&window)), label1(new QLabel(&window)),
      checkA2(new QCheckBox(&window)) {
    realPrograms = bundledProgramsWork();
    dir = std::make_unique<talvo::test::ProgramDir>(
        realPrograms ? talvo::test::ProgramDir::Contents::BundledPrograms
                     : talvo::test::ProgramDir::Contents::Empty);
    combo1->setEditable(true);
    combo2->setEditable(true);
    narrowing->setEnabled(false);
    window.resize(600, 300);
    window.move(100, 100);
    window.show();

    dir->write("editor", "#!/bin/sh\n");
    editor = QString::fromStdString(dir->file("editor"));

    SearchWindow w;
    w.window = &window;
    w.pattern = combo1;
    w.files = combo2;
    w.narrowing = narrowing;
    w.status = label1;
    w.tinySwitch = checkA2;
    w.optionString = [this] { return options; };
    w.baseName = [this] { return base; };
    w.editorValue = [this] { return editor; };
    w.editorPath = [this] { return editor; };
    w.programNumber = [this] { return program; };
    w.programDirectory = dir->path();
    w.ui = &ui;
    w.editCommandLine = [this](const QString&) {
        ++editCalls;
        return editAnswer;
    };
    session = std::make_unique<SearchSession>(std::move(w));
    if (!realPrograms) {
        writeStandIns(*dir);
        session->setInterpreter(QString::fromStdString(dir->file("stand-in-cmd")));
    }
}

SearchFixture::~SearchFixture() {
    session.reset();
}

void SearchFixture::grep(const QString& pattern, const QString& files) {
    combo1->setEditText(pattern);
    combo2->setEditText(files);
    session->grep();
}

} // namespace talvo::run::test
