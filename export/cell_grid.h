#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace yunque {

// Rows of cell texts; every row keeps its own number of cells (rows may be
// ragged). An empty text is an empty cell. Rows and cells are numbered from
// 0 here; an index outside the grid throws std::out_of_range.
//
// Every text is copied in, so the grid never refers to its caller's bytes.
// The storage is flat: one array of row starts, one of cells and one pool
// of text bytes, so that a large sheet costs a few allocations, not one per
// row or cell.
class CellGrid {
public:
    CellGrid() = default;
    // {{"a", "b"}, {}, {"c"}}: rows of texts.
    CellGrid(std::initializer_list<std::initializer_list<std::string_view>> rows);

    std::size_t rowCount() const { return m_rowStart.size() - 1; }
    bool empty() const { return rowCount() == 0; }
    std::size_t cellCount(std::size_t row) const
    {
        if (row >= rowCount())
            throwRowOutOfRange(row);
        return m_rowStart[row + 1] - m_rowStart[row];
    }

    // A view of the cell's text, valid until the grid next changes.
    std::string_view text(std::size_t row, std::size_t cell) const
    {
        const Cell &slot = m_cells[cellIndex(row, cell)];
        return std::string_view(m_text.data() + slot.offset, slot.size);
    }
    // Stores a copy of text (which may be a view into this grid).
    void setText(std::size_t row, std::size_t cell, std::string_view text);

    // Removes every row.
    void clear();
    // Appends a row of that many empty cells.
    void appendRow(std::size_t cells);
    // Appends a row holding copies of the texts.
    void appendRow(std::initializer_list<std::string_view> texts);
    void appendRow(const std::vector<std::string> &texts);
    // Keeps the first min(rowCount(), rows) rows as they are; rows added to
    // reach the count get cellsPerNewRow empty cells.
    void resizeRows(std::size_t rows, std::size_t cellsPerNewRow);
    // Gives every row exactly cells cells. keepTexts keeps the first cells of
    // each row; otherwise every cell ends up empty.
    void resizeEveryRow(std::size_t cells, bool keepTexts);
    // Returns the memory; the grid then has no rows.
    void release();

    // Same rows with the same texts (however they are stored).
    friend bool operator==(const CellGrid &left, const CellGrid &right);

private:
    struct Cell {
        std::size_t offset = 0;
        std::size_t size = 0;
    };

    std::size_t cellIndex(std::size_t row, std::size_t cell) const
    {
        const std::size_t cells = cellCount(row);
        if (cell >= cells)
            throwCellOutOfRange(row, cell);
        return m_rowStart[row] + cell;
    }
    [[noreturn]] void throwRowOutOfRange(std::size_t row) const;
    [[noreturn]] void throwCellOutOfRange(std::size_t row, std::size_t cell) const;
    void dropCells(std::size_t first, std::size_t last);
    void compactIfWasteful();
    void reserveText(std::size_t more);

    // Row r holds cells m_rowStart[r] up to m_rowStart[r + 1].
    std::vector<std::size_t> m_rowStart{0};
    std::vector<Cell> m_cells;
    std::string m_text;
    // Bytes in m_text that no cell refers to any more.
    std::size_t m_unused = 0;
};

} // namespace yunque
