// What DrawLed needs from a drawing surface. Lengths are twips; rectangles
// are given by two corners in any order and include both corners.
#pragma once

#include "VxLedControl/VxLedControl.h"

namespace vxled {

class LedSurface {
  public:
    virtual ~LedSurface() = default;

    // The whole retained image becomes the background colour.
    virtual void clear() = 0;
    // Border and inside in colour.
    virtual void fillBox(double x1, double y1, double x2, double y2, OleColor colour) = 0;
    // A one-pixel border in colour; the inside stays as it is.
    virtual void outlineBox(double x1, double y1, double x2, double y2, OleColor colour) = 0;
    virtual double width() const = 0;
    virtual double height() const = 0;
    virtual OleColor backColor() const = 0;

    // The boxes that follow are dots dotSize twips square (less the gaps),
    // their corners on a lattice through (left, top). A surface may use this
    // to give every dot the same size in pixels; by default it is ignored.
    virtual void setDotLattice(double left, double top, double dotSize) {
        (void)left;
        (void)top;
        (void)dotSize;
    }
};

}  // namespace vxled
