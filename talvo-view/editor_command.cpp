// Editor command templates (see editor_command.h).
#include "talvo-view/editor_command.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"

namespace talvo::view {

const char* const kViewSection = "結果ビュー";
const char* const kEditorCommandKey = "エディタコマンド";

namespace {
// Longer than any template a user types; the profile reader cuts at this size.
constexpr std::size_t kCommandBuffer = 2048;
} // namespace

const std::vector<EditorTemplate>& readyTemplates() {
    // A terminal editor needs a terminal: the desktop's chosen one.
    static const std::vector<EditorTemplate> templates{
        {"gedit", "gedit", "gedit +{line}:{column} \"{path}\""},
        {"GNOME Text Editor", "gnome-text-editor", "gnome-text-editor +{line}:{column} \"{path}\""},
        {"Kate", "kate", "kate --line {line} --column {column} \"{path}\""},
        {"KWrite", "kwrite", "kwrite --line {line} --column {column} \"{path}\""},
        {"Mousepad", "mousepad", "mousepad --line {line} --column {column} \"{path}\""},
        {"Geany", "geany", "geany --line {line} --column {column} \"{path}\""},
        {"Visual Studio Code", "code", "code -g \"{path}:{line}:{column}\""},
        {"Emacs", "emacs", "emacs +{line}:{column} \"{path}\""},
        {"Vim", "vim", "x-terminal-emulator -e vim \"+call cursor({line},{column})\" \"{path}\""},
        {"Neovim", "nvim",
         "x-terminal-emulator -e nvim \"+call cursor({line},{column})\" \"{path}\""},
    };
    return templates;
}

std::vector<EditorTemplate> installedTemplates() {
    std::vector<EditorTemplate> found;
    const bool terminal = platform::findOnPath("x-terminal-emulator").has_value();
    for (const auto& t : readyTemplates()) {
        if (!platform::findOnPath(t.program.toStdString()))
            continue;
        if (t.command.startsWith(QStringLiteral("x-terminal-emulator")) && !terminal)
            continue;
        found.push_back(t);
    }
    return found;
}

QString defaultCommand() {
    auto installed = installedTemplates();
    if (!installed.empty())
        return installed.front().command;
    return QStringLiteral("xdg-open \"{path}\"");
}

QStringList expandCommand(const QString& command, const QString& path, long line, int column) {
    QStringList parts = platform::splitCommandLine(command);
    // Substituted after splitting, so whatever the path holds stays in its argument.
    for (QString& part : parts) {
        QString expanded;
        for (qsizetype i = 0; i < part.size();) {
            auto take = [&](QLatin1StringView placeHolder, const QString& value) {
                if (!QStringView(part).mid(i).startsWith(placeHolder))
                    return false;
                expanded += value;
                i += placeHolder.size();
                return true;
            };
            if (take(QLatin1StringView("{path}"), path) ||
                take(QLatin1StringView("{line}"), QString::number(line > 0 ? line : 1)) ||
                take(QLatin1StringView("{column}"), QString::number(column > 0 ? column : 1)))
                continue;
            expanded += part[i++];
        }
        part = expanded;
    }
    if (!parts.isEmpty() && parts.front().isEmpty())
        return {};
    return parts;
}

QString loadCommand(const std::string& iniPath) {
    return QString::fromStdString(platform::getProfileString(iniPath, kViewSection,
                                                             kEditorCommandKey, "", kCommandBuffer))
        .trimmed();
}

bool saveCommand(const std::string& iniPath, const QString& command) {
    // The profile layer keeps a value that begins and ends with a quote as written.
    return platform::writeProfileString(iniPath, kViewSection, kEditorCommandKey,
                                        command.trimmed().toStdString());
}

} // namespace talvo::view
