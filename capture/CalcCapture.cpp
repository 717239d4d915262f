#include "capture/CalcCapture.h"

#include "capture/AutoWrap.h"
#include "capture/CellValues.h"
#include "capture/FastCapture.h"
#include "capture/ScopedCom.h"
#include "core/CellGrid.h"
#include "core/Messages.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/Automation.h"
#include "platform/Window.h"
#include "clipboard/PlainText.h"

namespace grid {
namespace {

// Every automation step: a non-zero result from AutoWrap ends the capture with it; AutoWrap has
// reported it and released the session and the grid.
#define CALL(step)                       \
    do {                                 \
        StatusCode status_ = (step);     \
        if (status_ != kOk) return status_; \
    } while (0)

// A get into a local VARIANT, its value taken.
template <class Ch>
[[nodiscard]] StatusCode readInteger(IDispatch* object, const OLECHAR* name, int callType, int32_t& out) {
    ScopedVariant value;
    CALL(AutoWrap<Ch>(calcSession().lastResult, callType, value.out(), object, name));
    out = integerOf(value.get());
    return kOk;
}

template <class Ch>
[[nodiscard]] StatusCode readFloat(IDispatch* object, const OLECHAR* name, float& out) {
    ScopedVariant value;
    CALL(AutoWrap<Ch>(calcSession().lastResult, kCallGet, value.out(), object, name));
    out = floatOf(value.get());
    return kOk;
}

template <class Ch>
[[nodiscard]] StatusCode putProperty(const OLECHAR* name, const ScopedVariant& value) {
    CalcSession& s = calcSession();
    return AutoWrap<Ch>(s.lastResult, kCallPut, nullptr, s.propertyValue.pdispVal, name, {value.get()});
}

// executeDispatch(frame, command, "", 0, [propertyValue]) on the dispatch helper.
template <class Ch>
[[nodiscard]] StatusCode dispatchCommand(const OLECHAR* command) {
    CalcSession& s = calcSession();
    const ScopedSafeArray named(SafeArrayCreateVector(VT_DISPATCH, 0, 1));
    if (!named) {
        showMessage<Ch>(kMessageMemoryExhausted);
        abandonCapture<Ch>();
        return kNoMemory;
    }
    LONG index = 0;
    SafeArrayPutElement(named.get(), &index, s.propertyValue.pdispVal);
    // A view of the array, which its owner destroys.
    VARIANT arguments = ScopedVariant::nothing();
    arguments.vt = VT_ARRAY | VT_DISPATCH;
    arguments.parray = named.get();
    const ScopedVariant commandText = ScopedVariant::text(command), frameName = ScopedVariant::text(GRID_OLESTR("")),
                        searchFlags = ScopedVariant::integer(0);
    return AutoWrap<Ch>(s.lastResult, kCallMethod, nullptr, s.dispatchHelper.pdispVal, GRID_OLESTR("executeDispatch"),
                        {arguments, searchFlags.get(), frameName.get(), commandText.get(), s.frame});
}

template <class Ch>
[[nodiscard]] StatusCode startCalc() {
    CalcSession& s = calcSession();
    RunState<Ch>& run = runState<Ch>();
    AutomationPort& automation = automationPort();

    run.captureStage = kCaptureStartingCom;
    automation.initialize();
    run.captureStage = kCaptureFindingCalc;
    CLSID calc;
    s.lastResult = automation.classFromProgId(GRID_OLESTR("com.sun.star.ServiceManager"), &calc);
    progressWindowPort().setProgress(5);
    if (FAILED(s.lastResult)) return kAutomationFailed;
    run.captureStage = kCaptureCreatingServiceManager;
    s.lastResult = automation.createInstance(calc, &s.serviceManager);
    if (FAILED(s.lastResult)) {
        s.serviceManager = nullptr;
        return kAutomationFailed;
    }
    s.sessionStage = kServiceManagerHeld;
    run.captureStage = kCaptureOpeningDocument;

    const ScopedVariant desktopName = ScopedVariant::text(GRID_OLESTR("com.sun.star.frame.Desktop"));
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethod, &s.desktop, s.serviceManager, GRID_OLESTR("createInstance"),
                      {desktopName.get()}));
    s.sessionStage = kDesktopHeld;
    const ScopedVariant structName = ScopedVariant::text(GRID_OLESTR("com.sun.star.beans.PropertyValue"));
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.propertyValue, s.serviceManager,
                      GRID_OLESTR("Bridge_GetStruct"), {structName.get()}));
    s.sessionStage = kPropertyValueHeld;
    CALL(putProperty<Ch>(GRID_OLESTR("Name"), ScopedVariant::text(GRID_OLESTR("Hidden"))));
    CALL(putProperty<Ch>(GRID_OLESTR("Value"), ScopedVariant::flag(true)));

    const ScopedSafeArray load(SafeArrayCreateVector(VT_VARIANT, 0, 1));
    if (!load) {
        showMessage<Ch>(kMessageMemoryExhausted);
        abandonCapture<Ch>();
        return kNoMemory;
    }
    LONG index = 0;
    SafeArrayPutElement(load.get(), &index, &s.propertyValue);
    // A view of the array, which its owner destroys.
    VARIANT loadArguments = ScopedVariant::nothing();
    loadArguments.vt = VT_ARRAY | VT_VARIANT;
    loadArguments.parray = load.get();
    const ScopedVariant url = ScopedVariant::text(GRID_OLESTR("private:factory/scalc")),
                        target = ScopedVariant::text(GRID_OLESTR("_blank")), flags = ScopedVariant::integer(0);
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethod, &s.document, s.desktop.pdispVal, GRID_OLESTR("loadComponentFromURL"),
                      {loadArguments, flags.get(), target.get(), url.get()}));
    s.sessionStage = kDocumentHeld;

    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.sheets, s.document.pdispVal, GRID_OLESTR("sheets")));
    s.sessionStage = kSheetsHeld;
    s.controllerHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.controller, s.document.pdispVal,
                      GRID_OLESTR("getCurrentController")));
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.frame, s.controller.pdispVal, GRID_OLESTR("getFrame")));
    s.sessionStage = kFrameHeld;
    clearHeld(s.controller, s.controllerHeld);
    const ScopedVariant helperName = ScopedVariant::text(GRID_OLESTR("com.sun.star.frame.DispatchHelper"));
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.dispatchHelper, s.serviceManager,
                      GRID_OLESTR("createInstance"), {helperName.get()}));
    s.sessionStage = kDispatchHelperHeld;
    CALL(putProperty<Ch>(GRID_OLESTR("Name"), ScopedVariant::text(GRID_OLESTR("ToPoint"))));
    CALL(putProperty<Ch>(GRID_OLESTR("Value"), ScopedVariant::text(GRID_OLESTR("$A$1"))));
    CALL(dispatchCommand<Ch>(GRID_OLESTR(".uno:GoToCell")));
    run.captureStage = kCapturePasting;

    CALL(putProperty<Ch>(GRID_OLESTR("Name"), ScopedVariant::text(GRID_OLESTR("Flags"))));
    CALL(putProperty<Ch>(GRID_OLESTR("Value"), ScopedVariant::text(GRID_OLESTR("SVDNT"))));
    CALL(dispatchCommand<Ch>(GRID_OLESTR(".uno:Paste")));
    progressWindowPort().setProgress(15);
    return kOk;
}

