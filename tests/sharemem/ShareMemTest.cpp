#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ShareMem.h"
#include "ShareMemTestSupport.h"
#include "TestSupport.h"
#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"

using shmtest::kFrameBytes;
using shmtest::Pattern;

namespace {

// A private channel: mapping and event names no other test or program uses.
struct ChannelNames {
    std::string mapping, readEvent, writeEvent;
};

ChannelNames UniqueChannel() {
    static std::atomic<int> counter{0};
    const std::string base =
        "ZxShmTest-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    return {base, base + "-read", base + "-write"};
}

bool OpenChannel(CShareMem& side, const ChannelNames& names, DWORD size = kShareMemSize) {
    return side.Open(names.mapping.c_str(), size, names.readEvent.c_str(), names.writeEvent.c_str());
}

// A view of the mapping of our own, to look at the bytes the channel holds.
class RawView {
public:
    RawView(const std::string& name, DWORD size) {
        m_mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, Charset::String2WString(name).c_str());
        if (m_mapping) m_view = static_cast<uint8_t*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, size));
    }
    ~RawView() {
        if (m_view) UnmapViewOfFile(m_view);
        if (m_mapping) CloseHandle(m_mapping);
    }
    RawView(const RawView&) = delete;
    RawView& operator=(const RawView&) = delete;
    uint8_t* bytes() const { return m_view; }

private:
    HANDLE m_mapping = nullptr;
    uint8_t* m_view = nullptr;
};

bool MappingExists(const std::string& name) {
    HANDLE h = OpenFileMappingW(FILE_MAP_READ, FALSE, Charset::String2WString(name).c_str());
    if (!h) return false;
    CloseHandle(h);
    return true;
}

// True when the named event is signalled; consumes the signal.
bool EventSignalled(const std::string& name) {
    HANDLE h = OpenEventW(SYNCHRONIZE, FALSE, Charset::String2WString(name).c_str());
    if (!h) return false;
    const bool signalled = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return signalled;
}

uint32_t U32At(const uint8_t* at) {
    uint32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

// A packet as the kernel's writer builds it: header stamped with time, then
// the pixels.
std::vector<uint8_t> MakePacket(const std::vector<uint8_t>& pixels, int32_t time) {
    std::vector<uint8_t> packet(kShareMemHeaderSize + pixels.size());
    EXPECT_TRUE(ShareMemMakeHeader(packet.data(), static_cast<uint32_t>(pixels.size()), time));
    std::memcpy(packet.data() + kShareMemHeaderSize, pixels.data(), pixels.size());
    return packet;
}

// Runs write-then-read with a packet built for the current second and
// repeats when the clock's second changed in between, so the result never
// depends on where in a second the test happens to run.
bool ReadWithinOneSecond(const std::function<void(int32_t now)>& write, CShareMem& reader, void* destination,
                         DWORD capacity, DWORD& length) {
    bool ok = false;
    // A loaded machine may straddle a second more than once; the bound only
    // guards against a hang.
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < zxtest::kHangGuardMs;) {
        const int32_t now = ShareMemNow();
        write(now);
        ok = reader.Read(destination, capacity, length);
        if (ShareMemNow() == now) break;
    }
    return ok;
}

}  // namespace

TEST(ShareMemHeader, SizeCodeIsTruncatedRootOfWholeUnits) {
    EXPECT_EQ(8, ShareMemSizeCode(921600));     // 640 x 480
    EXPECT_EQ(4, ShareMemSizeCode(230400));     // 320 x 240
    EXPECT_EQ(1, ShareMemSizeCode(14400));      // 80 x 60
    EXPECT_EQ(0, ShareMemSizeCode(14399));      // below one unit
    EXPECT_EQ(0, ShareMemSizeCode(0));
    EXPECT_EQ(2, ShareMemSizeCode(100000));     // 6 whole units, root 2.44
    EXPECT_EQ(7, ShareMemSizeCode(921599));     // 63 whole units, root 7.9
    EXPECT_EQ(18, ShareMemSizeCode(kShareMemMaxImageSize));
}

TEST(ShareMemHeader, MakeHeaderLaysOutFieldsAndRefusesUnusableSizes) {
    uint8_t packet[kShareMemHeaderSize];
    std::memset(packet, 0xEE, sizeof(packet));
    ASSERT_TRUE(ShareMemMakeHeader(packet, kFrameBytes, 0x12345678));
    const uint8_t expected[kShareMemHeaderSize] = {0, 1, 1, 8, 0x78, 0x56, 0x34, 0x12, 0x00, 0x10, 0x0E, 0x00};
    EXPECT_EQ(0, std::memcmp(expected, packet, sizeof(expected)));

    // A negative time stamp (a calendar time past 2038, low 32 bits) is
    // stored as its two's-complement bytes.
    ASSERT_TRUE(ShareMemMakeHeader(packet, 14400, -2));
    EXPECT_EQ(1, packet[3]);
    EXPECT_EQ(0xFFFFFFFEu, U32At(packet + 4));

    std::memset(packet, 0xEE, sizeof(packet));
    EXPECT_FALSE(ShareMemMakeHeader(packet, 14399, 5));                     // size code 0
    EXPECT_FALSE(ShareMemMakeHeader(packet, kShareMemMaxImageSize + 1, 5));  // larger than the channel
    EXPECT_FALSE(ShareMemMakeHeader(nullptr, kFrameBytes, 5));
    for (uint8_t b : packet) EXPECT_EQ(0xEE, b) << "a refused header must write nothing";
}

