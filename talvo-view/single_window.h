// One window per result file: the running window listens under a name made
// from the file's path; a second start hands the path over and ends.
#pragma once

#include <QString>

namespace talvo::view {

// The local-socket name of the window of resultPath (absolute) for this user.
QString windowServerName(const QString& resultPath);

// Hands resultPath to the window listening under name; true when that window
// has taken it (read the file again and come to the front).
bool handOverToWindow(const QString& name, const QString& resultPath);

} // namespace talvo::view
