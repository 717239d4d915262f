#include <string>
#include <vector>

#include "clipboard/Clipboard.h"
#include "core/Settings.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeClock.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

constexpr uint32_t kBitmap = 2;

template <class Ch>
class ClipboardTest : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetSettings<Ch>();
        settings<Ch>().clipWaitCount = 20;
        settings<Ch>().clipWaitTime = 50;
        mainWindow = reinterpret_cast<WindowHandle>(0x1234);
    }
    void TearDown() override {
        EXPECT_FALSE(clipboard.isOpen()) << "left open";
        EXPECT_EQ(clipboard.programBlocks(), 0u) << "global memory leaked";
        mainWindow = nullptr;
        CoreTest<Ch>::TearDown();
    }
    // The text as the program's own format holds it.
    void putOwnText(const std::string& ascii) {
        if constexpr (sizeof(Ch) == 1)
            clipboard.putText(ascii);
        else
            clipboard.putUnicodeText(textOf<char16_t>(ascii.c_str()));
    }
    std::string read(StatusCode expected = kOk) {
        Ch* copy = nullptr;
        EXPECT_EQ(readClipboardText<Ch>(&copy), expected);
        if (!copy) return "<none>";
        std::string text = narrow(copy);
        releaseArray(copy);
        return text;
    }

    FakeClipboard clipboard;
    FakeClock clock;
    FakeSettingsFile files;
};

TYPED_TEST_SUITE(ClipboardTest, CharTypes);

TYPED_TEST(ClipboardTest, ProbeFindsTextAndSpreadsheetData) {
    using Ch = TypeParam;
    this->clipboard.put(kBitmap, "bits");
    EXPECT_EQ(probeClipboard<Ch>(), kNothingUsable);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{23});

    this->boxes.clear();
    this->clipboard.put(kFormatSylk, "ID;PCALCOOO32\r\n");
    EXPECT_EQ(probeClipboard<Ch>(), kNothingUsable);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{24});

    this->boxes.clear();
    this->clipboard.putText("a\tb");
    EXPECT_EQ(probeClipboard<Ch>(), kSpreadsheetData);
    this->clipboard.put(kFormatSylk, "ID;PWXL;N;E");
    EXPECT_EQ(probeClipboard<Ch>(), kSpreadsheetData);
    for (const char* other : {"ID;PSCALC3", "ID;PCAL", "ID;PWX", "I", "id;pcalc"}) {
        this->clipboard.put(kFormatSylk, other);  // another program's, or shorter than a signature
        EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText) << other;
    }
    EXPECT_TRUE(this->boxes.codes().empty());
    EXPECT_EQ(this->clipboard.lastOwner(), mainWindow);
    this->clipboard.put(kFormatSylk, "");  // a block of no bytes cannot be locked
    EXPECT_EQ(probeClipboard<Ch>(), kNoMemory);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{13});
}

TYPED_TEST(ClipboardTest, EachProgramPrefersTheTextFormatItReads) {
    using Ch = TypeParam;
    // Either text format brings the other with it, so each program finds its own.
    this->clipboard.putUnicodeText(u"u");
    EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);
    this->clipboard.putText("t");
    EXPECT_EQ(probeClipboard<Ch>(), sizeof(Ch) == 1 ? kEightBitText : kUnicodeText);

    // Without the conversion, the only format there is wins in both.
    this->clipboard.synthesizesText = false;
    this->clipboard.clear();
    this->clipboard.putUnicodeText(u"u");
    EXPECT_EQ(probeClipboard<Ch>(), kUnicodeText);
    this->clipboard.clear();
    this->clipboard.putText("t");
    EXPECT_EQ(probeClipboard<Ch>(), kEightBitText);
}

TYPED_TEST(ClipboardTest, OpeningIsRetried) {
    using Ch = TypeParam;
    this->clipboard.synthesizesText = false;
    this->clipboard.putText("x");
    this->clipboard.openFailures = 10;  // another program holds it for a while
    EXPECT_EQ(probeClipboard<Ch>(), kEightBitText);
    EXPECT_EQ(this->clock.sleeps, std::vector<uint32_t>(10, 50));

    this->clipboard.openFailures = 20;
    EXPECT_EQ(probeClipboard<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{20});
    EXPECT_EQ(this->clock.sleeps.size(), 30u);  // a sleep after the last failed attempt too

    settings<Ch>().clipWaitCount = 0;
    const int opens = this->clipboard.calls(ClipboardCall::open);
    EXPECT_EQ(this->read(kFailedReported), "<none>");
    EXPECT_EQ(this->clipboard.calls(ClipboardCall::open), opens);  // no attempt at all
    EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "m")), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{20, 20, 16}));
    EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("x\0", 2));
}

