// The drawing surface of the control: a child window that shows a retained
// image and carries the three colours the panel is drawn with.
#pragma once

#include "ImageSurface.h"

#include <QWidget>

namespace vxled {

class PictureBox final : public QWidget {
    Q_OBJECT

  public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The colour setters reject an invalid colour with
    // CTL_E_INVALIDPROPERTYVALUE and keep the old one.
    OleColor BackColor() const { return surface_.backColor(); }
    HResult setBackColor(OleColor colour);
    OleColor ForeColor() const { return foreColor_; }
    HResult setForeColor(OleColor colour);
    OleColor FillColor() const { return fillColor_; }
    HResult setFillColor(OleColor colour);

    bool AutoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);

    // Size in twips, as last set; the window follows in whole pixels.
    double Width() const { return surface_.width(); }
    double Height() const { return surface_.height(); }
    void setSizeTwips(double width, double height);

    // Twips per logical pixel of the screen the box is on.
    double twipsPerPixel() const;

    ImageSurface& surface() { return surface_; }
    const QImage& image() const { return surface_.image(); }

  signals:
    void Click();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    ImageSurface surface_;
    OleColor foreColor_ = 0;
    OleColor fillColor_ = 0;
    bool autoRedraw_ = false;
    bool pressed_ = false;
};

}  // namespace vxled