TEST(ShareMemHeader, ValidationAcceptsWriterHeadersAndRejectsDamage) {
    const int32_t now = 1700000000;
    uint8_t good[kShareMemHeaderSize];
    ASSERT_TRUE(ShareMemMakeHeader(good, kFrameBytes, now));
    uint32_t size = 0;
    EXPECT_TRUE(ShareMemHeaderValid(good, now, size));
    EXPECT_EQ(kFrameBytes, size);

    // Every picture a size code names is accepted, up to the largest that
    // fits the channel (code 18, 1440 x 1080).
    for (uint32_t code = 1; code <= 18; ++code) {
        const uint32_t s = code * code * 14400u;
        uint8_t h[kShareMemHeaderSize];
        ASSERT_TRUE(ShareMemMakeHeader(h, s, now));
        EXPECT_TRUE(ShareMemHeaderValid(h, now, size)) << s;
        EXPECT_EQ(s, size);
    }
    // A writer may stamp an image that is not such a picture (its code is
    // the truncated root), but no reader takes it: it would copy one size
    // and scale another.
    for (uint32_t s : {1000000u, 921601u, 2u * 921600u, static_cast<uint32_t>(kShareMemMaxImageSize)}) {
        uint8_t h[kShareMemHeaderSize];
        ASSERT_TRUE(ShareMemMakeHeader(h, s, now));
        size = 0xDEADBEEF;
        EXPECT_FALSE(ShareMemHeaderValid(h, now, size)) << s;
        EXPECT_EQ(0xDEADBEEFu, size);
    }

    auto rejected = [&](const std::function<void(uint8_t*)>& damage, int32_t readerNow) {
        uint8_t h[kShareMemHeaderSize];
        std::memcpy(h, good, sizeof(h));
        damage(h);
        uint32_t out = 0xDEADBEEF;
        const bool valid = ShareMemHeaderValid(h, readerNow, out);
        if (!valid) {
            EXPECT_EQ(0xDEADBEEFu, out) << "a rejected header must not set the size";
        }
        return !valid;
    };
    auto none = [](uint8_t*) {};
    auto setU32 = [](uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); };

    // Whole seconds: a frame written a millisecond before the second turned
    // is read in the next one, and is current; two seconds on it is stale.
    EXPECT_FALSE(rejected(none, now + 1)) << "a frame of the previous second is current";
    EXPECT_TRUE(rejected(none, now + 2)) << "a frame of two seconds ago is stale";
    EXPECT_TRUE(rejected(none, now + 3)) << "a frame of three seconds ago is stale";
    EXPECT_TRUE(rejected(none, now - 1)) << "a frame from the future is not taken either";
    EXPECT_TRUE(rejected(none, now - 5));
    EXPECT_TRUE(rejected([](uint8_t* h) { h[1] = 0; }, now)) << "valid flag clear";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[2] = 0; }, now)) << "second valid flag clear";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[3] = 0; }, now)) << "size code 0";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[3] = 0xF8; }, now)) << "negative size code";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[3] = 9; }, now)) << "a 720 x 540 picture is larger than the 921600 bytes stated";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[3] = 7; }, now)) << "a 560 x 420 picture is smaller than the 921600 bytes stated";
    EXPECT_TRUE(rejected([](uint8_t* h) { h[3] = 0x7F; }, now)) << "size code 127";
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, 921601); }, now)) << "one byte more than the picture";
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, 921599); }, now)) << "one byte less than the picture";
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 4, 0); }, 0)) << "time stamp 0";
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, 0); }, now)) << "image size 0";
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, kShareMemMaxImageSize + 1); }, now));
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, kShareMemSize); }, now));
    EXPECT_TRUE(rejected([&](uint8_t* h) { setU32(h + 8, 0xFFFFFFFFu); }, now));
    const uint8_t zero[kShareMemHeaderSize] = {};
    EXPECT_FALSE(ShareMemHeaderValid(zero, 0, size)) << "an all-zero channel holds no frame";
    EXPECT_FALSE(ShareMemHeaderValid(nullptr, now, size));

    // The reserved byte is not looked at.
    EXPECT_FALSE(rejected([](uint8_t* h) { h[0] = 0x5A; }, now));
}

TEST(ShareMemChannel, WriterPutsHeaderAndPixelsIntoTheMappingAndSignals) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names));
    ASSERT_TRUE(writer.IsOpen());

    RawView raw(names.mapping, kShareMemSize);
    ASSERT_NE(nullptr, raw.bytes());
    const std::vector<uint8_t> pixels = Pattern(kFrameBytes, 1);
    const std::vector<uint8_t> packet = MakePacket(pixels, ShareMemNow());
    EXPECT_FALSE(writer.Write(packet.data(), static_cast<DWORD>(packet.size())))
        << "a write reports false even when it worked";

    const uint8_t* m = raw.bytes();
    EXPECT_EQ(0, std::memcmp(packet.data(), m, packet.size())) << "header and pixels as written";
    EXPECT_TRUE(EventSignalled(names.readEvent)) << "each frame signals the read event";
    EXPECT_FALSE(EventSignalled(names.readEvent)) << "the read event resets itself";

    // A mapping created here starts zeroed beyond what was written.
    for (DWORD i = static_cast<DWORD>(packet.size()); i < kShareMemSize; i += 4099) ASSERT_EQ(0, m[i]) << i;
}

