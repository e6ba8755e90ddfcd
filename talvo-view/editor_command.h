// The command that opens a file at a line in the user's text editor: a
// template with the place-holders {path}, {line} and {column}, split into
// program and arguments by the command interpreter's quoting rules, so a path
// with blanks stays one argument. Ready templates for the common editors; the
// chosen one is kept in talvo.ini in a section of its own.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace talvo::view {

struct EditorTemplate {
    QString name;    // as offered
    QString program; // looked for on PATH
    QString command; // the template
};

// Every editor with a ready template, in the order they are offered.
const std::vector<EditorTemplate>& readyTemplates();
// Those whose program is found on PATH.
std::vector<EditorTemplate> installedTemplates();
// The first installed template; else the desktop's opener (no line).
QString defaultCommand();

// The program and arguments for a template; empty when it names no program.
QStringList expandCommand(const QString& command, const QString& path, long line, int column);

// talvo.ini: the section and key of the template.
extern const char* const kViewSection;
extern const char* const kEditorCommandKey;
// The stored template, or "" when none is stored.
QString loadCommand(const std::string& iniPath);
bool saveCommand(const std::string& iniPath, const QString& command);

} // namespace talvo::view
