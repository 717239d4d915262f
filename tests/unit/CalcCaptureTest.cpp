#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "capture/DirectCapture.h"
#include "core/ConversionRun.h"
#include "core/Settings.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeClock.h"
#include "platform/fake/FakeProgressWindow.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/calc/CalcStandIn.h"
#include "tests/calc/CapturedFields.h"
#include "tests/calc/PackageMaker.h"
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

    void useFastCapture(bool on) {
        Ch* flag = settings<Ch>().fast_capture_yn;
        flag[0] = on ? Ch('O') : Ch(0), flag[1] = Ch('N'), flag[2] = 0;
    }
    // Every field of every cell, to compare two captures: the text, its buffer's capacity, the rest.
    using CellFields = std::tuple<std::basic_string<Ch>, int32_t, CapturedFields>;
    std::vector<CellFields> gridFields() const {
        const CellGrid<Ch>& grid = cellGrid<Ch>();
        std::vector<CellFields> cells;
        for (int32_t i = 0; i < grid.rows * grid.columns; ++i) {
            const CellRecord<Ch>& c = grid.cells[i];
            cells.emplace_back(std::basic_string<Ch>(c.text.data ? c.text.data : TEXT_OF(Ch, "")), c.text.capacity,
                               capturedFields(c));
        }
        return cells;
    }
    // The grid of the per-cell reads, which the fast way must give too (released again).
    std::vector<CellFields> perCellGrid() {
        useFastCapture(false);
        EXPECT_EQ(capture(), kOk);
        EXPECT_EQ(lastCaptureWay(), CaptureWay::perCell);
        std::vector<CellFields> fields = gridFields();
        ReleaseCellGrid<Ch>();
        calc.calls.clear();
        window.positions.clear();
        useFastCapture(true);
        return fields;
    }

    // The direct way from a copy's package and link.
    StatusCode direct(const CopiedCells& copied, bool& filled) {
        const auto* package = reinterpret_cast<const uint8_t*>(copied.package.data());
        const auto* link = reinterpret_cast<const uint8_t*>(copied.link.data());
        return captureFromPackage<Ch>(package, copied.package.size(), link, copied.link.size(), filled);
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

// The requests of the fast way, after the range is measured, and the close.
const std::vector<std::string> kFastWay = {"BasicLibraries", "createLibrary", "insertByName", "getScriptProvider",
                                           "getScript", "invoke", "Close"};

// A sheet of rows x columns cells whose formats repeat (so that cells share groups), with texts
// in Japanese and with line breaks, lines of every kind, and the merged areas given.
void fillSheet(CalcStandIn& calc, int32_t rows, int32_t columns, unsigned seed, std::vector<StandInArea> areas) {
    calc.resize(rows, columns);
    calc.merges = std::move(areas);
    std::mt19937 random(seed);
    auto pick = [&](std::initializer_list<int32_t> values) {
        return *(values.begin() + std::uniform_int_distribution<size_t>(0, values.size() - 1)(random));
    };
    const std::u16string texts[] = {u"", u"a", u"日本語", u"two\nlines", u" 10.5 ", u"ｶﾀｶﾅ\r\n漢字"};
    for (StandInCell& cell : calc.cells) {
        cell.text = texts[pick({0, 1, 2, 3, 4, 5})];
        if (pick({0, 1, 2}) != 0) continue;  // most cells keep the default format
        cell.horiJustify = pick({0, 1, 2, 3, 4, 5});
        cell.vertJustify = pick({0, 1, 2, 3});
        cell.charColor = pick({-1, 0, 0x123456});
        cell.charHeight = float(pick({8, 10, 14})) + (pick({0, 1}) ? 0.5f : 0.0f);
        cell.charWeight = float(pick({100, 149, 150, 200}));
        cell.underline = int16_t(pick({0, 1, 2}));
        cell.strikeout = int16_t(pick({0, 1}));
        cell.posture = pick({0, 1, 2});
        cell.backColor = pick({-1, 0xFFFF00, 0xFFFFFF});
        for (StandInLine& line : cell.lines) {
            const int32_t kind = pick({0, 1, 2, 3});
            line.inner = int16_t(kind == 3 ? 20 : 0);
            line.outer = int16_t(kind == 1 ? 26 : kind == 2 ? 88 : kind == 3 ? 20 : 0);
            line.color = pick({-1, 0, 0xC00000});
        }
    }
}

TYPED_TEST(CalcCaptureTest, FastWayGivesTheGridOfThePerCellReadsInOneRequest) {
    using Ch = TypeParam;
    struct Sheet {
        int32_t rows, columns;
        std::vector<StandInArea> areas;
    };
    const Sheet sheets[] = {
        // Over 5,000 cells: two requests, of 1,250 rows and of 3, areas crossing from one to the other.
        {1253, 4, {{1, 2, 1248, 1252}, {0, 0, 1249, 1250}, {3, 3, 1250, 1252}}},
        {1, 1, {}},
        {3, 2, {{0, 1, 0, 2}}},
        {9, 7, {{1, 3, 0, 1}, {0, 0, 3, 8}, {4, 6, 6, 8}, {5, 6, 1, 1}}},
        {12, 5, {{0, 4, 0, 0}, {2, 3, 5, 10}}},
    };
    unsigned seed = 1;
    for (const Sheet& sheet : sheets) {
        SCOPED_TRACE(std::to_string(sheet.rows) + " x " + std::to_string(sheet.columns));
        const bool twoRequests = sheet.rows * sheet.columns > 5000;
        fillSheet(this->calc, sheet.rows, sheet.columns, seed++, sheet.areas);
        const auto expected = this->perCellGrid();
        this->calc.calls.clear();
        ASSERT_EQ(this->capture(), kOk);
        EXPECT_EQ(lastCaptureWay(), CaptureWay::inOffice);
        EXPECT_EQ(this->gridFields(), expected);
        std::vector<std::string> requests = kStart;
        requests.insert(requests.end(), kFastWay.begin(), kFastWay.end());
        if (twoRequests) {
            const auto invoke = std::find(requests.begin(), requests.end(), "invoke");
            requests.insert(requests.erase(invoke), {"getCellRangeByPosition", "invoke", "getCellRangeByPosition", "invoke"});
            std::vector<std::string> asked;
            for (const auto& call : this->calc.calls)
                if (call.member == "getCellRangeByPosition" || call.member == "invoke") asked.push_back(call.arguments);
            EXPECT_EQ(asked, (std::vector<std::string>{"0, 0, 3, 1249", "variants[part(rows 0-1249)], vt16396, vt16396",
                                                       "0, 1250, 3, 1252", "variants[part(rows 1250-1252)], vt16396, vt16396"}));
        }
        EXPECT_EQ(this->calc.members(), requests);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{});
        EXPECT_TRUE(this->calc.documentClosed);
        // Progress: a step after each request but the last, the answer at 60, then the rows as they
        // are stored, 90 at the end.
        EXPECT_EQ(this->window.positions.size(), size_t(5 + twoRequests + sheet.rows + 1));
        if (twoRequests) {
            EXPECT_EQ(this->window.positions[4], 30 + 30 * 1250 / 1253);
        }
        EXPECT_EQ(this->window.positions[4 + twoRequests], 60);
        EXPECT_EQ(this->window.positions.back(), 90);
        ReleaseCellGrid<Ch>();
    }
    // The routine, its place and what it is run on.
    const auto& calls = this->calc.calls;
    const size_t first = kStart.size();
    EXPECT_EQ(calls[first + 1].arguments, "\"GridCapture\"");
    EXPECT_EQ(calls[first + 2].arguments.rfind("\"Cells\", \"REM ", 0), 0u);
    EXPECT_NE(this->calc.routineSource.find(u"Function ReadCells(area As Object)"), std::u16string::npos);
    EXPECT_EQ(calls[first + 4].arguments,
              "\"vnd.sun.star.script:GridCapture.Cells.ReadCells?language=Basic&location=document\"");
    EXPECT_EQ(calls[first + 5].arguments, "variants[selection], vt16396, vt16396");  // [range], out, out
}

