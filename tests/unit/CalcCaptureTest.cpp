#include <algorithm>
#include <string>
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
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

// The start of Calc and the paste, before the range is measured.
const std::vector<std::string> kStart = {
    "createInstance", "Bridge_GetStruct", "Name", "Value", "loadComponentFromURL", "sheets", "getCurrentController",
    "getFrame", "createInstance", "Name", "Value", "executeDispatch", "Name", "Value", "executeDispatch",
    "CurrentSelection", "Columns", "getCount", "Rows", "getCount",
};

template <class Ch>
class CalcCaptureTest : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetCalcSession();
        resetSettings<Ch>();
        settings<Ch>().clipWaitCount = 1;
        calc.resize(1, 1);
    }
    void TearDown() override {
        EXPECT_EQ(calc.objectsAlive, 0) << "automation objects left held";
        EXPECT_EQ(calcSession().sessionStage, 0);
        EXPECT_EQ(automation.initialized, automation.uninitialized);
        resetCalcSession();
        CoreTest<Ch>::TearDown();
    }
    StatusCode capture() {
        const StatusCode status = RunCalcCapture<Ch>();
        lastStatus = status;
        return status;
    }
    // The whole run, with spreadsheet data on the clipboard.
    StatusCode run() {
        clipboard.putText("t");
        clipboard.put(kFormatSylk, "ID;PCALCOOO32");
        return runConversion<Ch>();
    }
    int count(const std::string& member) const {
        const auto members = calc.members();
        return int(std::count(members.begin(), members.end(), member));
    }
    std::vector<std::string> captions() const {
        std::vector<std::string> list;
        for (const ShownMessage& shown : this->boxes.shown()) list.push_back(shown.caption);
        return list;
    }

    CalcStandIn calc;
    StandInAutomation automation{calc};
    FakeSettingsFile files;
    FakeClipboard clipboard;
    FakeProgressWindow window;
    FakeClock clock;
    StatusCode lastStatus = 0;
};

TYPED_TEST_SUITE(CalcCaptureTest, CharTypes);

TYPED_TEST(CalcCaptureTest, TheStartOfCalcInOrderWithItsArguments) {
    using Ch = TypeParam;
    this->calc.at(0, 0).text = u"x";
    ASSERT_EQ(this->capture(), kOk);
    std::vector<std::string> expected = kStart;
    for (const char* member : {"getCellByPosition", "getString", "HoriJustify", "VertJustify", "CharColor",
                               "CharHeight", "CharWeight", "CharUnderline", "CharStrikeout", "CharPosture",
                               "CellBackColor"})
        expected.push_back(member);
    for (const char* side : {"LeftBorder", "RightBorder", "TopBorder", "BottomBorder"})
        for (const char* member : {side, "InnerLineWidth", "OuterLineWidth", "Color"}) expected.push_back(member);
    expected.push_back("Close");
    EXPECT_EQ(this->calc.members(), expected);  // one cell: 27 calls, no merged-area query

    const auto& calls = this->calc.calls;
    EXPECT_EQ(calls[0].arguments, "\"com.sun.star.frame.Desktop\"");
    EXPECT_EQ(calls[0].callType, 1);
    EXPECT_EQ(calls[1].arguments, "\"com.sun.star.beans.PropertyValue\"");
    EXPECT_EQ(calls[1].callType, 3);
    for (int put : {2, 3, 9, 10, 12, 13}) {
        EXPECT_EQ(calls[put].callType, 4) << put;
        EXPECT_TRUE(calls[put].namedPut) << put;
    }
    EXPECT_EQ(calls[3].arguments, "true");
    EXPECT_EQ(calls[4].arguments, "\"private:factory/scalc\", \"_blank\", 0, variants[Hidden=true]");
    EXPECT_EQ(calls[8].arguments, "\"com.sun.star.frame.DispatchHelper\"");
    EXPECT_EQ(calls[11].arguments, "frame, \".uno:GoToCell\", \"\", 0, objects[ToPoint=\"$A$1\"]");
    EXPECT_EQ(calls[14].arguments, "frame, \".uno:Paste\", \"\", 0, objects[Flags=\"SVDNT\"]");
    EXPECT_EQ(calls[20].arguments, "0, 0");
    EXPECT_EQ(calls.back().arguments, "empty");
    EXPECT_TRUE(this->calc.documentHidden);
    EXPECT_TRUE(this->calc.documentClosed);
    EXPECT_EQ(this->window.positions, (std::vector<int32_t>{5, 15, 25, 30, 30, 90}));
    EXPECT_EQ(runState<Ch>().captureStage, 5);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{});
    ReleaseCellGrid<Ch>();
}

