#include "capture/FastCapture.h"

#include <new>

#include "capture/AutoWrap.h"
#include "capture/CellValues.h"
#include "capture/ScopedCom.h"
#include "core/Allocation.h"
#include "core/CellGrid.h"
#include "core/RunState.h"
#include "platform/Window.h"

#define GRID_WIDE(text) GRID_OLESTR(text)

namespace grid {
namespace {

// The routine the office runs. Its answer: the tag, the range's columns and rows, the texts in
// row-major order, the groups of cells of one format (per group the values of its first cell,
// whether it heads merged areas, and its ranges), and the merged area of every cell of the
// groups that head them (the cell, then the area's first and last column and row). Coordinates
// are the range's own. Numbers come back as the office reads them; the capture converts them as
// it converts the values it reads one by one.
const OLECHAR kReadCells[] = GRID_OLESTR(R"(REM Reads the pasted range for Gridweave and Gridquill in one request.
REM Any error ends it with an answer the capture does not take, never with the office's own
REM message box, which would hold the request until someone closes it.
Function ReadCells(area As Object) As Variant
    On Error GoTo Failed
    Dim origin As Variant, sheet As Object, formats As Object, cell As Object, cursor As Object
    Dim line As Variant, addresses As Variant, range As Variant, found As Variant, sides As Variant
    Dim columns As Long, rows As Long, r As Long, c As Long, i As Long, g As Long, k As Long
    Dim groupCount As Long, total As Long, anchorCount As Long, s As Integer
    sides = Array("LeftBorder", "RightBorder", "TopBorder", "BottomBorder")
    origin = area.getRangeAddress()
    sheet = area.getSpreadsheet()
    columns = area.getColumns().getCount()
    rows = area.getRows().getCount()
    Dim texts(columns * rows - 1) As Variant
    For r = 0 To rows - 1
        For c = 0 To columns - 1
            texts(i) = area.getCellByPosition(c, r).getString()
            i = i + 1
        Next c
    Next r
    formats = area.getUniqueCellFormatRanges()
    groupCount = formats.getCount()
    Dim groups(groupCount - 1) As Variant
    Dim headsAreas(groupCount - 1) As Boolean
    For g = 0 To groupCount - 1
        groups(g) = formats.getByIndex(g).getRangeAddresses()
        total = total + 23 + 4 * (UBound(groups(g)) + 1)
    Next g
    Dim described(total - 1) As Variant
    i = 0
    For g = 0 To groupCount - 1
        addresses = groups(g)
        cell = sheet.getCellByPosition(addresses(0).StartColumn, addresses(0).StartRow)
        described(i) = cell.HoriJustify
        described(i + 1) = cell.VertJustify
        described(i + 2) = cell.CharColor
        described(i + 3) = cell.CharHeight
        described(i + 4) = cell.CharWeight
        described(i + 5) = cell.CharUnderline
        described(i + 6) = cell.CharStrikeout
        described(i + 7) = cell.CharPosture
        described(i + 8) = cell.CellBackColor
        i = i + 9
        For s = 0 To 3
            line = cell.getPropertyValue(sides(s))
            described(i) = line.InnerLineWidth
            described(i + 1) = line.OuterLineWidth
            described(i + 2) = line.Color
            i = i + 3
        Next s
        headsAreas(g) = cell.getIsMerged()
        described(i) = CLng(IIf(headsAreas(g), 1, 0))
        described(i + 1) = CLng(UBound(addresses) + 1)
        i = i + 2
        For k = 0 To UBound(addresses)
            range = addresses(k)
            described(i) = CLng(range.StartColumn - origin.StartColumn)
            described(i + 1) = CLng(range.EndColumn - origin.StartColumn)
            described(i + 2) = CLng(range.StartRow - origin.StartRow)
            described(i + 3) = CLng(range.EndRow - origin.StartRow)
            i = i + 4
            If headsAreas(g) Then
                anchorCount = anchorCount + (range.EndColumn - range.StartColumn + 1) * (range.EndRow - range.StartRow + 1)
            End If
        Next k
    Next g
    Dim areas As Variant
    areas = Array()
    If anchorCount > 0 Then ReDim areas(6 * anchorCount - 1) As Variant
    i = 0
    For g = 0 To groupCount - 1
        If headsAreas(g) Then
            addresses = groups(g)
            For k = 0 To UBound(addresses)
                range = addresses(k)
                For r = range.StartRow To range.EndRow
                    For c = range.StartColumn To range.EndColumn
                        cursor = sheet.createCursorByRange(sheet.getCellByPosition(c, r))
                        cursor.collapseToMergedArea()
                        found = cursor.getRangeAddress()
                        areas(i) = CLng(c - origin.StartColumn)
                        areas(i + 1) = CLng(r - origin.StartRow)
                        areas(i + 2) = CLng(found.StartColumn - origin.StartColumn)
                        areas(i + 3) = CLng(found.EndColumn - origin.StartColumn)
                        areas(i + 4) = CLng(found.StartRow - origin.StartRow)
                        areas(i + 5) = CLng(found.EndRow - origin.StartRow)
                        i = i + 6
                    Next c
                Next r
            Next k
        End If
    Next g
    ReadCells = Array(")" GRID_CAPTURE_ANSWER_TAG R"(", columns, rows, texts, described, areas)
    Exit Function
Failed:
    ReadCells = Array("failed", Err, Erl)
End Function
)");

// The elements of an array of VARIANTs, as the answer holds it.
struct ValueList {
    const VARIANT* items = nullptr;
    size_t count = 0;
};

bool listOf(const VARIANT& value, ValueList& list) {
    if (value.vt != (VT_ARRAY | VT_VARIANT) || !value.parray) return false;
    const SAFEARRAY* array = value.parray;
    if (array->cDims != 1 || array->cbElements != sizeof(VARIANT)) return false;
    list.count = array->rgsabound[0].cElements;
    list.items = static_cast<const VARIANT*>(array->pvData);
    return list.count == 0 || list.items;
}

// An integer or a real that a 32-bit integer holds (no other reaches the cells).
bool isNumber(const VARIANT& value) {
    const auto fits = [](double real) { return real > -2147483649.0 && real < 2147483648.0; };  // NaN fails
    switch (value.vt) {
        case VT_I4: case VT_I2: case VT_UI1: return true;
        case VT_R4: return fits(value.fltVal);
        case VT_R8: return fits(value.dblVal);
        default: return false;
    }
}

// A number of the answer. Basic hands each number over in the smallest type that holds it, and
// UNO's byte is signed: the bridges give it as VT_UI1 with the same bits.
int32_t answerInteger(const VARIANT& value) {
    return value.vt == VT_UI1 ? int32_t(static_cast<signed char>(value.bVal)) : integerOf(value);
}

float answerReal(const VARIANT& value) {
    return value.vt == VT_UI1 ? float(static_cast<signed char>(value.bVal)) : floatOf(value);
}

// Reads numbers off a list, failing for anything else or past its end.
class NumberReader {
public:
    explicit NumberReader(const ValueList& list) : list_(list) {}
    bool integer(int32_t& out) {
        if (next_ >= list_.count || !isNumber(list_.items[next_])) return false;
        out = answerInteger(list_.items[next_++]);
        return true;
    }
    bool real(float& out) {
        if (next_ >= list_.count || !isNumber(list_.items[next_])) return false;
        out = answerReal(list_.items[next_++]);
        return true;
    }
    bool atEnd() const { return next_ == list_.count; }

private:
    const ValueList& list_;
    size_t next_ = 0;
};

// An array of the capture's own, released at the end of its scope.
template <class T>
class OwnedArray {
public:
    explicit OwnedArray(size_t count) {
        AllocationFailure failure = AllocationFailure::none;
        items_ = static_cast<T*>(allocateArray(count ? count : 1, sizeof(T), failure));
        if (items_) {
            for (size_t i = 0; i < count; ++i) new (&items_[i]) T();
            count_ = count;
        }
    }
    ~OwnedArray() {
        if (!items_) return;
        for (size_t i = count_; i > 0; --i) items_[i - 1].~T();
        releaseArray(items_);
    }
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;
    explicit operator bool() const { return items_ != nullptr; }
    T& operator[](size_t i) { return items_[i]; }

private:
    T* items_ = nullptr;
    size_t count_ = 0;
};

// The routine's answer, checked whole before any cell is stored: every cell in exactly one group
// and within the range, every value of the type it must have.
struct Answer {
    ValueList texts, described, areas;
    size_t groupCount = 0;
};

// The office's answer for a block of `rows` rows of the range, all its columns.
template <class Ch>
bool understood(const VARIANT& answer, int32_t rows, Answer& out) {
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    ValueList parts;
    if (!listOf(answer, parts) || parts.count != 6) return false;
    const VARIANT& tag = parts.items[0];
    static const OLECHAR expectedTag[] = GRID_WIDE(GRID_CAPTURE_ANSWER_TAG);
    if (tag.vt != VT_BSTR || !tag.bstrVal || SysStringLen(tag.bstrVal) != sizeof expectedTag / sizeof(OLECHAR) - 1)
        return false;
    for (size_t i = 0; expectedTag[i]; ++i)
        if (tag.bstrVal[i] != expectedTag[i]) return false;
    if (!isNumber(parts.items[1]) || answerInteger(parts.items[1]) != grid.columns) return false;
    if (!isNumber(parts.items[2]) || answerInteger(parts.items[2]) != rows) return false;
    if (!listOf(parts.items[3], out.texts) || !listOf(parts.items[4], out.described) ||
        !listOf(parts.items[5], out.areas))
        return false;
    if (out.texts.count != size_t(rows) * size_t(grid.columns)) return false;
    for (size_t i = 0; i < out.texts.count; ++i)
        if (out.texts.items[i].vt != VT_BSTR && out.texts.items[i].vt != VT_EMPTY) return false;
    return out.areas.count % kAreaValues == 0;
}

// The groups' formats of the block of `rows` rows from `blockRow` on, after the `groupCount`
// groups of the blocks before it, and which group each of its cells is in (`groupOf` holds -1 for
// every cell of the block); false when the groups do not cover the block cell by cell.
template <class Ch>
bool readGroups(const Answer& answer, int32_t blockRow, int32_t rows, OwnedArray<CalcCellFormat>& formats,
                OwnedArray<int32_t>& groupOf, size_t& groupCount) {
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    const size_t cells = size_t(grid.rows) * size_t(grid.columns);
    NumberReader values(answer.described);
    size_t covered = 0;
    while (!values.atEnd()) {
        CalcCellFormat format;
        bool read = values.integer(format.horiJustify) && values.integer(format.vertJustify) &&
                    values.integer(format.charColor) && values.real(format.charHeight) &&
                    values.real(format.charWeight) && values.integer(format.underline) &&
                    values.integer(format.strikeout) && values.integer(format.posture) &&
                    values.integer(format.backColor);
        for (CalcCellFormat::Line& line : format.lines)
            read = read && values.integer(line.inner) && values.integer(line.outer) && values.integer(line.color);
        int32_t headsAreas = 0, ranges = 0;
        if (!read || !values.integer(headsAreas) || !values.integer(ranges) || ranges < 1) return false;
        if (groupCount >= cells) return false;  // more groups than cells: not Calc's grouping
        formats[groupCount] = format;
        for (int32_t k = 0; k < ranges; ++k) {
            int32_t firstColumn = 0, lastColumn = 0, firstRow = 0, lastRow = 0;
            if (!values.integer(firstColumn) || !values.integer(lastColumn) || !values.integer(firstRow) ||
                !values.integer(lastRow))
                return false;
            if (firstColumn < 0 || firstRow < 0 || lastColumn < firstColumn || lastRow < firstRow ||
                lastColumn >= grid.columns || lastRow >= rows)
                return false;
            for (int32_t row = firstRow; row <= lastRow; ++row)
                for (int32_t column = firstColumn; column <= lastColumn; ++column) {
                    int32_t& group = groupOf[size_t(blockRow + row) * size_t(grid.columns) + size_t(column)];
                    if (group != -1) return false;
                    group = int32_t(groupCount);
                    ++covered;
                }
        }
        ++groupCount;
    }
    return covered == size_t(rows) * size_t(grid.columns);
}

// Where in the block's answer the merged area of each cell it gives one for is, by cell (`areaOf`
// holds -1 for every cell of the block); false for a cell outside the block or given twice.
template <class Ch>
bool readAreas(const Answer& answer, int32_t blockRow, int32_t rows, OwnedArray<int32_t>& areaOf) {
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    for (size_t at = 0; at < answer.areas.count; at += kAreaValues) {
        for (size_t k = 0; k < kAreaValues; ++k)
            if (!isNumber(answer.areas.items[at + k])) return false;
        const int32_t column = answerInteger(answer.areas.items[at]), row = answerInteger(answer.areas.items[at + 1]);
        if (column < 0 || row < 0 || column >= grid.columns || row >= rows) return false;
        int32_t& area = areaOf[size_t(blockRow + row) * size_t(grid.columns) + size_t(column)];
        if (area != -1) return false;
        area = int32_t(at);
    }
    return true;
}

// An object from a member of `object`, into `out`; false when the request fails or gives no object.
bool objectFrom(IDispatch* object, const OLECHAR* member, int callType, ScopedVariant& out,
                std::initializer_list<VARIANT> arguments = {}) {
    return SUCCEEDED(AutoCallQuietly(calcSession().lastResult, callType, out.out(), object, member, arguments)) &&
           out.get().vt == VT_DISPATCH && out.get().pdispVal;
}

// The library and the routine put into the document, and the routine found; false when any
// request fails.
bool prepareRoutine(ScopedVariant& script) {
    CalcSession& s = calcSession();
    IDispatch* document = s.document.pdispVal;
    ScopedVariant libraries, library, provider;
    const ScopedVariant libraryName = ScopedVariant::text(GRID_WIDE(GRID_CAPTURE_LIBRARY)),
                        moduleName = ScopedVariant::text(GRID_WIDE(GRID_CAPTURE_MODULE)),
                        source = ScopedVariant::text(kReadCells),
                        address = ScopedVariant::text(GRID_WIDE(GRID_CAPTURE_SCRIPT));
    if (!objectFrom(document, GRID_OLESTR("BasicLibraries"), kCallMethodOrGet, libraries) ||
        !objectFrom(libraries.get().pdispVal, GRID_OLESTR("createLibrary"), kCallMethod, library, {libraryName.get()}) ||
        FAILED(AutoCallQuietly(s.lastResult, kCallMethod, nullptr, library.get().pdispVal, GRID_OLESTR("insertByName"),
                               {source.get(), moduleName.get()})) ||
        !objectFrom(document, GRID_OLESTR("getScriptProvider"), kCallMethodOrGet, provider) ||
        !objectFrom(provider.get().pdispVal, GRID_OLESTR("getScript"), kCallMethod, script, {address.get()}))
        return false;
    return true;
}

// The routine run on `range`; false when the request fails, `answer` then holding nothing of use.
bool runOnRange(const ScopedVariant& script, const VARIANT& range, ScopedVariant& answer) {
    CalcSession& s = calcSession();
    // invoke(parameters, out indices of out parameters, out values): one parameter, the range.
    const ScopedSafeArray parameters(SafeArrayCreateVector(VT_VARIANT, 0, 1));
    if (!parameters) return false;
    LONG index = 0;
    if (FAILED(SafeArrayPutElement(parameters.get(), &index, const_cast<VARIANT*>(&range)))) return false;
    VARIANT parameterList = ScopedVariant::nothing();  // a view of the array, which its owner destroys
    parameterList.vt = VT_ARRAY | VT_VARIANT;
    parameterList.parray = parameters.get();
    ScopedVariant outIndices, outValues;
    VARIANT outIndicesReference = ScopedVariant::nothing(), outValuesReference = ScopedVariant::nothing();
    outIndicesReference.vt = outValuesReference.vt = VT_BYREF | VT_VARIANT;
    outIndicesReference.pvarVal = outIndices.out();
    outValuesReference.pvarVal = outValues.out();
    return SUCCEEDED(AutoCallQuietly(s.lastResult, kCallMethod, answer.out(), script.get().pdispVal,
                                     GRID_OLESTR("invoke"), {outValuesReference, outIndicesReference, parameterList}));
}


// The office reads at most about this many cells in one request (a quarter of a second or so):
// Cancel is seen and the bar moves between requests, and the office builds one block's answer at
// a time.
constexpr int32_t kCellsPerRequest = 5000;

// One request's rows and the office's answer for them.
struct Block {
    int32_t firstRow = 0, rows = 0;
    ScopedVariant reply;
    Answer answer;
};

}  // namespace

template <class Ch>
StatusCode captureInOffice(bool& filled) {
    filled = false;
    CellGrid<Ch>& grid = cellGrid<Ch>();
    const int32_t rowsPerBlock = grid.columns >= kCellsPerRequest ? 1 : kCellsPerRequest / grid.columns;
    const size_t blockCount = size_t((grid.rows + rowsPerBlock - 1) / rowsPerBlock);
    const size_t cells = size_t(grid.rows) * size_t(grid.columns);
    OwnedArray<Block> blocks(blockCount);
    OwnedArray<int32_t> groupOf(cells), areaOf(cells);
    OwnedArray<CalcCellFormat> formats(cells);
    ScopedVariant script;
    if (!blocks || !groupOf || !areaOf || !formats || !prepareRoutine(script)) return kOk;
    if (cancelRequested<Ch>()) return cancelSeen<Ch>();  // asked while the routine was put in
    for (size_t i = 0; i < cells; ++i) groupOf[i] = areaOf[i] = -1;

    // The answers, block by block, each checked whole before any cell is stored. A range of one
    // block is the pasted range itself.
    size_t groupCount = 0;
    for (size_t b = 0; b < blockCount; ++b) {
        Block& block = blocks[b];
        block.firstRow = int32_t(b) * rowsPerBlock;
        block.rows = grid.rows - block.firstRow < rowsPerBlock ? grid.rows - block.firstRow : rowsPerBlock;
        ScopedVariant part;
        if (blockCount > 1) {
            const ScopedVariant left = ScopedVariant::integer(0), top = ScopedVariant::integer(block.firstRow),
                                right = ScopedVariant::integer(grid.columns - 1),
                                bottom = ScopedVariant::integer(block.firstRow + block.rows - 1);
            if (!objectFrom(calcSession().selection.pdispVal, GRID_OLESTR("getCellRangeByPosition"), kCallMethod, part,
                            {bottom.get(), right.get(), top.get(), left.get()}))
                return kOk;
        }
        const VARIANT& range = blockCount > 1 ? part.get() : calcSession().selection;
        if (!runOnRange(script, range, block.reply) || !understood<Ch>(block.reply.get(), block.rows, block.answer) ||
            !readGroups<Ch>(block.answer, block.firstRow, block.rows, formats, groupOf, groupCount) ||
            !readAreas<Ch>(block.answer, block.firstRow, block.rows, areaOf))
            return kOk;
        if (b + 1 < blockCount) {
            progressWindowPort().setProgress(30 + int32_t(30 * int64_t(block.firstRow + block.rows) / grid.rows));
            if (cancelRequested<Ch>()) return cancelSeen<Ch>();
        }
    }

    // From here on the cells are stored as the per-cell way stores them, and fail as it fails.
    filled = true;
    progressWindowPort().setProgress(60);
    if (cancelRequested<Ch>()) return cancelSeen<Ch>();
    const int32_t step = 60000 / grid.rows;
    for (int32_t row = 0; row < grid.rows; ++row) {
        const Block& block = blocks[size_t(row / rowsPerBlock)];
        for (int32_t column = 0; column < grid.columns; ++column) {
            const size_t i = size_t(row) * size_t(grid.columns) + size_t(column);
            CellRecord<Ch>& cell = grid.at(column, row);
            const VARIANT& text = block.answer.texts.items[size_t(row - block.firstRow) * size_t(grid.columns) + size_t(column)];
            const StatusCode stored = storeCellText(cell, text.vt == VT_BSTR ? text.bstrVal : nullptr);
            if (stored != kOk) {
                abandonCapture<Ch>();
                return stored;
            }
            applyCellFormat(cell, formats[size_t(groupOf[i])]);
            if (grid.rows == 1 && grid.columns == 1) {
                cell.mergePosition = kNotMerged;
            } else if (cell.mergePosition == kNotMerged && areaOf[i] != -1) {
                // The block's answer gives the area from the block's first row.
                const VARIANT* area = block.answer.areas.items + areaOf[i];
                const StatusCode placed =
                    placeMergedArea<Ch>(column, row, answerInteger(area[2]), answerInteger(area[3]),
                                        block.firstRow + answerInteger(area[4]), block.firstRow + answerInteger(area[5]));
                if (placed != kOk) return placed;
            }
        }
        if (cancelRequested<Ch>()) return cancelSeen<Ch>();
        progressWindowPort().setProgress(60 + (row * step) / 2000);
    }
    return kOk;
}

template StatusCode captureInOffice<char>(bool&);
template StatusCode captureInOffice<char16_t>(bool&);

}  // namespace grid
