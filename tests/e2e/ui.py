"""Finding and driving the program's controls through AT-SPI, by role and
accessible name only: never by position on the screen.

Import this module only after the desktop's environment is in place
(DISPLAY, DBUS_SESSION_BUS_ADDRESS): pyatspi connects to the buses it finds
there when it is first used."""

import time

import pyatspi
from gi.repository import Atspi, GLib

# Generous: the suite shares a small machine with the rest of the tests.
TIMEOUT = 20.0

ROLE = {
    "frame": pyatspi.ROLE_FRAME,
    "dialog": pyatspi.ROLE_DIALOG,
    "alert": pyatspi.ROLE_ALERT,
    "button": pyatspi.ROLE_PUSH_BUTTON,
    "radio": pyatspi.ROLE_RADIO_BUTTON,
    "password": pyatspi.ROLE_PASSWORD_TEXT,
    "text": pyatspi.ROLE_TEXT,
    "label": pyatspi.ROLE_LABEL,
    "panel": pyatspi.ROLE_PANEL,
    "filler": pyatspi.ROLE_FILLER,
    "progress": pyatspi.ROLE_PROGRESS_BAR,
}

# Keys by X keysym.
KEY_RETURN = 0xFF0D
KEY_TAB = 0xFF09
KEY_ESCAPE = 0xFF1B
ALT_MASK = 1 << 3  # Mod1


class UiError(AssertionError):
    pass


def wait_until(condition, what, timeout=TIMEOUT, interval=0.1):
    """Polls `condition` until it returns something true; returns that."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        pump_events()
        try:
            value = condition()
            if value:
                return value
        except Exception as error:  # the tree changes under us while we read it
            last_error = error
        if time.monotonic() > deadline:
            suffix = " (last error: %s)" % last_error if last_error else ""
            raise UiError("timed out after %.0f s waiting for %s%s" % (timeout, what, suffix))
        time.sleep(interval)


def pump_events():
    """Lets the events that arrived reach their listeners."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


class Events:
    """The accessibility events of some kinds, as the program sends them.

        with Events("object:property-change:accessible-name") as events:
            ...
            events.wait_for(lambda event: ..., "what")
    """

    def __init__(self, *kinds):
        self.kinds = kinds
        self.received = []

    def _record(self, event):
        try:
            name = event.source.name
        except Exception:
            name = None
        self.received.append((event.type, name, event.any_data))

    def __enter__(self):
        for kind in self.kinds:
            pyatspi.Registry.registerEventListener(self._record, kind)
        return self

    def __exit__(self, *exc):
        for kind in self.kinds:
            pyatspi.Registry.deregisterEventListener(self._record, kind)
        return False

    def wait_for(self, wanted, what, timeout=TIMEOUT):
        """Waits for an event (type, source name, data) that `wanted` accepts."""
        return wait_until(lambda: next((e for e in self.received if wanted(*e)), None),
                          "the event: %s (had: %s)" % (what, self.received[-5:]), timeout)


def fresh(obj):
    """The object with what the library cached about it dropped, so that a
    name or a child list that changed is read anew."""
    try:
        obj.clear_cache()
    except Exception:
        pass
    return obj


def states(obj):
    return fresh(obj).getState()


def showing(obj):
    return states(obj).contains(pyatspi.STATE_SHOWING)


def children(obj):
    obj = fresh(obj)
    return [obj.getChildAtIndex(i) for i in range(obj.childCount)]


def descendants(obj, depth=0):
    for child in children(obj):
        if child is None:
            continue
        yield child
        if depth < 40:
            yield from descendants(child, depth + 1)


def matches(obj, role=None, name=None, visible=True):
    obj = fresh(obj)
    if role is not None and obj.getRole() != ROLE[role]:
        return False
    if name is not None:
        if callable(name):
            if not name(obj.name):
                return False
        elif obj.name != name:
            return False
    return not visible or showing(obj)


