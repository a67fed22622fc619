#include "WindowAccessible.h"

#include <QAccessible>
#include <QWidget>

namespace velotan::app {
namespace {

constexpr const char* kDialogProperty = "velotanDialog";

// The program's own classes: their names carry its namespace.
bool IsOurs(const QMetaObject* meta) {
    return QByteArray(meta->className()).startsWith("velotan::");
}

QAccessibleInterface* WindowFactory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    const QMetaObject* meta = object->metaObject();
    // Asked once per class up the hierarchy; answer for the window's own class.
    if (className != QLatin1String(meta->className()) || !IsOurs(meta))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (!widget->isWindow())
        return nullptr;
    // Windows built on Qt's dialogs or main windows keep Qt's own view of them.
    while (meta != nullptr && IsOurs(meta))
        meta = meta->superClass();
    if (meta != &QWidget::staticMetaObject)
        return nullptr;
    return new WindowAccessible(widget);
}

}  // namespace

WindowAccessible::WindowAccessible(QWidget* window)
    : QAccessibleWidget(window, QAccessible::Window) {}

QAccessible::Role WindowAccessible::role() const {
    const QWidget* window = widget();
    if (window->isModal() || window->property(kDialogProperty).toBool())
        return QAccessible::Dialog;
    return QAccessible::Window;
}

QStringList WindowAccessible::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (widget()->isEnabled() && !names.contains(setFocusAction()))
        names << setFocusAction();
    return names;
}

void WindowAccessible::doAction(const QString& actionName) {
    if (actionName == setFocusAction()) {
        if (widget()->isEnabled())
            widget()->activateWindow();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

void InstallWindowAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(WindowFactory);
        return true;
    }();
    (void)installed;
}

void MarkAsDialog(QWidget& window, bool dialog) {
    window.setProperty(kDialogProperty, dialog);
}

}  // namespace velotan::app
