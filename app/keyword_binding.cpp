#include "app/main_window.h"

namespace yunque {

void bindKeywordFile(MainWindow &)
{
}

} // namespace yunque