// Whatever of the fast way fails, the cells are read one by one as without it: nothing is shown,
// and the grid is the same.
TYPED_TEST(CalcCaptureTest, FastWayFallsBackToThePerCellReadsWithoutAWord) {
    using Ch = TypeParam;
    fillSheet(this->calc, 4, 3, 7, {{0, 1, 1, 2}});
    const auto expected = this->perCellGrid();
    struct Case {
        std::string what;
        std::function<void(CalcStandIn&)> arrange;
    };
    const auto answer = [](std::function<void(StandInAnswer&)> change) {
        return [change](CalcStandIn& calc) { calc.alterAnswer = change; };
    };
    std::vector<Case> cases;
    for (const std::string member : {"BasicLibraries", "createLibrary", "insertByName", "getScriptProvider",
                                     "getScript", "invoke"}) {
        cases.push_back({"Invoke of " + member, [member](CalcStandIn& calc) { calc.failInvoke(member, E_FAIL); }});
        cases.push_back({"name " + member, [member](CalcStandIn& calc) { calc.failName(member); }});
    }
    cases.push_back({"another answer", answer([](StandInAnswer& a) { a.tag = u"grid cells 2"; })});
    cases.push_back({"other columns", answer([](StandInAnswer& a) { a.columns = 4; })});
    cases.push_back({"a text less", answer([](StandInAnswer& a) { a.texts.pop_back(); })});
    cases.push_back({"a value less", answer([](StandInAnswer& a) { a.described.pop_back(); })});
    cases.push_back({"a range outside", answer([](StandInAnswer& a) { a.described[24] = 3; })});
    cases.push_back({"a range backwards", answer([](StandInAnswer& a) { a.described[24] = -1; })});
    cases.push_back({"a number beyond 32 bits", answer([](StandInAnswer& a) { a.described[2] = 1e12; })});
    cases.push_back({"no ranges", answer([](StandInAnswer& a) { a.described[22] = 0; })});
    cases.push_back({"a cell in two groups", answer([](StandInAnswer& a) {
                         a.described.insert(a.described.end(), a.described.begin(), a.described.begin() + 27);
                     })});
    cases.push_back({"cells in no group", answer([](StandInAnswer& a) {
                         size_t last = 0;  // the last group's values go
                         for (size_t at = 0; at < a.described.size(); at += 23 + 4 * size_t(a.described[at + 22]))
                             last = at;
                         a.described.resize(last);
                     })});
    cases.push_back({"an area of a cell outside", answer([](StandInAnswer& a) { a.areas[0] = 9; })});
    cases.push_back({"an area given twice", answer([](StandInAnswer& a) {
                         a.areas.insert(a.areas.end(), a.areas.begin(), a.areas.begin() + 6);
                     })});
    cases.push_back({"an area cut short", answer([](StandInAnswer& a) { a.areas.pop_back(); })});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        this->calc.invokeFailures.clear(), this->calc.nameFailures.clear(), this->calc.invokeCounts.clear();
        this->calc.alterAnswer = nullptr;
        this->calc.calls.clear();
        c.arrange(this->calc);
        ASSERT_EQ(this->capture(), kOk);
        EXPECT_EQ(lastCaptureWay(), CaptureWay::perCell);
        EXPECT_EQ(this->gridFields(), expected);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{});
        EXPECT_EQ(this->count("getCellByPosition"), 12);
        ReleaseCellGrid<Ch>();
    }

    // The second of two requests failing: nothing of the first is kept.
    fillSheet(this->calc, 1253, 4, 9, {{0, 1, 1249, 1250}});
    const auto twoRequests = this->perCellGrid();
    this->calc.invokeFailures.clear(), this->calc.nameFailures.clear(), this->calc.invokeCounts.clear();
    this->calc.alterAnswer = nullptr;
    this->calc.failInvoke("invoke", E_FAIL, 2);
    ASSERT_EQ(this->capture(), kOk);
    EXPECT_EQ(lastCaptureWay(), CaptureWay::perCell);
    EXPECT_EQ(this->gridFields(), twoRequests);
    EXPECT_EQ(this->count("invoke"), 2);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{});
    ReleaseCellGrid<Ch>();
}

