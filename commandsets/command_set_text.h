// Pure text rules of the command sets: key names, menu captions, the editor's
// list lines, the line-break marker that keeps a template on one file line,
// and the template stored for the current search. No file access here.
#pragma once

#include <string>
#include <string_view>

namespace talvo::commandsets {

inline constexpr int kMaxSets = 15;
// Values are read into a buffer of this size, so at most 499 bytes come back.
inline constexpr std::size_t kValueBufferSize = 500;
inline constexpr std::size_t kMaxValueBytes = kValueBufferSize - 1;

inline constexpr std::string_view kFileName = "talvolst.ini";
inline constexpr std::string_view kSection = "コマンドセット";
inline constexpr std::string_view kLineBreakMarker = "[↓]";
inline constexpr std::string_view kListSeparator = "：";
inline constexpr std::string_view kUntitledName = "（無題）";
inline constexpr std::string_view kMenuPlaceholder = "CommandSet";

// Removes space characters (code 32) at both ends; tabs, line breaks and
// full-width spaces stay.
std::string trimBlanks(std::string_view text);
bool isBlank(std::string_view text);

std::string nameKey(int setNumber);        // 名前[n]
std::string commandLineKey(int setNumber); // コマンドライン[n]

// '1' … '9' for sets 1 … 9, '0' for set 10, 'A' … 'E' for sets 11 … 15.
char accessCharacter(int setNumber);
// "&1: name" … "&E: name", the name without surrounding blanks.
std::string menuCaption(int setNumber, std::string_view name);

// A line of the editor's list: name, full-width colon, command line.
std::string listLine(std::string_view name, std::string_view commandLine);

// Command box text to its stored form: blanks around the whole text removed,
// then every line break (CR LF, or a lone LF or CR) replaced by the marker.
std::string lineBreaksToMarkers(std::string_view boxText);

// The same without removing the blanks around the text: how a list line shows
// the command box as typed.
std::string lineBreaksMarked(std::string_view text);
// Stored form to command box text: blanks removed, every marker replaced by
// lineBreak.
std::string markersToLineBreaks(std::string_view stored, std::string_view lineBreak = "\r\n");

// A name as stored: blanks removed; a line break (which a profile value
// cannot hold) becomes a blank.
std::string nameToStore(std::string_view boxText);

// The template stored for the current search: ".COM " after the base name for
// program 5, ".EXE " otherwise; program 4 puts the options after "$K $F".
std::string storedSearchTemplate(int programNumber, std::string_view baseName,
                                 std::string_view optionString);

} // namespace talvo::commandsets
