// The small pictures of the six grep programs, shown on "&Choose".
#pragma once

#include <QIcon>

namespace talvo::app {

// Program 1 ... 6; a null icon for other numbers.
QIcon programIcon(int number);

} // namespace talvo::app
