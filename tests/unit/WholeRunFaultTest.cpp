// Whole conversion runs of both programs, plain text, through Calc (the stand-in) and from Calc's
// copy itself (its package and link on the clipboard), with every
// allocation, every clipboard call (each alone, or from then on), every automation call and every
// message box failing in turn:
// each run ends cleanly, reports what failed, leaks nothing, and leaves the user's clipboard as it
// was unless the run completed, in which case the markup is the one a clean run gives.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "core/ConversionRun.h"
#include "core/Settings.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeClock.h"
#include "platform/fake/FakeProgressWindow.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/calc/CalcStandIn.h"
#include "tests/calc/PackageMaker.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

using ClipboardContents = std::vector<std::pair<uint32_t, std::string>>;

// Where the cells come from: plain text, Calc through the office, Calc's copy read directly, or
// Excel's copy (its HTML) read directly.
enum class Source { plainText, calc, copied, excel };

template <class Ch>
class WholeRunFaults : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetSettings<Ch>();
        files.files["C:\\Programs\\Grid\\" + std::string(Program<Ch>::settingsFileName)] =
            "[Param]\ncell_sep=|\ncell_mrgh=>\nhtmlversion=5\nline_color_yn=ON\nback_color_yn=ON\nfont_bold_yn=ON\n"
            "back_color=BG(%s):@\nfont_bold=''@''\n";
        prepareSettings<Ch>();
        mainWindow = reinterpret_cast<WindowHandle>(0x77);
        calc.resize(2, 3);
        calc.merges = {{0, 1, 0, 0}};
        for (int32_t row = 0; row < 2; ++row)
            for (int32_t column = 0; column < 3; ++column) {
                StandInCell& cell = calc.at(column, row);
                cell.text = std::u16string(1, char16_t(u'a' + row * 3 + column));
                for (StandInLine& line : cell.lines) line.outer = 26;
            }
        calc.at(2, 1).charWeight = 150.0f;
        calc.at(1, 1).backColor = 0xFFFF00;
    }
    void TearDown() override {
        mainWindow = nullptr;
        resetCalcSession();
        resetSettings<Ch>();
        CoreTest<Ch>::TearDown();
    }

    ClipboardContents contents() const {
        ClipboardContents list;
        for (uint32_t format : clipboard.formats()) list.emplace_back(format, clipboard.bytesOf(format));
        return list;
    }

    // One run from a fresh start with the user's data on the clipboard; `answers` are given to
    // the message boxes in turn (the others are answered OK).
    StatusCode run(Source source, const std::vector<int32_t>& answers = {}) {
        resetRunState<Ch>();
        resetCalcSession();
        clipboard.clear();
        clipboard.putText("a\tb\r\nc\td\r\n");
        if (source != Source::plainText) clipboard.put(kFormatSylk, source == Source::excel ? "ID;PWXL;N;E" : "ID;PCALCOOO32");
        Ch* direct = settings<Ch>().direct_capture_yn;
        direct[0] = Ch(0);
        if (source == Source::copied) {
            const CopiedCells copied = copiedCellsOf(calc, 1, 2);
            clipboard.putNamed("Star Embed Source (XML)", copied.package);
            clipboard.putNamed("Link", copied.link);
            direct[0] = Ch('O'), direct[1] = Ch('N'), direct[2] = 0;
        }
        if (source == Source::excel) {
            clipboard.putNamed("HTML Format",
                               "<style>td {border:.5pt solid windowtext} .xl1 {background:yellow}</style><table>"
                               "<tr><td colspan=2>a</td><td>c</td></tr><tr><td>d</td><td class=xl1>e<br>e</td>"
                               "<td style='font-weight:700'>f</td></tr></table>");
            direct[0] = Ch('O'), direct[1] = Ch('N'), direct[2] = 0;
        }
        original = contents();
        initializedBefore = automation.initialized;
        uninitializedBefore = automation.uninitialized;
        this->boxes.clear();
        for (int32_t answer : answers) this->boxes.answer({answer});
        clock.times.clear();
        return runConversion<Ch>();
    }

    // What every run must leave, whatever failed in it.
    // `otherMarkup`: a second complete result the run may give (the plain-text one, after the user
    // accepted it in place of cells).
    void expectCleanEnd(StatusCode status, const ClipboardContents& cleanMarkup, const std::string& what,
                        const ClipboardContents& otherMarkup = {}, ClipboardCall failed = ClipboardCall::count) {
        SCOPED_TRACE(what);
        // A clipboard that cannot be closed stays open, as on Windows.
        if (failed != ClipboardCall::close) {
            EXPECT_FALSE(clipboard.isOpen());
        }
        EXPECT_EQ(clipboard.programBlocks(), 0u) << "clipboard blocks of the program left";
        ReleaseCellGrid<Ch>();
        EXPECT_EQ(this->allocator.liveBlocks(), 0u) << "blocks leaked";
        EXPECT_EQ(calc.objectsAlive, 0) << "automation objects left held";
        // COM is left only where Calc could not be reached at all (its ProgID or its server), and
        // the worker thread ends right after.
        const int stage = runState<Ch>().captureStage;
        const int leftInitialised = (automation.initialized - initializedBefore) -
                                    (automation.uninitialized - uninitializedBefore);
        EXPECT_EQ(leftInitialised, status != kOk && (stage == 1 || stage == 2) ? 1 : 0)
            << "COM initialisations left, messages " << testing::PrintToString(this->boxes.codes());
        EXPECT_EQ(calcSession().sessionStage, 0);
        const bool markupWritten = contents() == cleanMarkup;
        if (failed == ClipboardCall::setData && contents().empty()) {
            // Emptied, and then the clipboard would not take the markup: nothing is left to keep.
        } else if (status == kOk || (failed == ClipboardCall::close && markupWritten)) {
            if (contents() != otherMarkup) {
                EXPECT_EQ(contents(), cleanMarkup) << "a run that completed gave other markup";
            }
        } else {
            // Every format the user had is there with its bytes (reading text in the other form
            // may have added that form, as on Windows).
            for (const auto& [format, bytes] : original) {
                EXPECT_TRUE(clipboard.has(format) && clipboard.bytesOf(format) == bytes)
                    << "the user's clipboard was lost (format " << format << ")";
            }
        }
        if (status != kOk) {
            EXPECT_FALSE(this->boxes.shown().empty()) << "the run failed without a word";
        }
    }

    // The markup of a run in which nothing fails.
    ClipboardContents cleanRun(Source source) {
        EXPECT_EQ(run(source), kOk);
        ReleaseCellGrid<Ch>();
        return contents();
    }

    // The cells read in the office at once (a failure of that way falls back to the per-cell reads).
    void useFastCapture(bool on) {
        Ch* flag = settings<Ch>().fast_capture_yn;
        flag[0] = on ? Ch('O') : Ch(0), flag[1] = Ch('N'), flag[2] = 0;
    }

    FakeSettingsFile files;
    FakeClipboard clipboard;
    FakeClock clock;
    FakeProgressWindow window;
    CalcStandIn calc;
    StandInAutomation automation{calc};
    ClipboardContents original;
    int initializedBefore = 0, uninitializedBefore = 0;
};

