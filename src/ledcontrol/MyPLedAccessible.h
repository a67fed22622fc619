// What assistive technology (a screen reader, AT-SPI) sees of a MyPLed: one
// piece of static text. Its name is the caption, unless the host names the
// panel (an accessible name, or a label whose buddy it is); then the name is
// the host's and the caption is the description. The drawing surface inside
// is no object of its own: it shows nothing the caption does not say.
#pragma once

#include <QAccessibleWidget>

namespace vxled {

class MyPLed;

class MyPLedAccessible final : public QAccessibleWidget {
  public:
    explicit MyPLedAccessible(MyPLed* led);

    QString text(QAccessible::Text t) const override;
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    // The name the host gave the panel; empty when it gave none.
    static QString hostName(const QWidget& led);
};

// Lets Qt's accessibility ask this library for the panels it creates. Safe to
// call again; the library withdraws it when it is unloaded.
void installMyPLedAccessibility();

}  // namespace vxled
