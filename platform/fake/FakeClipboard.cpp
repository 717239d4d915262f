#include "platform/fake/FakeClipboard.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/portable/ClipboardText.h"

namespace grid {
namespace {

constexpr uint32_t kAccessDenied = 5;  // ERROR_ACCESS_DENIED
constexpr uint32_t kNotLocked = 158;   // ERROR_NOT_LOCKED, of an unlock made to fail
constexpr uint32_t kNotEnoughMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY

}  // namespace

FakeClipboard::FakeClipboard() { setClipboardPort(this); }
FakeClipboard::~FakeClipboard() { setClipboardPort(nullptr); }

void FakeClipboard::put(uint32_t format, const std::string& bytes) {
    MemoryHandle block = memory_.adopt(bytes);
    for (auto& entry : formats_)
        if (entry.first == format) {
            memory_.discard(entry.second);
            entry.second = block;
            return;
        }
    formats_.emplace_back(format, block);
}

void FakeClipboard::putUnicodeText(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) bytes += char(unit & 0xFF), bytes += char(unit >> 8);
    put(kFormatUnicodeText, bytes + std::string(2, '\0'));
}

void FakeClipboard::clear() {
    for (const auto& entry : formats_) memory_.discard(entry.second);
    formats_.clear();
    utf8Text_.clear();
}

bool FakeClipboard::has(uint32_t format) const {
    return std::any_of(formats_.begin(), formats_.end(), [&](const auto& entry) { return entry.first == format; });
}

std::string FakeClipboard::bytesOf(uint32_t format) const {
    for (const auto& entry : formats_)
        if (entry.first == format) return memory_.bytes(entry.second);
    return {};
}

