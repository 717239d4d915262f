#include "capture/CellValues.h"

#include <cstring>

#include "capture/AutoWrap.h"
#include "core/Allocation.h"
#include "core/Messages.h"
#include "core/RunState.h"
#include "platform/SettingsFile.h"

namespace grid {

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

int32_t lineKindOf(int32_t inner, int32_t outer) {
    return (inner > 80 || outer > 80 || (inner > 0 && outer > 0)) ? kThickLine
           : (inner > 0 || outer > 0)                          ? kThinLine
                                                               : kNoLine;
}

template <class Ch>
void applyCellFormat(CellRecord<Ch>& cell, const CalcCellFormat& format) {
    cell.horiJustify = format.horiJustify;
    cell.vertJustify = format.vertJustify;
    cell.charColor = format.charColor == -1 ? 0 : format.charColor;  // automatic: black
    cell.charHeight = static_cast<int32_t>(format.charHeight);
    cell.bold = format.charWeight >= 150.0f ? 1 : 0;
    cell.underline = format.underline;
    cell.strikeout = format.strikeout;
    cell.italic = format.posture == 2 ? 1 : 0;  // 1 is oblique, which is not italic
    cell.backColor = format.backColor == -1 ? 0xFFFFFF : format.backColor;  // no colour: white
    for (int side = 0; side < 4; ++side) {
        cell.border[side] = lineKindOf(format.lines[side].inner, format.lines[side].outer);
        cell.borderColor[side] = format.lines[side].color;  // a line's automatic colour is kept
    }
}

template <class Ch>
StatusCode storeCellText(CellRecord<Ch>& cell, BSTR string) {
    static const char16_t none[] = {0};
    return storeCellText(cell, string ? reinterpret_cast<const char16_t*>(string) : none,
                         string ? static_cast<int32_t>(SysStringLen(string)) : 0);
}

template <class Ch>
StatusCode storeCellText(CellRecord<Ch>& cell, const char16_t* wide, int32_t length) {
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
StatusCode placeMergedArea(int32_t column, int32_t row, int32_t startColumn, int32_t endColumn, int32_t startRow,
                           int32_t endRow) {
    if (startColumn == endColumn && startRow == endRow) return kOk;
    CellGrid<Ch>& grid = cellGrid<Ch>();
    if (endColumn >= grid.columns || endRow >= grid.rows || startColumn < 0 || startRow < 0) {
        CellRecord<Ch>& anchor = grid.at(column, row);
        anchor.mergeFirstColumn = startColumn, anchor.mergeLastColumn = endColumn;
        anchor.mergeFirstRow = startRow, anchor.mergeLastRow = endRow;
        abandonCapture<Ch>();
        return kMergeBeyondRange;
    }
    markMergedArea<Ch>(startColumn, endColumn, startRow, endRow);
    return kOk;
}

// What the close gives is of no more use: one that failed has shown its message and released
// everything, and the capture fails either way.
template <class Ch>
void abandonCapture() {
    (void)ReleaseAutomation<Ch>(1);
    ReleaseCellGrid<Ch>();
}

template <class Ch>
StatusCode cancelSeen() {
    showMessage<Ch>(kMessageCancelled);
    abandonCapture<Ch>();
    runState<Ch>().cancelState.store(kCancelSeen);
    return kCancelled;
}

template void applyCellFormat<char>(CellRecord<char>&, const CalcCellFormat&);
template void applyCellFormat<char16_t>(CellRecord<char16_t>&, const CalcCellFormat&);
template StatusCode storeCellText<char>(CellRecord<char>&, BSTR);
template StatusCode storeCellText<char16_t>(CellRecord<char16_t>&, BSTR);
template StatusCode storeCellText<char>(CellRecord<char>&, const char16_t*, int32_t);
template StatusCode storeCellText<char16_t>(CellRecord<char16_t>&, const char16_t*, int32_t);
template StatusCode placeMergedArea<char>(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
template StatusCode placeMergedArea<char16_t>(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);
template <class Ch>
StatusCode cancelSeenWithoutSession() {
    showMessage<Ch>(kMessageCancelled);
    ReleaseCellGrid<Ch>();
    runState<Ch>().cancelState.store(kCancelSeen);
    return kCancelled;
}

template void abandonCapture<char>();
template void abandonCapture<char16_t>();
template StatusCode cancelSeen<char>();
template StatusCode cancelSeen<char16_t>();
template StatusCode cancelSeenWithoutSession<char>();
template StatusCode cancelSeenWithoutSession<char16_t>();

}  // namespace grid
