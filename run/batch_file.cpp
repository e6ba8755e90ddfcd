// The batch file's layout and its encoding.
#include "run/batch_file.h"

#include "platform/codepage.h"

namespace talvo::run {

std::string batchFileText(std::string_view programDirectory, std::string_view commandLine) {
    std::string text = ": 実行ファイル名 → ";
    text += programDirectory;
    text += kBatchFileName;
    text += "\r\n";
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (c == '\r') {
            if (i + 1 < commandLine.size() && commandLine[i + 1] == '\n')
                ++i;
            text += "\r\n";
        } else if (c == '\n') {
            text += "\r\n";
        } else {
            text += c;
        }
    }
    text += "\r\nCopy WWW.BAT XXX.BAT\r\n";
    return text;
}

std::string encodeBatchFile(std::string_view utf8Text) {
    if (auto cp932 = platform::utf8ToCp932(utf8Text))
        return *cp932;
    return "\xEF\xBB\xBF" + std::string(utf8Text);
}

} // namespace talvo::run
