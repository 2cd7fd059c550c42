#include "export/xls_sheet.h"

#include "common/file_system.h"
#include "common/gbk_codec.h"
#include "common/process_events.h"

#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace yunque {
namespace {

constexpr std::uint16_t labelRecordNumber = 0x0204;
constexpr std::uint16_t blankRecordNumber = 0x0201;
constexpr std::uint16_t blankDataLength = 6;
constexpr std::uint16_t blankXfIndex = 0x0017;

constexpr unsigned char bofBytes[12] = {0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr unsigned char eofBytes[4] = {0x0A, 0x00, 0x00, 0x00};

constexpr std::size_t labelHeaderSize = 12;
constexpr std::size_t blankRecordSize = 10;

// Four 16-bit fields as one little-endian 64-bit value. The record fields
// are packed in registers and stored whole: byte-wise stores followed by a
// wide copy would stall on store forwarding.
std::uint64_t packFields(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
{
    return std::uint64_t{a} | std::uint64_t{b} << 16 | std::uint64_t{c} << 32 | std::uint64_t{d} << 48;
}

template <typename Unsigned>
void storeLittleEndian(unsigned char *out, Unsigned value)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &value, sizeof value);
    } else {
        for (std::size_t i = 0; i < sizeof value; ++i)
            out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::string addressText(std::int32_t row, std::int32_t column)
{
    return "(" + std::to_string(row) + ", " + std::to_string(column) + ")";
}

} // namespace

XlsSheet::XlsSheet()
{
    grid.appendRow(1);
}

XlsSheet::~XlsSheet() = default;

void XlsSheet::initialize()
{
    grid.clear();
}

void XlsSheet::destroy()
{
    grid.release();
    labelHeader = {};
    blankRecord = {};
}

std::unique_ptr<XlsSheet> XlsSheet::copy() const
{
    return std::unique_ptr<XlsSheet>(new XlsSheet(*this));
}

void XlsSheet::put(const void *data, std::size_t size)
{
    // A sink that failed remembers it; the save checks at its end.
    if (fileHandle != nullptr)
        fileHandle->write(data, size);
}

void XlsSheet::writeBlankRecord()
{
    blankRecord[2] = currentRow;
    blankRecord[3] = currentColumn;
    unsigned char bytes[blankRecordSize];
    storeLittleEndian(bytes, packFields(blankRecord[0], blankRecord[1], blankRecord[2], blankRecord[3]));
    storeLittleEndian(bytes + 8, blankRecord[4]);
    put(bytes, sizeof bytes);
}

void XlsSheet::writeLabelRecord(std::string_view text)
{
    const std::size_t length = text.size() <= maximumLabelText ? text.size() : gbkPrefixLength(text, maximumLabelText);
    labelHeader[1] = static_cast<std::uint16_t>(length + 8);
    labelHeader[2] = currentRow;
    labelHeader[3] = currentColumn;
    labelHeader[5] = static_cast<std::uint16_t>(length);

    unsigned char bytes[labelHeaderSize];
    storeLittleEndian(bytes, packFields(labelHeader[0], labelHeader[1], labelHeader[2], labelHeader[3]));
    storeLittleEndian(bytes + 8, std::uint32_t{labelHeader[4]} | std::uint32_t{labelHeader[5]} << 16);
    put(bytes, sizeof bytes);
    put(text.data(), length);
}

void XlsSheet::writeBof()
{
    put(bofBytes, sizeof bofBytes);
}

void XlsSheet::writeEof()
{
    put(eofBytes, sizeof eofBytes);
}

void XlsSheet::writeRecords()
{
    labelHeader = {labelRecordNumber, 0, 0, 0, 0, 0};
    blankRecord = {blankRecordNumber, blankDataLength, 0, 0, blankXfIndex};
    writeBof();
    currentRow = 0;
    currentColumn = 0;
    // processEvents() may run anything, so no view into the grid is kept
    // across it and the sizes are read afresh each time.
    for (std::size_t row = 0; row < grid.rowCount(); ++row) {
        for (std::size_t column = 0; column < grid.cellCount(row); ++column) {
            const std::string_view text = grid.text(row, column);
            if (text.empty())
                writeBlankRecord();
            else
                writeLabelRecord(text);
            ++currentColumn;
            processEvents();
            if (row >= grid.rowCount())
                break;
        }
        ++currentRow;
        currentColumn = 0;
        processEvents();
    }
    writeEof();
}

bool XlsSheet::saveGrid(const std::filesystem::path &fileName)
{
    m_lastSaveError.clear();
    // An empty name fails to open like a missing file. A finished export is
    // on the disk when the save returns: it costs little next to building
    // the sheet, and the user may take the file away at once.
    AtomicFile file(fileName, Durability::systemCrash);
    if (!file.open()) {
        m_lastSaveError = file.errorText();
        return false;
    }
    AtomicFileSink sink(file);
    {
        // Put back what was there, also when writeRecords throws; the
        // AtomicFile then discards its temporary file.
        struct RestoreHandle {
            ByteSink *&handle;
            ByteSink *previous;
            ~RestoreHandle() { handle = previous; }
        } restore{fileHandle, std::exchange(fileHandle, &sink)};
        writeRecords();
    }
    sink.flush();
    if (!file.commit()) {
        m_lastSaveError = file.errorText();
        return false;
    }
    return true;
}

bool XlsSheet::saveArray(const CellGrid &cells, const std::filesystem::path &fileName)
{
    CellGrid copied = cells;
    grid = std::move(copied);
    return saveGrid(fileName);
}

bool XlsSheet::exportArray(const CellGrid &cells, const std::filesystem::path &fileName)
{
    return saveArray(cells, fileName);
}

void XlsSheet::setRowCount(std::int32_t count, bool keepExisting)
{
    if (count < 0)
        throw std::invalid_argument("XlsSheet::setRowCount: negative count " + std::to_string(count));
    const auto rows = static_cast<std::size_t>(count);
    if (!keepExisting)
        grid.clear();
    grid.resizeRows(rows, 1);
}

void XlsSheet::setColumnCount(std::int32_t count, bool keepExisting)
{
    if (count < 0)
        throw std::invalid_argument("XlsSheet::setColumnCount: negative count " + std::to_string(count));
    columnCount = count;
    grid.resizeEveryRow(static_cast<std::size_t>(count), keepExisting);
}

std::pair<std::size_t, std::size_t> XlsSheet::cellAt(std::int32_t row, std::int32_t column) const
{
    const auto rowIndex = static_cast<std::size_t>(row - 1);
    if (rowIndex >= grid.rowCount())
        throw std::out_of_range("XlsSheet: row of " + addressText(row, column) + " is above the "
                                + std::to_string(grid.rowCount()) + " rows");
    const auto columnIndex = static_cast<std::size_t>(column - 1);
    const std::size_t cells = grid.cellCount(rowIndex);
    if (columnIndex >= cells)
        throw std::out_of_range("XlsSheet: column of " + addressText(row, column) + " is above the row's "
                                + std::to_string(cells) + " cells");
    return {rowIndex, columnIndex};
}

bool XlsSheet::setCell(std::int32_t row, std::int32_t column, std::string_view text)
{
    if (row < 1 || column < 1 || column > columnCount)
        return false;
    const auto [rowIndex, columnIndex] = cellAt(row, column);
    grid.setText(rowIndex, columnIndex, text);
    return true;
}

bool XlsSheet::saveAs(const std::filesystem::path &fileName)
{
    return saveGrid(fileName);
}

GbkText XlsSheet::getCell(std::int32_t row, std::int32_t column) const
{
    if (row < 1 || column < 1 || column > columnCount)
        return GbkText();
    const auto [rowIndex, columnIndex] = cellAt(row, column);
    return GbkText(grid.text(rowIndex, columnIndex));
}

std::int32_t XlsSheet::addRow()
{
    if (columnCount < 0)
        throw std::invalid_argument("XlsSheet::addRow: negative columnCount " + std::to_string(columnCount));
    if (grid.rowCount() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::length_error("XlsSheet::addRow: the sheet has the largest number of rows");
    grid.appendRow(static_cast<std::size_t>(columnCount));
    return static_cast<std::int32_t>(grid.rowCount());
}

} // namespace yunque
