// The packet header rules on bytes alone (no Win32), so the check every
// reader makes also builds natively, for fuzzing.
#include "FrameSize.h"

bool FrameMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time) {
    if (!packet || imageSize > kFrameMaxImageBytes) return false;
    const int code = FrameSizeCode(imageSize);
    if (code <= 0) return false;
    packet[0] = 0;
    packet[1] = 1;
    packet[2] = 1;
    packet[3] = static_cast<uint8_t>(code);  // at most 18 for the channel's size
    FramePutU32(packet + 4, static_cast<uint32_t>(time));
    FramePutU32(packet + 8, imageSize);
    return true;
}

bool FrameHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize) {
    if (!header) return false;
    const FrameHeader h = FrameReadHeader(header);
    if (h.valid1 == 0 || h.valid2 == 0) return false;
    if (h.code <= 0 || h.time == 0 || h.imageSize == 0) return false;
    // Whole seconds: a frame of this second or the previous one is current,
    // so one written just before the second turned is still taken; one of
    // two or more seconds ago is stale (the writer has stopped or stalled),
    // and so is one from a later second. Computed in 32 bits, as stored.
    const uint32_t age = static_cast<uint32_t>(now) - static_cast<uint32_t>(h.time);
    if (age > 1) return false;
    if (h.imageSize > kFrameMaxImageBytes) return false;
    // The image must be exactly the 24-bit picture the size code names:
    // readers copy image-size bytes when the code is theirs and scale a
    // (code x 80) x (code x 60) picture otherwise, so a header whose two
    // fields disagree would make one of them read past the picture. (Codes
    // above 18 cannot pass: their picture is larger than the channel.)
    if (FrameCodePictureBytes(h.code) != h.imageSize) return false;
    imageSize = h.imageSize;
    return true;
}