// Once its answer is taken, the fast way stores the cells and ends as the per-cell reads would.
TYPED_TEST(CalcCaptureTest, FastWayEndsAsThePerCellReadsDo) {
    using Ch = TypeParam;
    this->useFastCapture(true);
    this->calc.resize(2, 2);
    this->calc.merges = {{1, 2, 0, 0}};  // reaches beyond the pasted range
    EXPECT_EQ(this->capture(), kMergeBeyondRange);
    EXPECT_TRUE(this->calc.documentClosed);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{});

    this->calc.merges.clear();
    this->files.multibyteFails = true;
    this->calc.documentClosed = false;
    if constexpr (sizeof(Ch) == 1) {
        EXPECT_EQ(this->capture(), kFailedReported);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{25});
        EXPECT_TRUE(this->calc.documentClosed);
    } else {
        ASSERT_EQ(this->capture(), kOk);  // Gridweave keeps UTF-16
        ReleaseCellGrid<Ch>();
    }
    this->files.multibyteFails = false;

    // A cancel seen between two requests of the office: the second is not made.
    fillSheet(this->calc, 1253, 4, 3, {});
    this->boxes.clear();
    this->calc.calls.clear();
    this->calc.documentClosed = false;
    runState<Ch>().cancelState.store(0);
    this->window.onProgress = [&](int32_t position) {
        if (position == 30 + 30 * 1250 / 1253) runState<Ch>().cancelState.store(1);
    };
    EXPECT_EQ(this->capture(), kCancelled);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
    EXPECT_EQ(this->count("invoke"), 1);
    EXPECT_TRUE(this->calc.documentClosed);

    // A cancel seen once the answer is there, and one seen after the first row stored.
    for (int32_t at : {60, 61}) {
        this->boxes.clear();
        this->calc.calls.clear();
        this->calc.resize(4, 2);
        runState<Ch>().cancelState.store(0);
        this->window.onProgress = [&](int32_t position) {
            if (position == (at == 60 ? 60 : 60 + 15000 / 2000)) runState<Ch>().cancelState.store(1);
        };
        EXPECT_EQ(this->capture(), kCancelled) << at;
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
        EXPECT_EQ(runState<Ch>().cancelState.load(), 2);
        EXPECT_EQ(this->count("getCellByPosition"), 0);
    }
    this->window.onProgress = nullptr;
}


