// Archive members: every format read back, stored names in code page 932,
// nested and broken archives, and the refusals of extraction. The archives
// are made here with libarchive's writer (lzh, which it cannot write, by
// hand).
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "talvo-grep/ext/archive.h"
#include "tests/support/program_dir.h"

using talvo::test::RunResult;

using namespace talvo::grep::ext;
namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    std::string data;
    std::string link; // symbolic link target when not empty
};

la_ssize_t appendOut(archive*, void* out, const void* p, size_t n) {
    static_cast<std::string*>(out)->append(static_cast<const char*>(p), n);
    return static_cast<la_ssize_t>(n);
}

// format: "zip", "7z", "tar"; filter: "", "gzip", "bzip2", "xz".
std::string makeArchive(const std::string& format, const std::string& filter,
                        const std::vector<Entry>& entries, const char* options = nullptr) {
    std::string out;
    archive* w = archive_write_new();
    if (format == "zip")
        archive_write_set_format_zip(w);
    else if (format == "7z")
        archive_write_set_format_7zip(w);
    else
        archive_write_set_format_pax_restricted(w);
    if (filter == "gzip")
        archive_write_add_filter_gzip(w);
    else if (filter == "bzip2")
        archive_write_add_filter_bzip2(w);
    else if (filter == "xz")
        archive_write_add_filter_xz(w);
    if (options) {
        EXPECT_EQ(archive_write_set_options(w, options), ARCHIVE_OK) << archive_error_string(w);
        archive_write_set_passphrase(w, "secret");
    }
    EXPECT_EQ(archive_write_open(w, &out, nullptr, appendOut, nullptr), ARCHIVE_OK);
    for (const Entry& e : entries) {
        archive_entry* en = archive_entry_new();
        archive_entry_set_pathname(en, e.name.c_str());
        if (!e.link.empty()) {
            archive_entry_set_filetype(en, AE_IFLNK);
            archive_entry_set_symlink(en, e.link.c_str());
        } else {
            archive_entry_set_filetype(en, AE_IFREG);
            archive_entry_set_size(en, static_cast<la_int64_t>(e.data.size()));
        }
        archive_entry_set_perm(en, 0644);
        archive_write_header(w, en);
        if (e.link.empty())
            archive_write_data(w, e.data.data(), e.data.size());
        archive_entry_free(en);
    }
    archive_write_close(w);
    archive_write_free(w);
    return out;
}

// One compressed stream (gzip, bzip2, xz) holding data, as gzip and the like write.
std::string makeCompressed(const std::string& filter, const std::string& data) {
    std::string out;
    archive* w = archive_write_new();
    archive_write_set_format_raw(w);
    if (filter == "gzip")
        archive_write_add_filter_gzip(w);
    else if (filter == "bzip2")
        archive_write_add_filter_bzip2(w);
    else
        archive_write_add_filter_xz(w);
    EXPECT_EQ(archive_write_open(w, &out, nullptr, appendOut, nullptr), ARCHIVE_OK);
    archive_entry* en = archive_entry_new();
    archive_entry_set_filetype(en, AE_IFREG);
    archive_entry_set_size(en, static_cast<la_int64_t>(data.size()));
    archive_write_header(w, en);
    archive_write_data(w, data.data(), data.size());
    archive_entry_free(en);
    archive_write_close(w);
    archive_write_free(w);
    return out;
}

