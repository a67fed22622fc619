#include "MyPLedAccessible.h"

#include "MyPLed.h"

#include <QLabel>

namespace vxled {

namespace {

QAccessibleInterface* myPLedFactory(const QString& className, QObject* object) {
    // Asked once per class up the hierarchy; only the panel's own class counts.
    if (className != QLatin1String(MyPLed::staticMetaObject.className())) {
        return nullptr;
    }
    auto* led = qobject_cast<MyPLed*>(object);
    return led != nullptr ? new MyPLedAccessible(led) : nullptr;
}

// The factory points into this library: it goes when the library is
// unloaded. Qt's list of factories is made during the install, before this
// object, so at the end of the process it is still there when this goes.
struct FactoryRegistration {
    FactoryRegistration() { QAccessible::installFactory(myPLedFactory); }
    ~FactoryRegistration() { QAccessible::removeFactory(myPLedFactory); }
};

}  // namespace

MyPLedAccessible::MyPLedAccessible(MyPLed* led) : QAccessibleWidget(led, QAccessible::StaticText) {}

QString MyPLedAccessible::hostName(const QWidget& led) {
    if (!led.accessibleName().isEmpty()) {
        return led.accessibleName();
    }
    // A label that names the panel, as labels name input boxes. Unlike Qt's
    // own rule, a surrounding frame's title is not a name: the caption says
    // more than "私人密钥信息".
    if (const QWidget* parent = led.parentWidget()) {
        for (const QObject* child : parent->children()) {
            const auto* label = qobject_cast<const QLabel*>(child);
            if (label != nullptr && label->buddy() == &led) {
                return QString(label->text()).remove(QLatin1Char('&'));
            }
        }
    }
    return {};
}

QString MyPLedAccessible::text(QAccessible::Text t) const {
    const auto* led = static_cast<const MyPLed*>(widget());
    const QString named = hostName(*led);
    switch (t) {
        case QAccessible::Name:
            return named.isEmpty() ? led->Caption() : named;
        case QAccessible::Description:
            if (!led->accessibleDescription().isEmpty() || named.isEmpty()) {
                return QAccessibleWidget::text(t);
            }
            return led->Caption();
        case QAccessible::Value:
            return led->Caption();
        default:
            return QAccessibleWidget::text(t);
    }
}

void installMyPLedAccessibility() {
    static const FactoryRegistration registration;
    (void)registration;
}

}  // namespace vxled
