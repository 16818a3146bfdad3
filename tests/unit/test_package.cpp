#include "resources/package.h"

#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

using namespace resources;
using testutil::TempDir;

namespace {

struct HandEntry {
    std::string name;
    std::string data;
};

void put_be(std::vector<uint8_t> &out, size_t at, uint32_t v) {
    out[at] = uint8_t(v >> 24);
    out[at + 1] = uint8_t(v >> 16);
    out[at + 2] = uint8_t(v >> 8);
    out[at + 3] = uint8_t(v);
}

// Lays a package out by hand from the file format, independently of the writer.
std::vector<uint8_t> hand_package(const std::vector<HandEntry> &entries) {
    size_t n = entries.size();
    std::vector<uint8_t> out = {0x44, 0x50, 0x01};
    out.resize(3 + 40 * n + 32, 0);
    uint32_t at = static_cast<uint32_t>(35 + 40 * n);
    for (size_t i = 0; i < n; i++) {
        std::memcpy(&out[3 + 40 * i], entries[i].name.data(), entries[i].name.size());
        put_be(out, 3 + 40 * i + 32, at);
        put_be(out, 3 + 40 * i + 36, at + static_cast<uint32_t>(entries[i].data.size()) - 1);
        at += static_cast<uint32_t>(entries[i].data.size());
    }
    for (const HandEntry &e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

// Reads an entry; "<missing>" when the reader says so.
std::string read_named(const std::string &path, const char *name) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return "<no file>";
    uint32_t size = 0xDEADBEEF;
    uint8_t *data = package_read_entry(f, name, &size);
    std::fclose(f);
    if (!data) return size == 0xDEADBEEF ? "<missing>" : "<missing but size written>";
    std::string s(reinterpret_cast<char *>(data), size);
    std::free(data);
    return s;
}

TEST(Package, LookupFollowsExactMatchFirstWinsAndEntryZeroRules) {
    TempDir dir;
    std::string pkg = dir.file("t.dpk");
    testutil::write_file(pkg, hand_package({{"a", "first a"}, {"ab", "ab data"}, {"a", "second a"}, {"empty", ""}}));
    struct Case {
        const char *name;
        const char *expected;
    } cases[] = {
        {"a", "first a"}, {"ab", "ab data"}, {"b", "<missing>"},   {"abc", "<missing>"},
        {"A", "<missing>"}, {"", "first a"}, {"empty", ""},        {"0123456789012345678901234567890123", "<missing>"},
    };
    for (const Case &c : cases) EXPECT_EQ(read_named(pkg, c.name), c.expected) << "name " << c.name;
}

TEST(Package, EmptyEntryReadsAsNonNullZeroSizeBlock) {
    TempDir dir;
    std::string pkg = dir.file("t.dpk");
    testutil::write_file(pkg, hand_package({{"z", ""}}));
    FILE *f = std::fopen(pkg.c_str(), "rb");
    uint32_t size = 99;
    uint8_t *data = package_read_entry(f, "z", &size);
    std::fclose(f);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(size, 0u);
    std::free(data);
}

TEST(Package, DamagedIndexesAnswerMissing) {
    TempDir dir;
    std::vector<uint8_t> good = hand_package({{"a", "hello"}, {"b", "world"}});
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *name;
    };
    std::vector<Case> cases;
    // The index runs off the end of the file before any terminator.
    cases.push_back({"index without terminator", std::vector<uint8_t>(good.begin(), good.begin() + 3 + 40 + 20), "b"});
    cases.push_back({"file shorter than one name", std::vector<uint8_t>(good.begin(), good.begin() + 10), "a"});
    cases.push_back({"name complete, offsets cut", std::vector<uint8_t>(good.begin(), good.begin() + 3 + 34), "a"});
    std::vector<uint8_t> past = good;
    put_be(past, 3 + 36, 100000); // last far past the end
    cases.push_back({"last past the end", past, "a"});
    std::vector<uint8_t> first_past = good;
    put_be(first_past, 3 + 32, 200000);
    put_be(first_past, 3 + 36, 200004);
    cases.push_back({"first past the end", first_past, "a"});
    std::vector<uint8_t> reversed = good;
    put_be(reversed, 3 + 32, 100);
    put_be(reversed, 3 + 36, 90);
    cases.push_back({"last below first - 1", reversed, "a"});
    std::vector<uint8_t> wrap = good;
    put_be(wrap, 3 + 32, 0);
    put_be(wrap, 3 + 36, 0xFFFFFFFF);
    cases.push_back({"size wraps to 0", wrap, "a"});
    cases.push_back({"empty file", {}, "a"});

    for (const Case &c : cases) {
        std::string pkg = dir.file("bad.dpk");
        testutil::write_file(pkg, c.bytes);
        testing::internal::CaptureStdout();
        EXPECT_EQ(read_named(pkg, c.name), "<missing>") << c.what;
        testing::internal::GetCapturedStdout();
        FILE *f = std::fopen(pkg.c_str(), "rb");
        uint32_t count = 0;
        PackageEntryInfo *entries = package_index_read(f, &count);
        std::fclose(f);
        // A listing either fails as a whole or flags the damaged entry.
        if (entries) {
            bool any_damaged = false;
            for (uint32_t i = 0; i < count; i++) any_damaged |= !entries[i].in_bounds;
            EXPECT_TRUE(any_damaged || count == 0) << c.what;
        }
        std::free(entries);
    }
    // The second entry of the good package is still fine when only the first is damaged.
    std::string pkg = dir.file("half.dpk");
    testutil::write_file(pkg, past);
    EXPECT_EQ(read_named(pkg, "b"), "world");
}

// Every lookup scans the index from its start, so an index of more than 16384 entries is damaged:
// names within the limit are found, the one beyond it and the listing are not.
TEST(Package, IndexBeyondTheEntryLimitIsDamaged) {
    TempDir dir;
    std::vector<HandEntry> entries;
    for (uint32_t i = 0; i <= kPackageMaxEntries; i++)
        entries.push_back({"e" + std::to_string(i), "x"});
    std::string pkg = dir.file("many.dpk");
    testutil::write_file(pkg, hand_package(entries));
    EXPECT_EQ(read_named(pkg, "e0"), "x");
    EXPECT_EQ(read_named(pkg, ("e" + std::to_string(kPackageMaxEntries - 1)).c_str()), "x");
    EXPECT_EQ(read_named(pkg, ("e" + std::to_string(kPackageMaxEntries)).c_str()), "<missing>");
    FILE *f = std::fopen(pkg.c_str(), "rb");
    uint32_t count = 0;
    EXPECT_EQ(package_index_read(f, &count), nullptr);
    std::fclose(f);
    entries.pop_back();
    testutil::write_file(pkg, hand_package(entries));
    f = std::fopen(pkg.c_str(), "rb");
    PackageEntryInfo *all = package_index_read(f, &count);
    std::fclose(f);
    EXPECT_EQ(count, kPackageMaxEntries);
    std::free(all);
}

TEST(Package, WriterMatchesTheFormatByteForByte) {
    TempDir dir;
    testutil::write_file(dir.file("one.txt"), std::string("12345"));
    testutil::write_file(dir.file("nothing"), std::string());
    std::filesystem::create_directories(dir.path / "sub");
    testutil::write_file(dir.file("sub/two.bin"), std::string("\x00\x01\x02", 3));
    EntryNode *list = entry_list_new();
    std::string src = dir.path.string() + "/";
    entry_list_append(list, "one.txt", src.c_str());
    entry_list_append(list, "nothing", src.c_str());
    entry_list_append(list, "sub/two.bin", src.c_str());
    ASSERT_TRUE(package_write(list, dir.file("out.dpk").c_str(), nullptr));
    entry_list_free(list);
    EXPECT_EQ(testutil::read_file(dir.file("out.dpk")),
              hand_package({{"one.txt", "12345"}, {"nothing", ""}, {"sub/two.bin", std::string("\x00\x01\x02", 3)}}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.dpk.partial")));
}

TEST(Package, EmptyListGivesHeaderAndTerminatorOnly) {
    TempDir dir;
    EntryNode *list = entry_list_new();
    ASSERT_TRUE(package_write(list, dir.file("e.dpk").c_str(), nullptr));
    entry_list_free(list);
    std::vector<uint8_t> bytes = testutil::read_file(dir.file("e.dpk"));
    ASSERT_EQ(bytes.size(), 35u);
    EXPECT_EQ(bytes, hand_package({}));
    EXPECT_EQ(read_named(dir.file("e.dpk"), "anything"), "<missing>");
    EXPECT_EQ(read_named(dir.file("e.dpk"), ""), "<missing>");
}

TEST(Package, WriterRefusesNamesThatDoNotFitAndLeavesNothing) {
    TempDir dir;
    std::string name31(31, 'n'), name32(32, 'n');
    testutil::write_file(dir.file(name31), std::string("ok"));
    testutil::write_file(dir.file(name32), std::string("too long"));
    std::string src = dir.path.string() + "/";
    const std::string *bad_names[] = {&name32, nullptr};
    for (const std::string *name : bad_names) {
        EntryNode *list = entry_list_new();
        entry_list_append(list, name31.c_str(), src.c_str());
        entry_list_append(list, name ? name->c_str() : "", src.c_str());
        testing::internal::CaptureStderr();
        EXPECT_FALSE(package_write(list, dir.file("x.dpk").c_str(), nullptr));
        EXPECT_NE(testing::internal::GetCapturedStderr().find("Error"), std::string::npos);
        entry_list_free(list);
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.dpk")));
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.dpk.partial")));
    }
    // A missing source file fails the same way, and an existing package is kept as it was.
    testutil::write_file(dir.file("x.dpk"), std::string("old"));
    EntryNode *list = entry_list_new();
    entry_list_append(list, "does-not-exist", src.c_str());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(package_write(list, dir.file("x.dpk").c_str(), nullptr));
    testing::internal::GetCapturedStderr();
    entry_list_free(list);
    EXPECT_EQ(testutil::read_file(dir.file("x.dpk")), testutil::bytes_of("old"));
}

TEST(Package, RewriteOntoItsOwnPathKeepsEveryEntry) {
    TempDir dir;
    std::string pkg = dir.file("self.dpk");
    testutil::write_file(pkg, hand_package({{"keep1", "alpha"}, {"drop", "zzz"}, {"keep2", "beta!"}}));
    testutil::write_file(dir.file("new.txt"), std::string("fresh"));
    EntryNode *list = entry_list_new();
    entry_list_append(list, "keep2", nullptr);
    entry_list_append(list, "new.txt", (dir.path.string() + "/").c_str());
    entry_list_append(list, "keep1", nullptr);
    FILE *source = std::fopen(pkg.c_str(), "rb");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(package_rewrite(list, pkg.c_str(), source));
    std::string progress = testing::internal::GetCapturedStdout();
    std::fclose(source);
    entry_list_free(list);
    EXPECT_EQ(progress, "count = 2\nNAME: keep2\nNAME: keep1\nsize=5\nsize of the file: 5\nsize=5\n");
    EXPECT_EQ(testutil::read_file(pkg), hand_package({{"keep2", "beta!"}, {"new.txt", "fresh"}, {"keep1", "alpha"}}));
}

TEST(Package, EntryListAppendRemoveClear) {
    EntryNode *list = entry_list_new();
    EXPECT_EQ(entry_list_count(list), 0);
    for (const char *n : {"a", "b", "c", "d"}) entry_list_append(list, n, nullptr);
    entry_list_remove(list, 0); // the head
    entry_list_remove(list, 1); // "c"
    std::string names;
    for (EntryNode *node = list; node->name; node = node->next) names += node->name;
    EXPECT_EQ(names, "bd");
    testing::internal::CaptureStdout();
    entry_list_remove(list, 2);
    entry_list_remove(list, 7);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: index not found!\nError: index not found!\n");
    EXPECT_EQ(entry_list_count(list), 2);
    entry_list_clear(list);
    EXPECT_EQ(entry_list_count(list), 0);
    entry_list_append(list, "again", "dir/");
    EXPECT_STREQ(list->name, "again");
    EXPECT_STREQ(list->source_dir, "dir/");
    entry_list_free(list);
}

TEST(Package, ListAndExtractGiveOwnerOnlyFilesAndSkipEscapingNames) {
    TempDir dir;
    std::string pkg = dir.file("x.dpk");
    testutil::write_file(pkg, hand_package({{"img/a.png", "PNGDATA"}, {"../evil", "no"}, {"b", "bee"}, {"b", "dup"}}));
    FILE *f = std::fopen(pkg.c_str(), "rb");
    EntryNode *names = package_list(f);
    std::string joined;
    for (EntryNode *node = names; node->name; node = node->next) joined += std::string(node->name) + ",";
    EXPECT_EQ(joined, "img/a.png,../evil,b,b,");
    entry_list_free(names);

    std::string out = dir.file("out") + "/";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(package_extract_all(f, out.c_str())); // the escaping name is refused
    testing::internal::GetCapturedStderr();
    std::fclose(f);
    EXPECT_EQ(testutil::read_file(out + "img/a.png"), testutil::bytes_of("PNGDATA"));
    EXPECT_EQ(testutil::read_file(out + "b"), testutil::bytes_of("bee")); // as the player reads "b"
    EXPECT_FALSE(std::filesystem::exists(dir.file("evil")));
    struct stat st;
    ASSERT_EQ(stat((out + "img/a.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Package, ExportTakesDiskFilesAndPackageEntries) {
    TempDir dir;
    std::string pkg = dir.file("x.dpk");
    testutil::write_file(pkg, hand_package({{"inpkg", "from package"}}));
    testutil::write_file(dir.file("ondisk"), std::string("from disk"));
    EntryNode *list = entry_list_new();
    entry_list_append(list, "inpkg", nullptr);
    entry_list_append(list, "ondisk", (dir.path.string() + "/").c_str());
    FILE *f = std::fopen(pkg.c_str(), "rb");
    std::string out = dir.file("exp") + "/";
    EXPECT_TRUE(package_export(list, f, out.c_str()));
    std::fclose(f);
    entry_list_free(list);
    EXPECT_EQ(testutil::read_file(out + "inpkg"), testutil::bytes_of("from package"));
    EXPECT_EQ(testutil::read_file(out + "ondisk"), testutil::bytes_of("from disk"));
}

} // namespace