void le(std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint16_t crc16(std::string_view d) {
    uint16_t crc = 0;
    for (unsigned char c : d) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = static_cast<uint16_t>(crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
    return crc;
}

// One stored (-lh0-) member with a level-0 header; name in its stored bytes.
std::string makeLzh(const std::string& storedName, const std::string& data) {
    std::string h = "-lh0-";
    le(h, static_cast<uint32_t>(data.size()), 4);
    le(h, static_cast<uint32_t>(data.size()), 4);
    le(h, 0x5A210000, 4); // a DOS date and time
    h.push_back(0x20);    // attribute: archive
    h.push_back(0);       // level 0
    h.push_back(static_cast<char>(storedName.size()));
    h += storedName;
    le(h, crc16(data), 2);
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    std::string out;
    out.push_back(static_cast<char>(h.size()));
    out.push_back(static_cast<char>(sum & 0xFF));
    return out + h + data + std::string(1, '\0');
}

struct Collected {
    std::map<std::string, std::string> members; // path -> data
    std::map<std::string, std::string> tops;    // path -> outer member
    std::vector<std::string> messages;
    ArchiveRead result;
};

Collected readAll(const std::string& data, const std::string& name = "a.arc",
                  const ArchiveLimits& lim = {}) {
    Collected c;
    c.result = readArchive(
        data, name, lim,
        [&](const ArchiveMember& m) {
            std::string bytes(m.head);
            if (!m.whole) {
                char buf[4096];
                size_t got = 0;
                std::string why;
                while (m.readMore(buf, sizeof buf, got, why) && got > 0)
                    bytes.append(buf, got);
                if (!why.empty())
                    c.messages.push_back(m.path + ": " + why);
            }
            c.members[m.path] = bytes;
            c.tops[m.path] = m.topLevel;
            return true;
        },
        [&](const std::string& text, bool) { c.messages.push_back(text); });
    return c;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v)
        s += x + "\n";
    return s;
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/talvo-arc-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(ArchiveRead, EveryFormatGivesItsMembersInOrder) {
    std::vector<Entry> entries = {{"dir/a.txt", "first line\nシフト\n", ""},
                                  {"b.txt", std::string(100000, 'x'), ""}};
    for (auto [format, filter] : std::vector<std::pair<std::string, std::string>>{{"zip", ""},
                                                                                  {"7z", ""},
                                                                                  {"tar", ""},
                                                                                  {"tar", "gzip"},
                                                                                  {"tar", "bzip2"},
                                                                                  {"tar", "xz"}}) {
        std::string data = makeArchive(format, filter, entries);
        ASSERT_TRUE(looksLikeArchive("x.bin", data)) << format << filter;
        Collected c = readAll(data);
        EXPECT_FALSE(c.result.failed) << format << filter << joined(c.messages);
        ASSERT_EQ(c.members.size(), 2u) << format << filter;
        EXPECT_EQ(c.members["dir/a.txt"], entries[0].data);
        EXPECT_EQ(c.members["b.txt"], entries[1].data);
    }
}

TEST(ArchiveRead, CompressedSingleFileIsItsText) {
    // One word a line reads as an mtree list, text after zero bytes as an
    // empty tar, "070707" lines as cpio: each is still just compressed text.
    const std::string texts[] = {"apple\nbanana\ntest\n",
                                 std::string(1024, '\0') + "test after zeros\n",
                                 "070707000000000000000000000000000000000000000000000\ntest\n"};
    for (const char* filter : {"gzip", "bzip2", "xz"}) {
        for (const std::string& text : texts) {
            std::string data = makeCompressed(filter, text);
            ASSERT_TRUE(looksLikeArchive("words.gz", data));
            Collected c = readAll(data);
            EXPECT_FALSE(c.result.failed) << filter << joined(c.messages);
            ASSERT_EQ(c.members.size(), 1u) << filter << ": " << text.substr(0, 20);
            EXPECT_EQ(c.members[""], text) << filter;
        }
    }
    using talvo::test::ProgramDir;
    using talvo::test::runProgram;
    ProgramDir d(ProgramDir::Contents::BundledPrograms);
    d.write("words.gz", makeCompressed("gzip", texts[0]));
    RunResult r = runProgram(d.path(), {d.file("wgrep.com"), "-c", "-e", "test", "words.gz"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "words.gz:1\n");
}

TEST(ArchiveRead, LzhWithCodePage932NameComesOutInUtf8) {
    std::string data = makeLzh("\x93\xFA\x96\x7B\\\x95\x5C.txt", "lzh text\n");
    ASSERT_TRUE(looksLikeArchive("old.lzh", data));
    Collected c = readAll(data, "old.lzh");
    EXPECT_FALSE(c.result.failed) << joined(c.messages);
    ASSERT_EQ(c.members.size(), 1u) << joined(c.messages);
    // "表" ends in the byte of a backslash: it must not split the name.
    EXPECT_EQ(c.members.begin()->first, "日本/表.txt");
    EXPECT_EQ(c.members.begin()->second, "lzh text\n");
}

TEST(ArchiveRead, StoredNamesInUtf8OrCodePage932) {
    EXPECT_EQ(memberNameToUtf8("\x83\x74\x83\x40\x83\x43\x83\x8B.txt"), "ファイル.txt");
    EXPECT_EQ(memberNameToUtf8("ファイル/a.txt"), "ファイル/a.txt");
    EXPECT_EQ(memberNameToUtf8("dir\\x.txt"), "dir/x.txt");
    EXPECT_EQ(memberNameToUtf8("a\xFF"
                               "b"),
              "a\xEF\xBF\xBD"
              "b"); // no valid reading: replaced
}

TEST(ArchiveRead, NestedArchivesToAFixedDepth) {
    std::string inner = makeArchive("tar", "gzip", {{"deep.txt", "inside\n", ""}});
    std::string middle = makeArchive("zip", "", {{"in/inner.tgz", inner, ""}});
    std::string outer =
        makeArchive("zip", "", {{"middle.zip", middle, ""}, {"top.txt", "t\n", ""}});
    Collected c = readAll(outer, "outer.zip");
    EXPECT_EQ(c.members["middle.zip/in/inner.tgz/deep.txt"], "inside\n") << joined(c.messages);
    EXPECT_EQ(c.tops["middle.zip/in/inner.tgz/deep.txt"], "middle.zip");
    EXPECT_EQ(c.members["top.txt"], "t\n");

    ArchiveLimits shallow;
    shallow.maxDepth = 2;
    Collected d = readAll(outer, "outer.zip", shallow);
    EXPECT_EQ(d.members.count("middle.zip/in/inner.tgz/deep.txt"), 0u);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_NE(d.messages[0].find("outer.zip/middle.zip/in/inner.tgz"), std::string::npos);
}

TEST(ArchiveRead, BrokenTruncatedAndEncryptedArchivesAreNamed) {
    std::string good = makeArchive("zip", "", {{"a.txt", std::string(5000, 'a'), ""}});
    Collected ok = readAll(good, "good.zip");
    EXPECT_FALSE(ok.result.failed);

    std::string noise;
    for (uint32_t x = 1; noise.size() < 300000;) {
        x = x * 1103515245 + 12345;
        noise.push_back(static_cast<char>('a' + (x >> 16) % 26));
    }
    std::string tgz = makeArchive("tar", "gzip", {{"a.txt", noise, ""}});
    Collected cut = readAll(tgz.substr(0, tgz.size() / 2), "cut.tgz");
    EXPECT_TRUE(cut.result.failed);
    ASSERT_FALSE(cut.messages.empty());
    EXPECT_EQ(cut.messages[0].rfind("cut.tgz", 0), 0u) << cut.messages[0];
    EXPECT_EQ(cut.members.count("a.txt"), 0u); // a partial member is not handed on

    Collected junk = readAll(std::string("PK\x03\x04garbage", 11), "junk.zip");
    EXPECT_TRUE(junk.result.failed);

    Collected plain = readAll("just text\n", "notes.tar");
    EXPECT_TRUE(plain.result.notArchive);

    std::string locked = makeArchive("zip", "", {{"s.txt", "secret\n", ""}, {"open.txt", "o", ""}},
                                     "zip:encryption=zipcrypt");
    Collected enc = readAll(locked, "locked.zip");
    EXPECT_TRUE(enc.result.failed);
    EXPECT_EQ(enc.members.count("s.txt"), 0u);
    EXPECT_NE(joined(enc.messages).find("locked.zip/s.txt: encrypted"), std::string::npos)
        << joined(enc.messages);
}

TEST(ArchiveRead, CompressionBombIsStopped) {
    ArchiveLimits lim;
    lim.ratioFloor = 1 << 20;
    lim.maxRatio = 100;
    std::string bomb = makeArchive("tar", "xz", {{"zeros.txt", std::string(16 << 20, '\0'), ""}});
    Collected c = readAll(bomb, "bomb.txz", lim);
    EXPECT_TRUE(c.result.failed);
    EXPECT_EQ(c.members.size(), 0u);
    EXPECT_NE(joined(c.messages).find("bomb.txz/zeros.txt: stopped"), std::string::npos)
        << joined(c.messages);
}

TEST(ArchiveExtract, NamesLeadingOutsideAreRefused) {
    std::vector<std::string> parts;
    std::string why;
    for (const char* bad : {"../x", "/etc/x", "C:x", "c:/x", "..\\x", "a/../../x", "a/..", ""})
        EXPECT_FALSE(safeMemberPath(bad, parts, why)) << bad;
    ASSERT_TRUE(safeMemberPath("./a//b\\c.txt", parts, why));
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c.txt"}));
}

TEST(ArchiveExtract, WritesOnlyInsideNeverOverwritesNorFollowsLinks) {
    TempDir root, outside;
    fs::path dir = root.path() / "here";
    fs::create_directory(dir);
    std::ofstream(dir / "kept.txt") << "mine";
    fs::create_directory_symlink(outside.path(), dir / "link");
    std::string data = makeArchive("tar", "",
                                   {{"../evil.txt", "x", ""},
                                    {"sub/new.txt", "new\n", ""},
                                    {"kept.txt", "theirs", ""},
                                    {"link/through.txt", "x", ""},
                                    {"sl", "", "/etc/passwd"}});
    std::vector<std::string> messages;
    ExtractResult r = extractMembers(
        data, "t.tar", {"../evil.txt", "sub/new.txt", "kept.txt", "link/through.txt", "sl"},
        dir.string(), {}, [&](const std::string& m, bool) { messages.push_back(m); });
    EXPECT_EQ(r.written, 1) << joined(messages);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(slurp(dir / "sub/new.txt"), "new\n");
    EXPECT_EQ(slurp(dir / "kept.txt"), "mine");
    EXPECT_FALSE(fs::exists(root.path() / "evil.txt"));
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_FALSE(fs::exists(dir / "sl"));
    std::string all = joined(messages);
    EXPECT_NE(all.find("t.tar/kept.txt: kept.txt exists, not overwritten"), std::string::npos)
        << all;
    EXPECT_NE(all.find("t.tar/../evil.txt: not extracted"), std::string::npos) << all;
}

TEST(ArchiveExtract, StopsPastTheSizeLimitAndLeavesNoPart) {
    TempDir root;
    ArchiveLimits lim;
    lim.maxExtractBytes = 1 << 20;
    std::string data = makeArchive("zip", "", {{"big.txt", std::string(3 << 20, 'b'), ""}});
    std::vector<std::string> messages;
    ExtractResult r = extractMembers(data, "big.zip", {"big.txt"}, root.path().string(), lim,
                                     [&](const std::string& m, bool) { messages.push_back(m); });
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.written, 0);
    EXPECT_FALSE(fs::exists(root.path() / "big.txt"));
    EXPECT_NE(joined(messages).find("big.zip/big.txt: stopped"), std::string::npos);
}

TEST(ArchiveSearch, DialectsReportMembersAndExtractMatches) {
    using talvo::test::ProgramDir;
    using talvo::test::runProgram;
    ProgramDir d(ProgramDir::Contents::BundledPrograms);
    // A Shift-JIS member beside a UTF-8 one, and a broken archive after it.
    std::string sj = "\x83\x74\x83\x40\x83\x43\x83\x8B \x88\xEA\x97\x97\r\n"; // "ファイル 一覧"
    d.write("t.zip", makeArchive("zip", "", {{"dir/sj.txt", sj, ""}, {"u.txt", "none\n", ""}}));
    d.write("z.zip", std::string("PK\x03\x04"
                                 "broken"));
    RunResult r =
        runProgram(d.path(), {d.file("ygrep.exe"), "-z", "-e", "ファイル", "t.zip", "z.zip"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "t.zip/dir/sj.txt:ファイル 一覧\r\n");
    EXPECT_NE(r.err.find("z.zip: broken archive"), std::string::npos) << r.err;

    r = runProgram(d.path(), {d.file("wgrep.com"), "-h1", "-e", "ファイル", "t.zip"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "==> dir/sj.txt <==\nファイル 一覧\r\n");
    r = runProgram(d.path(), {d.file("wgrep.com"), "-d8", "-e", "ファイル", "t.zip"});
    EXPECT_EQ(r.out, "t.zip/dir/sj.txt:ファイル 一覧\r\n");

    r = runProgram(d.path(), {d.file("jgrep.exe"), "ファイル", "t.zip", "-y", "-z"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(fs::path(d.path()) / "dir/sj.txt"), sj);
    EXPECT_FALSE(fs::exists(fs::path(d.path()) / "u.txt")); // no match, not extracted
    r = runProgram(d.path(), {d.file("jgrep.exe"), "ファイル", "t.zip", "-y", "-z"});
    EXPECT_NE(r.err.find("exists, not overwritten"), std::string::npos) << r.err;
}

TEST(ArchiveSearch, EquivalencesApplyToMembersToo) {
    using talvo::test::ProgramDir;
    using talvo::test::runProgram;
    ProgramDir d(ProgramDir::Contents::BundledPrograms);
    // "ファイル", "ふぁいる" and "その他" in Shift-JIS.
    std::string sj = "\x83\x74\x83\x40\x83\x43\x83\x8B\r\n"
                     "\x82\xD3\x82\x9F\x82\xA2\x82\xE9\r\n"
                     "\x82\xBB\x82\xCC\x91\xBC\r\n";
    d.write("t.zip", makeArchive("zip", "", {{"sj.txt", sj, ""}}));
    RunResult r = runProgram(d.path(), {d.file("wgrep.com"), "-j3", "-e", "ﾌｧｲﾙ", "t.zip"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sj.txt:ファイル\r\nsj.txt:ふぁいる\r\n");
}
