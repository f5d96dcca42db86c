// Helpers shared by the player and the recorder.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace libstream {

// One line in "LibStream.txt" (level as ZxLog: 0 events, 2 failures).
void Log(int level, const char* module, const char* format, ...);

// FFmpeg's error text for code.
std::string ErrText(int code);

// Bytes of one 24-bit DIB row.
inline int DibStride(int width) { return ((24 * width + 31) / 32) * 4; }

// Writes a 24-bit bottom-up DIB (rows of DibStride(width) bytes) as a BMP
// file at a UTF-8 path. True on success.
bool WriteBmp(const std::string& path, const unsigned char* rows, int width, int height);

// Sends FFmpeg's error messages to the log (once per process).
void InitFFmpeg();

// Opens a media file for reading (UTF-8 path) and reads its stream
// information. Null on failure, logged with the module name.
AVFormatContext* OpenInput(const std::string& path, const char* module,
                           AVIOInterruptCB* interrupt = nullptr);

// True when the opened input holds at least one packet (reads it).
bool HasPacket(AVFormatContext* fmt);

// Duration of an opened input in seconds (0 when unknown).
double InputDuration(const AVFormatContext* fmt);

// Converts any decoded picture to width x height 24-bit bottom-up DIB rows.
// Keeps its scaler between calls; true on success.
class DibConverter {
public:
    ~DibConverter();
    bool Convert(const AVFrame* picture, int width, int height, unsigned char* out);

private:
    SwsContext* m_sws = nullptr;
    std::vector<unsigned char> m_scratch;
};

// Bytes the scaler may write past the end of its output.
const size_t kSlack = 256;

}  // namespace libstream
