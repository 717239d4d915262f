#include <cstdio>

#include "core/TextBuffer.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

template <class Ch>
class TextBufferTest : public CoreTest<Ch> {};
TYPED_TEST_SUITE(TextBufferTest, CharTypes);

TYPED_TEST(TextBufferTest, InitialisesToCapacityOrAHundred) {
    using Ch = TypeParam;
    for (int32_t requested : {0, -5}) {
        TextBuffer<Ch> buffer;
        ASSERT_EQ(InitTextBuffer(buffer, requested), kOk);
        EXPECT_EQ(buffer.capacity, 100);
        EXPECT_EQ(narrow(buffer.data), "");
        FreeTextBuffer(buffer);
    }
    TextBuffer<Ch> buffer;
    ASSERT_EQ(InitTextBuffer(buffer, 7), kOk);
    EXPECT_EQ(buffer.capacity, 7);
    FreeTextBuffer(buffer);
    EXPECT_EQ(buffer.capacity, 0);
    FreeTextBuffer(buffer);  // a second release frees nothing
    EXPECT_EQ(this->allocator.liveBlocks(), 0u);
}

TYPED_TEST(TextBufferTest, GrowsOnlyWhenTheTextDoesNotFitAndThenByItsLengthPlus500) {
    using Ch = TypeParam;
    TextBuffer<Ch> buffer;
    ASSERT_EQ(InitTextBuffer(buffer, 10), kOk);
    ASSERT_EQ(AppendText(buffer, textOf<Ch>("abcdefghij").c_str()), kOk);  // exactly fills it
    EXPECT_EQ(buffer.capacity, 10);
    ASSERT_EQ(AppendText(buffer, textOf<Ch>("").c_str()), kOk);
    EXPECT_EQ(buffer.capacity, 10);
    ASSERT_EQ(AppendText(buffer, textOf<Ch>("xyz").c_str()), kOk);
    EXPECT_EQ(buffer.capacity, 10 + 3 + 500);
    EXPECT_EQ(narrow(buffer.data), "abcdefghijxyz");
    EXPECT_EQ(GrowTextBuffer(buffer, 0), kOk);
    EXPECT_EQ(GrowTextBuffer(buffer, -4), kOk);
    EXPECT_EQ(buffer.capacity, 513);
    EXPECT_EQ(GrowTextBuffer(buffer, 7), kOk);
    EXPECT_EQ(buffer.capacity, 520);
    EXPECT_EQ(narrow(buffer.data), "abcdefghijxyz");
    FreeTextBuffer(buffer);
}

TYPED_TEST(TextBufferTest, CapacityFollowsTheGrowthRuleOverManyAppends) {
    using Ch = TypeParam;
    TextBuffer<Ch> buffer;
    ASSERT_EQ(InitTextBuffer(buffer, 100), kOk);
    int64_t expectedCapacity = 100, expectedLength = 0;
    std::basic_string<Ch> expected;
    for (int i = 0; i < 3000; ++i) {
        auto piece = textOf<Ch>(i % 7 == 0 ? "a longer piece of text" : "xy");
        if (expectedLength + int64_t(piece.size()) > expectedCapacity) expectedCapacity += int64_t(piece.size()) + 500;
        expectedLength += int64_t(piece.size());
        expected += piece;
        ASSERT_EQ(AppendText(buffer, piece.c_str()), kOk);
        ASSERT_EQ(buffer.capacity, expectedCapacity);
    }
    EXPECT_EQ(std::basic_string<Ch>(buffer.data), expected);
    FreeTextBuffer(buffer);
}

TYPED_TEST(TextBufferTest, FailedInitialisationShowsTheMessageOfTheFailureAndLeavesNothingToFree) {
    using Ch = TypeParam;
    for (auto [kind, code] : {std::pair{AllocationFailure::exhausted, 12}, std::pair{AllocationFailure::other, 13}}) {
        this->boxes.clear();
        this->allocator.failNth(1, kind);
        TextBuffer<Ch> buffer;
        EXPECT_EQ(InitTextBuffer(buffer, 50), kNoMemory);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{code});
        FreeTextBuffer(buffer);  // must skip the storage that was never allocated
        EXPECT_EQ(buffer.capacity, 0);
    }
    // The same for a cell text inside the grid: the release skips it.
    this->allocator.failNth(0);
    this->grid().rows = 1;
    this->grid().columns = 1;
    ASSERT_EQ(AllocateCellGrid<Ch>(), kOk);
    this->allocator.failNth(1);
    EXPECT_EQ(InitTextBuffer(this->grid().at(0, 0).text, 10), kNoMemory);
    ReleaseCellGrid<Ch>();
    EXPECT_EQ(this->allocator.liveBlocks(), 0u);
}

