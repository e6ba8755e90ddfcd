// Twips-to-pixel placement helpers for the windows.
#include "grep/twips.h"

#include "platform/units.h"

namespace talvo::grep {

int toPixels(const QWidget* widget, double twips) {
    return platform::twipsToPixels(twips, widget->logicalDpiY());
}

long toTwips(const QWidget* widget, double pixels) {
    return platform::pixelsToTwips(pixels, widget->logicalDpiY());
}

void placeInTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(toPixels(widget, left), toPixels(widget, top), toPixels(widget, width),
                        toPixels(widget, height));
}

void setInTabOrder(QWidget* widget, bool inOrder) {
    widget->setFocusPolicy(inOrder ? Qt::StrongFocus : Qt::ClickFocus);
}

bool isInTabOrder(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

} // namespace talvo::grep
