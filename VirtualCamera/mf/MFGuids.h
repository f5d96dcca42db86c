// Identifiers of the Media Foundation camera, and the documented identifiers
// of the capture-device attributes the mingw headers lack.
#pragma once

#include <windows.h>

#include <guiddef.h>

// The camera's COM class: the Frame Server creates it (as an IMFActivate)
// and tools create it directly.
// {DADBD189-16A5-4450-986F-92BF9FAD0262}
inline constexpr GUID CLSID_ZxCamMF = {0xdadbd189, 0x16a5, 0x4450, {0x98, 0x6f, 0x92, 0xbf, 0x9f, 0xad, 0x02, 0x62}};
inline constexpr wchar_t kZxCamMFClsidText[] = L"{DADBD189-16A5-4450-986F-92BF9FAD0262}";
inline constexpr wchar_t kZxCamMFName[] = L"ZXVCam";

// Capture-stream attributes (documented values).
inline constexpr GUID ZX_MF_DEVICESTREAM_STREAM_CATEGORY = {
    0x2939e7b8, 0xa62e, 0x4579, {0xb6, 0x74, 0xd4, 0x07, 0x3d, 0xfa, 0xbb, 0xba}};
inline constexpr GUID ZX_MF_DEVICESTREAM_STREAM_ID = {
    0x11bd5120, 0xd124, 0x446b, {0x88, 0xe6, 0x17, 0x06, 0x02, 0x57, 0xff, 0xf9}};
inline constexpr GUID ZX_MF_DEVICESTREAM_FRAMESERVER_SHARED = {
    0x1cb378e9, 0xb279, 0x41d4, {0xaf, 0x97, 0x34, 0xa2, 0x43, 0xe6, 0x83, 0x20}};
inline constexpr GUID ZX_MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES = {
    0x17145fd1, 0x1b2b, 0x423c, {0x80, 0x01, 0x2b, 0x68, 0x33, 0xed, 0x35, 0x88}};
// The capture pin's category (the same value as DirectShow's capture pin).
inline constexpr GUID ZX_PINNAME_VIDEO_CAPTURE = {
    0xfb6c4281, 0x0353, 0x11d1, {0x90, 0x5f, 0x00, 0x00, 0xc0, 0xcc, 0x16, 0xba}};
// MFFrameSourceTypes_Color.
constexpr UINT32 kZxFrameSourceColor = 1;
// IKsControl's identifier (the headers declare it, no library defines it).
inline constexpr GUID ZX_IID_IKsControl = {0x28f54685, 0x06fd, 0x11d2, {0xb2, 0x7a, 0x00, 0xa0, 0xc9, 0x22, 0x31, 0x96}};