// The paste gave no single cell range: the user may take the plain-text conversion instead.
template <class Ch>
[[nodiscard]] StatusCode offerPlainText() {
    CalcSession& s = calcSession();
    const bool accepted = showMessage<Ch>(kQuestionNotEditableInCalc) == kAnswerOk;
    if (!accepted) showMessage<Ch>(kMessageCancelled);
    clearHeld(s.columnCollection, s.columnCollectionHeld);
    // A close that failed has shown its message and released the session and the grid; the
    // plain-text way needs neither.
    (void)ReleaseAutomation<Ch>(1);
    if (!accepted) {
        ReleaseCellGrid<Ch>();
        return kCancelled;
    }
    runState<Ch>().bordersAccepted = 1;
    return buildPlainTextGrid<Ch>();
}

template <class Ch>
[[nodiscard]] StatusCode captureBorders(CalcCellFormat& format) {
    CalcSession& s = calcSession();
    const OLECHAR* const sides[4] = {GRID_OLESTR("LeftBorder"), GRID_OLESTR("RightBorder"), GRID_OLESTR("TopBorder"),
                                     GRID_OLESTR("BottomBorder")};
    for (int side = 0; side < 4; ++side) {
        CalcCellFormat::Line& line = format.lines[side];
        s.borderLineHeld = 1;
        CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.borderLine, s.cellObject.pdispVal, sides[side]));
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("InnerLineWidth"), kCallMethodOrGet, line.inner));
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("OuterLineWidth"), kCallMethodOrGet, line.outer));
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("Color"), kCallMethodOrGet, line.color));
        clearHeld(s.borderLine, s.borderLineHeld);
    }
    return kOk;
}