TYPED_TEST(TextBufferTest, FailedAppendShowsMessage13AndKeepsTheContent) {
    using Ch = TypeParam;
    TextBuffer<Ch> buffer;
    ASSERT_EQ(InitTextBuffer(buffer, 3), kOk);
    ASSERT_EQ(AppendText(buffer, textOf<Ch>("abc").c_str()), kOk);
    this->allocator.failNth(1, AllocationFailure::exhausted);
    EXPECT_EQ(AppendText(buffer, textOf<Ch>("d").c_str()), kNoMemory);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{13});
    EXPECT_EQ(narrow(buffer.data), "abc");
    EXPECT_EQ(buffer.capacity, 3);
    // Growth that cannot have its doubled reserve takes the exact new capacity; failing that too,
    // it fails without a message of its own and leaves the buffer as it was.
    this->allocator.failNth(1);
    EXPECT_EQ(GrowTextBuffer(buffer, 1), kOk);
    EXPECT_EQ(this->allocator.allocations(), 2);
    EXPECT_EQ(buffer.capacity, 4);
    this->allocator.failNth(1, AllocationFailure::exhausted, FaultRepeat::fromThenOn);
    EXPECT_EQ(GrowTextBuffer(buffer, 1), kNoMemory);
    EXPECT_EQ(this->allocator.allocations(), 2);
    EXPECT_EQ(this->boxes.codes().size(), 1u);
    EXPECT_EQ(narrow(buffer.data), "abc");
    EXPECT_EQ(buffer.capacity, 4);
    this->allocator.failNth(0);
    FreeTextBuffer(buffer);
}

TYPED_TEST(TextBufferTest, BoundedSprintfTakesArgumentsByTheCharacterAfterThePercent) {
    using Ch = TypeParam;
    Ch out[64];
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, " BORDER"));
    EXPECT_EQ(narrow(out), " BORDER");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, ""));
    EXPECT_EQ(narrow(out), "");
    BoundedSprintf<Ch>(out, 8, TEXT_OF(Ch, "#%2.2x%2.2x%2.2x"), {255, 0, 128});
    EXPECT_EQ(narrow(out), "#ff0080");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%x"), {0x1234});
    EXPECT_EQ(narrow(out), "34");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%d"), {0x1234});
    EXPECT_EQ(narrow(out), "4660");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%4.4x"), {0x1234});  // a full 32-bit value
    EXPECT_EQ(narrow(out), "1234");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "[%c]"), {0x141});  // low 8 bits only
    EXPECT_EQ(narrow(out), "[A]");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "<%s>"), {TEXT_OF(Ch, "abc")});
    EXPECT_EQ(narrow(out), "<abc>");
    // Both "%" of "%%" are counted, but as in printf only the conversion consumes an argument.
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%%%d"), {1, 2});
    EXPECT_EQ(narrow(out), "%1");
    BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%d,%d,%d,%d,%d"), {1, 2, 3, 4, 5});
    EXPECT_EQ(narrow(out), "1,2,3,4,5");
    EXPECT_TRUE(this->boxes.shown().empty());
}

TYPED_TEST(TextBufferTest, BoundedSprintfNeverReadsAnArgumentThatWasNotPassedNorWritesPastItsDestination) {
    using Ch = TypeParam;
    Ch out[8];
    for (Ch& c : out) c = Ch('#');
    BoundedSprintf<Ch>(out, 4, TEXT_OF(Ch, "%d"), {123456});
    EXPECT_EQ(narrow(out), "123");
    EXPECT_EQ(out[4], Ch('#'));
    Ch wide[32];
    BoundedSprintf<Ch>(wide, 32, TEXT_OF(Ch, "%d-%d"), {7});
    EXPECT_EQ(narrow(wide), "7-%d");
    // %n is copied as it stands; it neither writes through an argument nor consumes one.
    BoundedSprintf<Ch>(wide, 32, TEXT_OF(Ch, "a%nb%d"), {5, 6});
    EXPECT_EQ(narrow(wide), "a%nb5");
}

TYPED_TEST(TextBufferTest, SixPercentSignsShowMessage99AndEndTheProcessWithCode0) {
    using Ch = TypeParam;
    Ch out[64];
    try {
        BoundedSprintf<Ch>(out, 64, TEXT_OF(Ch, "%d%d%d%d%d%d"), {1, 2, 3, 4, 5});
        FAIL() << "the process was not ended";
    } catch (const ProcessExitRequested& exit) {
        EXPECT_EQ(exit.code, 0);
    }
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{99});
    EXPECT_EQ(narrow(out), "");  // nothing formatted
}

#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(BoundedSprintfProcess, SixPercentSignsEndTheRealProcessWithCode0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char out[16];
    EXPECT_EXIT(BoundedSprintf<char>(out, 16, "%%%%%%"), ::testing::ExitedWithCode(0), "");
}
#endif

TYPED_TEST(TextBufferTest, ColourCodesAreRedGreenBlueInLowerCase) {
    using Ch = TypeParam;
    Ch code[8];
    const std::pair<int32_t, const char*> cases[] = {
        {0xFF8000, "#ff8000"}, {0, "#000000"}, {0xFFFFFF, "#ffffff"}, {0x12345678, "#345678"}, {-1, "#ffffff"}};
    for (auto [colour, expected] : cases) {
        FormatColourCode<Ch>(colour, code);
        EXPECT_EQ(narrow(code), expected);
    }
}

}  // namespace
}  // namespace grid::test
