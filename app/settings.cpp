// Reading and writing talvo.ini through the profile layer.
#include "app/settings.h"

#include "grep/programs.h"
#include "platform/files.h"
#include "platform/profile.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace talvo::app {

namespace {

using platform::formatNumber;
using platform::getProfileInt;
using platform::getProfileString;
using platform::writeProfileString;

// No stored position can be told from this default.
constexpr std::int32_t kMissing = std::numeric_limits<std::int32_t>::min();

std::optional<std::int32_t> readPosition(const std::string& path, std::string_view key) {
    const std::int32_t value = getProfileInt(path, ini::kPositionSection, key, kMissing);
    if (value == kMissing)
        return std::nullopt;
    return value;
}

std::int64_t centred(std::int64_t origin, std::int64_t screen, std::int64_t window) {
    return origin + std::llround(static_cast<double>(screen - window) / 2.0);
}

bool topEdgeVisible(std::int64_t left, std::int64_t top, std::int64_t width,
                    const std::vector<TwipRect>& screens) {
    // The top strip holds the title bar the user drags the window by.
    constexpr std::int64_t kStrip = 300;
    const std::int64_t minimumWidth = std::min<std::int64_t>(600, std::max<std::int64_t>(width, 1));
    for (const TwipRect& s : screens) {
        const std::int64_t x0 = std::max(left, s.left);
        const std::int64_t x1 = std::min(left + width, s.left + s.width);
        const std::int64_t y0 = std::max(top, s.top);
        const std::int64_t y1 = std::min(top + kStrip, s.top + s.height);
        if (x1 - x0 >= minimumWidth && y1 - y0 >= kStrip / 2)
            return true;
    }
    return false;
}

} // namespace

std::string settingsPath(const std::string& programDir) {
    return platform::systemFilePath(programDir, ini::kFileName);
}

std::string historyKey(int n) {
    return std::string(ini::kFileNameKey) + "[" + std::to_string(n) + "]";
}

int readStoredProgramNumber(const std::string& iniPath) {
    return getProfileInt(iniPath, ini::kGrepSection, ini::kGrepNumberKey, 1);
}

Settings Settings::read(const std::string& iniPath, const std::string& defaultEditor) {
    Settings s;
    s.common = grep::readCommonTicks(iniPath);
    s.showOptionsAtStart = grep::tickFromStored(
        getProfileInt(iniPath, ini::kTalvoOptionsSection, ini::kShowOptionsKey, 0));
    s.defaultFileAtStart = grep::tickFromStored(
        getProfileInt(iniPath, ini::kTalvoOptionsSection, ini::kDefaultFileAtStartKey, 0));
    s.left = readPosition(iniPath, ini::kLeftKey);
    s.top = readPosition(iniPath, ini::kTopKey);
    // Anything but 1 is full mode.
    s.tinyFlag = getProfileInt(iniPath, ini::kTinySection, ini::kTinyKey, 0) == 1 ? 1 : 0;
    s.editorValue = getProfileString(iniPath, ini::kEditorSection, ini::kFileNameKey, defaultEditor,
                                     kValueBuffer);
    s.editorPath = grep::trimBlanks(s.editorValue);
    s.defaultFile = getProfileString(iniPath, ini::kDefaultFileSection, ini::kFileNameKey,
                                     kStartDefaultFile, kValueBuffer);
    for (int n = 1; n <= kHistoryEntries; ++n) {
        const std::string value = grep::trimBlanks(
            getProfileString(iniPath, ini::kHistorySection, historyKey(n), " ", kValueBuffer));
        if (!value.empty())
            s.history.push_back(value);
    }
    return s;
}

EditorAndDefaultFile rereadEditorAndDefaultFile(const std::string& iniPath) {
    EditorAndDefaultFile r;
    r.editorValue =
        getProfileString(iniPath, ini::kEditorSection, ini::kFileNameKey, "", kValueBuffer);
    r.editorPath = grep::trimBlanks(r.editorValue);
    r.defaultFile = getProfileString(iniPath, ini::kDefaultFileSection, ini::kFileNameKey,
                                     kRereadDefaultFile, kValueBuffer);
    return r;
}

void writeSettings(const std::string& iniPath, const SettingsSave& save) {
    grep::writeCommonTicks(iniPath, save.common);
    writeProfileString(iniPath, ini::kTalvoOptionsSection, ini::kShowOptionsKey,
                       formatNumber(save.showOptionsAtStart));
    writeProfileString(iniPath, ini::kTalvoOptionsSection, ini::kDefaultFileAtStartKey,
                       formatNumber(save.defaultFileAtStart));
    writeProfileString(iniPath, ini::kPositionSection, ini::kLeftKey, formatNumber(save.left));
    writeProfileString(iniPath, ini::kPositionSection, ini::kTopKey, formatNumber(save.top));
    // Paths keep their case: on this file system another case names another file.
    writeProfileString(iniPath, ini::kEditorSection, ini::kFileNameKey,
                       grep::trimBlanks(save.editorText));
    writeProfileString(iniPath, ini::kDefaultFileSection, ini::kFileNameKey,
                       grep::trimBlanks(save.defaultFileText));
}

std::vector<std::pair<int, std::string>> historyToSave(const std::vector<std::string>& fileList,
                                                       std::string_view defaultFile) {
    const std::string trimmedDefault = grep::trimBlanks(defaultFile);
    std::vector<std::pair<int, std::string>> entries;
    int n = 1;
    // The default file and repeats take no entry, so the list is read on past
    // them until ten entries are found: a full history survives start and Quit.
    for (const std::string& item : fileList) {
        if (n > kHistoryEntries)
            break;
        std::string trimmed = grep::trimBlanks(item);
        const bool repeated = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return entry.second == trimmed;
        });
        if (trimmed.empty() || repeated || trimmed == trimmedDefault)
            continue;
        entries.emplace_back(n++, std::move(trimmed));
    }
    // Every remaining entry is emptied, so nothing pushed out comes back.
    for (; n <= kHistoryEntries; ++n)
        entries.emplace_back(n, "");
    return entries;
}

void writeShutdown(const std::string& iniPath, const ShutdownSave& save) {
    writeProfileString(iniPath, ini::kGrepSection, ini::kGrepNumberKey,
                       formatNumber(save.programNumber));
    writeProfileString(iniPath, ini::kPositionSection, ini::kLeftKey, formatNumber(save.left));
    writeProfileString(iniPath, ini::kPositionSection, ini::kTopKey, formatNumber(save.top));
    writeProfileString(iniPath, ini::kTinySection, ini::kTinyKey, save.tinyMode ? "1" : "0");
    for (const auto& [n, value] : historyToSave(save.fileList, save.defaultFile))
        writeProfileString(iniPath, ini::kHistorySection, historyKey(n), value);
}

std::pair<std::int32_t, std::int32_t>
placeWindow(std::optional<std::int32_t> left, std::optional<std::int32_t> top, std::int64_t width,
            std::int64_t height, const TwipRect& primary, const std::vector<TwipRect>& screens) {
    const std::int64_t centreLeft = centred(primary.left, primary.width, width);
    const std::int64_t centreTop = centred(primary.top, primary.height, height);
    std::int64_t x = left ? *left : centreLeft;
    std::int64_t y = top ? *top : centreTop;
    if (!topEdgeVisible(x, y, width, screens.empty() ? std::vector<TwipRect>{primary} : screens)) {
        x = centreLeft;
        y = centreTop;
    }
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

} // namespace talvo::app