TEST(ShareMemChannel, ReaderInAnotherProcessGetsTheFrame) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names));

    // Like the kernel: a frame every 50 ms, freshly stamped, until the reader
    // is done.
    const uint32_t seed = 3;
    std::atomic<bool> stop{false};
    std::thread frames([&] {
        const std::vector<uint8_t> pixels = Pattern(kFrameBytes, seed);
        while (!stop) {
            const std::vector<uint8_t> packet = MakePacket(pixels, ShareMemNow());
            writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
            Sleep(50);
        }
    });

    wchar_t self[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    const int exitCode = zxtest::RunProcess("\"" + Charset::WString2String(std::wstring(self, n)) + "\" --shm-reader " +
                                            names.mapping + " " + names.readEvent + " " + names.writeEvent + " " +
                                            std::to_string(seed));
    stop = true;
    frames.join();
    EXPECT_EQ(shmtest::kReaderGotFrame, exitCode);
}

TEST(ShareMemChannel, ReaderRejectsStaleZeroedDamagedAndOversizedFrames) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer, reader;
    ASSERT_TRUE(OpenChannel(writer, names));
    ASSERT_TRUE(OpenChannel(reader, names));
    RawView raw(names.mapping, kShareMemSize);
    ASSERT_NE(nullptr, raw.bytes());

    std::vector<uint8_t> dest(kShareMemSize, 0xAB);
    auto untouched = [&] {
        for (size_t i = 0; i < dest.size(); i += 997)
            if (dest[i] != 0xAB) return false;
        return dest[0] == 0xAB && dest[11] == 0xAB;
    };
    DWORD length = 77;

    // A fresh channel is all zero: no frame yet.
    EXPECT_FALSE(reader.Read(dest.data(), length));
    EXPECT_EQ(0u, length);
    EXPECT_TRUE(untouched());

    const std::vector<uint8_t> pixels = Pattern(kFrameBytes, 4);
    // Writes a good frame for the second now, then lets damage spoil it.
    auto writeDamaged = [&](const std::function<void(uint8_t*)>& damage) {
        return [&, damage](int32_t now) {
            std::vector<uint8_t> packet = MakePacket(pixels, now);
            damage(packet.data());
            writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
        };
    };
    auto setU32 = [](uint8_t* at, uint32_t v) { std::memcpy(at, &v, 4); };

    // One of each kind; every single rule is checked on the header above.
    struct Case {
        const char* what;
        std::function<void(uint8_t*)> damage;
    };
    const Case cases[] = {
        {"stamped five seconds ago",
         [&](uint8_t* p) { setU32(p + 4, static_cast<uint32_t>(static_cast<int32_t>(U32At(p + 4)) - 5)); }},
        {"valid flag clear", [](uint8_t* p) { p[1] = 0; }},
        {"image size just beyond the mapping", [&](uint8_t* p) { setU32(p + 8, kShareMemMaxImageSize + 1); }},
        {"size code 4 with a 640 x 480 image", [](uint8_t* p) { p[3] = 4; }},
        {"image size beyond the picture of code 8", [&](uint8_t* p) { setU32(p + 8, 1000000); }},
    };
    for (const Case& c : cases) {
        length = 77;
        EXPECT_FALSE(ReadWithinOneSecond(writeDamaged(c.damage), reader, dest.data(), kShareMemSize, length))
            << c.what;
        EXPECT_EQ(0u, length) << c.what;
        EXPECT_TRUE(untouched()) << c.what << ": a rejected frame copies nothing";
    }

    // The same channel still delivers an undamaged frame.
    EXPECT_TRUE(ReadWithinOneSecond(writeDamaged([](uint8_t*) {}), reader, dest.data(), kShareMemSize, length));
    EXPECT_EQ(kFrameBytes + kShareMemHeaderSize, length);
}