TYPED_TEST_SUITE(WholeRunFaults, CharTypes);

const Source kSources[] = {Source::plainText, Source::calc, Source::copied};
const std::pair<AllocationFailure, FaultRepeat> kFaultKinds[] = {
    {AllocationFailure::exhausted, FaultRepeat::once},
    {AllocationFailure::other, FaultRepeat::once},
    {AllocationFailure::exhausted, FaultRepeat::fromThenOn},
    {AllocationFailure::other, FaultRepeat::fromThenOn},
};
const FaultRepeat kRepeats[] = {FaultRepeat::once, FaultRepeat::fromThenOn};
const char* nameOf(Source source) {
    return source == Source::calc ? "calc" : source == Source::copied ? "calc's copy" : source == Source::excel ? "excel's copy" : "plain text";
}

// The 1st, 2nd, ... allocation fails, as exhausted memory and as another failure, alone or with
// every later one, until a run needs no more: the message of the failure comes first among the
// run's own.
TYPED_TEST(WholeRunFaults, EveryAllocationFailingInTurn) {
    for (const auto& [source, fast] : {std::pair{Source::plainText, false}, std::pair{Source::calc, false},
                                       std::pair{Source::calc, true}, std::pair{Source::copied, false},
                                       std::pair{Source::excel, false}}) {
        this->useFastCapture(fast);
        const ClipboardContents markup = this->cleanRun(source);
        if (source == Source::copied) {
            EXPECT_EQ(lastCaptureWay(), CaptureWay::fromClipboard);
            EXPECT_EQ(markup, this->cleanRun(Source::calc)) << "the copy gave other markup than the office";
        }
        if (source == Source::excel) {
            EXPECT_EQ(lastCaptureWay(), CaptureWay::fromClipboard);
        }
        // Excel's HTML given up for want of memory leaves the cells to the office's paste.
        const ClipboardContents office = source == Source::excel ? this->cleanRun(Source::calc) : ClipboardContents{};
        for (const auto& [kind, repeat] : kFaultKinds) {
            long n = 1;
            int blockFailed = 0, textFailed = 0;  // the write's own allocations reached
            for (;; ++n) {
                this->allocator.failNth(n, kind, repeat);
                const int allocs = this->clipboard.calls(ClipboardCall::globalAlloc);
                const int sets = this->clipboard.calls(ClipboardCall::setData);
                const StatusCode status = this->run(source);
                if (!this->allocator.failed()) {
                    EXPECT_EQ(status, kOk);
                    ReleaseCellGrid<TypeParam>();
                    break;
                }
                const std::string what = std::string(nameOf(source)) + (fast ? " read in the office" : "") +
                                         ", allocation " + std::to_string(n) +
                                         (repeat == FaultRepeat::fromThenOn ? " and on" : "");
                if ((fast || source == Source::copied || source == Source::excel) && status == kOk) {
                    // The fast or the direct way gave up for want of memory and the cells were read
                    // one by one.
                    this->expectCleanEnd(status, markup, what, office);
                    continue;
                }
                EXPECT_NE(status, kOk) << what;
                const std::vector<int> codes = this->boxes.codes();
                const int last = codes.empty() ? -1 : codes.back();
                // The write's block (GlobalAlloc failing: memory cannot be allocated, the user's
                // clipboard kept) or its text as the clipboard keeps it (SetClipboardData failing
                // after the clipboard was emptied: it cannot be written to), the run's last word.
                if (this->clipboard.calls(ClipboardCall::setData) > sets) {
                    ++textFailed;
                    EXPECT_EQ(last, 18) << what;
                    this->expectCleanEnd(status, markup, what, {}, ClipboardCall::setData);
                    continue;
                }
                if (this->clipboard.calls(ClipboardCall::globalAlloc) > allocs) {
                    ++blockFailed;
                    EXPECT_EQ(last, 12) << what;
                }
                // Out of memory is reported, except for the arguments of an automation call, which
                // fail the call silently; the run then reports the step of Calc it was at.
                const int expected = kind == AllocationFailure::exhausted ? 12 : 13;
                // The writer reports any failure of its memory as exhaustion.
                const bool reported = std::find(codes.begin(), codes.end(), expected) != codes.end() ||
                                      std::find(codes.begin(), codes.end(), 12) != codes.end();
                const bool calcStep = source != Source::plainText && !codes.empty() &&
                                      codes.back() == int(captureFailureMessage(runState<TypeParam>().captureStage).value_or(~0u));
                EXPECT_TRUE(reported || calcStep) << what << ", messages " << testing::PrintToString(codes);
                this->expectCleanEnd(status, markup, what);
            }
            this->allocator.failNth(0);
            EXPECT_GT(n, 5) << "too few allocations to mean anything";
            EXPECT_GT(blockFailed, 0) << nameOf(source) << ": the block of the write never failed";
            EXPECT_GT(textFailed, 0) << nameOf(source) << ": the text of the write never failed";
        }
    }
}

