#include "app/main_window.h"

namespace yunque {

void bindExport(MainWindow &)
{
}

} // namespace yunque