TEST(ShareMemChannel, ReaderNeverCopiesMoreThanTheDestinationOrTheMappingHolds) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer, reader;
    ASSERT_TRUE(OpenChannel(writer, names));
    ASSERT_TRUE(OpenChannel(reader, names));
    const std::vector<uint8_t> pixels = Pattern(kFrameBytes, 5);
    auto writeGood = [&](int32_t now) {
        const std::vector<uint8_t> packet = MakePacket(pixels, now);
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
    };

    // One byte short of header plus picture: refused, buffer untouched.
    const DWORD needed = kFrameBytes + kShareMemHeaderSize;
    std::vector<uint8_t> small(needed, 0xCD);
    DWORD length = 77;
    EXPECT_FALSE(ReadWithinOneSecond(writeGood, reader, small.data(), needed - 1, length));
    EXPECT_EQ(0u, length);
    for (size_t i = 0; i < small.size(); i += 1009) ASSERT_EQ(0xCD, small[i]) << i;
    // Exactly enough room is fine.
    EXPECT_TRUE(ReadWithinOneSecond(writeGood, reader, small.data(), needed, length));
    EXPECT_EQ(needed, length);
    EXPECT_EQ(0, std::memcmp(pixels.data(), small.data() + kShareMemHeaderSize, kFrameBytes));

    // A small private channel whose header claims more than the mapping
    // holds: the reader must not run past the end of its view.
    const ChannelNames tinyNames = UniqueChannel();
    // Room for a header and 14400 bytes before the control block (which
    // sits on an 8-byte boundary).
    const DWORD tinySize = kShareMemHeaderSize + 14400 + kShareMemControlSize + 8;
    CShareMem tinyReader;
    ASSERT_TRUE(OpenChannel(tinyReader, tinyNames, tinySize));
    RawView tinyRaw(tinyNames.mapping, tinySize);
    ASSERT_NE(nullptr, tinyRaw.bytes());
    std::vector<uint8_t> dest(kShareMemSize, 0xAB);
    auto claimFullFrame = [&](int32_t now) { ShareMemMakeHeader(tinyRaw.bytes(), kFrameBytes, now); };
    EXPECT_FALSE(ReadWithinOneSecond(claimFullFrame, tinyReader, dest.data(), kShareMemSize, length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ(0xAB, dest[0]);
    // A frame that fits the small channel is read from it.
    auto smallFrame = [&](int32_t now) { ShareMemMakeHeader(tinyRaw.bytes(), 14400, now); };
    EXPECT_TRUE(ReadWithinOneSecond(smallFrame, tinyReader, dest.data(), kShareMemSize, length));
    EXPECT_EQ(kShareMemHeaderSize + 14400, length);
}

TEST(ShareMemChannel, WriteIntoTheControlBlockCopiesAndSignalsNothing) {
    const ChannelNames names = UniqueChannel();
    const DWORD size = kShareMemHeaderSize + 14400 + kShareMemControlSize;
    const DWORD area = ControlOffset(size);
    ASSERT_GE(area, kShareMemHeaderSize + 14000u);
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names, size));
    RawView raw(names.mapping, size);
    ASSERT_NE(nullptr, raw.bytes());

    const std::vector<uint8_t> big = MakePacket(Pattern(kFrameBytes, 6), ShareMemNow());
    EXPECT_FALSE(writer.Write(big.data(), area + 1));
    EXPECT_FALSE(writer.Write(big.data(), size));
    EXPECT_FALSE(writer.Write(big.data(), static_cast<DWORD>(big.size())));
    for (DWORD i = 0; i < size; ++i) ASSERT_EQ(0, raw.bytes()[i]) << i;
    EXPECT_FALSE(EventSignalled(names.readEvent));

    // Exactly up to the control block is accepted.
    EXPECT_FALSE(writer.Write(big.data(), area));
    EXPECT_EQ(0, std::memcmp(big.data(), raw.bytes(), area));
    EXPECT_TRUE(EventSignalled(names.readEvent));

    // No bytes: nothing to copy, and nothing happens on a null pointer.
    EXPECT_FALSE(writer.Write(nullptr, 10));
    EXPECT_FALSE(EventSignalled(names.readEvent));
}

TEST(ShareMemChannel, SecondOpenOnOneSideFailsAndKeepsTheFirstMapping) {
    const ChannelNames first = UniqueChannel();
    const ChannelNames second = UniqueChannel();
    CShareMem side;
    ASSERT_TRUE(OpenChannel(side, first));
    EXPECT_FALSE(OpenChannel(side, second));
    EXPECT_FALSE(OpenChannel(side, first));
    EXPECT_TRUE(side.IsOpen());
    EXPECT_FALSE(MappingExists(second.mapping)) << "a refused Open creates nothing";

    const std::vector<uint8_t> packet = MakePacket(Pattern(kFrameBytes, 7), ShareMemNow());
    side.Write(packet.data(), static_cast<DWORD>(packet.size()));
    RawView raw(first.mapping, kShareMemSize);
    ASSERT_NE(nullptr, raw.bytes());
    EXPECT_EQ(0, std::memcmp(packet.data(), raw.bytes(), packet.size()));
}

TEST(ShareMemChannel, LaterOpenerKeepsContentAndLastCloseReleasesTheMapping) {
    const ChannelNames names = UniqueChannel();
    const std::vector<uint8_t> packet = MakePacket(Pattern(kFrameBytes, 8), 12345);
    {
        CShareMem writer;
        ASSERT_TRUE(OpenChannel(writer, names));
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));

        CShareMem late;
        ASSERT_TRUE(OpenChannel(late, names));
        RawView raw(names.mapping, kShareMemSize);
        ASSERT_NE(nullptr, raw.bytes());
        EXPECT_EQ(0, std::memcmp(packet.data(), raw.bytes(), packet.size())) << "a later opener must not clear";

        // Closing one side leaves the channel to the other; reopening keeps it.
        writer.Close();
        EXPECT_FALSE(writer.IsOpen());
        writer.Close();  // closing twice is harmless
        ASSERT_TRUE(OpenChannel(writer, names));
        EXPECT_EQ(0, std::memcmp(packet.data(), raw.bytes(), packet.size()));
    }
    // Both sides destroyed (and our own view with them): the mapping is gone.
    EXPECT_FALSE(MappingExists(names.mapping));
}

