#pragma once
// A window as assistive technology sees it: the accessible names, roles and
// focus order that a screen reader reads through AT-SPI, read here through
// QAccessible in the test process.

#include <QAccessible>
#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <ostream>

// Readable lists of names in assertion messages.
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{' << list.join(QStringLiteral(", ")).toStdString() << '}';
}

namespace velotan::test {

inline QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

inline QString AccessibleText(QObject* object, QAccessible::Text text) {
    QAccessibleInterface* iface = Accessible(object);
    return iface ? iface->text(text) : QStringLiteral("<no interface>");
}

inline QString AccessibleName(QObject* object) {
    return AccessibleText(object, QAccessible::Name);
}

inline QAccessible::Role AccessibleRole(QObject* object) {
    QAccessibleInterface* iface = Accessible(object);
    return iface ? iface->role() : QAccessible::NoRole;
}

// Every object of the accessible tree under `iface` that can take the focus,
// shown or not, and has no name: "objectName (role)" each.
inline void CollectUnnamedFocusable(QAccessibleInterface* iface, QStringList& out, int depth = 0) {
    if (!iface || depth > 30)
        return;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child)
            continue;
        if (child->state().focusable && child->text(QAccessible::Name).trimmed().isEmpty()) {
            const QObject* object = child->object();
            out << QStringLiteral("%1 (role %2)")
                       .arg(object ? object->objectName() : QStringLiteral("?"))
                       .arg(int(child->role()));
        }
        CollectUnnamedFocusable(child, out, depth + 1);
    }
}

inline QStringList UnnamedFocusable(QWidget* window) {
    QStringList unnamed;
    CollectUnnamedFocusable(Accessible(window), unnamed);
    return unnamed;
}

// The object names of the controls the Tab key visits, `presses` times,
// from `start` on, in an active window.
inline QStringList TabWalk(QWidget* start, int presses) {
    QWidget* window = start->window();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return {QStringLiteral("<window not active>")};
    start->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                    : QStringLiteral("<none>")};
    for (int i = 0; i < presses; ++i) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            break;
        QTest::keyClick(focused, Qt::Key_Tab);
        visited << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                : QStringLiteral("<none>"));
    }
    return visited;
}

// Types an access key (Alt and a letter) into an active window.
inline bool AccessKey(QWidget* window, Qt::Key letter) {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return false;
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, letter, Qt::AltModifier);
    return true;
}

}  // namespace velotan::test
