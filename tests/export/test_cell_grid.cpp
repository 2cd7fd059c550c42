// The flat cell grid against a plain nested-vector model.
#include "export/cell_grid.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace yunque {
namespace {

using test::Rows;
using test::rowsOf;

TEST(CellGrid, BuildsRaggedRowsAndComparesByContent)
{
    const CellGrid grid = {{"a", "b"}, {}, {"", "c", "d"}};
    EXPECT_EQ(rowsOf(grid), (Rows{{"a", "b"}, {}, {"", "c", "d"}}));

    CellGrid same;
    same.appendRow(2);
    same.appendRow(0);
    same.appendRow({"", "x", "d"});
    same.setText(0, 1, "b");
    same.setText(0, 0, "a");
    same.setText(2, 1, "c");
    EXPECT_EQ(same, grid) << "same texts stored in another order";
    same.setText(2, 1, "");
    EXPECT_FALSE(same == grid);
}

TEST(CellGrid, IndexesOutsideTheGridThrow)
{
    CellGrid grid = {{"a"}, {}};
    EXPECT_THROW(grid.text(2, 0), std::out_of_range);
    EXPECT_THROW(grid.cellCount(2), std::out_of_range);
    EXPECT_THROW(grid.text(0, 1), std::out_of_range);
    EXPECT_THROW(grid.setText(1, 0, "x"), std::out_of_range);
    EXPECT_EQ(rowsOf(grid), (Rows{{"a"}, {}}));
}

TEST(CellGrid, TextsCopiedFromTheGridItselfSurviveItsGrowth)
{
    CellGrid grid;
    grid.appendRow(2);
    grid.setText(0, 0, std::string(1000, 'q'));
    // Each copy is longer than the target's old text, so it is appended to
    // the pool, which may move while the source view points into it.
    for (int i = 0; i < 20; ++i) {
        grid.setText(0, 1, grid.text(0, 0));
        grid.setText(0, 0, std::string(grid.text(0, 1)) + "z");
    }
    EXPECT_EQ(grid.text(0, 1), std::string(1000, 'q') + std::string(19, 'z'));
    EXPECT_EQ(grid.text(0, 0), std::string(1000, 'q') + std::string(20, 'z'));
}

// Random edits, long and short texts (so that unused pool bytes pile up and
// get squeezed out), checked against the model after every step.
TEST(CellGrid, RandomEditsMatchANestedVectorModel)
{
    std::mt19937 random(20240611);
    const auto below = [&](std::size_t bound) {
        return bound == 0 ? std::size_t{0} : std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
    };
    const auto someText = [&] {
        const std::size_t length = below(4) == 0 ? below(20000) : below(12);
        std::string text(length, '\0');
        for (char &byte : text)
            byte = static_cast<char>('a' + below(26));
        return text;
    };

    CellGrid grid;
    Rows model;
    for (int step = 0; step < 3000; ++step) {
        switch (below(10)) {
        case 0: {
            const std::size_t rows = 1 + below(12);
            const std::size_t cells = below(4);
            grid.resizeRows(rows, cells);
            model.resize(rows, std::vector<std::string>(cells));
            break;
        }
        case 1: {
            const std::size_t cells = below(6);
            const bool keep = below(8) != 0;
            grid.resizeEveryRow(cells, keep);
            for (auto &row : model) {
                if (!keep)
                    row.clear();
                row.resize(cells);
            }
            break;
        }
        case 2: {
            const std::size_t cells = below(5);
            grid.appendRow(cells);
            model.emplace_back(cells);
            break;
        }
        case 3: {
            const CellGrid copy = grid;
            grid = copy;
            break;
        }
        default: {
            if (model.empty())
                break;
            const std::size_t row = below(model.size());
            if (model[row].empty())
                break;
            const std::size_t cell = below(model[row].size());
            const std::string text = someText();
            grid.setText(row, cell, text);
            model[row][cell] = text;
            break;
        }
        }
        ASSERT_EQ(rowsOf(grid), model) << "after step " << step;
    }
    grid.release();
    EXPECT_TRUE(grid.empty());
}

} // namespace
} // namespace yunque