TEST(ShareMemChannel, OpenRefusesUnusableRequests) {
    const ChannelNames names = UniqueChannel();
    CShareMem side;
    EXPECT_FALSE(side.Open(nullptr, kShareMemSize));
    EXPECT_FALSE(OpenChannel(side, names, kShareMemHeaderSize - 1)) << "too small for a header";
    EXPECT_FALSE(OpenChannel(side, names, kShareMemHeaderSize + kShareMemControlSize - 1))
        << "too small for a header and the control block";
    EXPECT_FALSE(OpenChannel(side, names, 0));
    EXPECT_FALSE(side.IsOpen());

    // An existing mapping smaller than asked for cannot be mapped at the
    // larger size; the failed attempt leaves nothing open.
    CShareMem small;
    ASSERT_TRUE(OpenChannel(small, names, 4096));
    EXPECT_FALSE(OpenChannel(side, names, kShareMemSize));
    EXPECT_FALSE(side.IsOpen());
    small.Close();
    EXPECT_FALSE(MappingExists(names.mapping)) << "the failed Open kept no handle to the mapping";
}

TEST(ShareMemChannel, ReadOnAClosedOrQuietChannelReturnsFalse) {
    std::vector<uint8_t> dest(kShareMemSize, 0xAB);
    DWORD length = 77;

    // Never opened: no event to wait on, nothing to read.
    CShareMem closed;
    EXPECT_FALSE(closed.Read(dest.data(), length));
    EXPECT_EQ(0u, length);
    EXPECT_FALSE(closed.Write(dest.data(), 100));

    // Open but nobody writes: the read waits for the writer's signal, gives
    // up after its bounded wait and finds no frame.
    const ChannelNames names = UniqueChannel();
    CShareMem reader;
    ASSERT_TRUE(OpenChannel(reader, names));
    length = 77;
    EXPECT_FALSE(reader.Read(dest.data(), length));
    EXPECT_EQ(0u, length);
    EXPECT_FALSE(reader.Read(nullptr, length));
    EXPECT_EQ(0xAB, dest[0]);
}

namespace {

// A packet whose every pixel byte is value: a numbered frame.
std::vector<uint8_t> NumberedPacket(uint8_t value, int32_t time) {
    return MakePacket(std::vector<uint8_t>(kFrameBytes, value), time);
}

// True when the pixels of a packet read from the channel are all one value.
bool Whole(const std::vector<uint8_t>& packet, DWORD length) {
    const uint8_t* p = packet.data() + kShareMemHeaderSize;
    const size_t n = length - kShareMemHeaderSize;
    return n > 0 && p[0] == p[n - 1] && std::memcmp(p, p + 1, n - 1) == 0;
}

}  // namespace

TEST(ShareMemChannel, WriterNumbersEveryFrameInTheControlBlock) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer, reader;
    ASSERT_TRUE(OpenChannel(writer, names));
    ASSERT_TRUE(OpenChannel(reader, names));
    EXPECT_FALSE(reader.Numbered()) << "a fresh channel has no numbered writer";
    EXPECT_EQ(0u, reader.Sequence());
    for (uint32_t n = 1; n <= 3; ++n) {
        const std::vector<uint8_t> packet = NumberedPacket(static_cast<uint8_t>(n), ShareMemNow());
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
        EXPECT_TRUE(reader.Numbered());
        EXPECT_EQ(n, reader.Sequence());
    }
    RawView raw(names.mapping, kShareMemSize);
    ASSERT_NE(nullptr, raw.bytes());
    const uint8_t* control = raw.bytes() + ControlOffset(kShareMemSize);
    EXPECT_EQ(0, std::memcmp(control, "ZXSQ", 4)) << "the marker";
    EXPECT_EQ(6u, U32At(control + 4)) << "two steps a frame, even between frames";
    EXPECT_EQ(0, raw.bytes()[0]) << "the reserved byte stays 0";
    EXPECT_GE(ControlOffset(kShareMemSize), kShareMemHeaderSize + 18u * 18u * 14400u)
        << "no picture a header may announce reaches the control block";
}

TEST(ShareMemChannel, FrameOverwrittenWhileReadIsThrownAway) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer, reader;
    ASSERT_TRUE(OpenChannel(writer, names));
    ASSERT_TRUE(OpenChannel(reader, names));
    bool checked = false;
    for (int attempt = 0; attempt < 5 && !checked; ++attempt) {
        const int32_t now = ShareMemNow();
        const std::vector<uint8_t> first = NumberedPacket(1, now), second = NumberedPacket(2, now);
        writer.Write(first.data(), static_cast<DWORD>(first.size()));
        ShareMemFrame frame;
        if (!reader.BeginRead(frame, now)) continue;  // the second turned
        EXPECT_EQ(1, frame.pixels[0]);
        EXPECT_TRUE(reader.EndRead(frame)) << "nobody wrote meanwhile";
        ASSERT_TRUE(reader.BeginRead(frame, now));
        writer.Write(second.data(), static_cast<DWORD>(second.size()));
        EXPECT_FALSE(reader.EndRead(frame)) << "the writer overwrote the frame during the read";
        checked = true;
    }
    EXPECT_TRUE(checked);

    // A writer in the middle of a frame (number odd): no frame is begun.
    RawView raw(names.mapping, kShareMemSize);
    ASSERT_NE(nullptr, raw.bytes());
    auto* sequence = reinterpret_cast<volatile LONG*>(raw.bytes() + ControlOffset(kShareMemSize) + 4);
    const LONG even = *sequence;
    *sequence = even + 1;
    ShareMemFrame frame;
    EXPECT_FALSE(reader.BeginRead(frame, ShareMemNow()));
    // A writer that stopped in the middle is taken over by the next one.
    const std::vector<uint8_t> third = NumberedPacket(3, ShareMemNow());
    writer.Write(third.data(), static_cast<DWORD>(third.size()));
    EXPECT_EQ(0, *sequence & 1);
    std::vector<uint8_t> dest(kShareMemSize);
    DWORD length = 0;
    EXPECT_TRUE(ReadWithinOneSecond([&](int32_t now) {
        const std::vector<uint8_t> p = NumberedPacket(3, now);
        writer.Write(p.data(), static_cast<DWORD>(p.size()));
    }, reader, dest.data(), kShareMemSize, length));
    EXPECT_EQ(3, dest[kShareMemHeaderSize]);
}

