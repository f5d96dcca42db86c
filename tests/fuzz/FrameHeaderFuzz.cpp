// The channel's packet header check on any 12 bytes at any time: whatever
// it takes lies inside the channel and is exactly the picture its code
// names; and a header the writer makes is taken in its second and the next.
#include "FrameSize.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t header[kFrameHeaderBytes] = {};
    for (size_t i = 0; i < kFrameHeaderBytes && i < size; ++i) header[i] = data[i];
    const std::string rest(reinterpret_cast<const char*>(data) + (size < 12 ? size : 12), size < 12 ? 0 : size - 12);
    const int32_t now = static_cast<int32_t>(static_cast<uint32_t>(fuzz::Number(rest, 0, 4)));

    uint32_t imageSize = 0xDEADBEEF;
    if (FrameHeaderValid(header, now, imageSize)) {
        const FrameHeader h = FrameReadHeader(header);
        FUZZ_CHECK(imageSize == h.imageSize);
        FUZZ_CHECK(h.code >= 1 && h.code <= 18);
        FUZZ_CHECK(imageSize == FrameCodePictureBytes(h.code));
        FUZZ_CHECK(FrameSizeCode(imageSize) == h.code);
        FUZZ_CHECK(imageSize + kFrameHeaderBytes <= FrameControlOffset(kFrameChannelBytes));
        FUZZ_CHECK(static_cast<uint32_t>(now) - static_cast<uint32_t>(h.time) <= 1);
    } else {
        FUZZ_CHECK(imageSize == 0xDEADBEEF);
    }
    FUZZ_CHECK(!FrameHeaderValid(nullptr, now, imageSize));

    // A header made by the writer for an image size and time.
    const uint32_t size32 = static_cast<uint32_t>(fuzz::Number(rest, 4, 4));
    const int32_t time = static_cast<int32_t>(static_cast<uint32_t>(fuzz::Number(rest, 8, 4)));
    uint8_t made[kFrameHeaderBytes] = {};
    if (FrameMakeHeader(made, size32, time)) {
        const int code = FrameSizeCode(size32);
        FUZZ_CHECK(code >= 1 && size32 <= kFrameMaxImageBytes);
        const bool exact = FrameCodePictureBytes(code) == size32 && time != 0;
        uint32_t got = 0;
        FUZZ_CHECK(FrameHeaderValid(made, time, got) == exact);
        FUZZ_CHECK(FrameHeaderValid(made, static_cast<int32_t>(static_cast<uint32_t>(time) + 1u), got) == exact);
        FUZZ_CHECK(!FrameHeaderValid(made, static_cast<int32_t>(static_cast<uint32_t>(time) + 2u), got));
        if (exact) FUZZ_CHECK(got == size32);
    } else {
        FUZZ_CHECK(size32 > kFrameMaxImageBytes || FrameSizeCode(size32) <= 0);
    }
    // Every picture size a code names is made and taken again.
    const int code = 1 + static_cast<int>(fuzz::Number(rest, 12, 1) % 18);
    uint32_t got = 0;
    FUZZ_CHECK(FrameMakeHeader(made, FrameCodePictureBytes(code), 1000));
    FUZZ_CHECK(FrameHeaderValid(made, 1000, got) && got == FrameCodePictureBytes(code));
    return 0;
}
