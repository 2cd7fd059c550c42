#include "export/export_grid.h"

#include "common/process_events.h"
#include "common/run_directory.h"
#include "common/window_definitions.h"
#include "export/list_view.h"
#include "export/save_dialog.h"
#include "export/xls_sheet.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <span>
#include <string>

namespace yunque {

namespace {

constexpr std::int64_t largestIndex = std::numeric_limits<std::int32_t>::max();

// Sheet rows for a list of items: the header row plus one per item. A
// negative count counts as none; the largest count saturates.
std::int32_t sheetRowsFor(std::int32_t items)
{
    if (items < 0)
        return 1;
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{items} + 1, largestIndex));
}

// Lets the window handle what is waiting, which may close it; true when the
// list view and the dialog are still there afterwards.
bool viewsRemainAfterEvents(const ListView &listView, const SaveDialog &saveDialog)
{
    processEvents();
    return listView.available() && saveDialog.available();
}

class SheetOwner {
public:
    SheetOwner()
        : m_sheet(std::make_unique<XlsSheet>())
    {
        m_sheet->initialize();
    }
    ~SheetOwner() { m_sheet->destroy(); }
    SheetOwner(const SheetOwner &) = delete;
    SheetOwner &operator=(const SheetOwner &) = delete;

    XlsSheet &operator*() const { return *m_sheet; }
    XlsSheet *operator->() const { return m_sheet.get(); }

private:
    std::unique_ptr<XlsSheet> m_sheet;
};

} // namespace

ExportOutcome exportGrid(ListView &listView, SaveDialog &saveDialog)
{
    using Result = ExportOutcome::Result;
    if (!listView.available() || !saveDialog.available())
        return {};
    beginLongOperation();

    const SheetOwner sheet;

    saveDialog.setSaveMode();
    saveDialog.setFilter(std::span(&exportFileFilter, 1));
    saveDialog.setInitialFolder(runDirectory());
    saveDialog.setDefaultExtension(exportDefaultExtension);

    sheet->setRowCount(sheetRowsFor(listView.itemCount()), false);
    sheet->setColumnCount(listView.columnCount(), false);

    // Loop counters are 64-bit so that a bound of INT32_MAX cannot overflow
    // them; every sheet address stays within 32 bits.
    const std::int64_t titles = listView.columnCount();
    for (std::int64_t column = 1; column <= titles; ++column) {
        const auto sheetColumn = static_cast<std::int32_t>(column);
        sheet->setCell(1, sheetColumn, listView.columnTitle(sheetColumn - 1));
        if (!viewsRemainAfterEvents(listView, saveDialog))
            return {};
    }

    const std::int64_t items = listView.itemCount();
    for (std::int64_t item = 1; item <= items && item < largestIndex; ++item) {
        const auto itemIndex = static_cast<std::int32_t>(item - 1);
        const auto sheetRow = static_cast<std::int32_t>(item + 1);
        const std::int64_t columns = listView.columnCount();
        for (std::int64_t column = 1; column <= columns; ++column) {
            const auto sheetColumn = static_cast<std::int32_t>(column);
            sheet->setCell(sheetRow, sheetColumn, listView.cellText(itemIndex, sheetColumn - 1));
            if (!viewsRemainAfterEvents(listView, saveDialog))
                return {};
        }
    }

    const bool accepted = saveDialog.show();
    // The window may have gone while the dialog was open.
    if (!saveDialog.available())
        return {};
    if (!accepted)
        return {Result::Cancelled, {}, {}};
    const std::filesystem::path path = saveDialog.fileName();
    if (!sheet->saveAs(path))
        return {Result::Failed, path, sheet->lastSaveError()};
    return {Result::Saved, path, {}};
}

} // namespace yunque
