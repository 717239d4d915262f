#pragma once
// What Calc puts on the clipboard when cells are copied, read without the office: the package of
// the copied cells (an OpenDocument spreadsheet, the copied cells at their own address on its first
// sheet) and the link that names the sheet and the range. The cells of the range come out as the
// office reports them: the displayed text, the format as Calc's cell properties give it (styles
// resolved through their parents and the column defaults), the merged areas.
#include <cstddef>
#include <cstdint>

#include "capture/CellValues.h"
#include "core/Allocation.h"

namespace grid {

// The range a link names: "Sheet1.B1:C3", "'My Sheet'.$B$1", 0-based and inclusive.
struct LinkedRange {
    int32_t firstColumn = 0, firstRow = 0, lastColumn = 0, lastRow = 0;
    OwnedBytes sheet;  // the sheet's name, UTF-8
};
// The link's item: application, document and item separated by NULs. False for anything else.
bool readCalcLink(const uint8_t* bytes, size_t size, LinkedRange& range);

// The most cells a range may have to be read this way.
inline constexpr int64_t kMostPackageCells = int64_t(1) << 20;

struct PackageCell {
    uint32_t textAt = 0;      // in the text store, NUL-terminated
    int32_t textLength = 0;   // UTF-16 units
    int32_t format = -1;      // index of the cell's resolved format
    int32_t columnSpan = 1, rowSpan = 1;  // an area's anchor; 1, 1 elsewhere
    bool covered = false;     // a cell under another's area
    bool seen = false;        // written in the package
};

// The cells of the range, checked whole: every cell seen at most once, every area made of covered
// cells only.
class PackageCells {
public:
    PackageCells() = default;
    ~PackageCells();
    PackageCells(const PackageCells&) = delete;
    PackageCells& operator=(const PackageCells&) = delete;

    int32_t rows = 0, columns = 0;
    // An area of the range reaches beyond it, as it does where the range ends inside an area.
    bool areaBeyondRange = false;
    const PackageCell& at(int32_t column, int32_t row) const { return cells_[column + int64_t(row) * columns]; }
    const char16_t* text(const PackageCell& cell) const { return texts_ + cell.textAt; }
    const CalcCellFormat& format(const PackageCell& cell) const { return formats_[cell.format]; }

private:
    friend class PackageReader;
    friend class HtmlTableReader;
    PackageCell* cells_ = nullptr;
    char16_t* texts_ = nullptr;
    CalcCellFormat* formats_ = nullptr;
};

enum class PackageResult { ok, notUnderstood, noMemory };

// The range's cells from the package (the ZIP's bytes) and the link. Anything the reading does not
// understand, cannot check or finds inconsistent gives notUnderstood; nothing is reported.
PackageResult readCalcPackage(const uint8_t* package, size_t packageSize, const LinkedRange& range,
                              PackageCells& cells);

}  // namespace grid
