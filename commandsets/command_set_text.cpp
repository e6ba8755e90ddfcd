// Text rules of the command sets; see command_set_text.h.
#include "commandsets/command_set_text.h"

namespace talvo::commandsets {

namespace {
constexpr int kWgrepNumber = 5;
constexpr int kJgrepNumber = 4;
} // namespace

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string nameKey(int setNumber) {
    return "名前[" + std::to_string(setNumber) + "]";
}

std::string commandLineKey(int setNumber) {
    return "コマンドライン[" + std::to_string(setNumber) + "]";
}

char accessCharacter(int setNumber) {
    if (setNumber >= 1 && setNumber <= 9)
        return static_cast<char>('0' + setNumber);
    if (setNumber == 10)
        return '0';
    return static_cast<char>('A' + (setNumber - 11));
}

std::string menuCaption(int setNumber, std::string_view name) {
    std::string caption = "&";
    caption += accessCharacter(setNumber);
    caption += ": ";
    caption += trimBlanks(name);
    return caption;
}

std::string listLine(std::string_view name, std::string_view commandLine) {
    std::string line(name);
    line += kListSeparator;
    line += commandLine;
    return line;
}

std::string lineBreaksToMarkers(std::string_view boxText) {
    return lineBreaksMarked(trimBlanks(boxText));
}

std::string lineBreaksMarked(std::string_view trimmed) {
    std::string out;
    out.reserve(trimmed.size());
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        if (c == '\r') {
            if (i + 1 < trimmed.size() && trimmed[i + 1] == '\n')
                ++i;
            out += kLineBreakMarker;
        } else if (c == '\n') {
            out += kLineBreakMarker;
        } else {
            out += c;
        }
    }
    return out;
}

std::string markersToLineBreaks(std::string_view stored, std::string_view lineBreak) {
    const std::string trimmed = trimBlanks(stored);
    std::string out;
    out.reserve(trimmed.size());
    std::size_t pos = 0;
    while (true) {
        const auto hit = trimmed.find(kLineBreakMarker, pos);
        if (hit == std::string::npos) {
            out.append(trimmed, pos);
            return out;
        }
        out.append(trimmed, pos, hit - pos);
        out += lineBreak;
        pos = hit + kLineBreakMarker.size();
    }
}

std::string nameToStore(std::string_view boxText) {
    std::string name(boxText);
    for (char& c : name)
        if (c == '\r' || c == '\n')
            c = ' ';
    return trimBlanks(name);
}

std::string storedSearchTemplate(int programNumber, std::string_view baseName,
                                 std::string_view optionString) {
    std::string line(baseName);
    line += programNumber == kWgrepNumber ? ".COM " : ".EXE ";
    if (programNumber == kJgrepNumber) {
        line += " $K $F";
        line += optionString;
    } else {
        line += optionString;
        line += " $K $F";
    }
    line += " > RESULT00.TXT";
    return line;
}

} // namespace talvo::commandsets
