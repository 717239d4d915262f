#pragma once
// Shared set-up of the unit tests: fresh global state and the test doubles of every port.
#include <gtest/gtest.h>

#include <string>

#include "core/CellGrid.h"
#include "core/RunState.h"
#include "platform/fake/FakeAllocation.h"
#include "platform/fake/FakeMessageBox.h"
#include "platform/fake/FakeProcessExit.h"

namespace grid::test {

template <class Ch>
std::basic_string<Ch> textOf(const char* ascii) {
    std::basic_string<Ch> result;
    for (const char* p = ascii; *p; ++p) result.push_back(Ch(static_cast<unsigned char>(*p)));
    return result;
}

template <class Ch>
std::string narrow(const Ch* text) {
    std::string result;
    for (; text && *text; ++text) result.push_back(static_cast<char>(*text));
    return result;
}

// Every test starts from an empty grid and run, and must leave nothing allocated.
template <class Ch>
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRunState<Ch>();
        ClearRunOwnership<Ch>();
        cellGrid<Ch>().rows = cellGrid<Ch>().columns = 0;
        mainWindow = nullptr;
    }
    void TearDown() override {
        ReleaseCellGrid<Ch>();
        EXPECT_EQ(allocator.liveBlocks(), 0u) << "blocks leaked";
    }

    CellGrid<Ch>& grid() { return cellGrid<Ch>(); }
    // A grid as the plain-text split leaves it, without texts.
    void makeGrid(int32_t rows, int32_t columns) {
        grid().rows = rows;
        grid().columns = columns;
        ASSERT_EQ(AllocateCellGrid<Ch>(), kOk);
        for (int64_t i = 0; i < int64_t(rows) * columns; ++i) {
            grid().cells[i].charHeight = 10;
            grid().cells[i].backColor = 0xFFFFFF;
        }
    }
    void setText(int32_t column, int32_t row, const std::basic_string<Ch>& text) {
        auto& cell = grid().at(column, row).text;
        ASSERT_EQ(InitTextBuffer(cell, static_cast<int32_t>(text.size())), kOk);
        ASSERT_EQ(AppendText(cell, text.c_str()), kOk);
    }
    void merge(int32_t firstColumn, int32_t lastColumn, int32_t firstRow, int32_t lastRow) {
        markMergedArea<Ch>(firstColumn, lastColumn, firstRow, lastRow);
    }
    std::string cellText(int32_t column, int32_t row) {
        const auto& text = grid().at(column, row).text;
        return text.capacity > 0 ? narrow(text.data) : std::string();
    }

    FakeAllocation allocator;
    FakeMessageBox boxes;
    FakeProcessExit exits;
};

using CharTypes = ::testing::Types<char, char16_t>;

}  // namespace grid::test
