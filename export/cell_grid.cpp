#include "export/cell_grid.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>

namespace yunque {
namespace {

// Unused text bytes are squeezed out once they are more than this and more
// than half of the pool.
constexpr std::size_t compactionThreshold = 64 * 1024;
// Room reserved per cell when the text pool first has to grow.
constexpr std::size_t expectedBytesPerCell = 16;

std::size_t checkedProduct(std::size_t count, std::size_t size)
{
    if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size)
        throw std::length_error("CellGrid: too many cells");
    return count * size;
}

} // namespace

CellGrid::CellGrid(std::initializer_list<std::initializer_list<std::string_view>> rows)
{
    for (const auto &texts : rows)
        appendRow(texts);
}

void CellGrid::throwRowOutOfRange(std::size_t row) const
{
    throw std::out_of_range("CellGrid: row " + std::to_string(row) + " of " + std::to_string(rowCount()));
}

void CellGrid::throwCellOutOfRange(std::size_t row, std::size_t cell) const
{
    throw std::out_of_range("CellGrid: cell " + std::to_string(cell) + " of " + std::to_string(cellCount(row))
                            + " in row " + std::to_string(row));
}

void CellGrid::setText(std::size_t row, std::size_t cell, std::string_view text)
{
    Cell &slot = m_cells[cellIndex(row, cell)];
    if (text.size() <= slot.size) {
        // Fits where the old text was; memmove copes with a view into the pool.
        if (!text.empty())
            std::memmove(m_text.data() + slot.offset, text.data(), text.size());
        m_unused += slot.size - text.size();
        slot.size = text.size();
    } else {
        const std::less<const char *> before;
        if (!before(text.data(), m_text.data()) && before(text.data(), m_text.data() + m_text.size())) {
            // Appending may move the pool under the view: copy it first.
            const std::string copy(text);
            setText(row, cell, copy);
            return;
        }
        reserveText(text.size());
        m_unused += slot.size;
        slot.offset = m_text.size();
        slot.size = text.size();
        m_text.append(text);
    }
    compactIfWasteful();
}

void CellGrid::reserveText(std::size_t more)
{
    if (more <= m_text.capacity() - m_text.size())
        return;
    // Grow in one step to what a grid of short texts needs, rather than by
    // doubling, which copies the pool and touches twice the memory. Pages
    // reserved but not yet written cost no resident memory.
    const std::size_t wanted =
        std::max({m_text.size() + more, 2 * m_text.capacity(),
                  std::min(m_cells.size(), m_text.max_size() / expectedBytesPerCell) * expectedBytesPerCell});
    m_text.reserve(wanted);
}

void CellGrid::clear()
{
    m_rowStart.assign(1, 0);
    m_cells.clear();
    m_text.clear();
    m_unused = 0;
}

void CellGrid::appendRow(std::size_t cells)
{
    const std::size_t end = m_cells.size();
    if (cells > m_cells.max_size() - end)
        throw std::length_error("CellGrid: too many cells");
    m_cells.resize(end + cells);
    m_rowStart.push_back(end + cells);
}

void CellGrid::appendRow(std::initializer_list<std::string_view> texts)
{
    appendRow(texts.size());
    std::size_t cell = 0;
    for (std::string_view text : texts)
        setText(rowCount() - 1, cell++, text);
}

void CellGrid::appendRow(const std::vector<std::string> &texts)
{
    appendRow(texts.size());
    for (std::size_t cell = 0; cell < texts.size(); ++cell)
        setText(rowCount() - 1, cell, texts[cell]);
}

void CellGrid::dropCells(std::size_t first, std::size_t last)
{
    for (std::size_t index = first; index < last; ++index)
        m_unused += m_cells[index].size;
}

void CellGrid::resizeRows(std::size_t rows, std::size_t cellsPerNewRow)
{
    const std::size_t current = rowCount();
    if (rows <= current) {
        const std::size_t end = m_rowStart[rows];
        dropCells(end, m_cells.size());
        m_cells.resize(end);
        m_rowStart.resize(rows + 1);
        if (m_cells.empty()) {
            m_text.clear();
            m_unused = 0;
        }
        compactIfWasteful();
        return;
    }
    const std::size_t added = checkedProduct(rows - current, cellsPerNewRow);
    if (added > m_cells.max_size() - m_cells.size())
        throw std::length_error("CellGrid: too many cells");
    m_rowStart.reserve(rows + 1);
    std::size_t end = m_cells.size();
    m_cells.resize(end + added);
    for (std::size_t row = current; row < rows; ++row) {
        end += cellsPerNewRow;
        m_rowStart.push_back(end);
    }
}

void CellGrid::resizeEveryRow(std::size_t cells, bool keepTexts)
{
    const std::size_t rows = rowCount();
    const std::size_t total = checkedProduct(rows, cells);
    if (!keepTexts) {
        m_cells.assign(total, Cell{});
        for (std::size_t row = 0; row <= rows; ++row)
            m_rowStart[row] = row * cells;
        m_text.clear();
        m_unused = 0;
        return;
    }
    std::vector<Cell> resized;
    resized.reserve(total);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t first = m_rowStart[row];
        const std::size_t last = m_rowStart[row + 1];
        const std::size_t kept = std::min(last - first, cells);
        m_rowStart[row] = resized.size();
        resized.insert(resized.end(), m_cells.begin() + static_cast<std::ptrdiff_t>(first),
                       m_cells.begin() + static_cast<std::ptrdiff_t>(first + kept));
        resized.resize(resized.size() + (cells - kept));
        dropCells(first + kept, last);
    }
    m_rowStart[rows] = resized.size();
    m_cells.swap(resized);
    compactIfWasteful();
}

void CellGrid::release()
{
    CellGrid empty;
    std::swap(m_rowStart, empty.m_rowStart);
    std::swap(m_cells, empty.m_cells);
    std::swap(m_text, empty.m_text);
    m_unused = 0;
}

void CellGrid::compactIfWasteful()
{
    if (m_unused <= compactionThreshold || m_unused <= m_text.size() / 2)
        return;
    std::string packed;
    packed.reserve(m_text.size() - m_unused);
    for (Cell &slot : m_cells) {
        if (slot.size == 0) {
            slot.offset = 0;
            continue;
        }
        const std::size_t offset = packed.size();
        packed.append(m_text, slot.offset, slot.size);
        slot.offset = offset;
    }
    m_text.swap(packed);
    m_unused = 0;
}

bool operator==(const CellGrid &left, const CellGrid &right)
{
    if (left.rowCount() != right.rowCount())
        return false;
    for (std::size_t row = 0; row < left.rowCount(); ++row) {
        const std::size_t cells = left.cellCount(row);
        if (cells != right.cellCount(row))
            return false;
        for (std::size_t cell = 0; cell < cells; ++cell)
            if (left.text(row, cell) != right.text(row, cell))
                return false;
    }
    return true;
}

} // namespace yunque
