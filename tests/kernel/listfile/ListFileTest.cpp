#include <gtest/gtest.h>

#include <cstdint>

#include <windows.h>

#include "KernelTestSupport.h"
#include "ListFile.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

std::string U32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string Entry(const std::string& path) { return U32(static_cast<uint32_t>(path.size())) + path; }

class ListFileTest : public testing::Test {
protected:
    // The log folder too is the test's own.
    void SetUp() override { m_dir = zxtest::RedirectUserFolders("listfile"); }
    std::string File(const char* name) { return m_dir + name; }
    std::string m_dir;
};

TEST_F(ListFileTest, BothLayoutsRoundTripUtf8PathsInOrder) {
    const std::string longest(780, 'x');                   // the longest path an entry holds
    std::string chinese;
    for (int i = 0; i < 260; ++i) chinese += "\xE8\xA7\x86";  // 260 x 视: 780 bytes
    const std::vector<std::string> paths = {"C:\\Videos\\a.mp4", "D:\\照片\\假期 2026\\海边.jpg", "", longest, chinese,
                                            "C:\\e\xF0\x9F\x98\x80.gif"};
    for (eListFileLayout layout : {LIST_FILE_NO_COUNT, LIST_FILE_WITH_COUNT}) {
        // An empty list is the bare header (and the count 0).
        const std::string empty = File(layout == LIST_FILE_NO_COUNT ? "a.dat" : "b.dat");
        CListFile::Save(empty, {}, layout);
        EXPECT_EQ(zxtest::ReadFile(empty), layout == LIST_FILE_NO_COUNT ? "ver1.0" : "ver1.0" + U32(0));
        std::vector<std::string> out{"stale"};
        EXPECT_TRUE(CListFile::Load(empty, out, layout));
        EXPECT_TRUE(out.empty());
        std::string file = File(layout == LIST_FILE_NO_COUNT ? "MediaFileList.dat" : "VideoList.dat");
        CListFile::Save(file, paths, layout);
        EXPECT_TRUE(CListFile::Load(file, out, layout));
        EXPECT_EQ(out, paths);
    }
    // The bytes on disk: header, (count,) then length-prefixed paths.
    std::string expected = "ver1.0" + U32(6);
    for (const std::string& p : paths) expected += Entry(p);
    EXPECT_EQ(zxtest::ReadFile(File("VideoList.dat")), expected);
}

