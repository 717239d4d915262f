#include "capture/CalcCapture.h"

#include <cstring>

#include "capture/AutoWrap.h"
#include "capture/ScopedCom.h"
#include "core/Allocation.h"
#include "core/CellGrid.h"
#include "core/Messages.h"
#include "core/RunState.h"
#include "platform/Automation.h"
#include "platform/SettingsFile.h"
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

// Values as the bridge hands them over, whatever their width.
int32_t integerOf(const VARIANT& value) {
    switch (value.vt) {
        case VT_I4: return value.lVal;
        case VT_I2: return value.iVal;
        case VT_UI1: return value.bVal;
        case VT_BOOL: return value.boolVal ? 1 : 0;
        case VT_R4: return static_cast<int32_t>(value.fltVal);
        case VT_R8: return static_cast<int32_t>(value.dblVal);
        default: return 0;
    }
}

float floatOf(const VARIANT& value) {
    switch (value.vt) {
        case VT_R4: return value.fltVal;
        case VT_R8: return static_cast<float>(value.dblVal);
        default: return static_cast<float>(integerOf(value));
    }
}

// The capture ends early: the document is closed, the session and the grid released. What the close
// gives is of no more use: one that failed has shown its message and released everything, and the
// capture fails either way.
template <class Ch>
void abandonCapture() {
    (void)ReleaseAutomation<Ch>(1);
    ReleaseCellGrid<Ch>();
}

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

template <class Ch>
[[nodiscard]] StatusCode cancelSeen() {
    showMessage<Ch>(kMessageCancelled);
    abandonCapture<Ch>();
    runState<Ch>().cancelState.store(kCancelSeen);
    return kCancelled;
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

// The cell text: Gridweave keeps the UTF-16 string, Gridquill its multibyte form under the
// runtime's locale.
template <class Ch>
[[nodiscard]] StatusCode storeText(CellRecord<Ch>& cell, BSTR string) {
    static const char16_t none[] = {0};
    const char16_t* wide = string ? reinterpret_cast<const char16_t*>(string) : none;
    const int32_t length = string ? static_cast<int32_t>(SysStringLen(string)) : 0;
    if constexpr (sizeof(Ch) == 2) {
        if (InitTextBuffer(cell.text, length) != kOk) return kNoMemory;
        std::memcpy(cell.text.data, wide, size_t(length) * sizeof(char16_t));
        cell.text.data[length] = 0;
        cell.text.length = length;
        return kOk;
    } else {
        const size_t converted = settingsFilePort().multibyteLength(wide);
        if (converted == SIZE_MAX) {
            showMessage<char>(kMessageCharacterNotConvertible);
            return kFailedReported;
        }
        const size_t size = converted + 1;
        if (size > size_t(INT32_MAX) || InitTextBuffer(cell.text, static_cast<int32_t>(size)) != kOk) return kNoMemory;
        AllocationFailure failure = AllocationFailure::none;
        char* bytes = static_cast<char*>(allocateArray(size + 1, 1, failure));
        if (!bytes) {
            showMessage<char>(allocationFailureMessage(failure));
            return kNoMemory;
        }
        const size_t written = settingsFilePort().toMultibyte(wide, bytes, size + 1);
        bytes[written < size ? written : size] = 0;
        const int32_t n = static_cast<int32_t>(std::strlen(bytes));
        std::memcpy(cell.text.data, bytes, size_t(n) + 1);
        cell.text.length = n;
        releaseArray(bytes);
        return kOk;
    }
}

template <class Ch>
[[nodiscard]] StatusCode captureBorders(CellRecord<Ch>& cell) {
    CalcSession& s = calcSession();
    const OLECHAR* const sides[4] = {GRID_OLESTR("LeftBorder"), GRID_OLESTR("RightBorder"), GRID_OLESTR("TopBorder"),
                                     GRID_OLESTR("BottomBorder")};
    for (int side = 0; side < 4; ++side) {
        s.borderLineHeld = 1;
        CALL(AutoWrap<Ch>(s.lastResult, kCallMethodOrGet, &s.borderLine, s.cellObject.pdispVal, sides[side]));
        int32_t inner = 0, outer = 0, colour = 0;
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("InnerLineWidth"), kCallMethodOrGet, inner));
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("OuterLineWidth"), kCallMethodOrGet, outer));
        // A line wider than 80 (1/100 mm) or a double line is thick, any other line thin.
        cell.border[side] = (inner > 80 || outer > 80 || (inner > 0 && outer > 0)) ? kThickLine
                            : (inner > 0 || outer > 0)                          ? kThinLine
                                                                                : kNoLine;
        CALL(readInteger<Ch>(s.borderLine.pdispVal, GRID_OLESTR("Color"), kCallMethodOrGet, colour));
        cell.borderColor[side] = colour;
        clearHeld(s.borderLine, s.borderLineHeld);
    }
    return kOk;
}

