#include "platform/portable/ProfileReader.h"

#include <algorithm>

namespace grid {
namespace {

// The blanks Windows drops around lines, names and values: ASCII blanks and line ends, and the
// DOS end-of-file mark. Other Unicode spaces are kept.
bool isProfileSpace(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x1A; }

char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c - u'A' + u'a');
    if (c == 0x0130) return u'i';  // the letters whose lower case is an ASCII letter
    if (c == 0x212A) return u'k';
    return c;
}

bool sameName(const std::u16string& name, const char16_t* wanted, size_t wantedLength) {
    if (name.size() != wantedLength) return false;
    for (size_t i = 0; i < wantedLength; ++i)
        if (foldCase(name[i]) != foldCase(wanted[i])) return false;
    return true;
}

// The text up to its first NUL, as the C string functions see it.
std::u16string upToNul(const char16_t* begin, const char16_t* end) {
    return std::u16string(begin, std::find(begin, end, u'\0'));
}

// A name asked for, without surrounding blanks: its start and length.
const char16_t* trimmedName(const char16_t* name, size_t& length) {
    while (isProfileSpace(*name)) ++name;
    length = 0;
    while (name[length] != 0) ++length;
    while (length > 1 && isProfileSpace(name[length - 1])) --length;
    return name;
}

// lstrcpynW: at most size - 1 characters and the NUL.
void copyBounded(char16_t* buffer, const char16_t* text, size_t size) {
    size_t n = 0;
    while (n + 1 < size && text[n] != 0) {
        buffer[n] = text[n];
        ++n;
    }
    buffer[n] = 0;
}

// Copies a value, without one pair of matching surrounding quotes.
void copyEntry(char16_t* buffer, const char16_t* value, size_t size) {
    char16_t quote = 0;
    if ((value[0] == u'\'' || value[0] == u'"') && value[1] != 0 && value[std::char_traits<char16_t>::length(value) - 1] == value[0])
        quote = *value++;
    copyBounded(buffer, value, size);
    size_t rest = std::char_traits<char16_t>::length(value);
    if (quote && size >= rest) buffer[rest - 1] = 0;
}

std::u16string decode(const char* bytes, size_t length, const CodePage& ansiCodePage) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    if (length >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return utf8CodePage().toUtf16(bytes + 3, length - 3);
    if (length >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        bool bigEndian = p[0] == 0xFE;
        std::u16string text;
        text.reserve((length - 2) / 2);
        for (size_t i = 2; i + 1 < length; i += 2)
            text.push_back(bigEndian ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]));
        // An odd last byte is a character of its own, in either byte order.
        if (length % 2 == 1) text.push_back(p[length - 1]);
        return text;
    }
    return ansiCodePage.toUtf16(bytes, length);
}

std::u16string widen(const char* text, const CodePage& ansiCodePage) {
    return ansiCodePage.toUtf16(text, std::char_traits<char>::length(text));
}

}  // namespace

ProfileFile::ProfileFile(const char* bytes, size_t length, const CodePage& ansiCodePage) {
    const std::u16string text = decode(bytes, length, ansiCodePage);
    const char16_t* const end = text.data() + text.size();
    // Keys before the first section line belong to a section without a name.
    sections_.push_back(Section{});
    for (const char16_t* next = text.data(); next < end;) {
        const char16_t* start = next;
        while (next < end && *next != u'\n' && *next != u'\r') ++next;
        const char16_t* stop = next;
        while (next < end && (*next == u'\n' || *next == u'\r')) ++next;

        while (start < stop && isProfileSpace(*start)) ++start;
        while (stop > start && isProfileSpace(stop[-1])) --stop;
        if (start == stop) continue;

        if (*start == u'[') {
            const char16_t* close = stop - 1;
            while (close > start && *close != u']') --close;
            if (close > start) {
                const char16_t* nameStart = start + 1;
                const char16_t* nameEnd = close;
                while (nameStart < nameEnd && isProfileSpace(*nameStart)) ++nameStart;
                while (nameEnd > nameStart && isProfileSpace(nameEnd[-1])) --nameEnd;
                sections_.push_back(Section{upToNul(nameStart, nameEnd), {}});
                continue;
            }
        }

        const char16_t* equals = std::find(start, stop, u'=');
        Key key{{}, equals != stop, {}};
        if (key.hasValue) {
            const char16_t* nameEnd = equals;
            while (nameEnd > start + 1 && isProfileSpace(nameEnd[-1])) --nameEnd;
            const char16_t* valueStart = equals + 1;
            while (valueStart < stop && isProfileSpace(*valueStart)) ++valueStart;
            key.name = upToNul(start, nameEnd);
            key.value = upToNul(valueStart, stop);
        } else {
            key.name = upToNul(start, stop);
        }
        sections_.back().keys.push_back(std::move(key));
    }
}