std::u16string FakeClipboard::unicodeTextOf() const {
    const std::string bytes = bytesOf(kFormatUnicodeText);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

std::vector<uint32_t> FakeClipboard::formats() const {
    std::vector<uint32_t> list;
    for (const auto& entry : formats_) list.push_back(entry.first);
    return list;
}

void FakeClipboard::failCall(ClipboardCall call, int nth, FaultRepeat repeat, uint32_t error) {
    failAt_[int(call)] = counts_[int(call)] + nth;
    repeat_[int(call)] = repeat;
    failError_[int(call)] = error;
}

void FakeClipboard::stopFailing() {
    for (int call = 0; call < int(ClipboardCall::count); ++call) {
        failAt_[call] = 0;
        repeat_[call] = FaultRepeat::once;
        failError_[call] = 0;
    }
}

size_t FakeClipboard::programBlocks() const { return memory_.programBlocks(); }

bool FakeClipboard::fails(ClipboardCall call) {
    const int n = ++counts_[int(call)], failAt = failAt_[int(call)];
    if (failAt == 0 || n < failAt || (n > failAt && repeat_[int(call)] == FaultRepeat::once)) return false;
    lastError_ = failError_[int(call)] ? failError_[int(call)]
                 : call == ClipboardCall::globalUnlock ? kNotLocked
                                                       : kAccessDenied;
    return true;
}

bool FakeClipboard::open(WindowHandle owner) {
    if (fails(ClipboardCall::open)) return false;
    if (openFailures > 0) {
        --openFailures;
        lastError_ = kAccessDenied;
        return false;
    }
    open_ = true;
    owner_ = owner;
    return true;
}

bool FakeClipboard::close() {
    if (fails(ClipboardCall::close) || !open_) return false;
    open_ = false;
    return true;
}

std::vector<uint32_t> FakeClipboard::offered() const {
    std::vector<uint32_t> list = formats();
    if (synthesizesText && has(kFormatText) && !has(kFormatUnicodeText)) list.push_back(kFormatUnicodeText);
    if (synthesizesText && has(kFormatUnicodeText) && !has(kFormatText)) list.push_back(kFormatText);
    return list;
}

MemoryHandle FakeClipboard::synthesized(uint32_t format) {
    if (format == kFormatUnicodeText) {
        std::string bytes = bytesOf(kFormatText);
        bytes = bytes.substr(0, bytes.find('\0'));
        const std::u16string text = codePage932().toUtf16(bytes.data(), bytes.size());
        putUnicodeText(text);
    } else {
        const std::u16string text = unicodeTextOf();
        std::string bytes;
        codePage932().fromUtf16(text.data(), text.size(), SIZE_MAX, bytes);
        putText(bytes);
    }
    return formats_.back().second;
}

uint32_t FakeClipboard::enumFormats(uint32_t format) {
    if (fails(ClipboardCall::enumFormats) || !open_) return 0;
    const std::vector<uint32_t> list = offered();
    size_t next = 0;
    if (format != 0) {
        while (next < list.size() && list[next] != format) ++next;
        ++next;
    }
    return next < list.size() ? list[next] : 0;
}

MemoryHandle FakeClipboard::getData(uint32_t format) {
    if (fails(ClipboardCall::getData) || !open_) return nullptr;
    for (const auto& entry : formats_)
        if (entry.first == format) return entry.second;
    const std::vector<uint32_t> list = offered();
    if (std::find(list.begin(), list.end(), format) != list.end()) return synthesized(format);
    return nullptr;
}

bool FakeClipboard::empty() {
    if (fails(ClipboardCall::empty) || !open_) return false;
    clear();
    return true;
}

MemoryHandle FakeClipboard::setData(uint32_t format, MemoryHandle handle) {
    if (fails(ClipboardCall::setData) || !open_ || !memory_.has(handle)) return nullptr;
    // Without the memory for the text as UTF-8, or for the clipboard's own copy of the block, the
    // clipboard takes nothing and the block stays the program's.
    const bool text = format == kFormatText || format == kFormatUnicodeText;
    OwnedBytes utf8;
    if (text && !utf8TextOfBlock(format, memory_.data(handle), memory_.size(handle), utf8)) {
        lastError_ = kNotEnoughMemory;
        return nullptr;
    }
    if (!memory_.handOver(handle)) {
        lastError_ = kNotEnoughMemory;
        return nullptr;
    }
    if (text) utf8Text_.assign(reinterpret_cast<const char*>(utf8.data()), utf8.size());
    for (auto& entry : formats_)
        if (entry.first == format) {
            memory_.discard(entry.second);
            entry.second = handle;
            return handle;
        }
    formats_.emplace_back(format, handle);
    return handle;
}

MemoryHandle FakeClipboard::globalAlloc(uint32_t, size_t bytes) {
    if (fails(ClipboardCall::globalAlloc)) return nullptr;
    allocatedSizes.push_back(bytes);
    MemoryHandle block = memory_.allocate(bytes);
    if (!block) lastError_ = kNotEnoughMemory;
    return block;
}

MemoryHandle FakeClipboard::globalFree(MemoryHandle handle) {
    if (fails(ClipboardCall::globalFree)) return handle;
    return memory_.free(handle) ? nullptr : handle;
}

void* FakeClipboard::globalLock(MemoryHandle handle) {
    if (fails(ClipboardCall::globalLock)) return nullptr;
    return memory_.lock(handle);
}

bool FakeClipboard::globalUnlock(MemoryHandle handle) {
    if (fails(ClipboardCall::globalUnlock)) return false;
    return memory_.unlock(handle, lastError_);
}

size_t FakeClipboard::globalSize(MemoryHandle handle) { return memory_.size(handle); }

uint32_t FakeClipboard::registerFormat(const char* name) {
    if (failRegistering || !name || !*name) return 0;
    // Windows compares the names without regard to case.
    const auto same = [&](const std::string& known) {
        return known.size() == std::strlen(name) &&
               std::equal(known.begin(), known.end(), name, [](char a, char b) { return std::tolower(a) == std::tolower(b); });
    };
    for (size_t i = 0; i < names_.size(); ++i)
        if (same(names_[i])) return uint32_t(0xC000 + i);
    names_.emplace_back(name);
    return uint32_t(0xC000 + names_.size() - 1);
}

}  // namespace grid
