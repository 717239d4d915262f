// On Windows compare with the C99-conforming printf of MinGW, not with msvcrt's own.
#ifdef _WIN32
#define __USE_MINGW_ANSI_STDIO 1
#endif
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "core/BoundedFormat.h"

namespace grid {
namespace {

std::u16string widen(const std::string& s) {
    std::u16string r;
    for (unsigned char c : s) r.push_back(char16_t(c));
    return r;
}

// Every supported combination of flags, width, precision, length and conversion, against snprintf.
TEST(BoundedFormat, MatchesSnprintfForEverySupportedConversion) {
    const char* flags[] = {"", "-", "+", " ", "#", "0", "-0", "+ ", "#0", "-#"};
    const char* widths[] = {"", "1", "5", "12"};
    const char* precisions[] = {"", ".", ".0", ".1", ".3", ".10"};
    const char* lengths[] = {"", "h", "hh"};
    const int32_t values[] = {0, 1, -1, 42, -42, 255, 256, 0x1234, INT32_MAX, INT32_MIN};
    int compared = 0;
    for (const char* flag : flags)
        for (const char* width : widths)
            for (const char* precision : precisions)
                for (const char* length : lengths)
                    for (char conversion : std::string("diuxXo")) {
                        std::string format = std::string("<%") + flag + width + precision + length + conversion + ">";
#ifdef _WIN32
                        // The Windows runtimes treat the sign and "#" flags of unsigned conversions unlike C
                        // does not; the native run compares these with glibc.
                        if (std::string("uxXo").find(conversion) != std::string::npos &&
                            std::string(flag).find_first_of("+ #") != std::string::npos)
                            continue;
#endif
                        for (int32_t value : values) {
                            char expected[128];
                            int expectedLength = std::snprintf(expected, sizeof expected, format.c_str(), value);
                            char actual[128];
                            FormatArg arg;
                            arg.number = value;
                            int actualLength = formatBounded<char>(actual, 128, format.c_str(), &arg, 1);
                            ASSERT_EQ(std::string(actual), std::string(expected)) << format << " " << value;
                            ASSERT_EQ(actualLength, expectedLength) << format;
                            char16_t wide[128];
                            std::u16string wideFormat = widen(format);
                            formatBounded<char16_t>(wide, 128, wideFormat.c_str(), &arg, 1);
                            ASSERT_EQ(std::u16string(wide), widen(expected)) << format;
                            ++compared;
                        }
                    }
    EXPECT_GT(compared, 25000);
}

TEST(BoundedFormat, StringsAndCharactersMatchSnprintf) {
    const char* formats[] = {"%s", "[%5s]", "[%-5s]", "[%.2s]", "[%8.3s]", "%c", "[%3c]", "[%-3c]", "%%%s%%"};
    const char* texts[] = {"", "a", "hello"};
    for (const char* format : formats) {
        bool character = std::string(format).find('c') != std::string::npos;
        for (const char* text : texts) {
            char expected[64];
            FormatArg arg;
            if (character) {
                std::snprintf(expected, sizeof expected, format, 'A');
                arg.number = 'A';
            } else {
                std::snprintf(expected, sizeof expected, format, text);
                arg.isText = true;
                arg.text = text;
            }
            char actual[64];
            formatBounded<char>(actual, 64, format, &arg, 1);
            EXPECT_EQ(std::string(actual), expected) << format;
            std::u16string wideText = widen(text);
            std::u16string wideFormat = widen(format);
            if (!character) arg.text = wideText.c_str();
            char16_t wide[64];
            formatBounded<char16_t>(wide, 64, wideFormat.c_str(), &arg, 1);
            EXPECT_EQ(std::u16string(wide), widen(expected)) << format;
        }
    }
}

TEST(BoundedFormat, TruncatesToTheDestination) {
    FormatArg arg;
    arg.number = 123456789;
    char out[8] = "#######";
    EXPECT_EQ(formatBounded<char>(out, 8, "%d%d", &arg, 1), 7);
    EXPECT_STREQ(out, "1234567");
    char one[1] = {'x'};
    EXPECT_EQ(formatBounded<char>(one, 1, "%d", &arg, 1), 0);
    EXPECT_EQ(one[0], '\0');
    char none[1] = {'x'};
    EXPECT_EQ(formatBounded<char>(none, 0, "%d", &arg, 1), 0);
    EXPECT_EQ(none[0], 'x');
}

TEST(BoundedFormat, UnsupportedConversionsAreCopiedAndTakeNoArgument) {
    FormatArg args[2];
    args[0].number = 7;
    args[1].number = 8;
    char out[64];
    formatBounded<char>(out, 64, "%n%p%f%*d%ld|%d", args, 2);
    EXPECT_STREQ(out, "%n%p%f%*d%ld|7");
    formatBounded<char>(out, 64, "%d %d %d", args, 2);  // the third argument is missing
    EXPECT_STREQ(out, "7 8 %d");
    formatBounded<char>(out, 64, "%s|%d", args, 2);  // a number for %s does not fit
    EXPECT_STREQ(out, "%s|7");
    formatBounded<char>(out, 64, "100%", args, 2);
    EXPECT_STREQ(out, "100%");
    FormatArg text;
    text.isText = true;
    text.text = "abc";
    formatBounded<char>(out, 64, "%d%s", &text, 1);  // text for %d does not fit
    EXPECT_STREQ(out, "%dabc");
}

TEST(BoundedFormat, HugeWidthsCostNoMoreThanTheDestination) {
    FormatArg arg;
    arg.number = 5;
    std::vector<char> out(32);
    EXPECT_EQ(formatBounded<char>(out.data(), 32, "%999999999999d|%.99999999999d", &arg, 1), 31);
    EXPECT_EQ(std::string(out.data()), std::string(31, ' '));
}

}  // namespace
}  // namespace grid
