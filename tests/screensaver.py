#!/usr/bin/python3
"""Stands in for the desktop's screen saver on a private session bus: owns
org.freedesktop.ScreenSaver, answers Inhibit with a cookie and UnInhibit, and writes each
call to LOG-FILE as "Inhibit 1" or "UnInhibit 1". Usage: screensaver.py LOG-FILE"""
import sys

from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.ScreenSaver">
  <method name="Inhibit"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="u" direction="out"/></method>
  <method name="UnInhibit"><arg type="u" direction="in"/></method>
</interface></node>"""
log = open(sys.argv[1], "a", buffering=1)
cookies = iter(range(1, 1000))


def called(connection, sender, path, interface, method, parameters, invocation):
    if method == "Inhibit":
        cookie = next(cookies)
        log.write("Inhibit %d %s\n" % (cookie, parameters[0]))
        invocation.return_value(GLib.Variant("(u)", (cookie,)))
    else:
        log.write("UnInhibit %d\n" % parameters[0])
        invocation.return_value(None)


def acquired(connection, name):
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    connection.register_object("/org/freedesktop/ScreenSaver", info, called, None, None)
    log.write("ready\n")


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.ScreenSaver", Gio.BusNameOwnerFlags.NONE,
                 None, acquired, None)
GLib.MainLoop().run()
