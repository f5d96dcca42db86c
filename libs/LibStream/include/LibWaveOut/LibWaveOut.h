// LibWaveOut: the wave-out devices of the machine.
#pragma once

#ifdef LIBWAVEOUT_BUILD
#define LIBWAVEOUT_API __declspec(dllexport)
#else
#define LIBWAVEOUT_API __declspec(dllimport)
#endif

class LIBWAVEOUT_API LibWaveOut {
public:
    // Number of wave-out devices; indexes run from 0.
    static unsigned GetWaveOutDevNums();

    // Writes the device's name (UTF-8, NUL-terminated, cut at a character
    // boundary to fit) into buffer. Returns the name's length in bytes, or -1
    // for a bad index, no buffer or a size of 0.
    static int GetWaveOutNameByIdx(char* buffer, unsigned size, unsigned index);
};
