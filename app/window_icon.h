#pragma once

#include <QIcon>

namespace yunque {

// The program's icon in every size it is drawn at (16 to 256 pixels),
// compiled into the program. Decoded on the first call, which loads the
// toolkit's image plugins and so takes a while; kept from then on.
QIcon programIcon();

} // namespace yunque
