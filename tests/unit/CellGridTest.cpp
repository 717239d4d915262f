#include "core/CellGrid.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

template <class Ch>
class CellGridTest : public CoreTest<Ch> {
protected:
    StatusCode split(const char* ascii) {
        text = textOf<Ch>(ascii);
        return SplitTextIntoGrid<Ch>(text.c_str());
    }
    std::basic_string<Ch> text;
};
TYPED_TEST_SUITE(CellGridTest, CharTypes);

TYPED_TEST(CellGridTest, SplitsRowsAtLineFeedsAndCellsAtTabs) {
    ASSERT_EQ(this->split("a\tb\r\nc\r\n"), kOk);
    ASSERT_EQ(this->grid().rows, 2);
    ASSERT_EQ(this->grid().columns, 2);
    EXPECT_EQ(this->cellText(0, 0), "a");
    EXPECT_EQ(this->cellText(1, 0), "b");
    EXPECT_EQ(this->cellText(0, 1), "c");
    EXPECT_EQ(this->grid().at(1, 1).text.capacity, -1);  // never reached
}

// The checked build stops at a broken invariant instead of reading or writing past the grid.
TYPED_TEST(CellGridTest, MisuseStopsTheCheckedBuild) {
#ifdef GRID_CHECKED
    ASSERT_EQ(this->split("a\tb\r\nc\r\n"), kOk);
    EXPECT_DEATH((void)this->grid().at(2, 0), "assertion failed: .*column < columns");
    EXPECT_DEATH((void)this->grid().at(0, -1), "assertion failed: .*row >= 0");
    this->grid().at(0, 0).mergePosition = kMergeLastCovered + 1;
    EXPECT_DEATH((void)isCoveredByAnchor(this->grid().at(0, 0)), "assertion failed: .*mergePosition");
    this->grid().at(0, 0).mergePosition = kNotMerged;
#else
    GTEST_SKIP() << "assertions are checked in the sanitizer build";
#endif
}

