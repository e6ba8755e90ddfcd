// The profile (INI) layer on arbitrary files and names. Input: section, key
// and value separated by NUL bytes, then the file's bytes. Reading never
// fails; a write keeps every byte outside the line it writes (after the
// file moves to UTF-8 when code page 932 cannot hold a name or value, or
// when the written file would otherwise read as UTF-8); an ASCII value written
// reads back as written, enclosing quotes included.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace {

std::string g_path;

std::string_view next(std::string_view& rest) {
    auto nul = rest.find('\0');
    std::string_view part = rest.substr(0, nul);
    rest.remove_prefix(nul == std::string_view::npos ? rest.size() : nul + 1);
    return part;
}

bool isPlainAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    return true;
}

std::string_view withoutBom(std::string_view s) {
    if (s.substr(0, 3) == "\xEF\xBB\xBF")
        s.remove_prefix(3);
    return s;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "profile property broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    g_path = std::string(base) + "/talvo-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    std::atexit([] { unlink(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvo::platform;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string section(next(rest)), key(next(rest)), value(next(rest));
    std::string before(rest);
    if (!writeWholeFile(g_path, before))
        return 0;

    getProfileString(g_path, section, key, value, 1 + size % 300);
    getProfileString(g_path, section, key, "", 0);
    getProfileInt(g_path, section, key, 7);

    // Names and values reach the layer as UTF-8 from the settings.
    section = utf8Repaired(section);
    key = utf8Repaired(key);
    value = utf8Repaired(value);
    if (!writeProfileString(g_path, section, key, value))
        return 0;
    auto after = readWholeFile(g_path);
    if (!after)
        fail("the written file cannot be read");

    // The old text as the new file holds it: moved to UTF-8 when the file was
    // read as code page 932 and now is read as UTF-8.
    std::string old(withoutBom(before));
    if (!readsAsUtf8(before) && readsAsUtf8(*after))
        old = cp932ToUtf8KeepingInvalid(old);
    std::string_view now = withoutBom(*after);

    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    std::string_view replaced = std::string_view(old).substr(prefix, old.size() - prefix - suffix);
    if (replaced.find('\n') != std::string_view::npos)
        fail("bytes beyond the written line changed");

    if (isPlainAscii(section) && isPlainAscii(key) && isPlainAscii(value)) {
        std::string_view v = trimmed(value);
        if (getProfileString(g_path, section, key, "(default)", 4096) != v)
            fail("an ASCII value does not read back as written");
    }
    return 0;
}
