// Command line of talvo-grep in two stages: the dialect's flag table turns
// argv into raw flags, which are then checked and folded into one Options.
// Decision: each flag is one table entry (spelling, what it sets, help text in
// Japanese and English), so parsing and --help cannot drift apart.
#pragma once

#include "talvo-grep/ext/equivalence.h"
#include "talvo-grep/matcher.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

enum class Dialect { CGrep, DGrep, IzGrep, JGrep, JgSlim, WGrep, YGrep };

// "CGREP" etc.
const char* dialectName(Dialect d);
// From the name the program was started under: base name, any case, extension
// dropped ("DGREP.EXE", "wgrep.com", "/x/jgrep").
std::optional<Dialect> dialectFromProgramName(std::string_view argv0);

enum class HeaderMode { None, AllFiles, MatchingFiles };

struct Options {
    Dialect dialect = Dialect::CGrep;
    MatchSpec match;
    std::vector<std::string> fileSpecs; // as typed; empty = standard input
    bool recursive = false;
    bool invert = false;
    bool count = false;
    bool filesWithMatches = false;
    bool lineNumbers = false;
    bool tag = false;    // path(line): text
    bool silent = false; // exit status only
    bool quiet = false;  // no messages about unreadable files
    bool noFileName = false;
    bool onlyMatching = false; // each match on its own line
    bool fileNameSearch = false;
    bool byteOffset = false;
    bool fullPath = false;
    bool lowerCaseNames = false;
    bool pathAndLine = false; // "path:line:" even under a header
    bool conciseHeader = false;
    HeaderMode header = HeaderMode::None;
    // Archives are searched member by member ("archive.zip/dir/member.txt");
    // archiveNames false shows the member's path alone.
    bool archives = false;
    bool extractMatches = false; // members with a match go to the current directory
    bool archiveNames = true;
    bool memberHeadersOnMatch = false; // all-files headers, but none for members without a match
    // Japanese text: character equivalences, and blanks or line breaks between
    // the pattern's characters; both reach the matcher as match.rewrite.
    ext::Equivalences equivalences;
    ext::Blanks blanks;
    // Written around each match of a printed line when not empty.
    std::string markOpen, markClose;
    int before = 0, after = 0;
    long maxPerFile = -1; // selected lines per file, -1 = no limit
    long maxTotal = -1;   // selected lines in the whole run
    bool help = false;
    bool version = false;
};

struct ParseResult {
    Options options;
    std::string error; // non-empty: the message, exit status 2
};

// Parses the arguments after argv[0] for the dialect.
ParseResult parseCommandLine(Dialect d, const std::vector<std::string>& args);

// The dialect's --help text: usage, layouts, every flag in Japanese and English.
std::string helpText(Dialect d);

} // namespace talvo::grep