// The direct way, from the copy's own package and link: the same grid as the per-cell reads of
// the same cells, with no request to the office, wherever the range stands on its sheet.
TYPED_TEST(CalcCaptureTest, DirectWayGivesTheGridOfThePerCellReadsWithoutTheOffice) {
    using Ch = TypeParam;
    struct Sheet {
        int32_t rows, columns, left, top;
        std::vector<StandInArea> areas;
    };
    const Sheet sheets[] = {
        {1, 1, 0, 0, {}},
        {3, 2, 2, 4, {{0, 1, 0, 2}}},
        {9, 7, 0, 1, {{1, 3, 0, 1}, {0, 0, 3, 8}, {4, 6, 6, 8}, {5, 6, 1, 1}}},
        {12, 5, 27, 0, {{0, 4, 0, 0}, {2, 3, 5, 10}}},
    };
    unsigned seed = 11;
    for (const Sheet& sheet : sheets) {
        SCOPED_TRACE(std::to_string(sheet.rows) + " x " + std::to_string(sheet.columns));
        fillSheet(this->calc, sheet.rows, sheet.columns, seed++, sheet.areas);
        // Calc keeps no carriage return in a text, nor a colour for a side without a line.
        for (StandInCell& cell : this->calc.cells)
            for (size_t at; (at = cell.text.find(u'\r')) != std::u16string::npos;) cell.text.erase(at, 1);
        for (StandInCell& cell : this->calc.cells)
            for (StandInLine& line : cell.lines)
                if (line.color == -1 || (line.inner == 0 && line.outer == 0)) line.color = 0;
        const auto expected = this->perCellGrid();
        const CopiedCells copied = copiedCellsOf(this->calc, sheet.left, sheet.top);
        bool filled = false;
        ASSERT_EQ(this->direct(copied, filled), kOk);
        EXPECT_TRUE(filled);
        EXPECT_EQ(lastCaptureWay(), CaptureWay::fromClipboard);
        EXPECT_EQ(this->gridFields(), expected);
        EXPECT_TRUE(this->calc.calls.empty());
        EXPECT_EQ(this->window.positions.back(), 90);
        ReleaseCellGrid<Ch>();
    }
}