class Program:
    """The program under test on the accessibility bus, found by its pid."""

    def __init__(self, pid):
        self.pid = pid

    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            try:
                if app is not None and app.get_process_id() == self.pid:
                    return app
            except Exception:
                continue
        return None

    def windows(self):
        app = self.application()
        return children(app) if app is not None else []

    def window(self, role, name, timeout=TIMEOUT):
        """A shown top-level window of this role and name (a text, a test of
        the name, or None for any), once it appears."""
        return wait_until(
            lambda: next((w for w in self.windows() if matches(w, role, name)), None),
            "a %s named %r" % (role, name), timeout)

    def no_window(self, role, name, timeout=TIMEOUT):
        wait_until(lambda: not any(matches(w, role, name) for w in self.windows()),
                   "the %s named %r to close" % (role, name), timeout)

    def has_window(self, role, name):
        return any(matches(w, role, name) for w in self.windows())


def find(root, role, name=None, timeout=TIMEOUT, visible=True):
    """The first control under `root` with this role and name."""
    try:
        return wait_until(
            lambda: next((o for o in descendants(root) if matches(o, role, name, visible)), None),
            "a %s named %r in %r" % (role, name, fresh(root).name), timeout)
    except UiError as error:
        # What there was instead tells most failures at a glance.
        try:
            there = [fresh(o).name for o in find_all(root, role, visible)]
        except Exception:
            there = "unreadable"
        raise UiError("%s; the %s controls there: %r" % (error, role, there)) from None


def find_all(root, role, visible=True):
    return [o for o in descendants(root) if matches(o, role, None, visible)]


def press(obj):
    """Runs the control's press action, as a screen reader's user would."""
    action = fresh(obj).queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    # A radio button offers only Toggle, which is what a click on it does.
    for wanted in ("press", "click", "Press", "Toggle"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    raise UiError("%r offers no press action, only %s" % (obj.name, names))


def activate(window):
    """Brings a window to the front, as a window manager would on Alt+Tab."""
    fresh(window).queryComponent().grabFocus()
    wait_until(lambda: states(window).contains(pyatspi.STATE_ACTIVE),
               "%r to become the active window" % window.name)


def focus(obj):
    if not fresh(obj).queryComponent().grabFocus():
        raise UiError("%r did not take the focus" % obj.name)
    wait_until(lambda: states(obj).contains(pyatspi.STATE_FOCUSED), "the focus on %r" % obj.name)


def set_text(obj, text):
    """Puts a text into an input box through its editable-text interface."""
    if not fresh(obj).queryEditableText().setTextContents(text):
        raise UiError("%r refused the text" % obj.name)


def text_of(obj):
    return fresh(obj).queryText().getText(0, -1)


def key(keysym, modifiers=0):
    """Types one key, as from the keyboard, into the focused window."""
    if modifiers:
        Atspi.generate_keyboard_event(modifiers, None, Atspi.KeySynthType.LOCKMODIFIERS)
    try:
        Atspi.generate_keyboard_event(keysym, None, Atspi.KeySynthType.SYM)
    finally:
        if modifiers:
            Atspi.generate_keyboard_event(modifiers, None, Atspi.KeySynthType.UNLOCKMODIFIERS)


def alt(letter):
    key(ord(letter.lower()), ALT_MASK)


def describe(obj, depth=0, lines=None):
    """The accessibility tree under `obj`, one line per object."""
    if lines is None:
        lines = []
    pad = "  " * depth
    try:
        obj = fresh(obj)
        state_set = obj.getState()
        shown = [pyatspi.stateToString(s) for s in state_set.getStates()]
        line = "%s[%s] name=%r" % (pad, obj.getRoleName(), obj.name)
        if obj.description:
            line += " description=%r" % obj.description
        if obj.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_LABEL):
            try:
                line += " text=%r" % obj.queryText().getText(0, -1)
            except NotImplementedError:
                pass
        line += " states=%s" % ",".join(sorted(shown))
        lines.append(line)
        if depth < 40:
            for child in children(obj):
                if child is not None:
                    describe(child, depth + 1, lines)
    except Exception as error:
        lines.append("%s<unreadable: %s>" % (pad, error))
    return lines
