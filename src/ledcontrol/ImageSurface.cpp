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

int ImageSurface::toPixel(double twips) const {
    return static_cast<int>(std::floor(twips / twipsPerDevicePixel_));
}

ImageSurface::PixelBox ImageSurface::toPixels(double x1, double y1, double x2, double y2) const {
    return {toPixel(std::min(x1, x2)), toPixel(std::min(y1, y2)), toPixel(std::max(x1, x2)),
            toPixel(std::max(y1, y2))};
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
