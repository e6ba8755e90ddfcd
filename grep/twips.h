// Placing widgets by design figures in twips: converted to pixels with the
// widget's logical DPI at the moment of placing.
#pragma once

#include <QWidget>

namespace talvo::grep {

void placeInTwips(QWidget* widget, int left, int top, int width, int height);
int toPixels(const QWidget* widget, double twips);
long toTwips(const QWidget* widget, double pixels);

// Tab order membership: a widget out of the tab order still takes a click.
void setInTabOrder(QWidget* widget, bool inOrder);
bool isInTabOrder(const QWidget* widget);

} // namespace talvo::grep
