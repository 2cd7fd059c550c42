#pragma once

#include "common/gbk_text.h"

namespace yunque {

class ListView;
class SaveDialog;

// The filter of the export's save dialog in code page 936: the description
// and the pattern of the shared definitions, joined by '|'.
GbkText exportFilter();

// Copies the list view, column titles first, into a new sheet, asks for a
// file name and saves the sheet there as an .xls worksheet.
//
// processEvents() runs after every copied cell (and during the save), so
// another export may run inside this one; each has its own sheet. When the
// list view or the dialog has become unavailable after processEvents(), the
// export ends at once: no dialog, nothing written, neither touched again.
// A save that is already under way runs to its end (it needs neither); a
// failed save is reported through the dialog if it is still there.
void exportGrid(ListView &listView, SaveDialog &saveDialog);

} // namespace yunque