// Every clipboard call failing in turn, alone or with every later call of its kind.
TYPED_TEST(WholeRunFaults, EveryClipboardCallFailingInTurn) {
    // A failed look at the formats may hide the cells: the text is then converted as plain text.
    const ClipboardContents plainMarkup = this->cleanRun(Source::plainText);
    for (Source source : kSources) {
        const ClipboardContents markup = this->cleanRun(source);
        for (int call = 0; call < int(ClipboardCall::count); ++call) {
            const ClipboardCall kind = ClipboardCall(call);
            const int before = this->clipboard.calls(kind);
            this->run(source);
            ReleaseCellGrid<TypeParam>();
            const int made = this->clipboard.calls(kind) - before;
            for (FaultRepeat repeat : kRepeats) {
                for (int nth = 1; nth <= made; ++nth) {
                    this->clipboard.failCall(kind, nth, repeat);
                    const StatusCode status = this->run(source);
                    this->expectCleanEnd(status, markup,
                                         std::string(nameOf(source)) + ", clipboard call " + std::to_string(call) +
                                             " #" + std::to_string(nth) +
                                             (repeat == FaultRepeat::fromThenOn ? " and on" : ""),
                                         plainMarkup, kind);
                    this->clipboard.stopFailing();
                    this->clipboard.close();
                }
            }
        }
    }
}

