#pragma once

#include <filesystem>
#include <string>

namespace yunque {

class ListView;
class SaveDialog;

// How an export ended.
struct ExportOutcome {
    enum class Result {
        // The window went away before the export could finish.
        Abandoned,
        // No file was chosen: cancelled, closed, or the dialog did not open.
        Cancelled,
        Saved,
        // The chosen file could not be written; it is as it was.
        Failed,
    };
    Result result = Result::Abandoned;
    // The chosen file, when one was chosen.
    std::filesystem::path path;
    // Why the save failed, in UTF-8; empty unless it failed.
    std::string reason;
};

// Copies the list view, column titles first, into a new sheet, asks for a
// file name and saves the sheet there as an .xls worksheet.
//
// processEvents() runs after every copied cell (and during the save), so
// another export may run inside this one; each has its own sheet. When the
// list view or the dialog has become unavailable after processEvents(), the
// export ends at once: no dialog, nothing written, neither touched again.
// A save that is already under way runs to its end (it needs neither).
// Reporting the outcome to the user is the caller's.
ExportOutcome exportGrid(ListView &listView, SaveDialog &saveDialog);

} // namespace yunque
