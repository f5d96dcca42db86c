// Wave-out device list through winmm.
#include "LibWaveOut/LibWaveOut.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>
#include <string>

#include "ZxLib/ZxLib.h"

unsigned LibWaveOut::GetWaveOutDevNums() { return waveOutGetNumDevs(); }

int LibWaveOut::GetWaveOutNameByIdx(char* buffer, unsigned size, unsigned index) {
    if (!buffer || size == 0) return -1;
    buffer[0] = '\0';
    WAVEOUTCAPSW caps = {};
    if (index >= waveOutGetNumDevs() || waveOutGetDevCapsW(index, &caps, sizeof(caps)) != MMSYSERR_NOERROR) return -1;
    std::wstring wide(caps.szPname, wcsnlen(caps.szPname, sizeof(caps.szPname) / sizeof(caps.szPname[0])));
    std::string name = Charset::WString2String(wide);
    size_t n = name.size();
    if (n > size - 1) {
        n = size - 1;
        // Do not split a UTF-8 sequence: back up over continuation bytes.
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}
