#include "core/BoundedFormat.h"

namespace grid {
namespace {

// The destination as far as it may be written. Whatever does not fit is dropped here, so the
// cost of any padding or zero run is bounded by the destination's size, never by a width.
template <class Ch>
struct Sink {
    Ch* dest;
    int32_t room;  // characters that may be written, the NUL not counted
    int32_t written = 0;

    bool full() const { return written >= room; }
    void put(Ch c) {
        if (written < room) dest[written++] = c;
    }
    void fill(Ch c, int64_t count) {
        for (; count > 0 && written < room; --count) dest[written++] = c;
    }
    void putAscii(const char* text) {
        for (; *text; ++text) put(Ch(*text));
    }
};

// One parsed conversion, from just after its "%" up to and including its conversion character.
struct Conversion {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    int64_t width = 0;
    int64_t precision = -1;  // -1: none given; "." alone means 0
    int length = 0;          // 0: none, 1: h, 2: hh
    char kind = 0;           // one of "diuxXocs%", or 0 when the conversion is not one we take
};

// Reads a run of decimal digits, saturating far above anything a destination can hold.
template <class Ch>
int64_t readDecimal(const Ch*& p) {
    int64_t value = 0;
    for (; *p >= Ch('0') && *p <= Ch('9'); ++p) {
        value = value * 10 + (*p - Ch('0'));
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return value;
}

// Parses the conversion that starts at `start` (its "%"). Leaves `p` just after the last character
// belonging to it: the conversion character when it is known, the first unexpected character
// otherwise, or the terminating NUL when the format ends inside it.
template <class Ch>
Conversion parseConversion(const Ch* start, const Ch*& p) {
    Conversion c;
    p = start + 1;
    for (;; ++p) {
        if (*p == Ch('-')) c.left = true;
        else if (*p == Ch('+')) c.plus = true;
        else if (*p == Ch(' ')) c.space = true;
        else if (*p == Ch('#')) c.alternate = true;
        else if (*p == Ch('0')) c.zero = true;
        else break;
    }
    c.width = readDecimal(p);
    if (*p == Ch('.')) {
        ++p;
        c.precision = readDecimal(p);
    }
    for (; *p == Ch('h') && c.length < 2; ++p) ++c.length;
    if (*p == Ch(0)) return c;

    const Ch last = *p++;
    const char* numeric = "diuxXo";
    for (const char* k = numeric; *k; ++k)
        if (last == Ch(*k)) c.kind = *k;
    if (c.length == 0 && (last == Ch('c') || last == Ch('s'))) c.kind = char(last);
    if (last == Ch('%') && p == start + 2) c.kind = '%';  // only the bare "%%"
    return c;
}

template <class Ch>
void writeInteger(Sink<Ch>& out, const Conversion& c, int32_t value) {
    const bool isSigned = c.kind == 'd' || c.kind == 'i';
    bool negative = false;
    uint32_t magnitude;
    if (isSigned) {
        int32_t v = c.length == 2 ? int32_t(static_cast<signed char>(value))
                  : c.length == 1 ? int32_t(static_cast<short>(value))
                                  : value;
        negative = v < 0;
        magnitude = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);  // INT32_MIN too
    } else {
        magnitude = static_cast<uint32_t>(value);
        if (c.length == 2) magnitude = static_cast<unsigned char>(magnitude);
        if (c.length == 1) magnitude = static_cast<unsigned short>(magnitude);
    }
    const uint32_t base = c.kind == 'o' ? 8 : (c.kind == 'x' || c.kind == 'X') ? 16 : 10;
    const char* symbols = c.kind == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";

    // Digits least significant first; a zero with a precision of 0 has none at all.
    char digits[12];
    int count = 0;
    for (uint32_t m = magnitude; m != 0; m /= base) digits[count++] = symbols[m % base];
    if (magnitude == 0 && c.precision != 0) digits[count++] = '0';

    int64_t zeros = c.precision > count ? c.precision - count : 0;
    // "#" with octal raises the precision just enough for the first digit to be a 0.
    if (c.alternate && base == 8 && zeros == 0 && (count == 0 || digits[count - 1] != '0')) zeros = 1;

    const char* prefix = "";
    if (isSigned) prefix = negative ? "-" : c.plus ? "+" : c.space ? " " : "";
    if (c.alternate && base == 16 && magnitude != 0) prefix = c.kind == 'X' ? "0X" : "0x";
    int64_t prefixLength = 0;
    while (prefix[prefixLength]) ++prefixLength;

    const int64_t body = prefixLength + zeros + count;
    int64_t pad = c.width > body ? c.width - body : 0;
    if (c.zero && !c.left && c.precision < 0) {  // "0" pads between the sign or prefix and the digits
        zeros += pad;
        pad = 0;
    }
    if (!c.left) out.fill(Ch(' '), pad);
    out.putAscii(prefix);
    out.fill(Ch('0'), zeros);
    while (count > 0 && !out.full()) out.put(Ch(digits[--count]));
    if (c.left) out.fill(Ch(' '), pad);
}

// Writes `length` characters of `text` within the conversion's width.
template <class Ch>
void writeText(Sink<Ch>& out, const Conversion& c, const Ch* text, int64_t length) {
    const int64_t pad = c.width > length ? c.width - length : 0;
    if (!c.left) out.fill(Ch(' '), pad);
    for (int64_t i = 0; i < length && !out.full(); ++i) out.put(text[i]);
    if (c.left) out.fill(Ch(' '), pad);
}

// Length of a string, looking no further than a precision allows (a string limited by its
// precision need not be NUL-terminated within reach, as with snprintf).
template <class Ch>
int64_t limitedLength(const Ch* text, int64_t precision) {
    int64_t n = 0;
    while ((precision < 0 || n < precision) && text[n] != Ch(0)) ++n;
    return n;
}

}  // namespace

template <class Ch>
int formatBounded(Ch* dest, int32_t destSize, const Ch* format, const FormatArg* args, int argCount) {
    if (destSize <= 0 || dest == nullptr) return 0;
    Sink<Ch> out{dest, destSize - 1};
    int next = 0;
    const Ch* p = format;
    if (p == nullptr) {
        dest[0] = Ch(0);
        return 0;
    }
    while (*p != Ch(0) && !out.full()) {
        if (*p != Ch('%')) {
            out.put(*p++);
            continue;
        }
        const Ch* start = p;
        const Conversion c = parseConversion(start, p);
        if (c.kind == '%') {
            out.put(Ch('%'));
            continue;
        }
        const FormatArg* arg = c.kind != 0 && next < argCount ? &args[next] : nullptr;
        const bool wantsText = c.kind == 's';
        if (arg == nullptr || arg->isText != wantsText || (wantsText && arg->text == nullptr)) {
            // Not something we format: the conversion stands in the output as it was written.
            for (const Ch* q = start; q < p; ++q) out.put(*q);
            continue;
        }
        ++next;
        if (c.kind == 's') {
            const Ch* text = static_cast<const Ch*>(arg->text);
            writeText(out, c, text, limitedLength(text, c.precision));
        } else if (c.kind == 'c') {
            const Ch character = Ch(static_cast<unsigned char>(arg->number));  // a 0 is written too
            writeText(out, c, &character, 1);
        } else {
            writeInteger(out, c, arg->number);
        }
    }
    dest[out.written] = Ch(0);
    return out.written;
}

template int formatBounded<char>(char*, int32_t, const char*, const FormatArg*, int);
template int formatBounded<char16_t>(char16_t*, int32_t, const char16_t*, const FormatArg*, int);

}  // namespace grid
