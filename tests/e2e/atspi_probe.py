# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a program's window through AT-SPI, as a screen reader does, in a
process of its own so that its bus connection and its time are bounded by
whoever runs it. Usage:
    atspi_probe.py tree PID       every object of the program's windows, one
                                  JSON object a line
    atspi_probe.py listen PID     the program's announcements, value and text
                                  changes as they come, one JSON object a line,
                                  until ended
Needs the session's DISPLAY and DBUS_SESSION_BUS_ADDRESS."""

import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def describe(obj):
    interfaces = obj.get_interfaces()
    states = obj.get_state_set()
    item = {
        "role": obj.get_role_name(),
        "name": obj.get_name(),
        "description": obj.get_description(),
        "enabled": states.contains(Atspi.StateType.ENABLED),
        "focusable": states.contains(Atspi.StateType.FOCUSABLE),
        "labelled_by": [r.get_target(0).get_name() for r in obj.get_relation_set()
                        if r.get_relation_type() == Atspi.RelationType.LABELLED_BY],
    }
    if "Text" in interfaces:
        item["text"] = Atspi.Text.get_text(obj, 0, -1)
    if "Value" in interfaces:
        item["value"] = Atspi.Value.get_current_value(obj)
        item["minimum"] = Atspi.Value.get_minimum_value(obj)
        item["maximum"] = Atspi.Value.get_maximum_value(obj)
        item["value_text"] = Atspi.Value.get_text(obj)
    if "Component" in interfaces:
        box = Atspi.Component.get_extents(obj, Atspi.CoordType.SCREEN)
        item["extents"] = [box.x, box.y, box.width, box.height]
    return item


def walk(obj, path, out):
    item = describe(obj)
    item["path"] = path
    out.append(item)
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            walk(child, path + [item["role"]], out)


def tree(pid):
    app = application(pid)
    if app is None:
        return 1
    found = []
    for i in range(app.get_child_count()):
        window = app.get_child_at_index(i)
        if window is not None:
            walk(window, [], found)
    for item in found:
        print(json.dumps(item), flush=True)
    return 0


def listen(pid):
    def on_event(event):
        try:
            if event.source.get_process_id() != pid:
                return
            print(json.dumps({"t": time.monotonic(), "type": event.type,
                              "role": event.source.get_role_name(),
                              "name": event.source.get_name(),
                              "data": event.any_data if isinstance(event.any_data, str) else None}),
                  flush=True)
        except Exception as e:  # an object gone meanwhile: say so, go on
            print(json.dumps({"t": time.monotonic(), "error": str(e)}), flush=True)

    listener = Atspi.EventListener.new(on_event)
    for kind in ("object:announcement", "object:property-change:accessible-value",
                 "object:text-changed"):
        listener.register(kind)
    print(json.dumps({"t": time.monotonic(), "type": "listening"}), flush=True)
    Atspi.event_main()
    return 0


def main():
    mode, pid = sys.argv[1], int(sys.argv[2])
    return {"tree": tree, "listen": listen}[mode](pid)


if __name__ == "__main__":
    sys.exit(main())
