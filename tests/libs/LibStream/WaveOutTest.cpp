#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "LibWaveOut/LibWaveOut.h"

TEST(LibWaveOut, ListsDevicesWithNames) {
    unsigned n = LibWaveOut::GetWaveOutDevNums();
    ASSERT_GE(n, 1u);
    for (unsigned i = 0; i < n; ++i) {
        char name[260];
        int len = LibWaveOut::GetWaveOutNameByIdx(name, sizeof(name), i);
        ASSERT_GT(len, 0) << "device " << i;
        EXPECT_EQ(std::strlen(name), static_cast<size_t>(len));
    }
}

TEST(LibWaveOut, RefusesBadIndexAndCutsToTheBuffer) {
    char name[260] = "x";
    EXPECT_EQ(LibWaveOut::GetWaveOutNameByIdx(name, sizeof(name), LibWaveOut::GetWaveOutDevNums()), -1);
    EXPECT_EQ(name[0], '\0');
    EXPECT_EQ(LibWaveOut::GetWaveOutNameByIdx(nullptr, 260, 0), -1);
    EXPECT_EQ(LibWaveOut::GetWaveOutNameByIdx(name, 0, 0), -1);

    char full[260];
    int len = LibWaveOut::GetWaveOutNameByIdx(full, sizeof(full), 0);
    ASSERT_GT(len, 2);
    char small[3];
    int cut = LibWaveOut::GetWaveOutNameByIdx(small, sizeof(small), 0);
    EXPECT_LE(cut, 2);
    EXPECT_EQ(std::strlen(small), static_cast<size_t>(cut));
    EXPECT_EQ(std::string(full, static_cast<size_t>(cut)), std::string(small));
}
