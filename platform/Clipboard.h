#pragma once
// The clipboard port, shaped after the Windows clipboard and global-memory functions: handles of
// movable global memory, locked for access, handed to the clipboard, which then owns them.
#include <cstddef>
#include <cstdint>

#include "platform/Ports.h"

namespace grid {

using MemoryHandle = void*;  // HGLOBAL / HANDLE

// Standard formats, with the values of the Windows constants.
inline constexpr uint32_t kFormatText = 1;         // CF_TEXT
inline constexpr uint32_t kFormatSylk = 4;         // CF_SYLK
inline constexpr uint32_t kFormatUnicodeText = 13; // CF_UNICODETEXT
inline constexpr uint32_t kMoveableShared = 0x2002;  // GMEM_MOVEABLE | GMEM_DDESHARE
// The last error of a clipboard call that gave up waiting for another program because the user
// asked to cancel meanwhile (ERROR_CANCELLED).
inline constexpr uint32_t kErrorCancelled = 1223;

struct ClipboardPort {
    virtual ~ClipboardPort() = default;
    virtual bool open(WindowHandle owner) = 0;                        // OpenClipboard
    virtual bool close() = 0;                                         // CloseClipboard
    virtual uint32_t enumFormats(uint32_t format) = 0;                // EnumClipboardFormats
    virtual MemoryHandle getData(uint32_t format) = 0;                // GetClipboardData
    virtual bool empty() = 0;                                         // EmptyClipboard
    virtual MemoryHandle setData(uint32_t format, MemoryHandle block) = 0;  // SetClipboardData
    virtual MemoryHandle globalAlloc(uint32_t flags, size_t bytes) = 0;     // GlobalAlloc
    virtual MemoryHandle globalFree(MemoryHandle block) = 0;          // GlobalFree: nullptr when freed
    virtual void* globalLock(MemoryHandle block) = 0;                 // GlobalLock
    virtual bool globalUnlock(MemoryHandle block) = 0;                // GlobalUnlock: true while still locked
    virtual size_t globalSize(MemoryHandle block) = 0;                // GlobalSize
    virtual void setLastError(uint32_t code) = 0;                     // SetLastError
    virtual uint32_t lastError() = 0;                                 // GetLastError
    // RegisterClipboardFormatA: the number of a format known by name (0x C000 and up), 0 when
    // there is none to be had. The same name gives the same number while the program runs.
    virtual uint32_t registerFormat(const char* name) = 0;
};

// The port in use; without a backend, a clipboard that cannot be opened.
ClipboardPort& clipboardPort();
void setClipboardPort(ClipboardPort* port);
// The platform's own clipboard (Windows'); nullptr where the platform has none built in yet.
ClipboardPort* systemClipboard();

}  // namespace grid
