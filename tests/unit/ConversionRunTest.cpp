#include <functional>
#include <string>
#include <vector>

#include "capture/CalcCapture.h"
#include "core/ConversionRun.h"
#include "core/Settings.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeClock.h"
#include "platform/fake/FakeProgressWindow.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

// The Calc path's stand-in: a result and a stage, and a grid of one bordered cell on success.
template <class Ch>
struct ScriptedCalc final : CalcCapturePort {
    ScriptedCalc() { setCalcCapturePort(this); }
    ~ScriptedCalc() override { setCalcCapturePort(nullptr); }
    StatusCode runCalcCapture(bool) override {
        ++runs;
        runState<Ch>().captureStage = stage;
        if (result == kOk) {
            if (SplitTextIntoGrid<Ch>(TEXT_OF(Ch, "calc")) != kOk) return kNoMemory;
            for (int side = 0; side < 4; ++side) cellGrid<Ch>().at(0, 0).border[side] = 1;
        }
        return result;
    }
    StatusCode result = kOk;
    int32_t stage = 5;
    int runs = 0;
};

LocalTime at(uint16_t day, uint16_t hour, uint16_t minute, uint16_t second) {
    LocalTime t;
    t.year = 2026, t.month = 12, t.day = day, t.hour = hour, t.minute = minute, t.second = second;
    return t;
}

template <class Ch>
class ConversionRunTest : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetSettings<Ch>();
        files.files["C:\\Programs\\Grid\\" + std::string(Program<Ch>::settingsFileName)] =
            "[Param]\ncell_sep=|\nhtmlversion=4\n";
        prepareSettings<Ch>();
        mainWindow = reinterpret_cast<WindowHandle>(0x77);
        clock.times = {at(7, 10, 0, 0), at(7, 10, 1, 30)};
    }
    void TearDown() override {
        EXPECT_FALSE(clipboard.isOpen());
        EXPECT_EQ(clipboard.programBlocks(), 0u);
        mainWindow = nullptr;
        resetSettings<Ch>();
        CoreTest<Ch>::TearDown();
    }
    std::u16string ownOutput() const {
        if constexpr (sizeof(Ch) == 1) {
            const std::string bytes = clipboard.bytesOf(kFormatText);
            return textOf<char16_t>(bytes.c_str());
        } else {
            return clipboard.unicodeTextOf();
        }
    }
    std::string markupOf(const char* cell) const {
        return sizeof(Ch) == 1 ? std::string("|") + cell + "|\r\n"
                               : std::string("<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP>") + cell + "</TD>\r\n</TR>\r\n</TABLE>";
    }

    FakeSettingsFile files;
    FakeClipboard clipboard;
    FakeClock clock;
    FakeProgressWindow window;
    ScriptedCalc<Ch> calc;
};

TYPED_TEST_SUITE(ConversionRunTest, CharTypes);

TYPED_TEST(ConversionRunTest, PlainTextBecomesMarkupOnTheClipboard) {
    using Ch = TypeParam;
    this->clipboard.putText("a");
    workerMain<Ch>();
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 1}));
    EXPECT_NE(this->boxes.shown().back().text.find("1分 30秒"), std::string::npos);
    EXPECT_EQ(this->ownOutput(), textOf<char16_t>(this->markupOf("a").c_str()));
    EXPECT_EQ(this->window.positions, (std::vector<int32_t>{90, 100}));
    EXPECT_EQ(this->clock.sleeps, (std::vector<uint32_t>{500, 200, 200}));
    EXPECT_EQ(this->window.closes, 1);
    EXPECT_EQ(this->calc.runs, 0);
    EXPECT_EQ(runState<Ch>().bordersAccepted, 1);
    for (const ShownMessage& shown : this->boxes.shown()) EXPECT_EQ(shown.owner, mainWindow);
}

TYPED_TEST(ConversionRunTest, NothingUsableOnTheClipboard) {
    using Ch = TypeParam;
    this->clipboard.put(2, "bitmap");
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{23});
    this->boxes.clear();
    this->clipboard.put(kFormatSylk, "ID;PWXL;N;E");
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{24});
    EXPECT_EQ(this->calc.runs, 0);
}