// The merged area of a cell that no earlier anchor has placed in one.
template <class Ch>
[[nodiscard]] StatusCode captureMergedArea(int32_t column, int32_t row) {
    CalcSession& s = calcSession();
    s.firstSheetHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.firstSheet, s.sheets.pdispVal, GRID_OLESTR("getByIndex"),
                      {ScopedVariant::nothing()}));
    s.cursorHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.cursor, s.firstSheet.pdispVal,
                      GRID_OLESTR("createCursorByRange"), {s.cellObject}));
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethod, nullptr, s.cursor.pdispVal, GRID_OLESTR("collapseToMergedArea")));
    s.rangeAddressHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.rangeAddress, s.cursor.pdispVal, GRID_OLESTR("RangeAddress")));
    int32_t startColumn = 0, endColumn = 0, startRow = 0, endRow = 0;
    CALL(readInteger<Ch>(s.rangeAddress.pdispVal, GRID_OLESTR("StartColumn"), kCallMethodOrGet, startColumn));
    CALL(readInteger<Ch>(s.rangeAddress.pdispVal, GRID_OLESTR("EndColumn"), kCallMethodOrGet, endColumn));
    CALL(readInteger<Ch>(s.rangeAddress.pdispVal, GRID_OLESTR("StartRow"), kCallMethodOrGet, startRow));
    CALL(readInteger<Ch>(s.rangeAddress.pdispVal, GRID_OLESTR("EndRow"), kCallMethodOrGet, endRow));
    clearHeld(s.rangeAddress, s.rangeAddressHeld);
    CALL(placeMergedArea<Ch>(column, row, startColumn, endColumn, startRow, endRow));
    clearHeld(s.cursor, s.cursorHeld);
    clearHeld(s.firstSheet, s.firstSheetHeld);
    return kOk;
}

template <class Ch>
[[nodiscard]] StatusCode captureCell(int32_t column, int32_t row) {
    CalcSession& s = calcSession();
    CellGrid<Ch>& grid = cellGrid<Ch>();
    CellRecord<Ch>& cell = grid.at(column, row);

    const ScopedVariant c = ScopedVariant::integer(column), r = ScopedVariant::integer(row);
    s.cellObjectHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.cellObject, s.selection.pdispVal,
                      GRID_OLESTR("getCellByPosition"), {r.get(), c.get()}));
    IDispatch* object = s.cellObject.pdispVal;

    StatusCode stored = kOk;
    {
        ScopedVariant string;
        CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, string.out(), object, GRID_OLESTR("getString")));
        stored = storeCellText(cell, string.get().vt == VT_BSTR ? string.get().bstrVal : nullptr);
    }
    if (stored != kOk) {
        abandonCapture<Ch>();
        return stored;
    }

    CalcCellFormat format;
    CALL(readInteger<Ch>(object, GRID_OLESTR("HoriJustify"), kCallMethodOrGet, format.horiJustify));
    CALL(readInteger<Ch>(object, GRID_OLESTR("VertJustify"), kCallMethodOrGet, format.vertJustify));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharColor"), kCallGet, format.charColor));
    CALL(readFloat<Ch>(object, GRID_OLESTR("CharHeight"), format.charHeight));
    CALL(readFloat<Ch>(object, GRID_OLESTR("CharWeight"), format.charWeight));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharUnderline"), kCallGet, format.underline));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharStrikeout"), kCallGet, format.strikeout));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharPosture"), kCallGet, format.posture));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CellBackColor"), kCallGet, format.backColor));
    CALL(captureBorders<Ch>(format));
    applyCellFormat(cell, format);

    if (grid.rows == 1 && grid.columns == 1) {
        cell.mergePosition = kNotMerged;
    } else if (cell.mergePosition == kNotMerged) {
        CALL(captureMergedArea<Ch>(column, row));
    }
    clearHeld(s.cellObject, s.cellObjectHeld);
    return kOk;
}

