#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "platform/CodePage.h"
#include "platform/Ports.h"

namespace grid {
namespace {

// Windows' best-fit mappings into code page 932 that glibc's table lacks (Latin-1 letters lose
// their accents, for instance), and the few characters glibc maps that Windows does not.
struct BestFit {
    char16_t character;
    uint16_t bytes;  // one byte, or lead byte << 8 | trail byte
};
constexpr BestFit bestFits[] = {
    {0x0080, 0x80}, {0x00A1, 0x21}, {0x00A6, 0x7C}, {0x00A9, 0x63}, {0x00AA, 0x61}, {0x00AB, 0x81E1},
    {0x00AD, 0x2D}, {0x00AE, 0x52}, {0x00AF, 0x8150}, {0x00B2, 0x32}, {0x00B3, 0x33}, {0x00B5, 0x83CA},
    {0x00B7, 0x8145}, {0x00B8, 0x8143}, {0x00B9, 0x31}, {0x00BA, 0x6F}, {0x00BB, 0x81E2}, {0x00C0, 0x41},
    {0x00C1, 0x41}, {0x00C2, 0x41}, {0x00C3, 0x41}, {0x00C4, 0x41}, {0x00C5, 0x41}, {0x00C6, 0x41},
    {0x00C7, 0x43}, {0x00C8, 0x45}, {0x00C9, 0x45}, {0x00CA, 0x45}, {0x00CB, 0x45}, {0x00CC, 0x49},
    {0x00CD, 0x49}, {0x00CE, 0x49}, {0x00CF, 0x49}, {0x00D0, 0x44}, {0x00D1, 0x4E}, {0x00D2, 0x4F},
    {0x00D3, 0x4F}, {0x00D4, 0x4F}, {0x00D5, 0x4F}, {0x00D6, 0x4F}, {0x00D8, 0x4F}, {0x00D9, 0x55},
    {0x00DA, 0x55}, {0x00DB, 0x55}, {0x00DC, 0x55}, {0x00DD, 0x59}, {0x00DE, 0x54}, {0x00DF, 0x73},
    {0x00E0, 0x61}, {0x00E1, 0x61}, {0x00E2, 0x61}, {0x00E3, 0x61}, {0x00E4, 0x61}, {0x00E5, 0x61},
    {0x00E6, 0x61}, {0x00E7, 0x63}, {0x00E8, 0x65}, {0x00E9, 0x65}, {0x00EA, 0x65}, {0x00EB, 0x65},
    {0x00EC, 0x69}, {0x00ED, 0x69}, {0x00EE, 0x69}, {0x00EF, 0x69}, {0x00F0, 0x64}, {0x00F1, 0x6E},
    {0x00F2, 0x6F}, {0x00F3, 0x6F}, {0x00F4, 0x6F}, {0x00F5, 0x6F}, {0x00F6, 0x6F}, {0x00F8, 0x6F},
    {0x00F9, 0x75}, {0x00FA, 0x75}, {0x00FB, 0x75}, {0x00FC, 0x75}, {0x00FD, 0x79}, {0x00FE, 0x74},
    {0x00FF, 0x79}, {0x2014, 0x3F}, {0x2016, 0x3F}, {0x203E, 0x3F}, {0x2212, 0x3F}, {0x301C, 0x3F},
    {0x3094, 0x8394}, {0xF8F0, 0xA0}, {0xF8F1, 0xFD}, {0xF8F2, 0xFE}, {0xF8F3, 0xFF},
};

constexpr char16_t kDefaultWide = 0x30FB;  // what an undecodable byte pair becomes
constexpr char kDefaultByte = '?';         // what a character without a code page 932 form becomes

// glibc's CP932 table, which agrees with Windows' for every double-byte character.
class Cp932Converter {
public:
    Cp932Converter() : toWide_(iconv_open("UTF-16LE", "CP932")), toBytes_(iconv_open("CP932", "UTF-16LE")) {}
    ~Cp932Converter() {
        if (toWide_ != kNone) iconv_close(toWide_);
        if (toBytes_ != kNone) iconv_close(toBytes_);
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    bool pairToWide(unsigned char lead, unsigned char trail, char16_t& wide) const {
        char in[2] = {char(lead), char(trail)};
        unsigned char out[4];
        if (convertedLength(toWide_, in, 2, reinterpret_cast<char*>(out), sizeof out) != 2) return false;
        wide = char16_t(out[0] | (out[1] << 8));
        return true;
    }
    // The bytes of one UTF-16 unit, or 0 bytes when it has none.
    size_t unitToBytes(char16_t unit, char (&out)[4]) const {
        char in[2] = {char(unit & 0xFF), char(unit >> 8)};
        return convertedLength(toBytes_, in, 2, out, sizeof out);
    }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
    static size_t convertedLength(iconv_t cd, char* in, size_t inLength, char* out, size_t outSize) {
        if (cd == kNone) return 0;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = in;
        char* dst = out;
        size_t srcLeft = inLength, dstLeft = outSize;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0) return 0;
        return outSize - dstLeft;
    }
    iconv_t toWide_, toBytes_;
};

const Cp932Converter& cp932Converter() {
    static const Cp932Converter converter;
    return converter;
}

struct CodePage932 final : CodePage {
    std::u16string toUtf16(const char* bytes, size_t length) const override {
        std::u16string out;
        out.reserve(length);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < length; ++i) {
            unsigned char b = p[i];
            if (b < 0x80) {
                out.push_back(b);
            } else if (b == 0x80) {
                out.push_back(0x80);
            } else if (b == 0xA0) {
                out.push_back(0xF8F0);
            } else if (b >= 0xA1 && b <= 0xDF) {
                out.push_back(char16_t(0xFF61 + (b - 0xA1)));
            } else if (b >= 0xFD) {
                out.push_back(char16_t(0xF8F1 + (b - 0xFD)));
            } else if (i + 1 < length && p[i + 1] != 0) {
                // What is left are the lead bytes 81-9F and E0-FC. A lead byte takes the next byte with it, even when the pair means nothing.
                char16_t wide;
                out.push_back(cp932Converter().pairToWide(b, p[i + 1], wide) ? wide : kDefaultWide);
                ++i;
            } else {
                out.push_back(kDefaultWide);
            }
        }
        return out;
    }
    bool fromUtf16(const char16_t* text, size_t length, size_t maxBytes, std::string& bytes) const override {
        size_t written = 0;
        for (size_t i = 0; i < length; ++i) {
            char16_t unit = text[i];
            char sequence[4];
            size_t n = 0;
            if (unit < 0x80) {
                sequence[n++] = char(unit);
            } else {
                for (const BestFit& fit : bestFits)
                    if (fit.character == unit) {
                        if (fit.bytes > 0xFF) sequence[n++] = char(fit.bytes >> 8);
                        sequence[n++] = char(fit.bytes & 0xFF);
                        break;
                    }
                if (n == 0 && (unit < 0xD800 || unit > 0xDFFF)) n = cp932Converter().unitToBytes(unit, sequence);
                if (n == 0) sequence[n++] = kDefaultByte;
            }
            if (written + n > maxBytes) return false;
            bytes.append(sequence, n);
            written += n;
        }
        return true;
    }
};

}  // namespace

const CodePage& codePage932() {
    static const CodePage932 page;
    return page;
}

const CodePage& systemCodePage() { return utf8CodePage(); }

bool utf8ToCodePage932(const std::string& utf8, std::string& cp932) {
    cp932.clear();
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = utf8;
    char* src = in.data();
    size_t srcLeft = in.size();
    bool ok = true;
    char chunk[256];
    while (srcLeft > 0) {
        char* dst = chunk;
        size_t dstLeft = sizeof chunk;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        cp932.append(chunk, static_cast<size_t>(dst - chunk));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    return ok;
}

}  // namespace grid
