#include "core/BoundedFormat.h"

namespace grid {
namespace {

// Characters go into the destination while there is room; the rest is dropped, so a long
// padding costs no more than the destination's size.
template <class Ch>
struct Output {
    Ch* dest;
    int32_t room;  // characters that may be written, NUL excluded
    int32_t written = 0;

    bool full() const { return written >= room; }
    void put(Ch c) {
        if (written < room) dest[written++] = c;
    }
    void repeat(Ch c, int64_t count) {
        for (int64_t i = 0; i < count && !full(); ++i) put(c);
    }
};

template <class Ch>
int32_t readNumber(const Ch*& p) {
    int64_t value = 0;
    while (*p >= Ch('0') && *p <= Ch('9')) {
        value = value * 10 + (*p - Ch('0'));
        if (value > 0x7FFFFFFF) value = 0x7FFFFFFF;
        ++p;
    }
    return static_cast<int32_t>(value);
}

struct Spec {
    bool left = false, plus = false, space = false, alternate = false, zero = false;
    int32_t width = 0;
    int32_t precision = -1;  // -1: none
    int length = 0;          // 0 none, 1 h, 2 hh
    char conversion = 0;
};

// Parses one conversion after its "%"; returns false for anything outside the supported set.
template <class Ch>
bool parseSpec(const Ch*& p, Spec& spec) {
    for (;; ++p) {
        if (*p == Ch('-')) spec.left = true;
        else if (*p == Ch('+')) spec.plus = true;
        else if (*p == Ch(' ')) spec.space = true;
        else if (*p == Ch('#')) spec.alternate = true;
        else if (*p == Ch('0')) spec.zero = true;
        else break;
    }
    spec.width = readNumber(p);
    if (*p == Ch('.')) {
        ++p;
        spec.precision = readNumber(p);
    }
    if (*p == Ch('h')) {
        ++p;
        spec.length = 1;
        if (*p == Ch('h')) {
            ++p;
            spec.length = 2;
        }
    }
    const char known[] = "diuxXocs%";
    for (const char* k = known; *k; ++k) {
        if (*p == Ch(*k)) {
            spec.conversion = *k;
            ++p;
            return true;
        }
    }
    return false;
}

template <class Ch>
void writeNumber(Output<Ch>& out, const Spec& spec, int32_t value) {
    bool isSigned = spec.conversion == 'd' || spec.conversion == 'i';
    uint64_t magnitude;
    bool negative = false;
    if (isSigned) {
        int64_t v = spec.length == 2 ? int64_t(static_cast<signed char>(value))
                    : spec.length == 1 ? int64_t(static_cast<short>(value))
                                       : int64_t(value);
        negative = v < 0;
        magnitude = negative ? uint64_t(-v) : uint64_t(v);
    } else {
        uint32_t v = static_cast<uint32_t>(value);
        if (spec.length == 2) v = static_cast<unsigned char>(v);
        if (spec.length == 1) v = static_cast<unsigned short>(v);
        magnitude = v;
    }
    unsigned base = spec.conversion == 'o' ? 8 : (spec.conversion == 'x' || spec.conversion == 'X') ? 16 : 10;
    const char* digitsOf = spec.conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];
    int count = 0;
    for (uint64_t m = magnitude; m != 0; m /= base) digits[count++] = digitsOf[m % base];

    int64_t zeros = spec.precision > count ? spec.precision - count : 0;
    if (spec.precision < 0 && count == 0) zeros = 1;  // plain zero
    if (spec.alternate && base == 8 && zeros == 0 && (count == 0 || digits[count - 1] != '0')) zeros = 1;
    const char* prefix = "";
    if (isSigned) prefix = negative ? "-" : spec.plus ? "+" : spec.space ? " " : "";
    if (spec.alternate && base == 16 && magnitude != 0) prefix = spec.conversion == 'X' ? "0X" : "0x";
    int64_t prefixLength = 0;
    while (prefix[prefixLength]) ++prefixLength;

    int64_t body = prefixLength + zeros + count;
    int64_t pad = spec.width > body ? spec.width - body : 0;
    if (spec.zero && !spec.left && spec.precision < 0) {
        zeros += pad;
        pad = 0;
    }
    if (!spec.left) out.repeat(Ch(' '), pad);
    for (const char* q = prefix; *q; ++q) out.put(Ch(*q));
    out.repeat(Ch('0'), zeros);
    while (count > 0) out.put(Ch(digits[--count]));
    if (spec.left) out.repeat(Ch(' '), pad);
}

template <class Ch>
void writeText(Output<Ch>& out, const Spec& spec, const Ch* text, int64_t length) {
    if (spec.precision >= 0 && length > spec.precision) length = spec.precision;
    int64_t pad = spec.width > length ? spec.width - length : 0;
    if (!spec.left) out.repeat(Ch(' '), pad);
    for (int64_t i = 0; i < length && !out.full(); ++i) out.put(text[i]);
    if (spec.left) out.repeat(Ch(' '), pad);
}

template <class Ch>
int64_t boundedLength(const Ch* text, int32_t limit) {
    int64_t n = 0;
    while ((limit < 0 || n < limit) && text[n] != Ch(0)) ++n;
    return n;
}

}  // namespace

template <class Ch>
int formatBounded(Ch* dest, int32_t destSize, const Ch* format, const FormatArg* args, int argCount) {
    if (destSize <= 0) return 0;
    Output<Ch> out{dest, destSize - 1};
    int next = 0;
    const Ch* p = format;
    while (*p != Ch(0) && !out.full()) {
        if (*p != Ch('%')) {
            out.put(*p++);
            continue;
        }
        const Ch* start = p++;
        Spec spec;
        bool ok = parseSpec(p, spec);
        if (ok && spec.conversion == '%') {
            out.put(Ch('%'));
            continue;
        }
        const FormatArg* arg = ok && next < argCount ? &args[next] : nullptr;
        bool wantsText = spec.conversion == 's';
        if (!arg || arg->isText != wantsText || (wantsText && !arg->text)) {
            // Not a conversion this formatter takes an argument for: the text stands as written.
            if (!ok && *p != Ch(0)) ++p;
            for (const Ch* q = start; q < p; ++q) out.put(*q);
            continue;
        }
        ++next;
        if (spec.conversion == 's') {
            const Ch* text = static_cast<const Ch*>(arg->text);
            writeText(out, spec, text, boundedLength(text, spec.precision));
        } else if (spec.conversion == 'c') {
            Ch c = Ch(static_cast<unsigned char>(arg->number));
            Spec plain = spec;
            plain.precision = -1;
            writeText(out, plain, &c, 1);
        } else {
            writeNumber(out, spec, arg->number);
        }
    }
    dest[out.written] = Ch(0);
    return out.written;
}

template int formatBounded<char>(char*, int32_t, const char*, const FormatArg*, int);
template int formatBounded<char16_t>(char16_t*, int32_t, const char16_t*, const FormatArg*, int);

}  // namespace grid
