// LibStream: plays media files into 24-bit DIB frames with their sound on a
// wave-out device (LibReplay), and records frames and 16-bit PCM into FLV
// (H.264 + AAC) or MP3 files (LibRecorder), over FFmpeg.
//
// Frames are 24-bit blue-green-red device-independent bitmaps, rows bottom-up,
// each row ((24 x width + 31) / 32) x 4 bytes. Paths are UTF-8.
// Failures are logged to "LibStream.txt" (ZxLog).
#pragma once

#ifdef LIBSTREAM_BUILD
#define LIBSTREAM_API __declspec(dllexport)
#else
#define LIBSTREAM_API __declspec(dllimport)
#endif

// Codec numbers the callers pass to LibRecorder. H.264 is 28 in the numbering
// the callers use (FFmpeg's older one); the current FFmpeg number (27) is
// accepted as well.
enum LibStreamCodec {
    LIBSTREAM_CODEC_H264 = 28,
    LIBSTREAM_CODEC_MP3 = 86017,
    LIBSTREAM_CODEC_AAC = 86018,
};

// One media player. Decoding runs on a thread of its own; every operation
// may be called from any thread, also at the same time as the others.
class LIBSTREAM_API LibReplay {
public:
    LibReplay();
    ~LibReplay();
    LibReplay(const LibReplay&) = delete;
    LibReplay& operator=(const LibReplay&) = delete;

    // Wave-out device for the next Init (-1: the system's default device).
    void SetOutputDev(int device);

    // Stops what plays, then opens and plays path, its video converted to
    // width x height. playSound false plays silently (paced by the clock),
    // decodeVideo false ignores the picture. Returns 0, or -1 when the file
    // cannot be opened or holds nothing that decodes.
    int Init(const char* path, unsigned width, unsigned height, bool playSound = true, bool decodeVideo = true);

    // Copies the frame due now (the newest one whose time has come; the last
    // one again while nothing newer is due, also when paused or at the end)
    // into buffer. Returns the bytes written, or 0 when there is no frame yet,
    // no player, no picture in the file, or the buffer is too small.
    int QueryFrame(unsigned char* buffer, unsigned length);

    // Position and duration in seconds (0, 0 without a file).
    void GetCurTm(double& current, double& total);

    // Moves to seconds (kept inside the file); playback goes on from there.
    void Seek(double seconds);

    // true pauses (position, picture and sound hold), false resumes.
    void PasueSwitch(bool pause);

    // Sound volume 0.0 to 1.0 (values outside are clamped).
    void SetVolume(double factor);
    // The volume set last (1.0 at first), and the device for the next Init.
    double GetVolume();
    int GetOutputDev();

    // Stops and releases the file; the player can be given a new one.
    void Uint();

private:
    struct Impl;
    Impl* m_impl;
};

// Why a recording could not start, or why its appends stopped being taken.
enum LibRecorderError {
    LIBREC_OK = 0,
    LIBREC_ERR_FILE = 1,     // the file could not be created or written (see the Windows error)
    LIBREC_ERR_ENCODER = 2,  // an encoder could not start or failed
    LIBREC_ERR_ARGS = 3,     // values the recorder does not take
};

// One recorder: an FLV file with H.264 video and AAC sound, or an MP3 file.
// Appends may come from two threads at once (frames and sound); appends and
// FFUint are serialised. The file is written through Windows file calls;
// once a write fails (a full disk, a folder gone) later appends are refused,
// and what was written stays in the file.
class LIBSTREAM_API LibRecorder {
public:
    LibRecorder();
    ~LibRecorder();  // finishes an open file as FFUint does
    LibRecorder(const LibRecorder&) = delete;
    LibRecorder& operator=(const LibRecorder&) = delete;

    // Starts an FLV recording of width x height frames at frameRate with
    // videoBitRate b/s, and 16-bit PCM sound of channels x sampleRate coded
    // at audioBitRate b/s; channels 0 records the picture alone (no sound
    // stream; the sound values are then ignored). audioCodec must be AAC,
    // videoCodec H.264.
    // threads: encoder threads (0 automatic); lowDelay: no frame delay in
    // the encoder; keySeconds: at most this many seconds between key frames
    // (0: 10 s). Returns 0, or -1 (nothing is left open).
    int FFVideoInit(const char* path, int width, int height, int frameRate, int videoBitRate, int channels,
                    int sampleRate, int audioBitRate, int audioCodec, int videoCodec, int threads,
                    bool lowDelay, int keySeconds);

    // Starts an MP3 recording of 16-bit PCM (codec must be MP3). 0 or -1.
    int FFAudioInit(const char* path, int channels, int sampleRate, int bitRate, int codec);

    // PCM bytes one encoder frame takes (the capture buffer size to use).
    int FFGetAudioInputSize();

    // One frame of width x height (stride x height bytes; shorter buffers are
    // refused). Frames are timed by their count at the frame rate.
    int FFAppendVideo(const unsigned char* frame, int length);
    // 16-bit PCM, any length (kept until an encoder frame is full).
    int FFAppendAudio(const unsigned char* pcm, int length);

    // Recorded time in milliseconds.
    double GetCurTm();

    // Why the last FFVideoInit or FFAudioInit failed, or why appends are
    // refused since (LibRecorderError; LIBREC_OK while all is well). A file
    // failure gives its Windows error in systemError (0 otherwise). Kept
    // until the next start.
    int FFGetLastError(unsigned long* systemError = nullptr);

    // Fault injection for tests of the callers: from now on every write
    // that would take a recording file of this process past afterBytes
    // bytes writes only up to there and fails with systemError, as a full
    // disk does. A negative afterBytes ends it.
    static void FFInjectWriteFault(long long afterBytes, unsigned long systemError);

    // Codes what is left and closes the file, which then plays. Safe to call
    // again or without a recording.
    void FFUint();

    // Duration of a media file in seconds (0 when it cannot be read). A file
    // this process is still recording gives the time recorded so far.
    static double FFGetTotalTm(const char* path);

    // Writes a 24-bit BMP of width x height from the first picture of media.
    static bool FFThumbnails(const char* media, const char* bitmap, int width, int height);

    // Writes the frame (frameWidth x frameHeight) as a 24-bit BMP scaled to
    // bitmapWidth x bitmapHeight.
    static bool FFSaveAsBitmap(const unsigned char* frame, int frameWidth, int frameHeight, int bitmapWidth,
                               int bitmapHeight, const char* path);

private:
    struct Impl;
    Impl* m_impl;
};
