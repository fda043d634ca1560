#pragma once

#include <cstddef>

// The 8-bit C interface of the MediaInfo library (libmediainfo), the calls the probe makes.
#include <thread>

// The 8-bit C interface of the MediaInfo library (libmediainfo), the calls the probe makes. The library
// is loaded on first use, not at start: it pulls in a network stack of dozens of libraries, which would
// cost an unattended run more time than its own work.
namespace MediaInfoLib {

struct Api
{
    void *(*New)();
    void (*Delete)(void *Handle);
    size_t (*Open)(void *Handle, const char *File);
    void (*Close)(void *Handle);
    const char *(*Option)(void *Handle, const char *Option, const char *Value);
    size_t (*Open_Buffer_Init)(void *Handle, unsigned long long File_Size, unsigned long long File_Offset);
    size_t (*Open_Buffer_Continue)(void *Handle, unsigned char *Buffer, size_t Buffer_Size);
    unsigned long long (*Open_Buffer_Continue_GoTo_Get)(void *Handle);
    size_t (*Open_Buffer_Finalize)(void *Handle);
    const char *(*Get)(void *Handle, int StreamKind, size_t StreamNumber, const char *Parameter, int InfoKind,
                       int SearchKind);
};

// The library's calls; nullptr when it cannot be loaded (then every file reads as unknown).
const Api *api();

// Loads the library on a thread of its own, so that its first use later does not wait; join it before
// the program ends.
[[nodiscard]] std::thread loadInBackground();

} // namespace MediaInfoLib

namespace MediaInfoLib {
// Stream kinds and information kinds as the library numbers them.
enum StreamKind
{
    General = 0,
    Video = 1,
    Audio = 2
};
enum InfoKind
{
    Name = 0,
    Text = 1
};
} // namespace MediaInfoLib
