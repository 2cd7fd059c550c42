#include "app/export_adapters.h"
#include "app/main_window.h"
#include "export/export_grid.h"

#include <QPushButton>

namespace yunque {

void bindExport(MainWindow &window)
{
    // Each click runs one complete export with its own adapters, also when it
    // arrives while another export is still copying or saving. The adapters
    // guard the window, which may close and be destroyed while this runs.
    QObject::connect(window.按钮3, &QPushButton::clicked, &window, [&window] {
        TableListView listView(window, *window.超级列表框1);
        ComponentSaveDialog saveDialog(window, *window.通用对话框1);
        const ExportOutcome outcome = exportGrid(listView, saveDialog);
        if (outcome.result == ExportOutcome::Result::Failed)
            showWriteFailure(window, outcome.path, outcome.reason);
    });
}

} // namespace yunque