// Every Invoke of the Calc session failing in turn, and every name lookup.
TYPED_TEST(WholeRunFaults, EveryAutomationCallFailingInTurn) {
    for (bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "read in the office" : "read cell by cell");
        this->useFastCapture(fast);
        const ClipboardContents plainMarkup = this->cleanRun(Source::plainText);
        this->calc.calls.clear();
        const ClipboardContents markup = this->cleanRun(Source::calc);
        const std::vector<std::string> members = this->calc.members();
        ASSERT_GT(members.size(), fast ? 25u : 30u);
        std::map<std::string, int> seen;
        for (const std::string& member : members) {
            const int nth = ++seen[member];
            this->calc.invokeFailures.clear();
            this->calc.invokeCounts.clear();
            this->calc.calls.clear();
            this->calc.failInvoke(member, E_FAIL, nth);
            const StatusCode status = this->run(Source::calc);
            this->expectCleanEnd(status, markup, "Invoke of " + member + " #" + std::to_string(nth));
        }
        this->calc.invokeFailures.clear();
        for (const auto& [member, count] : seen) {
            this->calc.nameFailures.clear();
            this->calc.invokeCounts.clear();
            this->calc.failName(member);
            const StatusCode status = this->run(Source::calc);
            this->expectCleanEnd(status, markup, "name " + member, plainMarkup);
        }
        this->calc.nameFailures.clear();
        // Calc not there, or not to be started.
        this->automation.calcInstalled = false;
        this->expectCleanEnd(this->run(Source::calc), markup, "no Calc");
        this->automation.calcInstalled = true;
        this->automation.createResult = E_FAIL;
        this->expectCleanEnd(this->run(Source::calc), markup, "Calc not started");
        this->automation.createResult = S_OK;
    }
}

// Every message box of a run answered Cancel, closed, or failing to show (MessageBoxA gives 0).
TYPED_TEST(WholeRunFaults, EveryMessageBoxAnsweredOtherwiseOrFailingInTurn) {
    for (Source source : kSources) {
        const ClipboardContents markup = this->cleanRun(source);
        const size_t boxes = this->boxes.shown().size();
        ASSERT_GE(boxes, 1u);
        for (int32_t answer : {kAnswerCancel, int32_t(0)}) {
            for (size_t at = 0; at < boxes; ++at) {
                std::vector<int32_t> script(at, kAnswerOk);
                script.push_back(answer);
                const StatusCode status = this->run(source, script);
                this->expectCleanEnd(status, markup,
                                     std::string(nameOf(source)) + ", box " + std::to_string(at) + " answered " +
                                         std::to_string(answer));
            }
        }
    }
}

}  // namespace
}  // namespace grid::test
