// A drawing surface that keeps its picture in a QImage, the retained image of
// the control's picture box. Twips map to device pixels by plain division, so
// two boxes that share a corner coordinate share that pixel row or column,
// and a dot's one-pixel outline always separates it from its neighbour.
//
// On a high-density image (two or more device pixels per logical pixel) the
// dots of a given lattice are snapped to a whole number of device pixels
// instead, so that every dot comes out the same size. At one device pixel
// per logical pixel the dots are too small for that to fit, and the plain
// mapping stays.
#pragma once

#include "LedSurface.h"

#include <QImage>

#include <optional>

namespace vxled {

class ImageSurface final : public LedSurface {
  public:
    static constexpr double kTwipsPerPixelAt96Dpi = 15.0;

    ImageSurface();

    // Resizes the retained image to cover the given size; its content becomes
    // the background colour. twipsPerPixel is per logical pixel; the image
    // holds devicePixelRatio times as many pixels in each direction.
    void setSize(double widthTwips, double heightTwips,
                 double twipsPerPixel = kTwipsPerPixelAt96Dpi, qreal devicePixelRatio = 1.0);
    // The caller checks the colour first; an invalid one paints nothing.
    void setBackColor(OleColor colour) { backColor_ = colour; }

    const QImage& image() const { return image_; }
    // Twips per pixel of the image itself.
    double twipsPerDevicePixel() const { return twipsPerDevicePixel_; }

    void clear() override;
    void fillBox(double x1, double y1, double x2, double y2, OleColor colour) override;
    void outlineBox(double x1, double y1, double x2, double y2, OleColor colour) override;
    double width() const override { return widthTwips_; }
    double height() const override { return heightTwips_; }
    OleColor backColor() const override { return backColor_; }
    // Takes effect until the next setSize.
    void setDotLattice(double left, double top, double dotSize) override;

  private:
    // A dot lattice snapped to whole device pixels: lattice point k lies
    // k * pitchPixels from the origin's pixel.
    struct SnappedLattice {
        double left, top, dotSize;
        int leftPixel, topPixel, pitchPixels;
    };

    struct PixelBox {
        int left, top, right, bottom;  // inclusive, not yet clipped
    };
    PixelBox toPixels(double x1, double y1, double x2, double y2) const;
    int toPixel(double twips) const;
    int toSnappedPixel(double twips, double origin, int originPixel) const;
    int toSnappedLength(double twips) const;
    void fillPixels(int left, int top, int right, int bottom, QRgb rgb);

    QImage image_;
    double widthTwips_ = 0;
    double heightTwips_ = 0;
    double twipsPerDevicePixel_ = kTwipsPerPixelAt96Dpi;
    qreal devicePixelRatio_ = 1.0;
    std::optional<SnappedLattice> lattice_;
    OleColor backColor_ = 0;
};

}  // namespace vxled
