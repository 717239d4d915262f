// The code page conversions; the same expectations hold for Windows' own conversion (Windows
// build) and for the emulation of code page 932 elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "platform/CodePage.h"

namespace grid::test {
namespace {

std::u16string decode932(const std::string& bytes) { return codePage932().toUtf16(bytes.data(), bytes.size()); }

std::string encode932(const std::u16string& text, size_t maxBytes = 1000, bool* complete = nullptr) {
    std::string bytes;
    bool all = codePage932().fromUtf16(text.data(), text.size(), maxBytes, bytes);
    if (complete) *complete = all;
    return bytes;
}

TEST(CodePage932, DecodesSingleAndDoubleBytes) {
    EXPECT_EQ(decode932("a\x93\xFA\x96\x7B"), u"a日本");
    EXPECT_EQ(decode932("\xB1\xDF"), u"\uFF71\uFF9F");  // half-width katakana
    EXPECT_EQ(decode932("\x80\xA0\xFD\xFE\xFF"), u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
    EXPECT_EQ(decode932("\x81\x5C\x95\x5C"), u"\u2015表");  // trail bytes that are ASCII backslashes
}

TEST(CodePage932, UndecodableBytesBecomeTheDefaultCharacter) {
    EXPECT_EQ(decode932("\x81\x20x"), u"\u30FBx");  // a lead byte swallows the byte after it
    EXPECT_EQ(decode932("x\x81"), u"x\u30FB");      // a lead byte at the end
    EXPECT_EQ(decode932(std::string("\x81\0y", 3)), std::u16string(u"\u30FB\0y", 3));
}

TEST(CodePage932, EncodesWithBestFitsAndWholeCharactersOnly) {
    EXPECT_EQ(encode932(u"日本a"), "\x93\xFA\x96\x7B" "a");
    EXPECT_EQ(encode932(u"éÀ\u00A0"), "eA?");
    EXPECT_EQ(encode932(u"\U0001F600"), "??");  // each half of a pair on its own
    bool complete = true;
    EXPECT_EQ(encode932(u"a日本", 4, &complete), "a\x93\xFA");
    EXPECT_FALSE(complete);
    EXPECT_EQ(encode932(u"日本", 4, &complete), "\x93\xFA\x96\x7B");
    EXPECT_TRUE(complete);
}

TEST(Utf8CodePage, MalformedSequencesBecomeReplacementCharacters) {
    const CodePage& utf8 = utf8CodePage();
    auto decode = [&](const std::string& s) { return utf8.toUtf16(s.data(), s.size()); };
    EXPECT_EQ(decode("a\xC3\xA9\xF0\x9F\x98\x80"), u"aé\U0001F600");
    EXPECT_EQ(decode("\xFF" "a"), u"\uFFFDa");
    EXPECT_EQ(decode("\xE6\x97" "a"), u"\uFFFDa");         // a cut sequence is one replacement
    EXPECT_EQ(decode("\xED\xA0\x80"), u"\uFFFD");           // an encoded surrogate
    EXPECT_EQ(decode("\xC0\xAF"), u"\uFFFD\uFFFD");        // an overlong form
    EXPECT_EQ(utf16ToUtf8(u"a\xD800" "b", 3), "a\xEF\xBF\xBD" "b");
    std::string bytes;
    EXPECT_FALSE(utf8.fromUtf16(u"aé", 2, 2, bytes));
    EXPECT_EQ(bytes, "a");
}

}  // namespace
}  // namespace grid::test
