#pragma once

#include "export/xls_sheet.h"
#include "export_test_support.h"

#include <string>

namespace yunque::test {

class SaveTest : public TempFolderTest {
protected:
    static void load(XlsSheet &sheet, const CellGrid &grid)
    {
        sheet.initialize();
        sheet.grid = grid;
    }
    static std::string streamOf(const CellGrid &grid)
    {
        XlsSheet sheet;
        load(sheet, grid);
        MemorySink sink;
        sheet.fileHandle = &sink;
        sheet.writeRecords();
        return sink.takeBytes();
    }

    const CellGrid small = {{titleNumber, ""}, {"1", "ab"}};
};

} // namespace yunque::test
