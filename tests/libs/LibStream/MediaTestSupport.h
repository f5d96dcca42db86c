// Test media made here: a moving pattern with a tone, recorded through
// LibRecorder, and readers for the pictures the library writes.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "LibStream/LibStream.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

namespace mediatest {

inline int Stride(int width) { return ((24 * width + 31) / 32) * 4; }

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// Pixel (x, y) of a bottom-up 24-bit DIB, y counted from the top of the picture.
inline Rgb PixelAt(const unsigned char* rows, int width, int height, int x, int y) {
    const unsigned char* p = rows + static_cast<size_t>(Stride(width)) * (height - 1 - y) + 3 * x;
    return Rgb{p[2], p[1], p[0]};
}

inline bool IsRed(const Rgb& c) { return c.r > 170 && c.g < 90 && c.b < 90; }

// The top-left corner of quadrant q (0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left), y from the top.
inline void QuadrantRect(int q, int width, int height, int& x0, int& y0) {
    x0 = (q == 1 || q == 2) ? width / 2 : 0;
    y0 = (q == 2 || q == 3) ? height / 2 : 0;
}

// The pattern: a blue picture whose red quadrant moves one place a second,
// top-left, top-right, bottom-right, bottom-left (frames at 20 a second).
inline std::vector<unsigned char> PatternFrame(int width, int height, int index, int fps = 20) {
    std::vector<unsigned char> rows(static_cast<size_t>(Stride(width)) * height);
    int q = (index / fps) % 4, qx, qy;
    QuadrantRect(q, width, height, qx, qy);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = rows.data() + static_cast<size_t>(Stride(width)) * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            bool red = x >= qx && x < qx + width / 2 && y >= qy && y < qy + height / 2;
            row[3 * x + 0] = red ? 20 : 200;  // blue
            row[3 * x + 1] = red ? 20 : 60;   // green
            row[3 * x + 2] = red ? 230 : 30;  // red
        }
    }
    return rows;
}

// The quadrant whose centre is red, or -1 when none or more than one is.
inline int RedQuadrant(const unsigned char* rows, int width, int height) {
    int found = -1;
    for (int q = 0; q < 4; ++q) {
        int x0, y0;
        QuadrantRect(q, width, height, x0, y0);
        if (IsRed(PixelAt(rows, width, height, x0 + width / 4, y0 + height / 4))) {
            if (found >= 0) return -1;
            found = q;
        }
    }
    return found;
}

// 16-bit mono tone samples [first, first + count) at 44100 Hz.
inline std::vector<unsigned char> Tone(size_t first, size_t count, double hz = 440) {
    std::vector<unsigned char> pcm(count * 2);
    for (size_t i = 0; i < count; ++i) {
        short s = static_cast<short>(8000 * std::sin(2 * 3.14159265358979 * hz * double(first + i) / 44100.0));
        std::memcpy(&pcm[2 * i], &s, 2);
    }
    return pcm;
}

// Starts an FLV recording with the recorder module's values (400 kb/s
// H.264, mono 44.1 kHz AAC at 128 kb/s, low delay, a key frame every 3 s);
// size, rate and codecs may be changed to see them refused. 0 or -1.
inline int OpenRecording(LibRecorder& rec, const std::string& path, int width = 320, int height = 240,
                         int frameRate = 20, int audioCodec = LIBSTREAM_CODEC_AAC,
                         int videoCodec = LIBSTREAM_CODEC_H264) {
    return rec.FFVideoInit(path.c_str(), width, height, frameRate, 400000, 1, 44100, 128000, audioCodec, videoCodec,
                           0, true, 3);
}

