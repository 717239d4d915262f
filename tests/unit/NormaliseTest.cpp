#include "core/Normalise.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

template <class Ch>
class NormaliseTest : public CoreTest<Ch> {
protected:
    // A grid of plain cells without any border, every field zero (columns first, unlike makeGrid).
    void makeBareGrid(int32_t columns, int32_t rows) {
        this->grid().columns = columns;
        this->grid().rows = rows;
        ASSERT_EQ(AllocateCellGrid<Ch>(), kOk);
    }
    std::string borders(int32_t column, int32_t row) {
        const int32_t* b = this->grid().at(column, row).border;
        return std::to_string(b[0]) + std::to_string(b[1]) + std::to_string(b[2]) + std::to_string(b[3]);
    }
};
TYPED_TEST_SUITE(NormaliseTest, CharTypes);

TYPED_TEST(NormaliseTest, PlainTextGetsAllBordersWithoutAQuestionAndAnAreaKeepsOnlyItsOutline) {
    this->makeBareGrid(3, 3);
    runState<TypeParam>().clipboardKind = 2;
    this->merge(0, 1, 0, 1);
    ASSERT_EQ(normaliseGrid<TypeParam>(), kOk);
    EXPECT_TRUE(this->boxes.shown().empty());
    EXPECT_EQ(this->borders(0, 0), "1010");  // left, right, top, bottom
    EXPECT_EQ(this->borders(1, 0), "0110");
    EXPECT_EQ(this->borders(0, 1), "1001");
    EXPECT_EQ(this->borders(1, 1), "0101");
    EXPECT_EQ(this->borders(2, 2), "1111");
}

TYPED_TEST(NormaliseTest, SpreadsheetDataWithoutBordersAsksFirst) {
    this->makeBareGrid(2, 1);
    runState<TypeParam>().clipboardKind = 3;
    ASSERT_EQ(normaliseGrid<TypeParam>(), kOk);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{2});
    EXPECT_EQ(runState<TypeParam>().bordersAccepted, 1);
    EXPECT_EQ(this->borders(1, 0), "1111");
}

TYPED_TEST(NormaliseTest, DecliningTheQuestionCancelsAndReleasesTheGrid) {
    this->makeBareGrid(2, 1);
    runState<TypeParam>().clipboardKind = 3;
    this->boxes.answer({kAnswerCancel});
    EXPECT_EQ(normaliseGrid<TypeParam>(), kCancelled);
    EXPECT_EQ(this->boxes.codes(), (std::vector<int>{2, 3}));
    EXPECT_FALSE(this->grid().cellsAllocated);
}

TYPED_TEST(NormaliseTest, ConsentGivenDuringTheCaptureIsNotAskedAgain) {
    this->makeBareGrid(1, 1);
    runState<TypeParam>().clipboardKind = 3;
    runState<TypeParam>().bordersAccepted = 1;
    ASSERT_EQ(normaliseGrid<TypeParam>(), kOk);
    EXPECT_TRUE(this->boxes.shown().empty());
    EXPECT_EQ(this->borders(0, 0), "1111");
}

TYPED_TEST(NormaliseTest, OneBorderLineAnywhereMeansNoQuestionAndNoAddedBorders) {
    this->makeBareGrid(2, 2);
    runState<TypeParam>().clipboardKind = 3;
    this->grid().at(1, 1).border[kBottom] = 2;
    ASSERT_EQ(normaliseGrid<TypeParam>(), kOk);
    EXPECT_TRUE(this->boxes.shown().empty());
    EXPECT_EQ(this->borders(0, 0), "0000");
    EXPECT_EQ(this->borders(1, 1), "0002");
}

TYPED_TEST(NormaliseTest, TheOutlineComesFromTheAnchorAlone) {
    this->makeBareGrid(3, 2);
    for (int32_t i = 0; i < 6; ++i)
        for (int side = 0; side < 4; ++side) this->grid().cells[i].border[side] = 2;
    this->merge(0, 2, 0, 0);  // one row, three columns
    this->grid().at(0, 0).border[kRight] = 0;
    this->grid().at(0, 0).border[kTop] = 1;
    ASSERT_EQ(normaliseGrid<TypeParam>(), kOk);
    EXPECT_EQ(this->borders(0, 0), "2012");
    EXPECT_EQ(this->borders(1, 0), "0012");
    EXPECT_EQ(this->borders(2, 0), "0012");  // the anchor has no right line, so neither has the area
    EXPECT_EQ(this->borders(0, 1), "2222");  // cells outside the area are left alone
}

TYPED_TEST(NormaliseTest, AnAreaEndingAtTheGridsEdgeIsAcceptedOneBeyondIsNot) {
    this->makeBareGrid(2, 2);
    this->merge(0, 1, 0, 1);
    EXPECT_EQ(normaliseGrid<TypeParam>(), kOk);
    ReleaseCellGrid<TypeParam>();

    for (auto [lastColumn, lastRow] : {std::pair{2, 1}, std::pair{1, 2}}) {
        this->boxes.clear();
        this->makeBareGrid(2, 2);
        this->merge(0, lastColumn, 0, lastRow);
        EXPECT_EQ(normaliseGrid<TypeParam>(), kFailedReported);
        EXPECT_EQ(this->boxes.codes(), std::vector<int>{39});
        EXPECT_FALSE(this->grid().cellsAllocated);
    }
}

TYPED_TEST(NormaliseTest, AnAreaStartingOutsideTheGridIsRejectedNotWritten) {
    this->makeBareGrid(2, 2);
    CellRecord<TypeParam>& cell = this->grid().at(1, 1);
    cell.mergePosition = 1;
    cell.mergeFirstColumn = -3;
    cell.mergeLastColumn = 1;
    cell.mergeFirstRow = 1;
    cell.mergeLastRow = 1;
    EXPECT_EQ(normaliseGrid<TypeParam>(), kFailedReported);
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{39});
}

}  // namespace
}  // namespace grid::test