const char16_t* ProfileFile::find(const char16_t* section, const char16_t* key) const {
    size_t sectionLength, keyLength;
    section = trimmedName(section, sectionLength);
    key = trimmedName(key, keyLength);
    for (const Section& s : sections_) {
        if (!sameName(s.name, section, sectionLength)) continue;
        for (const Key& k : s.keys)
            if (sameName(k.name, key, keyLength)) return k.hasValue ? k.value.c_str() : nullptr;
        return nullptr;
    }
    return nullptr;
}

size_t profileString(const ProfileFile* file, const char16_t* section, const char16_t* key,
                     const char16_t* defaultValue, char16_t* buffer, size_t size) {
    if (size == 0) return 0;
    // Trailing spaces of the default are dropped.
    std::u16string fallback(defaultValue ? defaultValue : u"");
    while (fallback.size() > 1 && fallback.back() == u' ') fallback.pop_back();
    if (!file) {
        copyBounded(buffer, fallback.c_str(), size);
    } else {
        const char16_t* value = file->find(section, key);
        copyEntry(buffer, value ? value : fallback.c_str(), size);
    }
    return std::char_traits<char16_t>::length(buffer);
}

size_t profileString(const ProfileFile* file, const char* section, const char* key, const char* defaultValue,
                     char* buffer, size_t size, const CodePage& ansiCodePage) {
    if (size == 0) return 0;
    std::u16string wide(size, u'\0');
    size_t length = profileString(file, widen(section, ansiCodePage).c_str(), widen(key, ansiCodePage).c_str(),
                                  widen(defaultValue ? defaultValue : "", ansiCodePage).c_str(), wide.data(), size);
    std::string bytes;
    bool complete = ansiCodePage.fromUtf16(wide.data(), length, size - 1, bytes);
    // A value that does not fit keeps the whole characters that do; Windows then counts the
    // buffer as full.
    std::fill(buffer, buffer + size, '\0');
    std::copy(bytes.begin(), bytes.end(), buffer);
    return complete ? bytes.size() : size - 1;
}

uint32_t profileInt(const ProfileFile* file, const char16_t* section, const char16_t* key, int32_t defaultValue) {
    char16_t text[30];
    if (profileString(file, section, key, u"", text, 30) == 0) return static_cast<uint32_t>(defaultValue);
    const char16_t* p = text;
    while (*p != 0 && *p <= u' ') ++p;
    bool negative = false;
    if (*p == u'+') {
        ++p;
    } else if (*p == u'-') {
        negative = true;
        ++p;
    }
    uint32_t base = 10;
    if (p[0] == u'0' && (p[1] == u'x' || p[1] == u'o' || p[1] == u'b')) {
        base = p[1] == u'x' ? 16 : p[1] == u'o' ? 8 : 2;
        p += 2;
    }
    uint32_t total = 0;
    for (;; ++p) {
        char16_t c = *p;
        uint32_t digit = c >= u'0' && c <= u'9' ? c - u'0'
                         : c >= u'A' && c <= u'Z' ? c - u'A' + 10
                         : c >= u'a' && c <= u'z' ? c - u'a' + 10
                                                  : 99;
        if (digit >= base) break;
        total = total * base + digit;  // wraps around in 32 bits, as Windows' does
    }
    return negative ? 0u - total : total;
}

uint32_t profileInt(const ProfileFile* file, const char* section, const char* key, int32_t defaultValue,
                    const CodePage& ansiCodePage) {
    return profileInt(file, widen(section, ansiCodePage).c_str(), widen(key, ansiCodePage).c_str(), defaultValue);
}

}  // namespace grid