TEST(ShareMemChannel, EveryReaderSeesEveryFrameAndNoneIsHalfWritten) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names));
    constexpr int kReaders = 3;
    constexpr int kFrames = 60;
    std::atomic<bool> stop{false};
    std::atomic<int> ready{0};
    std::vector<std::vector<int>> seen(kReaders);
    std::vector<int> torn(kReaders, 0);
    // The newest frame number each reader has seen.
    std::vector<std::atomic<int>> newest(kReaders);
    for (auto& n : newest) n = 0;
    std::vector<std::thread> readers;
    for (int r = 0; r < kReaders; ++r) {
        readers.emplace_back([&, r] {
            CShareMem reader;
            if (!OpenChannel(reader, names)) return;
            ++ready;
            std::vector<uint8_t> packet(kShareMemSize);
            while (!stop) {
                DWORD length = 0;
                if (!reader.Read(packet.data(), length)) continue;
                if (!Whole(packet, length)) ++torn[r];
                const int value = packet[kShareMemHeaderSize];
                if (seen[r].empty() || seen[r].back() != value) {
                    seen[r].push_back(value);
                    newest[r] = value;
                }
            }
        });
    }
    ASSERT_TRUE(zxtest::WaitUntil([&] { return ready == kReaders; }));
    // Frame after frame, each as soon as every reader has the one before:
    // all readers wait on the one event, which wakes a single waiter per
    // signal, so each frame shows that the wake-up reaches every reader, and
    // none of them sees a frame twice, out of order or half-written. (How
    // soon it reaches them is a matter of speed, which is not checked.)
    for (int n = 1; n <= kFrames; ++n) {
        const std::vector<uint8_t> packet = NumberedPacket(static_cast<uint8_t>(n), ShareMemNow());
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
        EXPECT_TRUE(zxtest::WaitUntil([&] {
            for (const auto& v : newest)
                if (v != n) return false;
            return true;
        })) << "frame " << n << " did not reach every reader";
    }
    stop = true;
    for (std::thread& t : readers) t.join();
    for (int r = 0; r < kReaders; ++r) {
        EXPECT_EQ(0, torn[r]) << "reader " << r;
        EXPECT_EQ(static_cast<size_t>(kFrames), seen[r].size()) << "reader " << r << " missed frames";
        for (size_t i = 0; i < seen[r].size(); ++i) EXPECT_EQ(static_cast<int>(i) + 1, seen[r][i]) << "reader " << r;
    }
}

// --- who may open the channel ------------------------------------------------

namespace {

using ObjectSecurity::Kind;

std::vector<BYTE> TokenUserSid() {
    HANDLE token = nullptr;
    std::vector<BYTE> data;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return data;
    DWORD length = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &length);
    data.resize(length);
    if (!GetTokenInformation(token, TokenUser, data.data(), length, &length)) data.clear();
    CloseHandle(token);
    if (data.empty()) return data;
    PSID sid = reinterpret_cast<TOKEN_USER*>(data.data())->User.Sid;
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

std::vector<BYTE> KnownSid(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD length = static_cast<DWORD>(sid.size());
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, sid.data(), &length));
    sid.resize(length);
    return sid;
}

// One allowed ACE as read back: its SID and rights.
struct Grant {
    std::vector<BYTE> sid;
    DWORD rights;
};

