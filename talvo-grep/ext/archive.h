// Archive members for talvo-grep: zip, lzh (lha), tar (plain, gzip, bzip2,
// xz), 7z and single compressed files, read through libarchive.
// Member names come out in UTF-8 with "/" as separator: names stored without
// an encoding mark are taken as UTF-8 when they are valid UTF-8, else as code
// page 932 (old zip and lzh files). Archives inside archives are read to a
// fixed depth. A broken, truncated or encrypted archive or member gets a
// message naming it, and reading goes on where the format allows.
// Extraction writes only below the directory given: names that lead outside
// it are refused, no symbolic link is followed or created, an existing file
// is never overwritten, and unpacking stops past a total size or a
// compression ratio that real archives do not reach.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep::ext {

struct ArchiveLimits {
    int maxDepth = 3;                       // the outer archive is depth 1
    uint64_t maxMemberBytes = 512ull << 20; // an archive inside an archive, copied whole
    uint64_t maxTotalBytes = 8ull << 30;    // unpacked from one archive when searching
    uint64_t maxExtractBytes = 2ull << 30;  // written by one extraction
    double maxRatio = 1000;                 // unpacked bytes per packed byte
    uint64_t ratioFloor = 64ull << 20;      // the ratio is judged above this output
};

// True when the content marks an archive or compressed file (zip, 7z, lzh,
// ustar, gzip, bzip2, xz), or the name ends in ".tar" (old tar headers
// carry no mark).
bool looksLikeArchive(std::string_view name, std::string_view head);

struct ArchiveMember {
    // Path inside the archive, UTF-8; for a member of a nested archive the
    // nested archive's path, "/", and the path inside it. Empty for the one
    // stream of a compressed single file.
    std::string path;
    std::string topLevel; // the member of the outer archive that holds it
    // The member's bytes: all of them when whole, else its first bytes, and
    // readMore gives the rest: up to want bytes into dst, fewer only at its
    // end (0 there), false and why when the archive is broken there or
    // unpacks past a limit. A large member is never held whole.
    std::string_view head;
    bool whole = true;
    std::function<bool(char* dst, size_t want, size_t& got, std::string& why)> readMore;
};

// message(text, failure): text names the archive and member; failure marks
// what could not be done as asked (a note otherwise).
using ArchiveMessage = std::function<void(const std::string&, bool)>;

struct ArchiveRead {
    bool notArchive = false; // no archive format and no compression: search as a file
    bool failed = false;
};

// Calls onMember for every regular member in stored order until it returns
// false. name is the archive as shown in messages.
ArchiveRead readArchive(std::string_view data, const std::string& name, const ArchiveLimits& lim,
                        const std::function<bool(const ArchiveMember&)>& onMember,
                        const ArchiveMessage& message);
// The same for an archive in a regular file open as fd, of size bytes, of
// which head holds the first: read as it is unpacked, never held whole.
ArchiveRead readArchive(int fd, uint64_t size, std::string_view head, const std::string& name,
                        const ArchiveLimits& lim,
                        const std::function<bool(const ArchiveMember&)>& onMember,
                        const ArchiveMessage& message);

struct ExtractResult {
    int written = 0;
    int skipped = 0; // existing files left alone
    bool failed = false;
};

// Writes the named members of the outer archive (ArchiveMember::topLevel
// names) below dir. A compressed single file ("" among the names) is written
// under the archive's base name without its last extension.
ExtractResult extractMembers(std::string_view data, const std::string& name,
                             const std::set<std::string>& members, const std::string& dir,
                             const ArchiveLimits& lim, const ArchiveMessage& message);
// The same from a regular file read at any offset; head: its first bytes.
ExtractResult extractMembers(int fd, uint64_t size, std::string_view head, const std::string& name,
                             const std::set<std::string>& members, const std::string& dir,
                             const ArchiveLimits& lim, const ArchiveMessage& message);

// The stored name in UTF-8 (see above), backslashes turned into "/".
std::string memberNameToUtf8(std::string_view stored);

// Splits a member name into the path parts to create below the extraction
// directory; false and why when it is absolute, has a drive letter, or
// climbs with "..".
bool safeMemberPath(std::string_view name, std::vector<std::string>& parts, std::string& why);

} // namespace talvo::grep::ext
