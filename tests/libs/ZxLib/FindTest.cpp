#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

const std::string kChinese = "\xE8\xBE\xB9\xE6\xA1\x86";  // 边框

TEST(FindAllFiles, MatchesWholeLongNamesWithoutRegardToCase) {
    EXPECT_TRUE(Dir::MatchFileName("a.gif", "*.gif"));
    EXPECT_TRUE(Dir::MatchFileName("A.GIF", "*.gif"));
    EXPECT_TRUE(Dir::MatchFileName(".gif", "*.gif"));
    EXPECT_TRUE(Dir::MatchFileName("x.tar.gif", "*.gif"));
    EXPECT_FALSE(Dir::MatchFileName("a.gifx", "*.gif")) << "no 8.3-style match on the extension's start";
    EXPECT_FALSE(Dir::MatchFileName("a.gi", "*.gif"));
    EXPECT_FALSE(Dir::MatchFileName("agif", "*.gif"));
    EXPECT_TRUE(Dir::MatchFileName("ab.txt", "a?.t*"));
    EXPECT_FALSE(Dir::MatchFileName("a.txt", "a?.t*"));
    EXPECT_TRUE(Dir::MatchFileName("aXbXc", "a*b*c"));
    EXPECT_TRUE(Dir::MatchFileName("abcbc", "a*bc"));
    EXPECT_FALSE(Dir::MatchFileName("abcb", "a*bc"));
    EXPECT_TRUE(Dir::MatchFileName("anything", "*"));
    EXPECT_TRUE(Dir::MatchFileName(kChinese + ".GIF", "*.gif"));
    EXPECT_TRUE(Dir::MatchFileName(kChinese + ".gif", kChinese + "*"));
}

TEST(FindAllFiles, ListsMatchingFilesOfTheFolderInNameOrder) {
    std::string dir = zxtest::MakeTempDir("find" + kChinese);
    for (const std::string& name : {std::string("b.gif"), std::string("A.gif"), std::string("c.GIF"),
                                    kChinese + ".gif", std::string("d.gifx"), std::string("e.jpg")})
        ASSERT_TRUE(zxtest::WriteFile(dir + name, "x"));
    ASSERT_TRUE(Dir::MakeDir(dir + "folder.gif"));
    ASSERT_TRUE(Dir::MakeDir(dir + "sub"));
    ASSERT_TRUE(zxtest::WriteFile(dir + "sub\\deep.gif", "x"));

    std::vector<std::string> list = {"kept"};
    ASSERT_TRUE(Dir::FindAllFiles(list, dir, "*.gif", Dir::kFindFiles));
    EXPECT_EQ(list, (std::vector<std::string>{"kept", dir + "A.gif", dir + "b.gif", dir + "c.GIF",
                                              dir + kChinese + ".gif"}))
        << "appended, ordered ignoring case, no sub-folders, no folders";

    // The folder may be given without its trailing backslash.
    std::vector<std::string> again;
    ASSERT_TRUE(Dir::FindAllFiles(again, dir.substr(0, dir.size() - 1), "*.gif", Dir::kFindFiles));
    EXPECT_EQ(again, std::vector<std::string>(list.begin() + 1, list.end()));

    std::vector<std::string> folders;
    ASSERT_TRUE(Dir::FindAllFiles(folders, dir, "*", Dir::kFindFolders));
    EXPECT_EQ(folders, (std::vector<std::string>{dir + "folder.gif", dir + "sub"}));

    std::vector<std::string> both;
    ASSERT_TRUE(Dir::FindAllFiles(both, dir, "*.gif", Dir::kFindFiles | Dir::kFindFolders));
    EXPECT_EQ(both.size(), 5u);
    EXPECT_EQ(both[3], dir + "folder.gif");
}

TEST(FindAllFiles, EmptyFolderIsTrueAndMissingFolderIsFalse) {
    std::string dir = zxtest::MakeTempDir("empty");
    std::vector<std::string> list;
    EXPECT_TRUE(Dir::FindAllFiles(list, dir, "*.gif", Dir::kFindFiles));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(Dir::FindAllFiles(list, dir + "missing", "*.gif", Dir::kFindFiles));
    EXPECT_FALSE(Dir::FindAllFiles(list, "", "*.gif", Dir::kFindFiles));
    ASSERT_TRUE(zxtest::WriteFile(dir + "file.gif", "x"));
    EXPECT_FALSE(Dir::FindAllFiles(list, dir + "file.gif", "*", Dir::kFindFiles)) << "a file is not a folder";
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Dir::GetFileNameWithoutExtension("C:\\a\\b.c.gif"), "b.c");
}

}  // namespace
