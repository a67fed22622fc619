#pragma once
// A QR code drawn sharp: every module is a whole number of device pixels at
// any screen density, with the quiet zone around it. Where there is no code
// (nothing to encode, or a text too long for one) a short note takes its
// place; a shortened code is never shown.

#include <QImage>
#include <QWidget>

#include "qrcode/QrCode.h"

class QLabel;

namespace velotan::windows {

class QrCodeView : public QWidget {
    Q_OBJECT
  public:
    explicit QrCodeView(QWidget* parent = nullptr);

    void SetCode(qrcode::QrMatrix matrix);
    void SetNote(const QString& note);

    bool HasCode() const { return matrix_.width > 0; }
    const qrcode::QrMatrix& Code() const { return matrix_; }
    QString Note() const;

    // The code as drawn at `devicePixelRatio`: the largest whole number of
    // device pixels per module that fits the view. Null without a code.
    QImage Picture(qreal devicePixelRatio) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    qrcode::QrMatrix matrix_;
    QLabel* note_ = nullptr;
};

}  // namespace velotan::windows