// Records frames frames of the pattern with the tone as the recorder module
// does (FLV, H.264 + AAC at its values). True when the recorder took all.
inline bool RecordPattern(const std::string& path, int width, int height, int frames) {
    LibRecorder rec;
    if (OpenRecording(rec, path, width, height) != 0) return false;
    const size_t chunk = static_cast<size_t>(rec.FFGetAudioInputSize()) / 2;
    size_t samples = 0;
    for (int i = 0; i < frames; ++i) {
        std::vector<unsigned char> f = PatternFrame(width, height, i);
        if (rec.FFAppendVideo(f.data(), static_cast<int>(f.size())) != 0) return false;
        // The sound up to the end of this frame, in capture-sized blocks.
        size_t due = static_cast<size_t>(i + 1) * 44100 / 20;
        while (samples + chunk <= due) {
            std::vector<unsigned char> pcm = Tone(samples, chunk);
            if (rec.FFAppendAudio(pcm.data(), static_cast<int>(pcm.size())) != 0) return false;
            samples += chunk;
        }
    }
    rec.FFUint();
    return true;
}

// One 3 s recording of the pattern at 640 x 480 in a folder with a Chinese
// name, made the first time it is asked for; empty when it could not be made.
inline const std::string& PatternRecording() {
    static const std::string path = [] {
        const std::string p = zxtest::MakeTempDir("录像") + "测试图案.flv";
        return RecordPattern(p, 640, 480, 60) ? p : std::string();
    }();
    return path;
}

struct Bitmap {
    int width = 0, height = 0, bits = 0;
    std::vector<unsigned char> rows;  // as stored: bottom-up when height > 0
};

// Reads a BMP file; false when it is not a well-formed 24-bit BMP.
inline bool ReadBmp(const std::string& path, Bitmap& out) {
    std::string bytes = zxtest::ReadFile(path);
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    std::memcpy(&file, bytes.data(), sizeof(file));
    std::memcpy(&info, bytes.data() + sizeof(file), sizeof(info));
    if (file.bfType != 0x4D42 || info.biBitCount != 24 || info.biWidth <= 0 || info.biHeight <= 0) return false;
    size_t image = static_cast<size_t>(Stride(info.biWidth)) * info.biHeight;
    if (file.bfOffBits + image > bytes.size() || file.bfSize != bytes.size()) return false;
    out.width = info.biWidth;
    out.height = info.biHeight;
    out.bits = info.biBitCount;
    out.rows.assign(bytes.begin() + file.bfOffBits, bytes.begin() + file.bfOffBits + image);
    return true;
}

// A player's position in seconds.
inline double Position(LibReplay& p) {
    double cur = 0, total = 0;
    p.GetCurTm(cur, total);
    return cur;
}

// Waits until the player's position is past seconds (false only on a hang).
inline bool PlaysPast(LibReplay& p, double seconds) {
    return zxtest::WaitUntil([&] { return Position(p) > seconds; });
}

// True when the shell's recycle bin holds an item of that name (the name
// with or without its extension, as the shell shows it).
inline bool InRecycleBin(const std::string& name) {
    const std::wstring wanted = Charset::String2WString(name);
    const std::wstring stem = wanted.substr(0, wanted.find_last_of(L'.'));
    bool found = false;
    const HRESULT com = CoInitialize(nullptr);
    LPITEMIDLIST bin = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder* folder = nullptr;
    IEnumIDList* items = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin)) &&
        SUCCEEDED(SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))) &&
        folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) == S_OK) {
        LPITEMIDLIST item = nullptr;
        while (!found && items->Next(1, &item, nullptr) == S_OK) {
            STRRET text;
            if (SUCCEEDED(folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &text)) && text.uType == STRRET_WSTR) {
                found = wanted == text.pOleStr || stem == text.pOleStr;
                CoTaskMemFree(text.pOleStr);
            }
            CoTaskMemFree(item);
        }
    }
    if (items) items->Release();
    if (folder) folder->Release();
    if (desktop) desktop->Release();
    CoTaskMemFree(bin);
    if (SUCCEEDED(com)) CoUninitialize();
    return found;
}

}  // namespace mediatest
