// The buffered file sink at its buffer's edges: streams and single writes of
// one byte less than, exactly, and one byte more than the buffer, and of
// several buffers, must reach the file exactly as a memory sink gets them.
#include "common/file_system.h"
#include "export/byte_sink.h"
#include "export/xls_sheet.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace yunque {
namespace {

using test::readFile;
using test::sameBytes;

constexpr std::size_t buffer = AtomicFile::bufferSize;

// A grid whose record stream is exactly size bytes: BOF and EOF (16), then
// LABEL records of 12 + n bytes each.
CellGrid gridWithStreamOf(std::size_t size)
{
    CellGrid grid;
    constexpr std::size_t largest = maximumLabelText + 12;
    constexpr std::size_t smallest = 12 + 1;
    std::size_t left = size - 16;
    while (left > 0) {
        // Never leave less than the smallest record for the rest.
        const std::size_t record = left <= largest ? left : std::min(largest, left - smallest);
        grid.appendRow({std::string(record - 12, 'x')});
        left -= record;
    }
    return grid;
}

std::string streamOf(const CellGrid &grid)
{
    XlsSheet sheet;
    sheet.initialize();
    sheet.grid = grid;
    MemorySink sink;
    sheet.fileHandle = &sink;
    sheet.writeRecords();
    return sink.takeBytes();
}

class ByteSinkTest : public test::TempFolderTest {};

TEST_F(ByteSinkTest, SavedStreamsAroundTheBufferSizeMatchTheMemorySink)
{
    for (const std::size_t size : {buffer - 1, buffer, buffer + 1, 5 * buffer + 3}) {
        SCOPED_TRACE(size);
        const CellGrid grid = gridWithStreamOf(size);
        const std::string expected = streamOf(grid);
        ASSERT_EQ(expected.size(), size);
        XlsSheet sheet;
        sheet.initialize();
        sheet.grid = grid;
        ASSERT_TRUE(sheet.saveAs(pathOf("out.xls"))) << sheet.lastSaveError();
        EXPECT_TRUE(sameBytes(readFile(pathOf("out.xls")), expected));
    }
}

// Single writes as large as the buffer or larger go to the file uncopied,
// after whatever was buffered before them.
TEST_F(ByteSinkTest, WritesOfEverySizeArriveInOrder)
{
    const std::vector<std::size_t> sizes = {1, buffer - 1, buffer, 3, buffer + 1, 2, 3 * buffer, buffer - 2, 1};
    AtomicFile file(pathOf("pieces.bin"));
    ASSERT_TRUE(file.open());
    std::string expected;
    {
        AtomicFileSink sink(file);
        char fill = 'a';
        for (const std::size_t size : sizes) {
            const std::string piece(size, fill++);
            expected += piece;
            ASSERT_TRUE(sink.write(piece.data(), piece.size())) << size;
        }
        ASSERT_TRUE(sink.flush());
    }
    ASSERT_TRUE(file.commit()) << file.errorText();
    EXPECT_TRUE(sameBytes(readFile(pathOf("pieces.bin")), expected));
}

} // namespace
} // namespace yunque