TYPED_TEST(CalcCaptureTest, CallsPerCellAndMergedAreas) {
    using Ch = TypeParam;
    this->calc.resize(3, 2);
    this->calc.merges = {{0, 1, 0, 2}};
    ASSERT_EQ(this->capture(), kOk);
    // 27 calls for every cell, 8 more for the anchor alone: its area covers the rest.
    EXPECT_EQ(this->calc.calls.size(), kStart.size() + 6 * 27 + 8 + 1);
    EXPECT_EQ(this->count("getByIndex"), 1);
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    const int32_t codes[6] = {1, 3, 4, 6, 7, 9};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(grid.cells[i].mergePosition, codes[i]) << i;
    const CellRecord<Ch>& anchor = grid.at(0, 0);
    EXPECT_EQ((std::vector<int32_t>{anchor.mergeFirstColumn, anchor.mergeLastColumn, anchor.mergeFirstRow,
                                    anchor.mergeLastRow}),
              (std::vector<int32_t>{0, 1, 0, 2}));
    EXPECT_EQ(grid.at(1, 2).mergeLastRow, 0);
    ReleaseCellGrid<Ch>();

    this->calc.calls.clear();
    this->calc.merges.clear();
    this->calc.resize(2, 2);
    ASSERT_EQ(this->capture(), kOk);
    EXPECT_EQ(this->calc.calls.size(), kStart.size() + 4 * (27 + 8) + 1);
    ReleaseCellGrid<Ch>();

    this->calc.merges = {{1, 2, 0, 0}};  // reaches beyond the pasted range
    EXPECT_EQ(this->capture(), kMergeBeyondRange);
    EXPECT_TRUE(this->calc.documentClosed);
}

TYPED_TEST(CalcCaptureTest, CellValuesAsTheWritersKnowThem) {
    using Ch = TypeParam;
    this->calc.resize(1, 5);
    const int16_t widths[5][2] = {{0, 0}, {0, 35}, {0, 88}, {20, 20}, {81, 0}};
    for (int c = 0; c < 5; ++c) this->calc.at(c, 0).lines[kTop] = {widths[c][0], widths[c][1], -1};
    StandInCell& first = this->calc.at(0, 0);
    first.charWeight = 150.0f, first.posture = 1, first.charHeight = 10.5f, first.text = u"日本";
    first.horiJustify = 3, first.vertJustify = 2, first.underline = 1, first.strikeout = 2;
    StandInCell& second = this->calc.at(1, 0);
    second.charWeight = 149.9f, second.posture = 2, second.charColor = 0x123456, second.backColor = 0x00FF00;
    ASSERT_EQ(this->capture(), kOk);
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    const int32_t kinds[5] = {0, 1, 2, 2, 2};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(grid.at(c, 0).border[kTop], kinds[c]) << c;
        EXPECT_EQ(grid.at(c, 0).borderColor[kTop], -1);  // a line's automatic colour is kept
    }
    const CellRecord<Ch>& a = grid.at(0, 0);
    EXPECT_EQ(a.bold, 1);
    EXPECT_EQ(a.italic, 0);
    EXPECT_EQ(a.charHeight, 10);
    EXPECT_EQ(a.charColor, 0);         // automatic: black
    EXPECT_EQ(a.backColor, 0xFFFFFF);  // none: white
    EXPECT_EQ(a.horiJustify, 3);
    EXPECT_EQ(a.vertJustify, 2);
    EXPECT_EQ(a.underline, 1);
    EXPECT_EQ(a.strikeout, 2);
    if constexpr (sizeof(Ch) == 1)
        EXPECT_STREQ(a.text.data, "\x93\xFA\x96\x7B");  // code page 932
    else
        EXPECT_EQ(std::u16string(a.text.data), u"日本");
    const CellRecord<Ch>& b = grid.at(1, 0);
    EXPECT_EQ(b.bold, 0);
    EXPECT_EQ(b.italic, 1);
    EXPECT_EQ(b.charColor, 0x123456);
    EXPECT_EQ(b.backColor, 0x00FF00);
    // An empty text: Gridweave's gets the default capacity, Gridquill's room for its NUL.
    EXPECT_EQ(b.text.capacity, sizeof(Ch) == 1 ? 1 : 100);
    EXPECT_EQ(b.text.data[0], Ch(0));
    ReleaseCellGrid<Ch>();
}

