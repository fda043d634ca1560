#pragma once

#include <cstddef>

// The 8-bit C interface of the MediaInfo library (libmediainfo), the calls the probe makes.
extern "C" {
void *MediaInfoA_New();
void MediaInfoA_Delete(void *Handle);
size_t MediaInfoA_Open(void *Handle, const char *File);
void MediaInfoA_Close(void *Handle);
const char *MediaInfoA_Option(void *Handle, const char *Option, const char *Value);
size_t MediaInfoA_Open_Buffer_Init(void *Handle, unsigned long long File_Size,
                                   unsigned long long File_Offset);
size_t MediaInfoA_Open_Buffer_Continue(void *Handle, unsigned char *Buffer, size_t Buffer_Size);
unsigned long long MediaInfoA_Open_Buffer_Continue_GoTo_Get(void *Handle);
size_t MediaInfoA_Open_Buffer_Finalize(void *Handle);
const char *MediaInfoA_Get(void *Handle, int StreamKind, size_t StreamNumber, const char *Parameter,
                           int InfoKind, int SearchKind);
}

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
