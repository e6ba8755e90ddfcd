// Command-set expansion.
#include "run/command_set.h"

#include "run/messages.h"

#include <algorithm>

namespace talvo::run {

std::string commandLineKey(int menuIndex) {
    return "コマンドライン[" + std::to_string(menuIndex + 1) + "]";
}

std::string replaceLineBreakMarkers(std::string_view text) {
    std::string out;
    const std::string_view marker = kLineBreakMarker;
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(marker, pos);
        out += text.substr(pos, hit == std::string_view::npos ? std::string_view::npos : hit - pos);
        if (hit == std::string_view::npos)
            return out;
        out += "\r\n";
        pos = hit + marker.size();
    }
}

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

// One pass: every "$X" or "$x" from left to right is replaced by what make()
// returns; `swallow` more characters after the place-holder go with it.
// Scanning goes on after the inserted text, which this pass never sees again.
template <typename Make>
std::string replacePass(std::string_view text, char upper, std::size_t swallow, Make make) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '$' && i + 1 < text.size() &&
            (text[i + 1] == upper || text[i + 1] == char(upper - 'A' + 'a'))) {
            out += make();
            i = std::min(text.size(), i + 2 + swallow);
        } else {
            out += text[i++];
        }
    }
    return out;
}

// The editor path as the first word of a direct launch: quoted when it holds
// a blank, so that splitting the line does not break the path apart.
std::string editorWord(const std::string& editorPath) {
    if (editorPath.find_first_of(" \t") == std::string::npos)
        return editorPath;
    return "\"" + editorPath + "\"";
}

const char* missingInputMessage(int counter) {
    switch (counter) {
    case 1:
        return kMessageNoPattern;
    case 2:
        return kMessageNoFiles;
    case 3:
        return kMessageNoPatternNoFiles;
    default:
        return nullptr;
    }
}

} // namespace

Expansion expandCommandSet(const TemplateInputs& in) {
    Expansion result;
    std::string text = in.templateText;
    bool direct = false;
    if (startsWith(text, "$EDITOR")) {
        text = editorWord(in.editorPath) + text.substr(7);
        direct = true;
    }
    if (startsWith(text, "@")) {
        text.erase(0, 1);
        direct = true;
    }

    const std::string lowered = asciiLower(text);
    const bool noPattern = trimBlanks(in.pattern).empty();
    int counter = 0;
    if (lowered.find("$k") != std::string::npos && noPattern)
        counter = 1;
    if (lowered.find("$s") != std::string::npos && noPattern)
        counter = 1;
    if (lowered.find("$f") != std::string::npos && in.fileBoxText.empty())
        counter += 2;
    if (const char* message = missingInputMessage(counter); message && !direct) {
        result.kind = Expansion::Kind::MissingInput;
        result.message = message;
        return result;
    }

    text = replaceLineBreakMarkers(text);

    auto target = planTarget(in.narrowing, in.currentResultName, in.fileBoxText);
    if (!target) {
        result.kind = Expansion::Kind::NarrowingLimit;
        return result;
    }
    result.target = *target;

    const std::string files = singleLine(target->targetFiles);
    const std::string quoted = quotePattern(in.programNumber, singleLine(in.pattern));
    const std::string withFlag =
        in.programNumber == kProgramJgrep ? quoted + " " : "-e " + quoted + " ";
    text = replacePass(text, 'F', 0, [&] { return files; });
    text = replacePass(text, 'R', 0, [&] { return target->resultName; });
    text = replacePass(text, 'K', 1, [&] { return withFlag; });
    text = replacePass(text, 'S', 0, [&] { return quoted; });

    result.kind = direct ? Expansion::Kind::DirectLaunch : Expansion::Kind::Run;
    result.text = text;
    return result;
}

} // namespace talvo::run