// What Calc writes beyond what the stand-in's cells give: styles through their parents, the
// default style and column defaults, texts in spans (with their spaces as they are, which Calc
// writes so beside spans and in cells of several paragraphs), fields, comments, repeated cells.
TYPED_TEST(CalcCaptureTest, DirectWayReadsTheOfficesOwnForms) {
    using Ch = TypeParam;
    const std::string common =
        "<style:style style:name=\"Heading\" style:family=\"table-cell\" style:parent-style-name=\"Default\">"
        "<style:text-properties fo:font-weight=\"bold\" fo:color=\"#102030\"/></style:style>";
    const std::string automatic =
        "<style:style style:name=\"ce1\" style:family=\"table-cell\" style:parent-style-name=\"Heading\">"
        "<style:table-cell-properties fo:border=\"2.5pt solid #ff0000\" fo:border-top=\"none\" "
        "style:text-align-source=\"value-type\" style:repeat-content=\"false\"/>"
        "<style:paragraph-properties fo:text-align=\"center\"/><style:text-properties fo:font-size=\"10.5pt\" "
        "style:text-underline-style=\"wave\" style:text-underline-type=\"double\"/></style:style>"
        "<style:style style:name=\"co1\" style:family=\"table-cell\"><style:table-cell-properties "
        "fo:background-color=\"#00ff00\" fo:border-bottom=\"0.06pt double #0000ff\" "
        "style:border-line-width-bottom=\"0.02cm 0.02cm 0.02cm\"/></style:style>";
    const std::string table =
        "<table:table-column table:number-columns-repeated=\"2\"/>"
        "<table:table-column table:default-cell-style-name=\"co1\" table:number-columns-repeated=\"1022\"/>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"1024\"/>"
        "</table:table-row><table:table-row><table:table-cell/>"
        "<table:table-cell table:style-name=\"ce1\"><text:p>  a <text:span>b<text:s text:c=\"3\"/>c</text:span>"
        "<office:annotation><text:p>note</text:p></office:annotation><text:tab/>d<text:line-break/>e</text:p>"
        "<text:p/><text:p><text:a>link</text:a> x</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"2\"><text:p>twice</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"1020\"/></table:table-row>";
    const CopiedCells copied = {zipOf({{"content.xml", contentXml(automatic, table, "My 'Sheet'")},
                                       {"styles.xml", stylesXml("<style:text-properties fo:font-size=\"12pt\"/>", common)}}),
                                linkOf("'My ''Sheet'''.B3:D3")};
    bool filled = false;
    ASSERT_EQ(this->direct(copied, filled), kOk);
    ASSERT_TRUE(filled);
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    ASSERT_EQ(grid.rows * 10 + grid.columns, 13);
    const CellRecord<Ch>& styled = grid.at(0, 0);
    EXPECT_EQ(std::basic_string<Ch>(styled.text.data), TEXT_OF(Ch, "  a b   c\td\ne\n\nlink x"));
    EXPECT_EQ(styled.horiJustify, kHoriStandard);  // the value's own alignment wins over the paragraph's
    EXPECT_EQ(styled.charHeight, 10);
    EXPECT_EQ(styled.bold, 1);
    EXPECT_EQ(styled.charColor, 0x102030);
    EXPECT_EQ(styled.underline, 11);
    const int32_t lines[4] = {kThickLine, kThickLine, kNoLine, kThickLine}, colours[4] = {0xFF0000, 0xFF0000, 0, 0xFF0000};
    for (int side = 0; side < 4; ++side) {
        EXPECT_EQ(styled.border[side], lines[side]) << side;
        EXPECT_EQ(styled.borderColor[side], colours[side]) << side;
    }
    for (int32_t column : {1, 2}) {
        const CellRecord<Ch>& plain = grid.at(column, 0);
        EXPECT_EQ(std::basic_string<Ch>(plain.text.data), TEXT_OF(Ch, "twice"));
        EXPECT_EQ(plain.charHeight, 12);  // from the default style
        EXPECT_EQ(plain.backColor, 0x00FF00);  // the column's default style
        EXPECT_EQ(plain.border[kBottom], kThickLine);
        EXPECT_EQ(plain.charColor, 0);
    }
}

