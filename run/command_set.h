// Expansion of a command-set template into the text that is run: the leading
// markers "$EDITOR" and "@" (start directly), the check for missing input, the
// line-break marker and the place-holder passes "$F", "$R", "$K", "$S" in that
// order. Pure functions of plain values (UTF-8 text).
#pragma once

#include "run/command_line.h"

#include <string>
#include <string_view>

namespace talvo::run {

inline constexpr const char* kCommandSetFileName = "talvolst.ini";
inline constexpr const char* kCommandSetSection = "コマンドセット";
inline constexpr const char* kLineBreakMarker = "[↓]";
// A stored value is read into a buffer of 500 bytes: at most 499 come back.
inline constexpr std::size_t kTemplateBufferSize = 500;

// "コマンドライン[" n + 1 "]" for the 0-based menu index n.
std::string commandLineKey(int menuIndex);

struct TemplateInputs {
    std::string templateText; // as read: cut and trimmed
    std::string editorPath;
    int programNumber = 1;
    std::string pattern;     // as typed
    std::string fileBoxText; // blanks removed
    bool narrowing = false;
    std::string currentResultName = kNormalResultName;
};

struct Expansion {
    enum class Kind {
        Run,            // through the batch file, then opened like Auto
        DirectLaunch,   // started as a program at once
        MissingInput,   // message says what is missing; nothing runs
        NarrowingLimit, // the 99th narrowing step was passed; nothing runs
    };
    Kind kind = Kind::Run;
    std::string text;
    std::string message;
    SearchTarget target; // valid for Run and DirectLaunch
};

Expansion expandCommandSet(const TemplateInputs& in);

// Each "[↓]" becomes CR LF.
std::string replaceLineBreakMarkers(std::string_view text);

} // namespace talvo::run