TYPED_TEST(CalcCaptureTest, TextWithoutACodePageFormInGridquill) {
    using Ch = TypeParam;
    if constexpr (sizeof(Ch) == 1) {
        this->files.multibyteFails = true;
        EXPECT_EQ(this->capture(), kFailedReported);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{25});
        EXPECT_TRUE(this->calc.documentClosed);
    } else {
        this->files.multibyteFails = true;  // Gridweave keeps UTF-16: no conversion at all
        EXPECT_EQ(this->capture(), kOk);
        ReleaseCellGrid<Ch>();
    }
}

TYPED_TEST(CalcCaptureTest, AFailureAtEveryStageGetsItsMessage) {
    struct Case {
        const char* member;
        int nth;
        int message;
    };
    const Case cases[] = {{"createInstance", 1, 5}, {"Value", 1, 5}, {"loadComponentFromURL", 1, 5},
                          {"getFrame", 1, 5},       {"executeDispatch", 1, 5}, {"executeDispatch", 2, 24},
                          {"CurrentSelection", 1, 5}, {"getCount", 2, 5}, {"getString", 1, 5}, {"Color", 3, 5},
                          {"getByIndex", 1, 5}};
    this->calc.resize(1, 2);
    for (const Case& c : cases) {
        this->boxes.clear();
        this->calc.calls.clear();
        this->calc.invokeFailures.clear();
        this->calc.documentClosed = false;
        this->calc.failInvoke(c.member, E_FAIL, c.nth);
        EXPECT_EQ(this->run(), kFailedReported) << c.member;
        ASSERT_EQ(this->boxes.shown().size(), 2u) << c.member;
        EXPECT_EQ(this->boxes.shown()[0].caption, "AutoWrap()");
        EXPECT_EQ(this->boxes.shown()[0].style, 0x10010u);
        EXPECT_EQ(this->boxes.shown()[0].text.find("IDispatch::Invoke(\"" + std::string(c.member) + "\"="), 0u);
        EXPECT_NE(this->boxes.shown()[0].text.find(") failed w/err 0x80004005"), std::string::npos);
        EXPECT_EQ(this->boxes.codes()[1], c.message) << c.member;
        EXPECT_FALSE(this->calc.documentClosed) << c.member;  // left open on this path
        EXPECT_EQ(this->calc.objectsAlive, 0) << c.member;
    }

    this->boxes.clear();
    this->calc.invokeFailures.clear();
    this->automation.createResult = E_FAIL;
    EXPECT_EQ(this->run(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{15});
    this->boxes.clear();
    this->automation.calcInstalled = false;
    this->window.positions.clear();
    EXPECT_EQ(this->run(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{14});
    EXPECT_EQ(this->window.positions, std::vector<int32_t>{5});
    // These two failures leave COM initialised, as the worker thread ends right after.
    EXPECT_EQ(this->automation.initialized - this->automation.uninitialized, 2);
    this->automation.uninitialized += 2;
}

TYPED_TEST(CalcCaptureTest, NamesThatAreNotThere) {
    this->calc.failName("Rows");
    EXPECT_EQ(this->run(), kFailedReported);
    ASSERT_EQ(this->boxes.shown().size(), 2u);
    EXPECT_EQ(this->boxes.shown()[0].text, "IDispatch::GetIDsOfNames(\"Rows\") failed w/err0x80020006");
    EXPECT_EQ(this->boxes.codes()[1], 5);

    // "Columns" missing is the paste that gave no cell range: message 4, nothing released first.
    this->calc.nameFailures.clear();
    this->calc.pasteGivesRange = false;
    this->boxes.clear();
    this->clipboard.clear();
    EXPECT_EQ(this->run(), kOk);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{4, 1}));
    EXPECT_TRUE(this->calc.documentClosed);
    EXPECT_EQ(runState<TypeParam>().bordersAccepted, 1);

    this->boxes.clear();
    this->clipboard.clear();
    this->boxes.answer({kAnswerCancel});
    EXPECT_EQ(this->run(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{4, 3}));
}