// Once the copy is taken, a text Gridquill's code page cannot hold and a cancel before or between
// rows end as they do in the office's way, with the grid released.
TYPED_TEST(CalcCaptureTest, DirectWayEndsAsThePerCellReadsDo) {
    using Ch = TypeParam;
    fillSheet(this->calc, 4, 2, 5, {});
    const CopiedCells copied = copiedCellsOf(this->calc);
    bool filled = false;
    if constexpr (sizeof(Ch) == 1) {
        this->files.multibyteFails = true;
        EXPECT_EQ(this->direct(copied, filled), kFailedReported);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{25});
        EXPECT_FALSE(cellGrid<Ch>().cellsAllocated);
        this->files.multibyteFails = false;
    }
    for (int32_t at : {25, 45}) {  // before the grid is allocated; after the second row
        this->boxes.clear();
        runState<Ch>().cancelState.store(0);
        this->window.onProgress = [&](int32_t position) {
            if (position == at) runState<Ch>().cancelState.store(1);
        };
        EXPECT_EQ(this->direct(copied, filled), kCancelled) << at;
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{3});
        EXPECT_EQ(runState<Ch>().cancelState.load(), 2);
        EXPECT_FALSE(cellGrid<Ch>().cellsAllocated);
    }
    this->window.onProgress = nullptr;
    EXPECT_TRUE(this->calc.calls.empty());
}