TYPED_TEST(ClipboardTest, ProbeFailures) {
    using Ch = TypeParam;
    this->clipboard.putText("x");
    this->clipboard.put(kFormatSylk, "ID;PCALC");
    // Formats that could not be walked are no empty clipboard: the read message, not "no data".
    const std::pair<ClipboardCall, int> cases[] = {{ClipboardCall::getData, 21},
                                                   {ClipboardCall::enumFormats, 21},
                                                   {ClipboardCall::globalLock, 13},
                                                   {ClipboardCall::globalUnlock, 13}};
    for (const auto& [call, message] : cases) {
        this->boxes.clear();
        this->clipboard.failCall(call);
        EXPECT_EQ(probeClipboard<Ch>(), message == 21 ? kFailedReported : kNoMemory);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{message});
        EXPECT_FALSE(this->clipboard.isOpen());
    }
    // A wait for another program that the user cancelled ends as every cancel check does; the same
    // failure without a cancel request is the read message.
    for (ClipboardCall call : {ClipboardCall::enumFormats, ClipboardCall::getData}) {
        for (const bool requested : {true, false}) {
            this->boxes.clear();
            runState<Ch>().cancelState.store(requested ? kCancelRequested : kCancelNotRequested);
            this->clipboard.failCall(call, 1, FaultRepeat::once, kErrorCancelled);
            EXPECT_EQ(probeClipboard<Ch>(), kFailedReported);
            EXPECT_EQ(this->boxes.codes(), std::vector<int>{requested ? 3 : 21});
            EXPECT_EQ(runState<Ch>().cancelState.load(), requested ? kCancelSeen : kCancelNotRequested);
        }
    }
}

TYPED_TEST(ClipboardTest, ReadCopiesNoMoreThanTheBlock) {
    using Ch = TypeParam;
    this->putOwnText("a\tb\r\nc");
    EXPECT_EQ(this->read(), "a\tb\r\nc");
    this->putOwnText("");
    EXPECT_EQ(this->read(), "");
    // Without a terminating NUL the text ends with the block.
    const uint32_t own = sizeof(Ch) == 1 ? kFormatText : kFormatUnicodeText;
    this->clipboard.put(own, sizeof(Ch) == 1 ? std::string("abc") : std::string("a\0b\0c", 5));
    EXPECT_EQ(this->read(), sizeof(Ch) == 1 ? "abc" : "ab");  // an odd last byte is no character
    // Text that is not valid in its code page is taken as it comes (converted by the system where
    // the program reads the other format).
    this->clipboard.clear();
    this->clipboard.putText("\x81\x20x\xFF");
    // (U+30FB for the broken pair and U+F8F3 for 0xFF, seen here by their low bytes.)
    EXPECT_EQ(this->read(), sizeof(Ch) == 1 ? "\x81\x20x\xFF" : "\xFB" "x\xF3");
    this->clipboard.put(own, "");  // a block of no bytes cannot be locked
    EXPECT_EQ(this->read(kNoMemory), "<none>");
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{13});
}

TYPED_TEST(ClipboardTest, ReadFailuresFreeTheCopy) {
    this->putOwnText("text");
    struct Case {
        ClipboardCall call;
        StatusCode result;
        int message;
    };
    for (const Case& c : {Case{ClipboardCall::getData, kFailedReported, 21}, Case{ClipboardCall::globalLock, kNoMemory, 13},
                          Case{ClipboardCall::globalUnlock, kNoMemory, 13}, Case{ClipboardCall::close, kFailedReported, 22}}) {
        this->boxes.clear();
        this->clipboard.failCall(c.call);
        EXPECT_EQ(this->read(c.result), "<none>");
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{c.message});
        EXPECT_EQ(this->allocator.liveBlocks(), 0u);
        if (this->clipboard.isOpen()) this->clipboard.close();  // a failed close leaves it open
    }
    runState<TypeParam>().cancelState.store(kCancelRequested);
    this->boxes.clear();
    this->clipboard.failCall(ClipboardCall::getData, 1, FaultRepeat::once, kErrorCancelled);
    EXPECT_EQ(this->read(kFailedReported), "<none>");
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
    EXPECT_EQ(runState<TypeParam>().cancelState.load(), kCancelSeen);
    for (AllocationFailure kind : {AllocationFailure::exhausted, AllocationFailure::other}) {
        this->boxes.clear();
        this->allocator.failNth(1, kind);
        EXPECT_EQ(this->read(kNoMemory), "<none>");
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{kind == AllocationFailure::exhausted ? 12 : 13});
    }
}

