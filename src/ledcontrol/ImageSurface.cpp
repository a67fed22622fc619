#include "ImageSurface.h"

#include "OleColor.h"

#include <algorithm>
#include <cmath>

namespace vxled {

ImageSurface::ImageSurface() : image_(0, 0, QImage::Format_RGB32) {}

void ImageSurface::setSize(double widthTwips, double heightTwips, double twipsPerPixel,
                           qreal devicePixelRatio) {
    widthTwips_ = widthTwips;
    heightTwips_ = heightTwips;
    twipsPerDevicePixel_ = twipsPerPixel / devicePixelRatio;
    devicePixelRatio_ = devicePixelRatio;
    lattice_.reset();
    const auto pixels = [this](double twips) {
        return static_cast<int>(std::lround(std::max(0.0, twips) / twipsPerDevicePixel_));
    };
    const int w = pixels(widthTwips);
    const int h = pixels(heightTwips);
    if (image_.width() != w || image_.height() != h) {
        image_ = QImage(w, h, QImage::Format_RGB32);
    }
    image_.setDevicePixelRatio(devicePixelRatio);
    clear();
}

void ImageSurface::setDotLattice(double left, double top, double dotSize) {
    lattice_.reset();
    // Below two device pixels per logical pixel a dot is only a few pixels
    // wide, and a whole-pixel pitch would shrink it by a third or push the
    // lowest row out of the image.
    if (devicePixelRatio_ < 2.0 || !std::isfinite(left) || !std::isfinite(top) ||
        !std::isfinite(dotSize) || dotSize <= 0) {
        return;
    }
    // Rounded down, so that no lattice point lands further from the origin
    // than the plain mapping puts it: the snapped panel never reaches beyond
    // the unsnapped one, and so stays inside the image.
    const double pitch = std::floor(dotSize / twipsPerDevicePixel_);
    // A dot needs a pixel inside its one-pixel outline; a dot larger than the
    // whole image has nothing to even out.
    if (pitch < 2 || pitch > image_.width() + image_.height()) {
        return;
    }
    lattice_ =
        SnappedLattice{left, top, dotSize, toPixel(left), toPixel(top), static_cast<int>(pitch)};
}

int ImageSurface::toPixel(double twips) const {
    return static_cast<int>(std::floor(twips / twipsPerDevicePixel_));
}

// Lattice coordinates are whole multiples of the dot size away from the
// origin, so (twips - origin) * pitch / dotSize is exact for them.
int ImageSurface::toSnappedPixel(double twips, double origin, int originPixel) const {
    return originPixel + static_cast<int>(std::floor((twips - origin) * lattice_->pitchPixels /
                                                     lattice_->dotSize));
}

int ImageSurface::toSnappedLength(double twips) const {
    return static_cast<int>(std::lround(twips * lattice_->pitchPixels / lattice_->dotSize));
}

ImageSurface::PixelBox ImageSurface::toPixels(double x1, double y1, double x2, double y2) const {
    const double left = std::min(x1, x2);
    const double top = std::min(y1, y2);
    const double right = std::max(x1, x2);
    const double bottom = std::max(y1, y2);
    if (!lattice_) {
        return {toPixel(left), toPixel(top), toPixel(right), toPixel(bottom)};
    }
    // The far corner follows from the box's size, not its position, so every
    // box of one size has the same number of pixels, gaps or not.
    const int l = toSnappedPixel(left, lattice_->left, lattice_->leftPixel);
    const int t = toSnappedPixel(top, lattice_->top, lattice_->topPixel);
    return {l, t, l + toSnappedLength(right - left), t + toSnappedLength(bottom - top)};
}

void ImageSurface::fillPixels(int left, int top, int right, int bottom, QRgb rgb) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image_.width() - 1);
    bottom = std::min(bottom, image_.height() - 1);
    if (left > right || top > bottom) {
        return;
    }
    for (int y = top; y <= bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
        std::fill(line + left, line + right + 1, rgb);
    }
}

void ImageSurface::clear() {
    if (const auto rgb = oleColorToRgb(backColor_)) {
        image_.fill(*rgb);
    }
}

void ImageSurface::fillBox(double x1, double y1, double x2, double y2, OleColor colour) {
    const auto rgb = oleColorToRgb(colour);
    if (!rgb) {
        return;
    }
    const PixelBox box = toPixels(x1, y1, x2, y2);
    fillPixels(box.left, box.top, box.right, box.bottom, *rgb);
}

void ImageSurface::outlineBox(double x1, double y1, double x2, double y2, OleColor colour) {
    const auto rgb = oleColorToRgb(colour);
    if (!rgb) {
        return;
    }
    const PixelBox box = toPixels(x1, y1, x2, y2);
    fillPixels(box.left, box.top, box.right, box.top, *rgb);
    fillPixels(box.left, box.bottom, box.right, box.bottom, *rgb);
    fillPixels(box.left, box.top, box.left, box.bottom, *rgb);
    fillPixels(box.right, box.top, box.right, box.bottom, *rgb);
}

}  // namespace vxled