// The merged area of a cell that no earlier anchor has placed in one.
template <class Ch>
[[nodiscard]] StatusCode captureMergedArea(int32_t column, int32_t row) {
    CalcSession& s = calcSession();
    CellGrid<Ch>& grid = cellGrid<Ch>();
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

    if (startColumn != endColumn || startRow != endRow) {
        // The cell is the area's anchor: cells are visited row by row, its top-left one first.
        if (endColumn >= grid.columns || endRow >= grid.rows || startColumn < 0 || startRow < 0) {
            CellRecord<Ch>& anchor = grid.at(column, row);
            anchor.mergeFirstColumn = startColumn, anchor.mergeLastColumn = endColumn;
            anchor.mergeFirstRow = startRow, anchor.mergeLastRow = endRow;
            abandonCapture<Ch>();
            return kMergeBeyondRange;
        }
        markMergedArea<Ch>(startColumn, endColumn, startRow, endRow);
    }
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
        stored = storeText(cell, string.get().vt == VT_BSTR ? string.get().bstrVal : nullptr);
    }
    if (stored != kOk) {
        abandonCapture<Ch>();
        return stored;
    }

    int32_t value = 0;
    float number = 0;
    CALL(readInteger<Ch>(object, GRID_OLESTR("HoriJustify"), kCallMethodOrGet, cell.horiJustify));
    CALL(readInteger<Ch>(object, GRID_OLESTR("VertJustify"), kCallMethodOrGet, cell.vertJustify));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharColor"), kCallGet, value));
    cell.charColor = value == -1 ? 0 : value;  // automatic: black
    CALL(readFloat<Ch>(object, GRID_OLESTR("CharHeight"), number));
    cell.charHeight = static_cast<int32_t>(number);
    CALL(readFloat<Ch>(object, GRID_OLESTR("CharWeight"), number));
    cell.bold = number >= 150.0f ? 1 : 0;
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharUnderline"), kCallGet, cell.underline));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharStrikeout"), kCallGet, cell.strikeout));
    CALL(readInteger<Ch>(object, GRID_OLESTR("CharPosture"), kCallGet, value));
    cell.italic = value == 2 ? 1 : 0;  // 1 is oblique, which is not italic
    CALL(readInteger<Ch>(object, GRID_OLESTR("CellBackColor"), kCallGet, value));
    cell.backColor = value == -1 ? 0xFFFFFF : value;  // no colour: white
    CALL(captureBorders(cell));

    if (grid.rows == 1 && grid.columns == 1) {
        cell.mergePosition = kNotMerged;
    } else if (cell.mergePosition == kNotMerged) {
        CALL(captureMergedArea<Ch>(column, row));
    }
    clearHeld(s.cellObject, s.cellObjectHeld);
    return kOk;
}

template <class Ch>
[[nodiscard]] StatusCode capture() {
    CalcSession& s = calcSession();
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

    for (int32_t row = 0; row < grid.rows; ++row) {
        for (int32_t column = 0; column < grid.columns; ++column) CALL(captureCell<Ch>(column, row));
        if (cancelRequested<Ch>()) return cancelSeen<Ch>();
        progressWindowPort().setProgress(30 + (row * step) / 1000);
    }

    progressWindowPort().setProgress(90);
    // A failed close has released the grid along with the session: the capture failed.
    if (ReleaseAutomation<Ch>(1) != kOk) return kAutomationFailed;
    if (cancelRequested<Ch>()) {
        showMessage<Ch>(kMessageCancelled);
        ReleaseCellGrid<Ch>();
        run.cancelState.store(kCancelSeen);
        return kCancelled;
    }
    return kOk;
}

struct AutomationCalc final : CalcCapturePort {
    [[nodiscard]] StatusCode runCalcCapture(bool wide) override { return wide ? capture<char16_t>() : capture<char>(); }
};

AutomationCalc automationCalc;
CalcCapturePort* currentCalc = &automationCalc;

}  // namespace

CalcCapturePort& calcCapturePort() { return *currentCalc; }
void setCalcCapturePort(CalcCapturePort* port) { currentCalc = port ? port : &automationCalc; }

template <class Ch>
StatusCode RunCalcCapture() {
    return calcCapturePort().runCalcCapture(sizeof(Ch) == 2);
}

template StatusCode RunCalcCapture<char>();
template StatusCode RunCalcCapture<char16_t>();

}  // namespace grid