TYPED_TEST(ClipboardTest, WritePutsOneTextInABlockOfItsSize) {
    using Ch = TypeParam;
    this->clipboard.putText("old");
    this->clipboard.put(kFormatSylk, "ID;PCALC");
    EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "<T>")), kOk);
    EXPECT_EQ(this->clipboard.formats().size(), 1u);
    EXPECT_EQ(this->clipboard.utf8Text(), "<T>");
    if constexpr (sizeof(Ch) == 1) {
        EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("<T>\0", 4));
        EXPECT_EQ(this->clipboard.allocatedSizes.back(), 4u);
    } else {
        EXPECT_EQ(this->clipboard.unicodeTextOf(), u"<T>");
        EXPECT_EQ(this->clipboard.allocatedSizes.back(), 8u);  // 2 x 3 bytes + 2
        EXPECT_EQ(writeClipboard<char16_t>(u"日本"), kOk);
        EXPECT_EQ(this->clipboard.allocatedSizes.back(), 10u);  // 4 bytes in code page 932
        this->files.multibyteFails = true;  // a character the code page lacks
        EXPECT_EQ(writeClipboard<char16_t>(u"日本\U0001F600"), kOk);
        EXPECT_EQ(this->clipboard.allocatedSizes.back(), 64u);  // 16 bytes a unit
        EXPECT_EQ(this->clipboard.unicodeTextOf(), u"日本\U0001F600");
        EXPECT_EQ(this->clipboard.utf8Text(), "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80");
    }
    EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "")), kOk);
    EXPECT_EQ(this->clipboard.allocatedSizes.back(), sizeof(Ch) == 1 ? 1u : 2u);
    EXPECT_TRUE(this->boxes.codes().empty());
}

TYPED_TEST(ClipboardTest, WriteFailures) {
    using Ch = TypeParam;
    struct Case {
        ClipboardCall call;
        StatusCode result;
        int message;
        bool keepsOld;  // the clipboard still holds what the user copied
        bool holdsText;
    };
    const Case cases[] = {
        {ClipboardCall::open, kFailedReported, 16, true, false},
        {ClipboardCall::empty, kFailedReported, 17, true, false},
        // The block is filled before the clipboard is emptied.
        {ClipboardCall::globalAlloc, kNoMemory, 12, true, false},
        {ClipboardCall::globalLock, kNoMemory, 13, true, false},
        {ClipboardCall::globalUnlock, kNoMemory, 13, true, false},
        {ClipboardCall::setData, kFailedReported, 18, false, false},
        {ClipboardCall::close, kFailedReported, 19, false, true},
    };
    for (const Case& c : cases) {
        this->boxes.clear();
        this->clipboard.putText("old");
        settings<Ch>().clipWaitCount = c.call == ClipboardCall::open ? 1 : 20;
        this->clipboard.failCall(c.call);
        EXPECT_EQ(writeClipboard<Ch>(TEXT_OF(Ch, "new")), c.result);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{c.message});
        const uint32_t own = sizeof(Ch) == 1 ? kFormatText : kFormatUnicodeText;
        if (c.keepsOld) {
            EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("old\0", 4)) << c.message;
        } else if (c.holdsText) {
            EXPECT_EQ(this->clipboard.formats(), std::vector<uint32_t>{own}) << c.message;
        } else {
            EXPECT_TRUE(this->clipboard.formats().empty()) << c.message;
        }
        EXPECT_EQ(this->clipboard.programBlocks(), 0u) << c.message;
        if (this->clipboard.isOpen()) this->clipboard.close();
    }
}

}  // namespace
}  // namespace grid::test