TEST_F(ListFileTest, DamagedFilesYieldTheEntriesBeforeTheDamage) {
    const std::string full = "ver1.0" + U32(2) + Entry("first") + Entry("second");
    const std::string over = Entry(std::string(781, 'y'));
    typedef std::vector<std::string> Paths;
    struct Case {
        const char* what;
        std::string bytes;
        eListFileLayout layout;
        bool ok;
        Paths paths;
    } cases[] = {
        {"an entry over the limit ends the list", "ver1.0" + Entry("C:\\ok.jpg") + over + Entry("C:\\after.jpg"),
         LIST_FILE_NO_COUNT, true, {"C:\\ok.jpg"}},
        {"only an entry over the limit", "ver1.0" + over, LIST_FILE_NO_COUNT, true, {}},
        {"a count larger than the entries", "ver1.0" + U32(3) + Entry("a") + Entry("b"), LIST_FILE_WITH_COUNT, false,
         {"a", "b"}},
        {"any header bytes", "XYZ987" + Entry("C:\\a.avi"), LIST_FILE_NO_COUNT, true, {"C:\\a.avi"}},
        {"an embedded zero cuts the path", "ver1.0" + Entry(std::string("C:\\a\0hidden", 11)) + Entry("b"),
         LIST_FILE_NO_COUNT, true, {"C:\\a", "b"}},
        {"cut inside the second path", full.substr(0, full.size() - 2), LIST_FILE_WITH_COUNT, false, {"first"}},
        {"cut inside the second length", full.substr(0, 10 + 4 + 5 + 2), LIST_FILE_WITH_COUNT, false, {"first"}},
        {"cut inside the count", full.substr(0, 8), LIST_FILE_WITH_COUNT, false, {}},
        {"cut inside the header", "ver1", LIST_FILE_NO_COUNT, false, {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(zxtest::WriteFile(File("damaged.dat"), c.bytes));
        Paths out{"stale"};
        EXPECT_EQ(CListFile::Load(File("damaged.dat"), out, c.layout), c.ok) << c.what;
        EXPECT_EQ(out, c.paths) << c.what;
    }
    std::vector<std::string> out;
    EXPECT_FALSE(CListFile::Load(File("missing.dat"), out, LIST_FILE_NO_COUNT));
}

TEST_F(ListFileTest, OnlyBytesThatAreExactlyOneListAreWhole) {
    const std::string a = "ver1.0" + Entry("C:\\a.avi") + Entry("b");
    const std::string b = "ver1.0" + U32(2) + Entry("C:\\a.avi") + Entry("b");
    struct Case {
        const char* what;
        std::string bytes;
        eListFileLayout layout;
        bool whole;
    } cases[] = {
        {"a good list", a, LIST_FILE_NO_COUNT, true},
        {"a good counted list", b, LIST_FILE_WITH_COUNT, true},
        {"the bare header", "ver1.0", LIST_FILE_NO_COUNT, true},
        {"a byte too many", a + "x", LIST_FILE_NO_COUNT, false},
        {"cut inside a length", a.substr(0, a.size() - 3), LIST_FILE_NO_COUNT, false},
        {"cut inside a path", a.substr(0, a.size() - 1), LIST_FILE_NO_COUNT, false},
        {"an entry over the limit", "ver1.0" + Entry(std::string(781, 'y')), LIST_FILE_NO_COUNT, false},
        {"a count too large", "ver1.0" + U32(3) + Entry("a"), LIST_FILE_WITH_COUNT, false},
        {"a count too small", "ver1.0" + U32(0) + Entry("a"), LIST_FILE_WITH_COUNT, false},
        {"no count", "ver1.0", LIST_FILE_WITH_COUNT, false},
        {"nothing", "", LIST_FILE_NO_COUNT, false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out;
        bool whole = !c.whole;
        CListFile::Parse(c.bytes, out, c.layout, &whole);
        EXPECT_EQ(whole, c.whole) << c.what;
    }
}

TEST_F(ListFileTest, ADamagedListIsSetAsideBesideEarlierCopiesAndOnlyADeadWritersTemporaryFileIsRemoved) {
    const std::string file = File("x.dat");
    const std::string noise = kt::DamagedListFiles({"a"}, LIST_FILE_NO_COUNT)[0];
    ASSERT_TRUE(zxtest::WriteFile(file, noise));
    ASSERT_TRUE(zxtest::WriteFile(file + ".bad", "an older damaged list"));
    const std::string dead = kt::StaleTempOf(file);
    const std::string live = file + ".tmp" + std::to_string(GetCurrentProcessId()) + "_7";
    const std::string other = file + ".tmpnotes";
    for (const std::string& temp : {dead, live, other}) ASSERT_TRUE(zxtest::WriteFile(temp, "ver1"));
    std::string taken, copy;
    while (CListFile::TakeSetAside(taken, copy)) {
    }
    std::vector<std::string> out{"stale"};
    CListFile::LoadOrSetAside(file, out, LIST_FILE_NO_COUNT, "ListFileTest.txt", "ListFileTest");
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(File::IsExistFile(file));
    EXPECT_EQ(zxtest::ReadFile(file + ".bad"), "an older damaged list") << "an earlier copy is kept";
    EXPECT_EQ(zxtest::ReadFile(file + ".1.bad"), noise);
    // Damaged again: the next number.
    ASSERT_TRUE(zxtest::WriteFile(file, "ver"));
    CListFile::LoadOrSetAside(file, out, LIST_FILE_NO_COUNT, "ListFileTest.txt", "ListFileTest");
    EXPECT_EQ(zxtest::ReadFile(file + ".2.bad"), "ver");
    EXPECT_EQ(zxtest::ReadFile(file + ".1.bad"), noise);
    // Each copy is told once, oldest first.
    ASSERT_TRUE(CListFile::TakeSetAside(taken, copy));
    EXPECT_EQ(taken, file);
    EXPECT_EQ(copy, file + ".1.bad");
    ASSERT_TRUE(CListFile::TakeSetAside(taken, copy));
    EXPECT_EQ(copy, file + ".2.bad");
    EXPECT_FALSE(CListFile::TakeSetAside(taken, copy));
    EXPECT_EQ(kt::LogLinesWith("ListFileTest.txt", file), 2u);
    EXPECT_FALSE(File::IsExistFile(dead));
    EXPECT_TRUE(File::IsExistFile(live)) << "this process may be writing it";
    EXPECT_TRUE(File::IsExistFile(other)) << "not a temporary file of a save";
    // A missing list starts empty without a word; a whole one loads.
    CListFile::LoadOrSetAside(file, out, LIST_FILE_NO_COUNT, "ListFileTest.txt", "ListFileTest");
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(CListFile::Save(file, {"C:\\a.avi"}, LIST_FILE_NO_COUNT));
    CListFile::LoadOrSetAside(file, out, LIST_FILE_NO_COUNT, "ListFileTest.txt", "ListFileTest");
    EXPECT_EQ(out, std::vector<std::string>{"C:\\a.avi"});
    EXPECT_EQ(kt::LogLinesWith("ListFileTest.txt", file), 2u);
    EXPECT_FALSE(CListFile::TakeSetAside(taken, copy)) << "nothing more to tell";
}

}  // namespace