// Checks the descriptor of an object as Windows reports it: owner, a
// protected DACL of exactly the expected grants, and the label.
void ExpectUsersDescriptor(HANDLE object, Kind kind, const char* what) {
    SCOPED_TRACE(what);
    PSID owner = nullptr;
    PACL dacl = nullptr, sacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              GetSecurityInfo(object, SE_KERNEL_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, &sacl, &sd));
    const std::vector<BYTE> user = TokenUserSid();
    ASSERT_FALSE(user.empty());
    ASSERT_TRUE(owner && EqualSid(owner, const_cast<BYTE*>(user.data()))) << "owner is the user";
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited";

    const Grant expected[] = {{user, ObjectSecurity::OwnerRights(kind)},
                              {KnownSid(WinLocalSystemSid), ObjectSecurity::OwnerRights(kind)},
                              {KnownSid(WinRestrictedCodeSid), ObjectSecurity::ReaderRights(kind)}};
    ASSERT_TRUE(dacl);
    ASSERT_EQ(3, dacl->AceCount);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType) << "ACE " << i << " allows";
        EXPECT_TRUE(EqualSid(&ace->SidStart, const_cast<BYTE*>(expected[i].sid.data()))) << "ACE " << i;
        EXPECT_EQ(expected[i].rights, ace->Mask) << "ACE " << i;
    }
    // Nobody else, and no reader, may write: only the user and LocalSystem
    // hold a right beyond reading.
    EXPECT_EQ(0u, ObjectSecurity::ReaderRights(kind) &
                      (WRITE_DAC | WRITE_OWNER | DELETE |
                       (kind == Kind::Mapping ? DWORD(SECTION_MAP_WRITE | SECTION_EXTEND_SIZE)
                        : kind == Kind::Event ? DWORD(EVENT_MODIFY_STATE)
                                              : DWORD(MUTEX_MODIFY_STATE))));

    ASSERT_TRUE(sacl);
    ASSERT_EQ(1, sacl->AceCount);
    SYSTEM_MANDATORY_LABEL_ACE* label = nullptr;
    ASSERT_TRUE(GetAce(sacl, 0, reinterpret_cast<void**>(&label)));
    EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, label->Header.AceType);
    EXPECT_EQ(static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP), label->Mask);
    PSID level = &label->SidStart;
    ASSERT_EQ(1, *GetSidSubAuthorityCount(level));
    EXPECT_EQ(static_cast<DWORD>(SECURITY_MANDATORY_MEDIUM_RID), *GetSidSubAuthority(level, 0));
    LocalFree(sd);
}

HANDLE OpenForSecurity(const std::string& name, bool mapping) {
    const std::wstring wide = Charset::String2WString(name);
    return mapping ? OpenFileMappingW(READ_CONTROL, FALSE, wide.c_str()) : OpenEventW(READ_CONTROL, FALSE, wide.c_str());
}

// The calling thread runs under a token made from the process's own for as
// long as this lives.
class Impersonation {
public:
    explicit Impersonation(HANDLE token) : m_active(token && SetThreadToken(nullptr, token)) {}
    ~Impersonation() {
        if (m_active) RevertToSelf();
    }
    bool active() const { return m_active; }

private:
    bool m_active;
};

// The process's token at low integrity, or restricted to the RESTRICTED SID
// (as a sandbox makes them), ready to impersonate.
HANDLE SandboxToken(bool lowIntegrity) {
    HANDLE process = nullptr, made = nullptr, impersonation = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return nullptr;
    if (lowIntegrity) {
        DuplicateTokenEx(process, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenImpersonation, &impersonation);
        std::vector<BYTE> low = KnownSid(WinLowLabelSid);
        TOKEN_MANDATORY_LABEL label{};
        label.Label.Attributes = SE_GROUP_INTEGRITY;
        label.Label.Sid = low.data();
        if (impersonation)
            EXPECT_TRUE(SetTokenInformation(impersonation, TokenIntegrityLevel, &label,
                                            static_cast<DWORD>(sizeof(label) + low.size())));
    } else {
        std::vector<BYTE> restricted = KnownSid(WinRestrictedCodeSid);
        SID_AND_ATTRIBUTES restricting{restricted.data(), 0};
        if (CreateRestrictedToken(process, 0, 0, nullptr, 0, nullptr, 1, &restricting, &made)) {
            DuplicateTokenEx(made, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenImpersonation, &impersonation);
            CloseHandle(made);
        }
    }
    CloseHandle(process);
    return impersonation;
}

// Whether this system holds a token like that to its limits: it may not
// signal an event the user owns with default label (low integrity), or may
// not even wait on one whose DACL names the user alone (restricted). Wine 8
// does neither.
bool SandboxEnforced(HANDLE token, bool lowIntegrity) {
    const std::vector<BYTE> user = TokenUserSid();
    BYTE aclBytes[256];
    PACL acl = reinterpret_cast<PACL>(aclBytes);
    InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, EVENT_ALL_ACCESS, const_cast<BYTE*>(user.data()));
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};
    const std::wstring name = L"ZxShmTest-probe-" + std::to_wstring(GetCurrentProcessId());
    HANDLE probe = CreateEventW(&sa, FALSE, FALSE, name.c_str());
    HANDLE opened = nullptr;
    {
        Impersonation as(token);
        opened = OpenEventW(lowIntegrity ? EVENT_MODIFY_STATE : SYNCHRONIZE, FALSE, name.c_str());
    }
    const bool enforced = probe && !opened;
    if (opened) CloseHandle(opened);
    if (probe) CloseHandle(probe);
    return enforced;
}

}  // namespace

TEST(ShareMemSecurity, EveryObjectCarriesTheUsersDescriptor) {
    // The channel's objects as the side that comes first creates them.
    const ChannelNames names = UniqueChannel();
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names));
    const struct {
        const std::string& name;
        bool mapping;
    } channel[] = {{names.mapping, true}, {names.readEvent, false}, {names.writeEvent, false}};
    for (const auto& object : channel) {
        HANDLE h = OpenForSecurity(object.name, object.mapping);
        ASSERT_TRUE(h) << object.name;
        ExpectUsersDescriptor(h, object.mapping ? Kind::Mapping : Kind::Event, object.name.c_str());
        CloseHandle(h);
    }
    // The program's single-instance mutex is made the same way.
    ObjectSecurity::SharedObjectSecurity mutexSecurity(Kind::Mutex);
    HANDLE mutex = CreateMutexW(mutexSecurity.Attributes(), FALSE,
                                Charset::String2WString(names.mapping + "-mutex").c_str());
    ASSERT_TRUE(mutex);
    ExpectUsersDescriptor(mutex, Kind::Mutex, "mutex");
    CloseHandle(mutex);
}