// A copy the direct way does not take: nothing is shown, the grid stays unallocated, and the run
// reads the cells through the office as without the key.
TYPED_TEST(CalcCaptureTest, DirectWayLeavesWhatItDoesNotTakeToTheOffice) {
    using Ch = TypeParam;
    fillSheet(this->calc, 2, 2, 3, {});
    const CopiedCells good = copiedCellsOf(this->calc, 1, 1);
    const std::string content = contentXml("", "<table:table-row><table:table-cell><text:p>x</text:p></table:table-cell></table:table-row>");
    const auto package = [&](const std::string& xml, const std::string& styles = stylesXml()) {
        return zipOf({{"content.xml", xml}, {"styles.xml", styles}});
    };
    std::string truncated = good.package.substr(0, good.package.size() / 2), damaged = good.package, withDtd = content;
    withDtd.insert(withDtd.find("?>") + 2, "<!DOCTYPE x [<!ENTITY a \"b\">]>");
    damaged[60] ^= 0x55;  // inside the first member's deflated data
    const std::string loop = stylesXml("", "<style:style style:name=\"A\" style:family=\"table-cell\" style:parent-style-name=\"B\"/>"
                                           "<style:style style:name=\"B\" style:family=\"table-cell\" style:parent-style-name=\"A\"/>");
    const std::pair<CopiedCells, const char*> cases[] = {
        {{"not a zip at all", good.link}, "not a ZIP"},
        {{truncated, good.link}, "a truncated ZIP"},
        {{damaged, good.link}, "a damaged member"},
        {{zipOf({{"content.xml", content}}), linkOf("Sheet1.A1")}, "no styles.xml"},
        {{package(withDtd), linkOf("Sheet1.A1")}, "a DTD"},
        {{package(content.substr(0, content.size() - 30)), linkOf("Sheet1.A1")}, "truncated XML"},
        {{package(content), linkOf("Sheet1.A1:A1048577")}, "a range outside the sheet"},
        {{package(content), linkOf("Other.A1")}, "another sheet's name"},
        {{package(content), "soffice\0Untitled"}, "a link without its item"},
        {{package(content), linkOf("Sheet1.A0")}, "a link without a cell"},
        {{package(contentXml("", "<table:table-row><table:table-cell table:style-name=\"A\"/></table:table-row>"), loop),
          linkOf("Sheet1.A1")}, "a style chain that loops"},
        {{package(contentXml("", "<table:table-row><table:table-cell table:style-name=\"none\"/></table:table-row>")),
          linkOf("Sheet1.A1")}, "a style that is not there"},
        {{package(contentXml("", "<table:table-row><table:table-cell table:number-columns-spanned=\"2\"/>"
                                 "<table:table-cell/></table:table-row>")), linkOf("Sheet1.A1:B1")}, "an area over a cell"},
        {{package(contentXml("", "<table:table-row><table:covered-table-cell/><table:table-cell/></table:table-row>")),
          linkOf("Sheet1.A1:B1")}, "a covered cell without its area"},
        {{package(contentXml("", "<table:table-row table:visibility=\"filter\"><table:table-cell/></table:table-row>")),
          linkOf("Sheet1.A1")}, "a filtered row"},
        {{zipOf({{"content.xml", std::string(8 << 20, ' ')}, {"styles.xml", stylesXml()}}), good.link}, "a member 200 times its size"},
    };
    for (const auto& [copied, what] : cases) {
        SCOPED_TRACE(what);
        bool filled = true;
        EXPECT_EQ(this->direct(copied, filled), kOk);
        EXPECT_FALSE(filled);
        EXPECT_FALSE(cellGrid<Ch>().cellsAllocated);
        ReleaseCellGrid<Ch>();
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{});
    }
    // An area that reaches beyond the range ends the capture as the office's paste of it does;
    // cells left out after the last written one are empty.
    bool filled = false;
    const std::string beyond = contentXml("", "<table:table-row><table:table-cell table:number-columns-spanned=\"3\"/>"
                                              "<table:covered-table-cell table:number-columns-repeated=\"2\"/></table:table-row>");
    EXPECT_EQ(this->direct({package(beyond), linkOf("Sheet1.A1:B2")}, filled), kMergeBeyondRange);
    EXPECT_TRUE(filled);
    EXPECT_EQ(runState<Ch>().captureStage, kCaptureReadingCells);
    ASSERT_EQ(this->direct({package(content), linkOf("Sheet1.A1:B2")}, filled), kOk);
    EXPECT_EQ(std::basic_string<Ch>(cellGrid<Ch>().at(1, 1).text.data), TEXT_OF(Ch, ""));
    ReleaseCellGrid<Ch>();

    // The whole run with the key: a copy that is not taken goes to the office; one that is taken
    // never starts it.
    Ch* flag = settings<Ch>().direct_capture_yn;
    flag[0] = Ch('O'), flag[1] = Ch('N'), flag[2] = 0;
    settings<Ch>().clipWaitCount = 1;
    for (const bool taken : {false, true}) {
        this->clipboard.clear();
        this->clipboard.putNamed(CALC_PACKAGE_FORMAT, taken ? good.package : truncated);
        this->clipboard.putNamed(CALC_LINK_FORMAT, good.link);
        const int started = this->automation.initialized;
        EXPECT_EQ(this->run(), kOk);
        EXPECT_EQ(this->automation.initialized - started, taken ? 0 : 1);
        EXPECT_EQ(lastCaptureWay(), taken ? CaptureWay::fromClipboard : CaptureWay::perCell);
    }
    // The HTML beside it (Excel's copy, or a browser's without Sylk data): taken where Calc's
    // package is not there; a package not taken goes to the office, as HTML not understood does.
    const auto output = [&] {
        if constexpr (sizeof(Ch) == 2) return this->clipboard.unicodeTextOf();
        else return this->clipboard.bytesOf(kFormatText);
    };
    const std::string table = "<table><tr><td style='border:1px solid'>from html</td></tr></table>";
    for (const auto& [package, html, sylk, fromHtml] :
         {std::tuple{truncated, table, true, false}, std::tuple{good.package, table, true, false},
          std::tuple{std::string(), table, true, true},
          std::tuple{truncated, std::string("<p>x</p>"), true, false}, std::tuple{std::string(), table, false, true}}) {
        this->clipboard.clear();
        if (!package.empty()) this->clipboard.putNamed(CALC_PACKAGE_FORMAT, package), this->clipboard.putNamed(CALC_LINK_FORMAT, good.link);
        this->clipboard.putNamed(HTML_FORMAT, html);
        const int started = this->automation.initialized;
        if (sylk) {
            EXPECT_EQ(this->run(), kOk);
        } else {
            this->clipboard.putText("t");
            EXPECT_EQ(runConversion<Ch>(), kOk);
        }
        EXPECT_EQ(this->automation.initialized - started, fromHtml || package == good.package ? 0 : 1);
        const auto text = output();
        EXPECT_EQ(text.find(TEXT_OF(Ch, "from")) != text.npos, fromHtml);
    }
}

}  // namespace
}  // namespace grid::test
