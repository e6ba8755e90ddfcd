// One table of {name, function}; each function reports its own errors on the
// error stream and returns 0 or 1 like a program.
#include "talvo-cmd/builtins.h"

#include <cstdlib>
#include <string_view>

#include "talvo-cmd/lookup.h"

namespace talvo::cmd {

namespace {

constexpr const char* kSyntaxError = "The syntax of the command is incorrect.";
constexpr const char* kFileNotFound = "The system cannot find the file specified.";

void report(const BuiltinContext& context, std::string_view message) {
    sys::writeAll(context.io.err, std::string(message) + "\n");
}

// Drops the switches a batch-file user may write that change nothing here.
std::vector<std::string> withoutSwitches(const std::vector<std::string>& args,
                                         std::initializer_list<std::string_view> switches) {
    std::vector<std::string> kept;
    for (const auto& arg : args) {
        bool isSwitch = false;
        for (auto s : switches)
            isSwitch = isSwitch || equalIgnoringCase(arg, s);
        if (!isSwitch)
            kept.push_back(arg);
    }
    return kept;
}

bool hasWildcard(std::string_view name) {
    return name.find_first_of("*?") != name.npos;
}

int runCopy(const Invocation& inv, BuiltinContext& context) {
    auto args = withoutSwitches(inv.args, {"/y", "/-y", "/b", "/a", "/v"});
    if (args.empty() || args.size() > 2) {
        report(context, kSyntaxError);
        return 1;
    }
    auto source = existingPath(args[0]);
    if (!source || sys::fileKind(*source) == sys::FileKind::Missing) {
        report(context, kFileNotFound);
        return 1;
    }
    if (sys::fileKind(*source) == sys::FileKind::Directory) {
        report(context, "Access is denied.");
        return 1;
    }
    std::string sourceName = splitPath(*source).second;
    std::string target = args.size() == 2 ? args[1] : sourceName;
    if (sys::fileKind(target) == sys::FileKind::Directory)
        target = joinPath(target, sourceName);
    target = pathForWriting(target);
    if (target != "/dev/null" && sys::sameFile(*source, target)) {
        report(context, "The file cannot be copied onto itself.");
        return 1;
    }
    std::string error;
    bool ok = target == "/dev/null" || sys::copyFile(*source, target, error);
    if (!ok) {
        report(context, error);
        report(context, "        0 file(s) copied.");
        return 1;
    }
    sys::writeAll(context.io.out, "        1 file(s) copied.\n");
    return 0;
}

int runDel(const Invocation& inv, BuiltinContext& context) {
    auto args = withoutSwitches(inv.args, {"/q", "/f", "/p"});
    if (args.empty()) {
        report(context, kSyntaxError);
        return 1;
    }
    int status = 0;
    for (const auto& arg : args) {
        std::vector<std::string> paths;
        auto [dir, name] = splitPath(arg);
        if (hasWildcard(name)) {
            for (const auto& entry : sys::listDirectory(dir))
                if (wildcardMatch(name, entry) &&
                    sys::fileKind(joinPath(dir, entry)) == sys::FileKind::Regular)
                    paths.push_back(joinPath(dir, entry));
        } else if (auto path = existingPath(arg)) {
            if (sys::fileKind(*path) == sys::FileKind::Directory) {
                report(context, "DEL removes files only: " + arg);
                status = 1;
                continue;
            }
            if (*path != "/dev/null")
                paths.push_back(*path);
        } // a file that is not there is no error
        for (const auto& path : paths) {
            std::string error;
            if (!sys::removeFile(path, error)) {
                report(context, path + ": " + error);
                status = 1;
            }
        }
    }
    return status;
}

int runEcho(const Invocation& inv, BuiltinContext& context) {
    std::string text = inv.text;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    if (inv.bare) {
        if (text.empty())
            return sys::writeAll(context.io.out, "ECHO is on.\n") ? 0 : 1;
        if (equalIgnoringCase(text, "on") || equalIgnoringCase(text, "off"))
            return 0; // commands are never echoed here
    }
    return sys::writeAll(context.io.out, text + "\n") ? 0 : 1;
}

int runType(const Invocation& inv, BuiltinContext& context) {
    if (inv.args.empty()) {
        report(context, kSyntaxError);
        return 1;
    }
    int status = 0;
    for (const auto& arg : inv.args) {
        if (sys::terminationRequested())
            return 1;
        std::string error;
        auto path = existingPath(arg);
        sys::Fd in = path ? sys::openForReading(*path, error) : sys::Fd();
        if (!path)
            error = kFileNotFound;
        // "TYPE f >> f" would read its own output until the disk is full.
        if (in.valid() && sys::sameRegularFile(in.get(), context.io.out)) {
            report(context, "The file cannot be typed onto itself. (" + arg + ")");
            status = 1;
            continue;
        }
        if (!in.valid() || !sys::copyStream(in.get(), context.io.out)) {
            if (!error.empty())
                report(context, error + " (" + arg + ")");
            status = 1;
        }
    }
    return status;
}

int runCd(const Invocation& inv, BuiltinContext& context) {
    auto args = withoutSwitches(inv.args, {"/d"});
    if (args.empty())
        return sys::writeAll(context.io.out, sys::currentDirectory() + "\n") ? 0 : 1;
    // Like the command it imitates, CD takes a directory with blanks unquoted.
    std::string dir = args[0];
    for (std::size_t i = 1; i < args.size(); ++i)
        dir += " " + args[i];
    std::string error;
    if (!sys::changeDirectory(existingPath(dir).value_or(dir), error)) {
        report(context, error);
        return 1;
    }
    return 0;
}

int runRem(const Invocation&, BuiltinContext&) {
    return 0;
}

int runExit(const Invocation& inv, BuiltinContext& context) {
    auto args = withoutSwitches(inv.args, {"/b"});
    context.exitRequested = true;
    if (args.empty())
        return context.lastStatus;
    return std::atoi(args[0].c_str()) & 0xFF;
}

constexpr Builtin kBuiltins[] = {
    {"copy", runCopy}, {"del", runDel},  {"erase", runDel}, {"echo", runEcho}, {"type", runType},
    {"cd", runCd},     {"chdir", runCd}, {"rem", runRem},   {"exit", runExit},
};

// Characters that may join ECHO or CD to its argument without a blank.
bool joinsArgument(std::string_view name, char c) {
    if (name == "echo")
        return std::string_view(".:(;,=+[]/\\").find(c) != std::string_view::npos;
    if (name == "cd" || name == "chdir")
        return c == '.' || c == '/';
    return false;
}

} // namespace

std::optional<std::pair<const Builtin*, Invocation>> findBuiltin(const Command& command) {
    if (command.words.empty())
        return std::nullopt;
    const Word& first = command.words.front();
    std::string_view written =
        std::string_view(command.source).substr(first.begin, first.end - first.begin);
    for (const Builtin& builtin : kBuiltins) {
        std::string_view name = builtin.name;
        Invocation inv;
        inv.name = builtin.name;
        if (equalIgnoringCase(first.text, name)) {
            inv.text = command.source.substr(first.end);
            if (!inv.text.empty() && (inv.text[0] == ' ' || inv.text[0] == '\t'))
                inv.text.erase(0, 1);
        } else if (written.size() > name.size() &&
                   equalIgnoringCase(written.substr(0, name.size()), name) &&
                   joinsArgument(name, written[name.size()])) {
            inv.bare = false;
            std::size_t rest = first.begin + name.size();
            inv.text = command.source.substr(rest + 1); // after the joining character
            inv.args.push_back(first.text.substr(name.size()));
            if (name == "echo")
                inv.args.clear();
        } else {
            continue;
        }
        for (std::size_t i = 1; i < command.words.size(); ++i)
            inv.args.push_back(command.words[i].text);
        return std::pair{&builtin, std::move(inv)};
    }
    return std::nullopt;
}

} // namespace talvo::cmd