TYPED_TEST(CalcCaptureTest, ReleasingBeforeADocumentExistsClosesNothing) {
    using Ch = TypeParam;
    CalcSession& s = calcSession();
    this->automation.initialize();
    s.serviceManager = this->calc.newServiceManager();
    s.sessionStage = 1;
    VARIANT name;
    VariantInit(&name);
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(GRID_OLESTR("com.sun.star.frame.Desktop"));
    ASSERT_EQ(AutoWrap<Ch>(s.lastResult, kCallMethod, &s.desktop, s.serviceManager, GRID_OLESTR("createInstance"), {name}), kOk);
    ASSERT_EQ(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.propertyValue, s.serviceManager,
                           GRID_OLESTR("Bridge_GetStruct"), {name}), kOk);
    VariantClear(&name);
    s.sessionStage = 3;
    EXPECT_EQ(ReleaseAutomation<Ch>(1), kOk);
    EXPECT_EQ(this->count("Close"), 0);
    EXPECT_EQ(this->automation.uninitialized, 1);
    EXPECT_EQ(this->calc.objectsAlive, 0);

    this->automation.initialize();
    EXPECT_EQ(ReleaseAutomation<Ch>(1), kOk);  // stage 0: only COM is left
    EXPECT_EQ(this->automation.uninitialized, 2);
    this->automation.initialize();

    // Without an object at all.
    EXPECT_EQ(AutoWrap<Ch>(s.lastResult, kCallGet, nullptr, nullptr, GRID_OLESTR("x")), kAutomationFailed);
    EXPECT_EQ(this->boxes.shown().back().text, "NULL IDispatch passed to AutoWrap()");
    EXPECT_EQ(this->boxes.shown().back().caption, "Error");
}

TYPED_TEST(CalcCaptureTest, CancelDuringARowLetsTheRowFinish) {
    using Ch = TypeParam;
    this->calc.resize(3, 1);
    int thirties = 0;
    this->window.onProgress = [&](int32_t position) {
        if (position == 30 && ++thirties == 2) runState<Ch>().cancelState.store(1);  // while row 1 is read
    };
    EXPECT_EQ(this->capture(), kCancelled);
    EXPECT_EQ(this->count("getCellByPosition"), 2);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
    EXPECT_EQ(runState<Ch>().cancelState.load(), 2);
    EXPECT_TRUE(this->calc.documentClosed);

    // Progress across the rows: S = 60000 / 3.
    runState<Ch>().cancelState.store(0);
    this->window.onProgress = nullptr;
    this->window.positions.clear();
    ASSERT_EQ(this->capture(), kOk);
    EXPECT_EQ(this->window.positions, (std::vector<int32_t>{5, 15, 25, 30, 30, 50, 70, 90}));
    ReleaseCellGrid<Ch>();
}

}  // namespace
}  // namespace grid::test
