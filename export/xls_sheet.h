#pragma once

#include "common/gbk_text.h"
#include "export/byte_sink.h"
#include "export/cell_grid.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace yunque {

// The longest cell text a LABEL record can hold: its data length field,
// text length + 8, is 16 bits wide.
inline constexpr std::size_t maximumLabelText = 65527;

// A sheet of cell texts that writes itself as a one-sheet .xls worksheet:
// a bare stream of BOF, one LABEL or BLANK record per cell, EOF.
//
// Rows and columns are addressed from 1. Every store and fetch copies the
// text. The operations are virtual and declared in their table order; one
// operation uses another only through a virtual call, so a derived sheet can
// take over any of them.
//
// Out-of-contract calls (a row above the number of rows, a column above that
// row's own number of cells, a negative count or columnCount) are
// programming errors and throw std::out_of_range or std::invalid_argument.
class XlsSheet {
public:
    // A new sheet has one row holding one empty cell until initialize()
    // removes it.
    XlsSheet();

    // Releases the grid and clears both record buffers. The object itself
    // stays valid (with no rows) until its owner deletes it.
    virtual void destroy();
    // A new sheet with a deep copy of the grid and the same state.
    virtual std::unique_ptr<XlsSheet> copy() const;

    // Writer: the record at (currentRow, currentColumn) into fileHandle;
    // nothing when fileHandle is null.
    virtual void writeBlankRecord();
    // The text is cut to maximumLabelText bytes at a character boundary.
    virtual void writeLabelRecord(std::string_view text);
    virtual void writeBof();
    virtual void writeEof();
    // The whole stream: BOF, the cells row by row, EOF. processEvents() runs
    // after every cell and after every row.
    virtual void writeRecords();

    // Replaces the grid by a copy of the given one (which may be this
    // sheet's own), then saves like saveAs(). columnCount stays.
    virtual bool saveArray(const CellGrid &cells, const std::filesystem::path &fileName);
    // Same as saveArray().
    virtual bool exportArray(const CellGrid &cells, const std::filesystem::path &fileName);

    // keepExisting keeps the first min(rows, count) rows; new rows get one
    // empty cell each. columnCount stays.
    virtual void setRowCount(std::int32_t count, bool keepExisting);
    // Sets columnCount, then makes every row exactly count cells long;
    // keepExisting keeps the first cells of each row.
    virtual void setColumnCount(std::int32_t count, bool keepExisting);
    // False (and no change) for a row or column below 1 or a column above
    // columnCount; otherwise stores a copy of text.
    virtual bool setCell(std::int32_t row, std::int32_t column, std::string_view text);
    // Writes the record stream to the file of that name (used unchanged),
    // replacing it as a whole only once every byte is written. True when the
    // file now holds the stream; otherwise lastSaveError() tells why and the
    // file, if any, is as it was. An empty name writes nothing.
    virtual bool saveAs(const std::filesystem::path &fileName);
    // A copy of the cell's text; the empty text when setCell would refuse
    // the address.
    virtual GbkText getCell(std::int32_t row, std::int32_t column) const;
    // Appends a row of columnCount empty cells; returns the new row count.
    virtual std::int32_t addRow();

    // Declared after the operations so that they lead the virtual table.
    virtual ~XlsSheet();

    // Runs once after creation: removes every row.
    void initialize();

    // The system's description of why the last failed save failed; empty
    // after a save that succeeded.
    const std::string &lastSaveError() const { return m_lastSaveError; }

    // The sink of the save that is running; null outside a save.
    ByteSink *fileHandle = nullptr;
    // The writer's 0-based position; wraps at 16 bits.
    std::uint16_t currentRow = 0;
    std::uint16_t currentColumn = 0;
    CellGrid grid;
    // The first 12 bytes of a LABEL: record number, data length, row,
    // column, XF index, text length.
    std::array<std::uint16_t, 6> labelHeader{};
    // A whole BLANK: record number, data length, row, column, XF index.
    std::array<std::uint16_t, 5> blankRecord{};
    // Bounds setCell and getCell; sizes the row that addRow appends.
    std::int32_t columnCount = 0;

protected:
    XlsSheet(const XlsSheet &) = default;
    XlsSheet &operator=(const XlsSheet &) = default;

private:
    bool saveGrid(const std::filesystem::path &fileName);
    void put(const void *data, std::size_t size);
    // The 0-based cell of a 1-based address that passed the columnCount
    // test; throws std::out_of_range outside the grid.
    std::pair<std::size_t, std::size_t> cellAt(std::int32_t row, std::int32_t column) const;

    std::string m_lastSaveError;
};

} // namespace yunque
