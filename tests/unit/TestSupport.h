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
