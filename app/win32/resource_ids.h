#pragma once

// Resource identifiers shared by yunque.rc and the code. Plain macros: the
// resource compiler reads this file too.
#define YUNQUE_ICON 1
