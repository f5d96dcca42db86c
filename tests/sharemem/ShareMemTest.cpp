#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ShareMem.h"
#include "TestSupport.h"
#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"

namespace {

constexpr uint32_t kFrameBytes = 640 * 480 * 3;

// The pixels of a test picture; seed tells pictures apart.
std::vector<uint8_t> Pattern(uint32_t bytes, uint32_t seed) {
    std::vector<uint8_t> out(bytes);
    for (uint32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>((i * 31u) ^ (i >> 9) ^ (seed * 97u));
    return out;
}

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

// A packet as the kernel's writer builds it: the stamped header, then the pixels.
std::vector<uint8_t> MakePacket(const std::vector<uint8_t>& pixels, int32_t time) {
    std::vector<uint8_t> packet(kShareMemHeaderSize + pixels.size());
    EXPECT_TRUE(ShareMemMakeHeader(packet.data(), static_cast<uint32_t>(pixels.size()), time));
    std::memcpy(packet.data() + kShareMemHeaderSize, pixels.data(), pixels.size());
    return packet;
}

void Put(CShareMem& writer, const std::vector<uint8_t>& packet) {
    writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
}

// Write-then-read for the current second, repeated when the second turned in between.
bool ReadWithinOneSecond(const std::function<void(int32_t now)>& write, CShareMem& reader, void* destination,
                         DWORD capacity, DWORD& length) {
    bool ok = false;
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < zxtest::kHangGuardMs;) {
        const int32_t now = ShareMemNow();
        write(now);
        ok = reader.Read(destination, capacity, length);
        if (ShareMemNow() == now) break;
    }
    return ok;
}

// A private channel with a writer and a reader open on it.
class ShareMemChannel : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenChannel(writer, names));
        ASSERT_TRUE(OpenChannel(reader, names));
    }
    const ChannelNames names = UniqueChannel();
    CShareMem writer, reader;
};

}  // namespace

TEST(ShareMemHeader, SizeCodeIsTheTruncatedRootAndMakeHeaderLaysOutFieldsOrRefuses) {
    EXPECT_EQ(8, ShareMemSizeCode(921600));     // 640 x 480
    EXPECT_EQ(1, ShareMemSizeCode(14400));      // 80 x 60
    EXPECT_EQ(0, ShareMemSizeCode(14399));      // below one unit
    EXPECT_EQ(2, ShareMemSizeCode(100000));     // 6 whole units, root 2.44
    EXPECT_EQ(7, ShareMemSizeCode(921599));     // 63 whole units, root 7.9
    EXPECT_EQ(18, ShareMemSizeCode(kShareMemMaxImageSize));

    uint8_t packet[kShareMemHeaderSize];
    std::memset(packet, 0xEE, sizeof(packet));
    ASSERT_TRUE(ShareMemMakeHeader(packet, kFrameBytes, 0x12345678));
    const uint8_t expected[kShareMemHeaderSize] = {0, 1, 1, 8, 0x78, 0x56, 0x34, 0x12, 0x00, 0x10, 0x0E, 0x00};
    EXPECT_EQ(0, std::memcmp(expected, packet, sizeof(expected)));

    // A negative time stamp (a calendar time past 2038, low 32 bits) is stored as its two's-complement bytes.
    ASSERT_TRUE(ShareMemMakeHeader(packet, 14400, -2));
    EXPECT_EQ(1, packet[3]);
    EXPECT_EQ(0xFFFFFFFEu, U32At(packet + 4));

    std::memset(packet, 0xEE, sizeof(packet));
    EXPECT_FALSE(ShareMemMakeHeader(packet, 14399, 5));                     // size code 0
    EXPECT_FALSE(ShareMemMakeHeader(packet, kShareMemMaxImageSize + 1, 5));  // larger than the channel
    EXPECT_FALSE(ShareMemMakeHeader(nullptr, kFrameBytes, 5));
    for (uint8_t b : packet) EXPECT_EQ(0xEE, b) << "a refused header must write nothing";
}

