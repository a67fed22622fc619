#include "PictureBox.h"

#include "OleColor.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vxled {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    // The retained image covers the whole box; nothing behind it shows.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

HResult PictureBox::setBackColor(OleColor colour) {
    if (!isValidOleColor(colour)) {
        return CTL_E_INVALIDPROPERTYVALUE;
    }
    surface_.setBackColor(colour);
    update();
    return S_OK;
}

HResult PictureBox::setForeColor(OleColor colour) {
    if (!isValidOleColor(colour)) {
        return CTL_E_INVALIDPROPERTYVALUE;
    }
    foreColor_ = colour;
    return S_OK;
}

HResult PictureBox::setFillColor(OleColor colour) {
    if (!isValidOleColor(colour)) {
        return CTL_E_INVALIDPROPERTYVALUE;
    }
    fillColor_ = colour;
    return S_OK;
}

void PictureBox::setAutoRedraw(bool on) {
    autoRedraw_ = on;
    update();
}

double PictureBox::twipsPerPixel() const {
    return 1440.0 / logicalDpiX();
}

void PictureBox::setSizeTwips(double width, double height) {
    const double tpp = twipsPerPixel();
    surface_.setSize(width, height, tpp, devicePixelRatioF());
    resize(static_cast<int>(std::lround(std::max(0.0, width) / tpp)),
           static_cast<int>(std::lround(std::max(0.0, height) / tpp)));
    update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QColor back = QColor::fromRgb(oleColorToRgb(BackColor()).value_or(qRgb(0, 0, 0)));
    painter.fillRect(event->rect(), back);
    // Without AutoRedraw the drawing is not kept and a repaint shows the
    // background only.
    if (autoRedraw_) {
        painter.drawImage(QPointF(0, 0), surface_.image());
    }
}

// A click is a left press and release on the box itself.
void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
    }
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const bool wasPressed = pressed_;
    pressed_ = false;
    if (wasPressed && rect().contains(event->position().toPoint())) {
        emit Click();
    }
    event->accept();
}

// The second press of a double click makes no further Click.
void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;
    event->accept();
}

}  // namespace vxled
