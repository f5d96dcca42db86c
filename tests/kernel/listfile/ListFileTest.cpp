#include <gtest/gtest.h>

#include <cstdint>

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
    void SetUp() override { m_dir = zxtest::MakeTempDir("listfile"); }
    std::string File(const char* name) { return m_dir + name; }
    std::string m_dir;
};

TEST_F(ListFileTest, EmptyListsAreTheBareHeaderAndTheCountZero) {
    CListFile::Save(File("a.dat"), {}, LIST_FILE_NO_COUNT);
    CListFile::Save(File("b.dat"), {}, LIST_FILE_WITH_COUNT);
    EXPECT_EQ(zxtest::ReadFile(File("a.dat")), "ver1.0");
    EXPECT_EQ(zxtest::ReadFile(File("b.dat")), "ver1.0" + U32(0));
    std::vector<std::string> out{"stale"};
    EXPECT_TRUE(CListFile::Load(File("a.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(CListFile::Load(File("b.dat"), out, LIST_FILE_WITH_COUNT));
    EXPECT_TRUE(out.empty());
}

TEST_F(ListFileTest, BothLayoutsRoundTripUtf8PathsInOrder) {
    const std::string longest(780, 'x');                   // the longest path an entry holds
    std::string chinese;
    for (int i = 0; i < 260; ++i) chinese += "\xE8\xA7\x86";  // 260 x 视: 780 bytes
    const std::vector<std::string> paths = {"C:\\Videos\\a.mp4", "D:\\照片\\假期 2026\\海边.jpg", "", longest, chinese,
                                            "C:\\e\xF0\x9F\x98\x80.gif"};
    for (eListFileLayout layout : {LIST_FILE_NO_COUNT, LIST_FILE_WITH_COUNT}) {
        std::string file = File(layout == LIST_FILE_NO_COUNT ? "MediaFileList.dat" : "VideoList.dat");
        CListFile::Save(file, paths, layout);
        std::vector<std::string> out;
        EXPECT_TRUE(CListFile::Load(file, out, layout));
        EXPECT_EQ(out, paths);
    }
    // The bytes on disk: header, (count,) then length-prefixed paths.
    std::string expected = "ver1.0" + U32(6);
    for (const std::string& p : paths) expected += Entry(p);
    EXPECT_EQ(zxtest::ReadFile(File("VideoList.dat")), expected);
}

TEST_F(ListFileTest, AnEntryOverTheLimitEndsTheList) {
    ASSERT_TRUE(zxtest::WriteFile(File("over.dat"), "ver1.0" + Entry("C:\\ok.jpg") + Entry(std::string(781, 'y')) +
                                                        Entry("C:\\after.jpg")));
    std::vector<std::string> out;
    EXPECT_TRUE(CListFile::Load(File("over.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_EQ(out, std::vector<std::string>{"C:\\ok.jpg"});
    ASSERT_TRUE(zxtest::WriteFile(File("only.dat"), "ver1.0" + Entry(std::string(781, 'y'))));
    EXPECT_TRUE(CListFile::Load(File("only.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_TRUE(out.empty());
}

TEST_F(ListFileTest, ACountLargerThanTheEntriesKeepsThemButFails) {
    ASSERT_TRUE(zxtest::WriteFile(File("short.dat"), "ver1.0" + U32(3) + Entry("a") + Entry("b")));
    std::vector<std::string> out;
    EXPECT_FALSE(CListFile::Load(File("short.dat"), out, LIST_FILE_WITH_COUNT));
    EXPECT_EQ(out, (std::vector<std::string>{"a", "b"}));
}

TEST_F(ListFileTest, AnyHeaderBytesAreAccepted) {
    ASSERT_TRUE(zxtest::WriteFile(File("other.dat"), "XYZ987" + Entry("C:\\a.avi")));
    std::vector<std::string> out;
    EXPECT_TRUE(CListFile::Load(File("other.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_EQ(out, std::vector<std::string>{"C:\\a.avi"});
}

TEST_F(ListFileTest, EmbeddedZeroCutsThePath) {
    ASSERT_TRUE(zxtest::WriteFile(File("zero.dat"), "ver1.0" + Entry(std::string("C:\\a\0hidden", 11)) + Entry("b")));
    std::vector<std::string> out;
    EXPECT_TRUE(CListFile::Load(File("zero.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_EQ(out, (std::vector<std::string>{"C:\\a", "b"}));
}

TEST_F(ListFileTest, TruncatedFilesYieldTheEntriesBeforeTheDamage) {
    const std::string full = "ver1.0" + U32(2) + Entry("first") + Entry("second");
    std::vector<std::string> out;
    // Cut inside the second path, inside its length field, and inside the count.
    ASSERT_TRUE(zxtest::WriteFile(File("t1.dat"), full.substr(0, full.size() - 2)));
    EXPECT_FALSE(CListFile::Load(File("t1.dat"), out, LIST_FILE_WITH_COUNT));
    EXPECT_EQ(out, std::vector<std::string>{"first"});
    ASSERT_TRUE(zxtest::WriteFile(File("t2.dat"), full.substr(0, 10 + 4 + 5 + 2)));
    EXPECT_FALSE(CListFile::Load(File("t2.dat"), out, LIST_FILE_WITH_COUNT));
    EXPECT_EQ(out, std::vector<std::string>{"first"});
    ASSERT_TRUE(zxtest::WriteFile(File("t3.dat"), full.substr(0, 8)));
    EXPECT_FALSE(CListFile::Load(File("t3.dat"), out, LIST_FILE_WITH_COUNT));
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(zxtest::WriteFile(File("t4.dat"), "ver1"));
    EXPECT_FALSE(CListFile::Load(File("t4.dat"), out, LIST_FILE_NO_COUNT));
    EXPECT_FALSE(CListFile::Load(File("missing.dat"), out, LIST_FILE_NO_COUNT));
}

TEST_F(ListFileTest, AFileThatCannotBeCreatedIsLeftAlone) {
    CListFile::Save(m_dir + "no such folder\\x.dat", {"a"}, LIST_FILE_NO_COUNT);
    EXPECT_FALSE(File::IsExistFile(m_dir + "no such folder\\x.dat"));
    // A folder in the way of the file.
    ASSERT_TRUE(Dir::MakeDir(File("dir.dat")));
    CListFile::Save(File("dir.dat"), {"a"}, LIST_FILE_NO_COUNT);
    EXPECT_TRUE(Dir::IsDirectory(File("dir.dat")));
}

}  // namespace