TYPED_TEST(ConversionRunTest, SylkOfAnotherProgramTakesThePlainTextPath) {
    using Ch = TypeParam;
    this->clipboard.putText("x");
    this->clipboard.put(kFormatSylk, "ID;PSCALC3");
    EXPECT_EQ(runConversion<Ch>(), kOk);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 1}));
    EXPECT_EQ(this->calc.runs, 0);
}

TYPED_TEST(ConversionRunTest, CancelLeavesTheClipboardAsItWas) {
    using Ch = TypeParam;
    this->clipboard.putText("keep");
    this->boxes.answer({kAnswerCancel});
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 3}));
    EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("keep\0", 5));

    // Cancel pressed while the grid is built and written: noticed after the writer.
    this->boxes.clear();
    this->window.onProgress = [](int32_t) { runState<Ch>().cancelState.store(1); };
    EXPECT_EQ(runConversion<Ch>(), kCancelled);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 3}));
    EXPECT_EQ(runState<Ch>().cancelState.load(), 2);
    EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("keep\0", 5));

    // Cancel before the run starts: the clipboard is not even looked at.
    this->boxes.clear();
    runState<Ch>().cancelState.store(1);
    const int opens = this->clipboard.calls(ClipboardCall::open);
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
    EXPECT_EQ(this->clipboard.calls(ClipboardCall::open), opens);
}

TYPED_TEST(ConversionRunTest, ElapsedTimeAcrossMidnightAndTheTimeSetting) {
    using Ch = TypeParam;
    this->clipboard.putText("t");
    this->clock.times = {at(7, 23, 59, 50), at(8, 0, 0, 5)};
    workerMain<Ch>();
    EXPECT_EQ(runState<Ch>().elapsedMinutes, 0);
    EXPECT_EQ(runState<Ch>().elapsedSeconds, 15);
    EXPECT_NE(this->boxes.shown().back().text.find("0分 15秒"), std::string::npos);

    this->boxes.clear();
    runState<Ch>().showElapsedTime = 0;  // Time=on
    EXPECT_EQ(runConversion<Ch>(), kOk);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 0}));
}

TYPED_TEST(ConversionRunTest, ClipboardHeldOpenDuringTheWrite) {
    using Ch = TypeParam;
    this->clipboard.putText("copied");
    this->window.onProgress = [this](int32_t) { this->clipboard.openFailures = 1000; };
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 16}));
    EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("copied\0", 7));
    EXPECT_EQ(this->window.positions, std::vector<int32_t>{90});
}

TYPED_TEST(ConversionRunTest, CalcPathMessagesByStage) {
    using Ch = TypeParam;
    this->clipboard.putText("t");
    this->clipboard.put(kFormatSylk, "ID;PCALCOOO32");
    const std::pair<int32_t, std::vector<int>> stages[] = {
        {0, {}}, {1, {14}}, {2, {15}}, {3, {5}}, {4, {24}}, {5, {5}}, {9, {5}}};
    for (const auto& [stage, messages] : stages) {
        for (StatusCode result : {kAutomationFailed, kMergeBeyondRange}) {
            this->boxes.clear();
            this->calc.result = result;
            this->calc.stage = stage;
            EXPECT_EQ(runConversion<Ch>(), kFailedReported);
            EXPECT_EQ(this->boxes.codes(), messages) << stage;
        }
    }
    for (StatusCode silent : {kNoMemory, kCancelled, kFailedReported}) {
        this->boxes.clear();
        this->calc.result = silent;
        EXPECT_EQ(runConversion<Ch>(), kFailedReported);
        EXPECT_TRUE(this->boxes.codes().empty());
    }
    this->boxes.clear();
    this->calc.result = kOk;
    EXPECT_EQ(runConversion<Ch>(), kOk);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{1});
    EXPECT_EQ(this->ownOutput(), textOf<char16_t>(this->markupOf("calc").c_str()));
}

TYPED_TEST(ConversionRunTest, WriterOutOfMemoryIsReportedTwice) {
    using Ch = TypeParam;
    this->clipboard.putText("t");
    // The writer's first buffer: after the clipboard copy, the cell array and the cell's text.
    this->window.onProgress = [this](int32_t) { this->allocator.failNth(1); };
    EXPECT_EQ(runConversion<Ch>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 12, 12}));
    EXPECT_EQ(this->clipboard.bytesOf(kFormatText), std::string("t\0", 2));
}

}  // namespace
}  // namespace grid::test