TYPED_TEST(CellGridTest, SplitEdgeCases) {
    struct Case {
        const char* text;
        int rows, columns;
        std::vector<std::string> cells;  // row-major; "-" for a cell never reached
    };
    const Case cases[] = {
        {"", 1, 1, {""}},
        {"a\tb", 1, 2, {"a", "b"}},
        {"a\n\nb", 3, 1, {"a", "", "b"}},
        {"a\rb\tc\r", 1, 2, {"a\rb", "c\r"}},  // a lone carriage return stays
        {"a\t\tb", 1, 3, {"a", "", "b"}},
        {"a\t", 1, 2, {"a", ""}},
        {"\n", 1, 1, {""}},
        {"x\ty\tz\n1\n", 2, 3, {"x", "y", "z", "1", "-", "-"}},
        {"\r\n\r\n", 2, 1, {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        ASSERT_EQ(this->split(c.text), kOk);
        ASSERT_EQ(this->grid().rows, c.rows);
        ASSERT_EQ(this->grid().columns, c.columns);
        for (int i = 0; i < c.rows * c.columns; ++i) {
            const auto& cell = this->grid().cells[i];
            if (c.cells[i] == "-") {
                EXPECT_EQ(cell.text.capacity, -1) << i;
            } else {
                EXPECT_EQ(this->cellText(i % c.columns, i / c.columns), c.cells[i]) << i;
            }
            EXPECT_EQ(cell.charHeight, 10);
            EXPECT_EQ(cell.backColor, 0xFFFFFF);
            EXPECT_EQ(cell.border[kTop], 0);
            EXPECT_EQ(cell.mergePosition, 0);
        }
        ReleaseCellGrid<TypeParam>();
    }
}

TYPED_TEST(CellGridTest, CellStorageIsSizedByItsOwnField) {
    std::string line(1000, 'x');
    std::string big;
    for (int i = 0; i < 200; ++i) big += "ab\t" + line + "\n";
    ASSERT_EQ(this->split(big.c_str()), kOk);
    ASSERT_EQ(this->grid().rows, 200);
    for (int r = 0; r < 200; ++r) {
        EXPECT_LE(this->grid().at(0, r).text.capacity, 100);
        EXPECT_EQ(this->grid().at(1, r).text.capacity, 1000);
        EXPECT_EQ(this->cellText(1, r), line);
    }
}

TYPED_TEST(CellGridTest, ReleaseIsSafeTwiceAndBeforeAnyAllocation) {
    ReleaseCellGrid<TypeParam>();
    ASSERT_EQ(this->split("a\tb"), kOk);
    ReleaseCellGrid<TypeParam>();
    ReleaseCellGrid<TypeParam>();
    EXPECT_FALSE(this->grid().cellsAllocated);
    EXPECT_EQ(this->grid().rows, 1);  // the size is left as it was
    EXPECT_EQ(this->allocator.liveBlocks(), 0u);
}

TYPED_TEST(CellGridTest, ReleaseFreesEveryOwnedBufferOnce) {
    using Ch = TypeParam;
    RunBuffers<Ch>& owned = runBuffers<Ch>();
    ASSERT_EQ(InitTextBuffer(owned.outputBuffer, 10), kOk);
    owned.outputBufferOwned = 1;
    ASSERT_EQ(InitTextBuffer(owned.workBuffer, 10), kOk);
    owned.workBufferOwned = 1;
    AllocationFailure failure;
    owned.clipboardText = static_cast<Ch*>(allocateArray(4, sizeof(Ch), failure));
    owned.clipboardTextOwned = 1;
    owned.fontClassTable = static_cast<int32_t*>(allocateArray(7, 4, failure));
    owned.fontClassTableOwned = 1;
    owned.cellClassTable = static_cast<int32_t*>(allocateArray(3, 4, failure));
    owned.cellClassTableOwned = 1;
    EXPECT_EQ(this->allocator.liveBlocks(), 5u);
    ReleaseCellGrid<Ch>();
    ReleaseCellGrid<Ch>();
    EXPECT_EQ(this->allocator.liveBlocks(), 0u);
    EXPECT_EQ(owned.outputBufferOwned + owned.workBufferOwned + owned.clipboardTextOwned +
                  owned.fontClassTableOwned + owned.cellClassTableOwned,
              0);
}

TYPED_TEST(CellGridTest, EveryFailedAllocationOfASplitIsReportedAndLeaksNothing) {
    for (AllocationFailure kind : {AllocationFailure::exhausted, AllocationFailure::other}) {
        for (long n = 1;; ++n) {
            this->boxes.clear();
            this->allocator.failNth(n, kind);
            StatusCode result = this->split("a\tb\r\n\tc\nd\te\tf");
            ReleaseCellGrid<TypeParam>();
            EXPECT_EQ(this->allocator.liveBlocks(), 0u) << n;
            if (!this->allocator.failed()) {
                EXPECT_EQ(result, kOk);
                EXPECT_TRUE(this->boxes.shown().empty());
                EXPECT_GT(n, 5);
                break;
            }
            EXPECT_EQ(result, kNoMemory) << n;
            EXPECT_EQ(this->boxes.codes(), std::vector<int>{kind == AllocationFailure::exhausted ? 12 : 13}) << n;
        }
    }
}

TYPED_TEST(CellGridTest, AnOversizedGridFailsAsExhaustedMemory) {
    this->grid().rows = 70000;
    this->grid().columns = 70000;
    EXPECT_EQ(AllocateCellGrid<TypeParam>(), kNoMemory);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{12});
    EXPECT_FALSE(this->grid().cellsAllocated);
}

TEST(MergePositionCode, NumbersTheCellsOfAnAreaByColumnAndRow) {
    auto codes = [](int columns, int rows) {
        std::vector<int> result;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) result.push_back(mergePositionCode(c, r, 0, columns - 1, 0, rows - 1));
        return result;
    };
    EXPECT_EQ(codes(3, 2), (std::vector<int>{1, 2, 3, 7, 8, 9}));
    EXPECT_EQ(codes(1, 3), (std::vector<int>{1, 4, 7}));
    EXPECT_EQ(codes(3, 1), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(codes(3, 3), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(codes(2, 3), (std::vector<int>{1, 3, 4, 6, 7, 9}));
}

}  // namespace
}  // namespace grid::test
