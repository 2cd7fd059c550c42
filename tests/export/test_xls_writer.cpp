// The worksheet record stream, byte for byte.
#include "export/xls_sheet.h"
#include "export_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace yunque {
namespace {

using test::bytes;
using test::expectedStream;
using test::sameBytes;

std::string streamOf(XlsSheet &sheet)
{
    MemorySink sink;
    sheet.fileHandle = &sink;
    sheet.writeRecords();
    sheet.fileHandle = nullptr;
    return sink.takeBytes();
}

std::string streamOf(const CellGrid &grid)
{
    XlsSheet sheet;
    sheet.initialize();
    sheet.grid = grid;
    return streamOf(sheet);
}

TEST(XlsWriter, EmptyGridGivesTheSixteenByteStream)
{
    const std::string expected =
        bytes({0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00});
    EXPECT_TRUE(sameBytes(streamOf(CellGrid{}), expected));
    EXPECT_TRUE(sameBytes(streamOf(CellGrid{{}, {}, {}}), expected)) << "rows without cells";
}

TEST(XlsWriter, WorkedExampleGivesTheSixtyNineByteStream)
{
    // clang-format off
    const std::string expected = bytes({
        0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,                         // BOF
        0x04, 0x02, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0xD0, 0xF2, 0xBA, 0xC5, // 序号
        0x01, 0x02, 0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x17, 0x00,                                     // blank
        0x04, 0x02, 0x09, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x31,                   // 1
        0x04, 0x02, 0x0A, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x61, 0x62,             // ab
        0x0A, 0x00, 0x00, 0x00,                                                                         // EOF
    });
    // clang-format on
    ASSERT_EQ(expected.size(), 69u);
    EXPECT_TRUE(sameBytes(streamOf(CellGrid{{test::titleNumber, ""}, {"1", "ab"}}), expected));
}

TEST(XlsWriter, GridsGiveTheirRecordStreams)
{
    struct Case {
        const char *what;
        CellGrid grid;
        std::vector<std::vector<std::string>> expectedCells;
    };
    const std::vector<Case> cases = {
        {"a row without cells uses up a row number", {{"a"}, {}, {"b"}}, {{"a"}, {}, {"b"}}},
        {"columns restart at 0 in a ragged grid",
         {{"a", "b", "c"}, {"d"}, {"", "e"}},
         {{"a", "b", "c"}, {"d"}, {"", "e"}}},
        {"one space is a text, not a blank", {{" "}}, {{" "}}},
        {"all-blank row", {{"", "", ""}}, {{"", "", ""}}},
        {"code page 936 bytes go out as held",
         {{"\xB0\xA1\x81\x30\x81\x30", "x\xFFy"}},
         {{"\xB0\xA1\x81\x30\x81\x30", "x\xFFy"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string actual = streamOf(c.grid);
        EXPECT_TRUE(sameBytes(actual, expectedStream(c.expectedCells)));
    }
}

TEST(XlsWriter, RowAndColumnNumbersAreTheLowSixteenBitsOfTheCounters)
{
    // 65,537 rows of one cell: the last row is written as row 0.
    const CellGrid rows = test::repeatedRows(65537, {"x"});
    const std::string stream = streamOf(rows);
    constexpr std::size_t labelSize = 12 + 1;
    ASSERT_EQ(stream.size(), 16 + 65537 * labelSize);
    const auto recordAt = [&](std::size_t index) { return stream.substr(12 + index * labelSize, labelSize); };
    EXPECT_TRUE(sameBytes(recordAt(65535), test::labelRecord(0xFFFF, 0, "x")));
    EXPECT_TRUE(sameBytes(recordAt(65536), test::labelRecord(0, 0, "x")));

    // One row of 65,537 blank cells: the last column is written as column 0.
    CellGrid wide;
    wide.appendRow(65537);
    const std::string wideStream = streamOf(wide);
    ASSERT_EQ(wideStream.size(), 16 + 65537 * 10u);
    EXPECT_TRUE(sameBytes(wideStream.substr(12 + 65535 * 10, 10), test::blankRecord(0, 0xFFFF)));
    EXPECT_TRUE(sameBytes(wideStream.substr(12 + 65536 * 10, 10), test::blankRecord(0, 0)));
}

TEST(XlsWriter, LongTextsAreCutAtACharacterBoundary)
{
    // The label's limit at work; where the code page's characters begin and
    // end is gbkPrefixLength's, tested with the codec.
    const std::string twoByte = "\xB0\xA1"; // 啊
    const std::string fourByte = "\x81\x30\x81\x30"; // a four-byte sequence
    const auto ascii = [](std::size_t count) { return std::string(count, 'a'); };
    struct Case {
        const char *what;
        std::string text;
        std::size_t kept;
    };
    const std::vector<Case> cases = {
        {"65,527 single bytes fit", ascii(65527), 65527},
        {"65,528 single bytes lose one", ascii(65528), 65527},
        {"two-byte character ending at the limit stays", ascii(65525) + twoByte, 65527},
        {"two-byte character across the limit goes whole", ascii(65526) + twoByte + "b", 65526},
        {"four-byte sequence across the limit goes whole", ascii(65524) + fourByte, 65524},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string stream = streamOf(CellGrid{{c.text}});
        EXPECT_TRUE(sameBytes(stream, expectedStream({{c.text.substr(0, c.kept)}})));
    }
}

TEST(XlsWriter, YieldsToEventsAfterEveryCellAndEveryRow)
{
    XlsSheet sheet;
    sheet.initialize();
    sheet.grid = {{"a", ""}, {}, {"b"}};
    MemorySink sink;
    sheet.fileHandle = &sink;
    std::vector<std::size_t> writtenAtEachCall;
    {
        test::ScopedEventsHook hook([&] { writtenAtEachCall.push_back(sink.bytes().size()); });
        sheet.writeRecords();
    }
    // After LABEL a (12 + 13), after the BLANK (+10), end of row 0, end of the
    // empty row 1, after LABEL b (+13), end of row 2.
    EXPECT_EQ(writtenAtEachCall, (std::vector<std::size_t>{25, 35, 35, 35, 48, 48}));
    EXPECT_EQ(sink.bytes().size(), 52u);
}

TEST(XlsWriter, WritesNothingWithoutASink)
{
    XlsSheet sheet;
    sheet.initialize();
    sheet.grid = {{"a", ""}};
    sheet.writeRecords(); // must not crash
    MemorySink sink;
    sheet.fileHandle = &sink;
    sheet.writeRecords();
    EXPECT_TRUE(sameBytes(sink.bytes(), expectedStream({{"a", ""}})));
}

TEST(XlsWriter, EverySaveReloadsTheRecordBuffers)
{
    XlsSheet sheet;
    sheet.initialize();
    sheet.grid = {{"a", ""}};
    sheet.labelHeader = {1, 2, 3, 4, 5, 6};
    sheet.blankRecord = {7, 8, 9, 10, 11};
    sheet.currentRow = 77;
    sheet.currentColumn = 88;
    EXPECT_TRUE(sameBytes(streamOf(sheet), expectedStream({{"a", ""}})));
    EXPECT_EQ(sheet.labelHeader, (std::array<std::uint16_t, 6>{0x0204, 9, 0, 0, 0, 1}));
    EXPECT_EQ(sheet.blankRecord, (std::array<std::uint16_t, 5>{0x0201, 6, 0, 1, 0x17}));
}

// Records which operations ran, so that calls from one operation to another
// are seen to go through the virtual table.
class RecordingSheet : public XlsSheet {
public:
    std::vector<std::string> calls;

    void writeBlankRecord() override
    {
        calls.push_back("blank");
        XlsSheet::writeBlankRecord();
    }
    void writeLabelRecord(std::string_view text) override
    {
        calls.push_back("label " + std::string(text));
        XlsSheet::writeLabelRecord(text);
    }
    void writeBof() override
    {
        calls.push_back("bof");
        XlsSheet::writeBof();
    }
    void writeEof() override
    {
        calls.push_back("eof");
        XlsSheet::writeEof();
    }
    void writeRecords() override
    {
        calls.push_back("records");
        XlsSheet::writeRecords();
    }
    bool saveArray(const CellGrid &cells, const std::filesystem::path &fileName) override
    {
        calls.push_back("saveArray");
        return XlsSheet::saveArray(cells, fileName);
    }
};

TEST(XlsWriter, OperationsCallEachOtherThroughTheVirtualTable)
{
    RecordingSheet sheet;
    sheet.initialize();
    // An empty name writes nothing, but the save still runs up to the open.
    sheet.exportArray({{"a", ""}}, "");
    EXPECT_EQ(sheet.calls, (std::vector<std::string>{"saveArray"}));

    sheet.calls.clear();
    MemorySink sink;
    sheet.fileHandle = &sink;
    sheet.writeRecords();
    EXPECT_EQ(sheet.calls, (std::vector<std::string>{"records", "bof", "label a", "blank", "eof"}));
}

TEST(XlsWriter, OperationTableKeepsItsOrder)
{
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__aarch64__))
    // Itanium C++ ABI: a pointer to a virtual member function holds its byte
    // offset in the virtual table plus one.
    const auto slot = [](auto member) {
        struct Representation {
            std::ptrdiff_t pointer;
            std::ptrdiff_t adjustment;
        } representation{};
        static_assert(sizeof(member) == sizeof(representation));
        std::memcpy(&representation, &member, sizeof representation);
        return (representation.pointer - 1) / static_cast<std::ptrdiff_t>(sizeof(void *));
    };
    const std::vector<std::ptrdiff_t> slots = {
        slot(&XlsSheet::destroy),          slot(&XlsSheet::copy),           slot(&XlsSheet::writeBlankRecord),
        slot(&XlsSheet::writeLabelRecord), slot(&XlsSheet::writeBof),       slot(&XlsSheet::writeEof),
        slot(&XlsSheet::writeRecords),     slot(&XlsSheet::saveArray),      slot(&XlsSheet::exportArray),
        slot(&XlsSheet::setRowCount),      slot(&XlsSheet::setColumnCount), slot(&XlsSheet::setCell),
        slot(&XlsSheet::saveAs),           slot(&XlsSheet::getCell),        slot(&XlsSheet::addRow),
    };
    for (std::size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(slots[i], static_cast<std::ptrdiff_t>(i)) << "operation " << i;
#else
    GTEST_SKIP() << "virtual table layout is only checked on the Itanium ABI";
#endif
}

} // namespace
} // namespace yunque