CaptureWay lastWay = CaptureWay::none;

template <class Ch>
[[nodiscard]] StatusCode capture() {
    CalcSession& s = calcSession();
    lastWay = CaptureWay::none;
    CellGrid<Ch>& grid = cellGrid<Ch>();
    RunState<Ch>& run = runState<Ch>();
    CALL(startCalc<Ch>());

    run.captureStage = kCaptureReadingCells;
    grid.columns = grid.rows = 0;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.selection, s.document.pdispVal, GRID_OLESTR("CurrentSelection")));
    s.sessionStage = kSelectionHeld;
    s.columnCollectionHeld = 1;
    const StatusCode columns = AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.columnCollection, s.selection.pdispVal,
                                            GRID_OLESTR("Columns"));
    if (columns == kColumnsMissing) return offerPlainText<Ch>();
    if (columns != kOk) {
        clearHeld(s.columnCollection, s.columnCollectionHeld);
        return columns;
    }
    CALL(readInteger<Ch>(s.columnCollection.pdispVal, GRID_OLESTR("getCount"), kCallMethodOrGet, grid.columns));
    s.rowCollectionHeld = 1;
    CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.rowCollection, s.selection.pdispVal, GRID_OLESTR("Rows")));
    CALL(readInteger<Ch>(s.rowCollection.pdispVal, GRID_OLESTR("getCount"), kCallMethodOrGet, grid.rows));
    clearHeld(s.rowCollection, s.rowCollectionHeld);
    clearHeld(s.columnCollection, s.columnCollectionHeld);
    progressWindowPort().setProgress(25);
    if (cancelRequested<Ch>()) return cancelSeen<Ch>();
    // A selection of no cells is no cell range either (and would leave no row to divide by).
    if (grid.rows < 1 || grid.columns < 1) return offerPlainText<Ch>();
    if (AllocateCellGrid<Ch>() != kOk) {
        abandonCapture<Ch>();
        return kNoMemory;
    }
    const int32_t step = 60000 / grid.rows;
    progressWindowPort().setProgress(30);
    if (cancelRequested<Ch>()) return cancelSeen<Ch>();

    bool filled = false;
    const StatusCode readInOffice = fastCaptureOn<Ch>() ? captureInOffice<Ch>(filled) : kOk;
    lastWay = filled ? CaptureWay::inOffice : CaptureWay::perCell;
    if (readInOffice != kOk) return readInOffice;
    for (int32_t row = 0; row < grid.rows && !filled; ++row) {
        for (int32_t column = 0; column < grid.columns; ++column) CALL(captureCell<Ch>(column, row));
        if (cancelRequested<Ch>()) return cancelSeen<Ch>();
        progressWindowPort().setProgress(30 + (row * step) / 1000);
    }

    progressWindowPort().setProgress(90);
    // A failed close has released the grid along with the session: the capture failed.
    if (ReleaseAutomation<Ch>(1) != kOk) return kAutomationFailed;
    if (cancelRequested<Ch>()) return cancelSeenWithoutSession<Ch>();
    return kOk;
}

struct AutomationCalc final : CalcCapturePort {
    [[nodiscard]] StatusCode runCalcCapture(bool wide) override { return wide ? capture<char16_t>() : capture<char>(); }
};

AutomationCalc automationCalc;
CalcCapturePort* currentCalc = &automationCalc;

}  // namespace

CaptureWay lastCaptureWay() { return lastWay; }
void noteCaptureWay(CaptureWay way) { lastWay = way; }

CalcCapturePort& calcCapturePort() { return *currentCalc; }
void setCalcCapturePort(CalcCapturePort* port) { currentCalc = port ? port : &automationCalc; }

template <class Ch>
StatusCode RunCalcCapture() {
    return calcCapturePort().runCalcCapture(sizeof(Ch) == 2);
}

template StatusCode RunCalcCapture<char>();
template StatusCode RunCalcCapture<char16_t>();

}  // namespace grid
