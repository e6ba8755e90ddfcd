// The busy window and its picture.
#include "run/busy_window.h"

#include "platform/units.h"
#include "run/messages.h"
#include "run/runner.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace talvo::run {

bool KeySink::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        event->accept();
        return true;
    default:
        return QCheckBox::event(event);
    }
}

namespace {

// An hourglass on a pale disc, drawn rather than shipped as a file.
QPixmap busyPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xdd, 0xe8, 0xf4));
    p.drawEllipse(QRectF(0, 0, size, size));
    const qreal m = size * 0.28, top = size * 0.18, bottom = size * 0.82;
    const qreal left = m, right = size - m, mid = size / 2.0;
    QPainterPath glass;
    glass.moveTo(left, top);
    glass.lineTo(right, top);
    glass.lineTo(mid + size * 0.03, mid);
    glass.lineTo(right, bottom);
    glass.lineTo(left, bottom);
    glass.lineTo(mid - size * 0.03, mid);
    glass.closeSubpath();
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x30, 0x40, 0x60), size / 24.0));
    p.drawPath(glass);
    QPainterPath sand;
    sand.moveTo(left + size * 0.1, bottom - size * 0.02);
    sand.lineTo(right - size * 0.1, bottom - size * 0.02);
    sand.lineTo(mid, bottom - size * 0.2);
    sand.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xa0, 0x40));
    p.drawPath(sand);
    p.drawRect(QRectF(mid - size * 0.015, mid, size * 0.03, bottom - size * 0.2 - mid));
    return pixmap;
}

} // namespace

BusyWindow::BusyWindow(Runner* runner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint),
      runner_(runner), image1_(new QLabel(this)), command1_(new QPushButton(this)),
      check1_(new KeySink(this)) {
    setObjectName("Form3");
    setWindowTitle(QString::fromUtf8(kBusyCaption));
    setModal(true);

    const double dpi = logicalDpiY();
    auto px = [dpi](double twips) { return platform::twipsToPixels(twips, dpi); };
    setFixedSize(px(kWidthTwips), px(kHeightTwips));

    image1_->setObjectName("Image1");
    const int picture = px(900);
    image1_->setPixmap(busyPicture(picture));
    image1_->setGeometry(px(240), (height() - picture) / 2, picture, picture);

    command1_->setObjectName("Command1");
    command1_->setText(QString::fromUtf8(kBusyCancelCaption));
    command1_->setAutoDefault(false);
    command1_->setGeometry(px(1560), (height() - px(450)) / 2, px(2000), px(450));

    // Below the client area: it holds the focus without being seen.
    check1_->setObjectName("Check1");
    check1_->setGeometry(0, height() + px(300), px(300), px(300));
    check1_->setFocusPolicy(Qt::StrongFocus);

    connect(command1_, &QPushButton::clicked, runner_, &Runner::cancel);
    connect(runner_, &Runner::ended, this, [this] { done(QDialog::Accepted); });
}

void BusyWindow::placeOver(const QWidget* mainWindow) {
    const QRect main = mainWindow->frameGeometry();
    const int top =
        main.top() + platform::twipsToPixels(kTopOffsetTwips, mainWindow->logicalDpiY());
    const int left = main.left() + main.width() / 2 - frameGeometry().width() / 2;
    move(left, top);
}

void BusyWindow::reject() {
    if (runner_->isRunning())
        runner_->cancel();
    else
        QDialog::reject();
}

void BusyWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
    activateWindow();
    check1_->setFocus(Qt::OtherFocusReason);
}

} // namespace talvo::run