TEST(ShareMemSecurity, ReaderAllowedOnlyToReadOpensTheChannelReadOnly) {
    // Objects this process may only read and wait on, as a low-integrity or
    // sandboxed reader finds the channel: the creator's handles keep every
    // right and write a frame.
    const ChannelNames names = UniqueChannel();
    const std::vector<BYTE> user = TokenUserSid();
    auto readOnlyFor = [&](DWORD rights, std::vector<BYTE>& acl, SECURITY_DESCRIPTOR& sd, SECURITY_ATTRIBUTES& sa) {
        acl.resize(256);
        InitializeAcl(reinterpret_cast<PACL>(acl.data()), 256, ACL_REVISION);
        AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION, rights, const_cast<BYTE*>(user.data()));
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE);
        sa = {sizeof(sa), &sd, FALSE};
    };
    std::vector<BYTE> mapAcl, eventAcl;
    SECURITY_DESCRIPTOR mapSd, eventSd;
    SECURITY_ATTRIBUTES mapSa, eventSa;
    readOnlyFor(ObjectSecurity::ReaderRights(Kind::Mapping), mapAcl, mapSd, mapSa);
    readOnlyFor(ObjectSecurity::ReaderRights(Kind::Event), eventAcl, eventSd, eventSa);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, &mapSa, PAGE_READWRITE, 0, kShareMemSize,
                                        Charset::String2WString(names.mapping).c_str());
    ASSERT_TRUE(mapping);
    uint8_t* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kShareMemSize));
    ASSERT_TRUE(view);
    HANDLE readEvent = CreateEventW(&eventSa, FALSE, FALSE, Charset::String2WString(names.readEvent).c_str());
    HANDLE writeEvent = CreateEventW(&eventSa, FALSE, FALSE, Charset::String2WString(names.writeEvent).c_str());
    ASSERT_TRUE(readEvent && writeEvent);

    CShareMem reader;
    ASSERT_TRUE(OpenChannel(reader, names)) << "a reader that may only read still opens the channel";
    EXPECT_TRUE(reader.IsReadOnly());
    const std::vector<uint8_t> pixels = Pattern(kFrameBytes, 26);
    std::vector<uint8_t> dest(kShareMemSize);
    DWORD length = 0;
    EXPECT_TRUE(ReadWithinOneSecond(
        [&](int32_t now) {
            const std::vector<uint8_t> packet = MakePacket(pixels, now);
            std::memcpy(view, packet.data(), packet.size());
            SetEvent(readEvent);
        },
        reader, dest.data(), kShareMemSize, length));
    EXPECT_EQ(kFrameBytes + kShareMemHeaderSize, length);
    EXPECT_EQ(0, std::memcmp(dest.data() + kShareMemHeaderSize, pixels.data(), kFrameBytes));
    // Its writes go nowhere.
    const std::vector<uint8_t> other = MakePacket(Pattern(kFrameBytes, 27), ShareMemNow());
    reader.Write(other.data(), static_cast<DWORD>(other.size()));
    EXPECT_EQ(0, std::memcmp(view + kShareMemHeaderSize, pixels.data(), kFrameBytes));

    reader.Close();
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(readEvent);
    CloseHandle(writeEvent);
}

TEST(ShareMemSecurity, LowIntegrityAndRestrictedReadersReadTheChannel) {
    const ChannelNames names = UniqueChannel();
    CShareMem writer;
    ASSERT_TRUE(OpenChannel(writer, names));
    for (const bool lowIntegrity : {true, false}) {
        SCOPED_TRACE(lowIntegrity ? "low integrity" : "restricted");
        HANDLE token = SandboxToken(lowIntegrity);
        ASSERT_TRUE(token);
        const bool enforced = SandboxEnforced(token, lowIntegrity);
        if (!enforced)
            std::printf("  [note] %s tokens are not held to their limits here (Wine): the reader gets every right\n",
                        lowIntegrity ? "low-integrity" : "restricted");
        CShareMem reader;
        {
            Impersonation as(token);
            ASSERT_TRUE(as.active());
            ASSERT_TRUE(OpenChannel(reader, names));
            if (enforced) {
                EXPECT_TRUE(reader.IsReadOnly());
                HANDLE writable = OpenFileMappingW(FILE_MAP_WRITE, FALSE, Charset::String2WString(names.mapping).c_str());
                EXPECT_FALSE(writable) << "a sandboxed reader may not write frames";
                if (writable) CloseHandle(writable);
            }
        }
        const std::vector<uint8_t> pixels = Pattern(kFrameBytes, lowIntegrity ? 30 : 31);
        std::vector<uint8_t> dest(kShareMemSize);
        DWORD length = 0;
        EXPECT_TRUE(ReadWithinOneSecond(
            [&](int32_t now) {
                const std::vector<uint8_t> packet = MakePacket(pixels, now);
                writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
            },
            reader, dest.data(), kShareMemSize, length));
        EXPECT_EQ(0, std::memcmp(dest.data() + kShareMemHeaderSize, pixels.data(), kFrameBytes));
        CloseHandle(token);
    }
}
