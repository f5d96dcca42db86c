// The cross-session copy of the frame channel, for the Media Foundation
// camera.
//
// Windows 11's Frame Server runs the camera's media source as LOCAL SERVICE
// in session 0, where the channel's session-local names are not visible,
// and a standard user's process may not create objects in the global
// namespace ("Global\" names). So the source creates a second channel
// there, the same layout and size as the real one, with a security
// descriptor that lets the
// interactive user's processes open it for writing and gives nobody else
// any access; the program publishes every frame into it too, whenever it
// exists, beside the channel the DirectShow filter reads (which stays as it
// is). The program never creates it: a channel made by the program would
// carry the program's default security, which the service could not open.
#pragma once

// The objects' names (ANSI, as CShareMem opens them).
inline constexpr char kGlobalChannelFileName[] = "Global\\ZXVCAM_SHARE_MEM_FILE_NAME";
inline constexpr char kGlobalChannelReadEvent[] = "Global\\ZXVCAM_READEVENT_INFORM";
inline constexpr char kGlobalChannelWriteEvent[] = "Global\\ZXVCAM_WRITEEVENT_INFORM";
