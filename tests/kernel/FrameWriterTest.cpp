// The frame writer's cross-session copy of the channel: it publishes there
// whenever the Media Foundation camera has made it, and never makes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "GlobalChannel.h"
#include "ShareMem.h"
#include "TestSupport.h"
#include "VCamera.h"

TEST(FrameWriter, PublishesIntoTheCrossSessionChannelOnlyWhenItExists) {
    CVCamera writer;
    ASSERT_TRUE(writer.Init());
    VideoFrameFormat format;
    VideoFrameFormatInit(format, 640, 480);
    ASSERT_TRUE(writer.OnNotifyFrameSize(format));
    std::vector<BYTE> frame(format.bmiHeader.biSizeImage, 0x5A);
    writer.DealVideo(frame.data(), &format, VIDEO_STREAM_NONE);
    HANDLE made = OpenFileMappingA(FILE_MAP_READ, FALSE, kGlobalChannelFileName);
    EXPECT_EQ(nullptr, made) << "the writer made the cross-session channel itself";
    if (made) CloseHandle(made);

    // The camera's side makes it; the writer finds it within a second or so
    // of frames and publishes every frame there too.
    CShareMem global;
    ASSERT_TRUE(global.Open(kGlobalChannelFileName, kShareMemSize, kGlobalChannelReadEvent, kGlobalChannelWriteEvent));
    std::vector<uint8_t> packet(kShareMemSize);
    DWORD length = 0;
    const bool published = zxtest::WaitUntil([&] {
        writer.DealVideo(frame.data(), &format, VIDEO_STREAM_NONE);
        return global.Read(packet.data(), kShareMemSize, length);
    });
    EXPECT_TRUE(published);
    EXPECT_EQ(921612u, length);
    EXPECT_EQ(8, packet[3]);
    EXPECT_EQ(0x5A, packet[kShareMemHeaderSize + 1000]);
    writer.UnInit();
}
