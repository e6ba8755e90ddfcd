// The searcher on arbitrary file bytes under any dialect's options. Built
// twice: reading the file whole, and (TALVO_FUZZ_WINDOWED) window by window
// through small windows after a first window of the usual size, the input
// placed at the end of that first window so that windows end inside it.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "talvo-grep/searcher.h"
#include "tests/fuzz/grep_input.h"

namespace {

std::string g_path;

// Compiling dominates a run, and most new inputs change the file, not the
// command line: the matchers of the last command lines are kept.
const talvo::grep::Matcher* cachedMatcher(const talvo::fuzz::GrepInput& in,
                                          const talvo::grep::Options& o) {
    static std::map<std::string, std::unique_ptr<talvo::grep::Matcher>> cache;
    std::string key(1, static_cast<char>(in.dialect));
    for (const auto& a : in.args)
        key += a + '\0';
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second.get();
    if (cache.size() >= 16)
        cache.erase(cache.begin());
    std::string error;
    auto matcher = talvo::grep::Matcher::create(o.match, error);
    return cache.emplace(key, std::move(matcher)).first->second.get();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#ifdef TALVO_FUZZ_WINDOWED
    setenv("TALVO_GREP_WINDOW", "97", 1);
#endif
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    g_path = std::string(base) + "/talvo-fuzz-search-" + std::to_string(getpid()) + ".txt";
    std::atexit([] { unlink(g_path.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvo::grep;
    auto in = talvo::fuzz::splitGrepInput(data, size);
    ParseResult parsed = parseCommandLine(in.dialect, in.args);
    if (!parsed.error.empty() || parsed.options.match.patterns.empty())
        return 0;
    Options& o = parsed.options;
    o.extractMatches = false; // never write members into the current directory
    const Matcher* matcher = cachedMatcher(in, o);
    if (!matcher)
        return 0;

    std::string bytes(in.file);
#ifdef TALVO_FUZZ_WINDOWED
    // One line of blanks fills the first window (a mebibyte) but for the
    // input's first bytes; the later, small windows cut through the rest.
    if (!bytes.empty()) {
        std::string filled((1 << 20) - std::min<std::size_t>(bytes.size(), 200), ' ');
        filled.back() = '\n';
        bytes = filled + bytes;
    }
#endif
    {
        std::ofstream out(g_path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            return 0;
    }
    Searcher searcher(o, *matcher, true);
    ScanContext ctx;
    FileResult result;
    std::atomic<long> totalLeft(o.maxTotal > 0 ? o.maxTotal : -1);
    searcher.search({g_path, "input.txt"}, ctx, result, totalLeft);
    return 0;
}
