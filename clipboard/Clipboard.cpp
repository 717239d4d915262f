#include "clipboard/Clipboard.h"

#include <algorithm>
#include <cstring>

#include "core/Allocation.h"
#include "core/Messages.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/SettingsFile.h"

namespace grid {
namespace {

// The format each program reads and writes itself.
template <class Ch> constexpr uint32_t kOwnFormat = sizeof(Ch) == 1 ? kFormatText : kFormatUnicodeText;

// OpenClipboard for the progress window, clipWaitCount times, clipWaitTime ms apart.
template <class Ch>
bool openWithRetries() {
    const Settings<Ch>& s = settings<Ch>();
    for (int32_t attempt = 0; attempt < s.clipWaitCount; ++attempt) {
        if (clipboardPort().open(mainWindow)) return true;
        clockPort().sleep(s.clipWaitTime > 0 ? static_cast<uint32_t>(s.clipWaitTime) : 0);
    }
    return false;
}

// GlobalUnlock as the Windows rule reads it: failed only when it returns 0 with an error set.
bool unlockFailed(MemoryHandle block) {
    ClipboardPort& clipboard = clipboardPort();
    clipboard.setLastError(0);
    return !clipboard.globalUnlock(block) && clipboard.lastError() != 0;
}

// Data that could not be had: the read message, or, when the platform gave up waiting for another
// program because the user asked to cancel meanwhile, the end that every cancel check gives.
template <class Ch>
void reportUnreadable(uint32_t error) {
    if (error == kErrorCancelled && cancelRequested<Ch>()) {
        showMessage<Ch>(kMessageCancelled);
        runState<Ch>().cancelState.store(kCancelSeen);
    } else {
        showMessage<Ch>(kMessageClipboardNotRead);
    }
}

bool startsWith(const void* data, size_t size, const char* signature) {
    const size_t n = std::strlen(signature);
    return size >= n && std::memcmp(data, signature, n) == 0;
}

}  // namespace

template <class Ch>
int32_t probeClipboard() {
    ClipboardPort& clipboard = clipboardPort();
    if (!openWithRetries<Ch>()) {
        showMessage<Ch>(kMessageClipboardNotOpenedForReading);
        return kFailedReported;
    }
    int32_t textMark = 0, sylkMark = 0;
    // The walk ends at 0: with no error set at the end of the list, with one when the formats could
    // not be had (another program that did not answer, for one), which is no empty clipboard.
    clipboard.setLastError(0);
    for (uint32_t format = clipboard.enumFormats(0); format != 0;
         clipboard.setLastError(0), format = clipboard.enumFormats(format)) {
        if (format == kFormatUnicodeText) {
            if (sizeof(Ch) == 2 || textMark != kEightBitText) textMark = kUnicodeText;
        } else if (format == kFormatText) {
            if (sizeof(Ch) == 1 || textMark != kUnicodeText) textMark = kEightBitText;
        } else if (format == kFormatSylk) {
            clipboard.setLastError(0);
            MemoryHandle data = clipboard.getData(kFormatSylk);
            if (!data) {
                const uint32_t error = clipboard.lastError();
                clipboard.close();
                reportUnreadable<Ch>(error);
                return kFailedReported;
            }
            const void* head = clipboard.globalLock(data);
            if (!head) {
                clipboard.close();
                showMessage<Ch>(kMessageMemoryFailed);
                return kNoMemory;
            }
            // Another program's block may be shorter than a signature: nothing past its size is read.
            const size_t size = clipboard.globalSize(data);
            if (startsWith(head, size, "ID;PCALC") || startsWith(head, size, "ID;PWXL")) sylkMark = kSpreadsheetData;
            if (unlockFailed(data)) {
                clipboard.close();
                showMessage<Ch>(kMessageMemoryFailed);
                return kNoMemory;
            }
        }
    }
    if (const uint32_t error = clipboard.lastError()) {
        clipboard.close();
        reportUnreadable<Ch>(error);
        return kFailedReported;
    }
    clipboard.close();
    if (textMark == 0) {
        showMessage<Ch>(sylkMark == 0 ? kMessageClipboardEmpty : kMessageClipboardDataNotProcessed);
        return kNothingUsable;
    }
    return sylkMark == kSpreadsheetData ? kSpreadsheetData : textMark;
}

template <class Ch>
StatusCode readClipboardText(Ch** copy) {
    ClipboardPort& clipboard = clipboardPort();
    if (!openWithRetries<Ch>()) {
        showMessage<Ch>(kMessageClipboardNotOpenedForReading);
        return kFailedReported;
    }
    clipboard.setLastError(0);
    MemoryHandle data = clipboard.getData(kOwnFormat<Ch>);
    if (!data) {
        const uint32_t error = clipboard.lastError();
        clipboard.close();
        reportUnreadable<Ch>(error);
        return kFailedReported;
    }
    const Ch* text = static_cast<const Ch*>(clipboard.globalLock(data));
    if (!text) {
        clipboard.close();
        showMessage<Ch>(kMessageMemoryFailed);
        return kNoMemory;
    }
    // The text ends at its NUL, or at the end of the block when another program left it out.
    const size_t room = clipboard.globalSize(data) / sizeof(Ch);
    const size_t length = size_t(std::find(text, text + room, Ch(0)) - text);
    AllocationFailure failure = AllocationFailure::none;
    Ch* own = static_cast<Ch*>(allocateArray(length + 1, sizeof(Ch), failure));
    if (!own) {
        unlockFailed(data);
        clipboard.close();
        showMessage<Ch>(allocationFailureMessage(failure));
        return kNoMemory;
    }
    std::memcpy(own, text, length * sizeof(Ch));
    own[length] = Ch(0);
    // The copy is handed over only when the whole read succeeded; otherwise it is freed here.
    if (unlockFailed(data)) {
        releaseArray(own);
        clipboard.close();
        showMessage<Ch>(kMessageMemoryFailed);
        return kNoMemory;
    }
    if (!clipboard.close()) {
        releaseArray(own);
        showMessage<Ch>(kMessageClipboardNotClosedAfterReading);
        return kFailedReported;
    }
    *copy = own;
    return kOk;
}

template <class Ch>
StatusCode writeClipboard(const Ch* text) {
    ClipboardPort& clipboard = clipboardPort();
    if (!openWithRetries<Ch>()) {
        showMessage<Ch>(kMessageClipboardNotOpenedForWriting);
        return kFailedReported;
    }
    // The markup is put into its block before the clipboard is emptied, so that a failure on the
    // way leaves the user's data where it was.
    const size_t length = textLength(text);
    size_t size;
    if constexpr (sizeof(Ch) == 1) {
        size = length + 1;
    } else {
        // Room for the text in the runtime's multibyte code page, twice over: 16 bytes a unit when
        // a character has no form there (the formula then wraps around to 0).
        const uint32_t multibyte = static_cast<uint32_t>(settingsFilePort().multibyteLength(text));
        size = uint32_t(2u * multibyte + 2u);
        if (size == 0) size = 16 * length;
        size = std::max(size, 2 * (length + 1));
    }
    MemoryHandle block = clipboard.globalAlloc(kMoveableShared, size);
    // Every failure until the block is the clipboard's: the clipboard is closed before the message
    // box, so that other programs are not kept from it while the user reads, and the block is
    // freed.
    const auto fail = [&](MessageCode message, StatusCode status) {
        clipboard.close();
        if (block) clipboard.globalFree(block);
        showMessage<Ch>(message);
        return status;
    };
    if (!block) return fail(kMessageMemoryExhausted, kNoMemory);
    Ch* target = static_cast<Ch*>(clipboard.globalLock(block));
    if (!target) return fail(kMessageMemoryFailed, kNoMemory);
    std::memcpy(target, text, (length + 1) * sizeof(Ch));
    if (unlockFailed(block)) return fail(kMessageMemoryFailed, kNoMemory);
    if (!clipboard.empty()) return fail(kMessageClipboardNotEmptied, kFailedReported);
    if (!clipboard.setData(kOwnFormat<Ch>, block)) return fail(kMessageClipboardNotWritten, kFailedReported);
    if (!clipboard.close()) {
        showMessage<Ch>(kMessageClipboardNotClosedAfterWriting);
        return kFailedReported;
    }
    return kOk;
}

template <class Ch>
bool readNamedFormats(const char* const* names, OwnedBytes* contents, size_t count, size_t most) {
    ClipboardPort& clipboard = clipboardPort();
    uint32_t formats[4];
    if (count > 4) return false;
    for (size_t i = 0; i < count; ++i)
        if ((formats[i] = clipboard.registerFormat(names[i])) == 0) return false;
    if (!openWithRetries<Ch>()) return false;
    bool read = true;
    for (size_t i = 0; i < count && read; ++i) {
        read = false;
        // Only formats the owner offers: asking for another could make some owners render it.
        clipboard.setLastError(0);
        uint32_t format = clipboard.enumFormats(0);
        while (format != 0 && format != formats[i]) format = clipboard.enumFormats(format);
        if (format == 0) break;
        MemoryHandle data = clipboard.getData(formats[i]);
        if (!data) break;
        const void* bytes = clipboard.globalLock(data);
        if (!bytes) break;
        const size_t size = clipboard.globalSize(data);
        if (size <= most && contents[i].allocate(size)) {
            std::memcpy(contents[i].data(), bytes, size);
            read = true;
        }
        (void)unlockFailed(data);
    }
    clipboard.close();
    if (!read)
        for (size_t i = 0; i < count; ++i) contents[i].reset();
    return read;
}

template int32_t probeClipboard<char>();
template int32_t probeClipboard<char16_t>();
template StatusCode readClipboardText<char>(char**);
template StatusCode readClipboardText<char16_t>(char16_t**);
template StatusCode writeClipboard<char>(const char*);
template StatusCode writeClipboard<char16_t>(const char16_t*);
template bool readNamedFormats<char>(const char* const*, OwnedBytes*, size_t, size_t);
template bool readNamedFormats<char16_t>(const char* const*, OwnedBytes*, size_t, size_t);

}  // namespace grid