// Which sizes, codes and times a header may name, and that a rejected header
// leaves the size alone, is the frame-header fuzz target's (FrameHeaderFuzz.cpp).
TEST(ShareMemHeader, ValidationAcceptsWriterHeadersAndRejectsClearedFlags) {
    const int32_t now = 1700000000;
    uint8_t good[kShareMemHeaderSize];
    ASSERT_TRUE(ShareMemMakeHeader(good, kFrameBytes, now));
    uint32_t size = 0;
    EXPECT_TRUE(ShareMemHeaderValid(good, now, size));
    EXPECT_EQ(kFrameBytes, size);

    // Each valid flag counts; the reserved byte is not looked at.
    auto validWith = [&](int at, uint8_t value) {
        uint8_t h[kShareMemHeaderSize];
        std::memcpy(h, good, sizeof(h));
        h[at] = value;
        return ShareMemHeaderValid(h, now, size);
    };
    EXPECT_FALSE(validWith(1, 0)) << "valid flag clear";
    EXPECT_FALSE(validWith(2, 0)) << "second valid flag clear";
    EXPECT_TRUE(validWith(0, 0x5A)) << "reserved byte set";
    const uint8_t zero[kShareMemHeaderSize] = {};
    EXPECT_FALSE(ShareMemHeaderValid(zero, 0, size)) << "an all-zero channel holds no frame";
}

