#include "QrCodeView.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

namespace velotan::windows {

QrCodeView::QrCodeView(QWidget* parent) : QWidget(parent) {
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblQrNote"));
    note_->setTextFormat(Qt::PlainText);
    note_->setAlignment(Qt::AlignCenter);
    note_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(note_);
}

void QrCodeView::SetCode(qrcode::QrMatrix matrix) {
    matrix_ = std::move(matrix);
    note_->clear();
    note_->hide();
    setAccessibleDescription(QString());
    update();
}

void QrCodeView::SetNote(const QString& note) {
    matrix_ = {};
    note_->setText(note);
    note_->show();
    setAccessibleDescription(note);
    update();
}

QString QrCodeView::Note() const {
    return note_->text();
}

QImage QrCodeView::Picture(qreal devicePixelRatio) const {
    if (!HasCode())
        return {};
    const int side = std::min(width(), height());
    const int devicePixels = static_cast<int>(std::floor(side * devicePixelRatio));
    const int perModule = devicePixels / qrcode::QrPictureWidth(matrix_.width, 1);
    if (perModule < 1)
        return {};
    const qrcode::QrPicture picture = qrcode::RenderQr(matrix_, perModule);
    QImage image(picture.width, picture.width, QImage::Format_Grayscale8);
    for (int y = 0; y < picture.width; ++y) {
        std::copy_n(picture.pixels.begin() + static_cast<long>(y) * picture.width, picture.width,
                    image.scanLine(y));
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void QrCodeView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QImage image = Picture(ratio);
    if (image.isNull())
        return;
    QPainter painter(this);
    // Centred on a whole device pixel, so no module is smeared over two.
    const int side = static_cast<int>(std::floor(std::min(width(), height()) * ratio));
    const int offset = (side - image.width()) / 2;
    const QPointF at((std::floor(width() * ratio) - side) / 2 + offset,
                     (std::floor(height() * ratio) - side) / 2 + offset);
    painter.drawImage(QPointF(std::floor(at.x()) / ratio, std::floor(at.y()) / ratio), image);
}

}  // namespace velotan::windows