TEST_F(ShareMemChannel, WriterPutsHeaderAndPixelsIntoTheMappingAndSignals) {
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

TEST_F(ShareMemChannel, ReaderRejectsStaleZeroedDamagedAndOversizedFrames) {
    std::vector<uint8_t> dest(kShareMemSize, 0xAB);
    auto untouched = [&] {
        for (size_t i = 0; i < dest.size(); i += 997)
            if (dest[i] != 0xAB) return false;
        return dest[0] == 0xAB && dest[11] == 0xAB;
    };
    DWORD length = 77;
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

    // One of each kind; the header's rules are checked on the header alone.
    struct Case {
        const char* what;
        std::function<void(uint8_t*)> damage;
    };
    const Case cases[] = {
        {"stamped five seconds ago",
         [&](uint8_t* p) { setU32(p + 4, static_cast<uint32_t>(static_cast<int32_t>(U32At(p + 4)) - 5)); }},
        {"image size just beyond the mapping", [&](uint8_t* p) { setU32(p + 8, kShareMemMaxImageSize + 1); }},
        {"size code 4 with a 640 x 480 image", [](uint8_t* p) { p[3] = 4; }},
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

TEST_F(ShareMemChannel, ReaderNeverCopiesMoreThanTheDestinationOrTheMappingHolds) {
    const std::vector<uint8_t> pixels = Pattern(kFrameBytes, 5);
    auto writeGood = [&](int32_t now) { Put(writer, MakePacket(pixels, now)); };

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
    // Room for a header and 14400 bytes before the control block (on an 8-byte boundary).
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

TEST_F(ShareMemChannel, WriteIntoTheControlBlockCopiesAndSignalsNothing) {
    const ChannelNames small = UniqueChannel();  // a smaller channel of its own
    const DWORD size = kShareMemHeaderSize + 14400 + kShareMemControlSize;
    const DWORD area = ControlOffset(size);
    ASSERT_GE(area, kShareMemHeaderSize + 14000u);
    CShareMem side;
    ASSERT_TRUE(OpenChannel(side, small, size));
    RawView raw(small.mapping, size);
    ASSERT_NE(nullptr, raw.bytes());

    const std::vector<uint8_t> big = MakePacket(Pattern(kFrameBytes, 6), ShareMemNow());
    EXPECT_FALSE(side.Write(big.data(), area + 1));
    EXPECT_FALSE(side.Write(big.data(), static_cast<DWORD>(big.size())));
    for (DWORD i = 0; i < size; ++i) ASSERT_EQ(0, raw.bytes()[i]) << i;
    EXPECT_FALSE(EventSignalled(small.readEvent));

    // Exactly up to the control block is accepted.
    EXPECT_FALSE(side.Write(big.data(), area));
    EXPECT_EQ(0, std::memcmp(big.data(), raw.bytes(), area));
    EXPECT_TRUE(EventSignalled(small.readEvent));

    // No bytes: nothing to copy, and nothing happens on a null pointer.
    EXPECT_FALSE(side.Write(nullptr, 10));
    EXPECT_FALSE(EventSignalled(small.readEvent));
}

TEST_F(ShareMemChannel, LaterOpenerKeepsContentAndLastCloseReleasesTheMapping) {
    const ChannelNames own = UniqueChannel();  // one only these sides hold
    const std::vector<uint8_t> packet = MakePacket(Pattern(kFrameBytes, 8), 12345);
    {
        CShareMem first;
        ASSERT_TRUE(OpenChannel(first, own));
        Put(first, packet);

        CShareMem late;
        ASSERT_TRUE(OpenChannel(late, own));
        RawView raw(own.mapping, kShareMemSize);
        ASSERT_NE(nullptr, raw.bytes());
        EXPECT_EQ(0, std::memcmp(packet.data(), raw.bytes(), packet.size())) << "a later opener must not clear";

        // Closing one side leaves the channel to the other; reopening keeps it.
        first.Close();
        EXPECT_FALSE(first.IsOpen());
        first.Close();  // closing twice is harmless
        ASSERT_TRUE(OpenChannel(first, own));
        EXPECT_EQ(0, std::memcmp(packet.data(), raw.bytes(), packet.size()));
    }
    // Both sides destroyed (and our own view with them): the mapping is gone.
    EXPECT_FALSE(MappingExists(own.mapping));
}

TEST_F(ShareMemChannel, OpenRefusesUnusableRequestsAndASecondOpenOfOneSide) {
    // An open side refuses a second Open, of another channel or of its own, and keeps its mapping.
    const ChannelNames other = UniqueChannel();
    EXPECT_FALSE(OpenChannel(writer, other));
    EXPECT_FALSE(OpenChannel(writer, names));
    EXPECT_TRUE(writer.IsOpen());
    EXPECT_FALSE(MappingExists(other.mapping)) << "a refused Open creates nothing";
    const std::vector<uint8_t> packet = MakePacket(Pattern(kFrameBytes, 7), ShareMemNow());
    Put(writer, packet);
    RawView mine(names.mapping, kShareMemSize);
    ASSERT_NE(nullptr, mine.bytes());
    EXPECT_EQ(0, std::memcmp(packet.data(), mine.bytes(), packet.size()));

    CShareMem side;
    EXPECT_FALSE(side.Open(nullptr, kShareMemSize));
    EXPECT_FALSE(OpenChannel(side, other, kShareMemHeaderSize + kShareMemControlSize - 1))
        << "too small for a header and the control block";
    EXPECT_FALSE(side.IsOpen());

    // An existing smaller mapping cannot be mapped larger; the failed attempt keeps nothing open.
    CShareMem small;
    ASSERT_TRUE(OpenChannel(small, other, 4096));
    EXPECT_FALSE(OpenChannel(side, other, kShareMemSize));
    EXPECT_FALSE(side.IsOpen());
    small.Close();
    EXPECT_FALSE(MappingExists(other.mapping)) << "the failed Open kept no handle to the mapping";
}

TEST_F(ShareMemChannel, ReadOnAClosedOrQuietChannelReturnsFalse) {
    std::vector<uint8_t> dest(kShareMemSize, 0xAB);
    DWORD length = 77;

    // Never opened: no event to wait on, nothing to read.
    CShareMem closed;
    EXPECT_FALSE(closed.Read(dest.data(), length));
    EXPECT_EQ(0u, length);
    EXPECT_FALSE(closed.Write(dest.data(), 100));

    // Open (all zero) but nobody writes: the bounded wait ends with no frame.
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

TEST_F(ShareMemChannel, WriterNumbersEveryFrameInTheControlBlock) {
    EXPECT_FALSE(reader.Numbered()) << "a fresh channel has no numbered writer";
    EXPECT_EQ(0u, reader.Sequence());
    for (uint32_t n = 1; n <= 3; ++n) {
        Put(writer, NumberedPacket(static_cast<uint8_t>(n), ShareMemNow()));
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

TEST_F(ShareMemChannel, FrameOverwrittenWhileReadIsThrownAway) {
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
    Put(writer, NumberedPacket(3, ShareMemNow()));
    EXPECT_EQ(0, *sequence & 1);
    std::vector<uint8_t> dest(kShareMemSize);
    DWORD length = 0;
    EXPECT_TRUE(ReadWithinOneSecond([&](int32_t now) { Put(writer, NumberedPacket(3, now)); }, reader, dest.data(),
                                    kShareMemSize, length));
    EXPECT_EQ(3, dest[kShareMemHeaderSize]);
}

TEST_F(ShareMemChannel, EveryReaderSeesEveryFrameAndNoneIsHalfWritten) {
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
    // Each frame once every reader has the one before: the one auto-reset event must wake
    // every reader, and none may see a frame twice, out of order or half-written.
    for (int n = 1; n <= kFrames; ++n) {
        Put(writer, NumberedPacket(static_cast<uint8_t>(n), ShareMemNow()));
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
    // Only the user and LocalSystem hold a right beyond reading.
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

// Security attributes that grant the user alone the given rights.
class UserOnly {
public:
    explicit UserOnly(DWORD rights) : m_user(TokenUserSid()) {
        PACL acl = reinterpret_cast<PACL>(m_acl);
        InitializeAcl(acl, sizeof(m_acl), ACL_REVISION);
        AddAccessAllowedAce(acl, ACL_REVISION, rights, m_user.data());
        InitializeSecurityDescriptor(&m_sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&m_sd, TRUE, acl, FALSE);
        m_sa = {sizeof(m_sa), &m_sd, FALSE};
    }
    SECURITY_ATTRIBUTES* Attributes() { return &m_sa; }

private:
    std::vector<BYTE> m_user;
    BYTE m_acl[256];
    SECURITY_DESCRIPTOR m_sd;
    SECURITY_ATTRIBUTES m_sa;
};

// The calling thread runs under a token made from the process's own for as long as this lives.
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
        if (impersonation) {
            EXPECT_TRUE(SetTokenInformation(impersonation, TokenIntegrityLevel, &label,
                                            static_cast<DWORD>(sizeof(label) + low.size())));
        }
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

// Whether this system holds such a token to its limits (Wine 8 does not): low integrity may
// not signal the user's event, restricted may not even wait on one naming the user alone.
bool SandboxEnforced(HANDLE token, bool lowIntegrity) {
    UserOnly security(EVENT_ALL_ACCESS);
    const std::wstring name = L"ZxShmTest-probe-" + std::to_wstring(GetCurrentProcessId());
    HANDLE probe = CreateEventW(security.Attributes(), FALSE, FALSE, name.c_str());
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

TEST_F(ShareMemChannel, EveryObjectCarriesTheUsersDescriptor) {
    // The channel's objects as the side that comes first (the writer) created them.
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
    // Objects this process may only read and wait on, as a sandboxed reader finds the channel.
    const ChannelNames names = UniqueChannel();
    UserOnly mapSecurity(ObjectSecurity::ReaderRights(Kind::Mapping));
    UserOnly eventSecurity(ObjectSecurity::ReaderRights(Kind::Event));
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, mapSecurity.Attributes(), PAGE_READWRITE, 0, kShareMemSize,
                                        Charset::String2WString(names.mapping).c_str());
    ASSERT_TRUE(mapping);
    uint8_t* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kShareMemSize));
    ASSERT_TRUE(view);
    HANDLE readEvent = CreateEventW(eventSecurity.Attributes(), FALSE, FALSE, Charset::String2WString(names.readEvent).c_str());
    HANDLE writeEvent =
        CreateEventW(eventSecurity.Attributes(), FALSE, FALSE, Charset::String2WString(names.writeEvent).c_str());
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
    Put(reader, MakePacket(Pattern(kFrameBytes, 27), ShareMemNow()));
    EXPECT_EQ(0, std::memcmp(view + kShareMemHeaderSize, pixels.data(), kFrameBytes));

    reader.Close();
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(readEvent);
    CloseHandle(writeEvent);
}

TEST_F(ShareMemChannel, LowIntegrityAndRestrictedReadersReadTheChannel) {
    for (const bool lowIntegrity : {true, false}) {
        SCOPED_TRACE(lowIntegrity ? "low integrity" : "restricted");
        HANDLE token = SandboxToken(lowIntegrity);
        ASSERT_TRUE(token);
        // Where the token is not held to its limits (Wine), the reader gets every right.
        const bool enforced = SandboxEnforced(token, lowIntegrity);
        CShareMem sandboxed;
        {
            Impersonation as(token);
            ASSERT_TRUE(as.active());
            ASSERT_TRUE(OpenChannel(sandboxed, names));
            if (enforced) {
                EXPECT_TRUE(sandboxed.IsReadOnly());
                HANDLE writable = OpenFileMappingW(FILE_MAP_WRITE, FALSE, Charset::String2WString(names.mapping).c_str());
                EXPECT_FALSE(writable) << "a sandboxed reader may not write frames";
                if (writable) CloseHandle(writable);
            }
        }
        const std::vector<uint8_t> pixels = Pattern(kFrameBytes, lowIntegrity ? 30 : 31);
        std::vector<uint8_t> dest(kShareMemSize);
        DWORD length = 0;
        EXPECT_TRUE(ReadWithinOneSecond([&](int32_t now) { Put(writer, MakePacket(pixels, now)); }, sandboxed,
                                        dest.data(), kShareMemSize, length));
        EXPECT_EQ(0, std::memcmp(dest.data() + kShareMemHeaderSize, pixels.data(), kFrameBytes));
        CloseHandle(token);
    }
}
