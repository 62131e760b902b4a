#!/usr/bin/env python3
"""Connects to the first Quorin camera and prints every event it reports until interrupted (or
for the given number of seconds): dials turned, pictures taken on the body, cards filled.

    event_monitor.py [SECONDS]
    event_monitor.py --emulate [SECONDS]   (an emulated camera whose dials and shutter turn by
                                            themselves)
"""

import argparse
import contextlib
import sys
import threading
import time

import corvane
from corvane.emulator import EmulatedCamera


class Printer(corvane.Listener):
    """Handlers run on the library's threads; printing is quick enough."""

    def image_added(self, camera, image):
        print(f"image added: {image.name} ({image.size} bytes)")

    def image_stored(self, camera, image):
        print(f"image stored: {image.name} ({image.size} bytes) on storage {image.storage.id}")

    def capture_complete(self, camera, capture):
        print(f"capture complete: {capture.id}")

    def device_disconnected(self, camera):
        print("camera disconnected")

    def capture_settings_changed(self, camera, settings):
        changes = ", ".join(f"{name} = {value}" for name, value in settings.items())
        print(f"settings changed: {changes}")


def play_with(emulator: EmulatedCamera, stop: threading.Event) -> None:
    """What a photographer might do with the emulated body."""
    steps = [lambda: emulator.set_iso(800), lambda: emulator.set_exposure_mode(8),
             lambda: emulator.set_exposure_compensation(-700), emulator.press_shutter]
    for step in steps:
        if stop.wait(0.5):
            return
        step()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("seconds", nargs="?", type=float, default=None)
    parser.add_argument("--emulate", action="store_true", help="use an emulated camera")
    args = parser.parse_args()

    with contextlib.ExitStack() as stack:
        emulator = stack.enter_context(EmulatedCamera(time_scale=0.05)) if args.emulate else None
        cameras = corvane.detect()
        if not cameras:
            print("No camera found.", file=sys.stderr)
            return 1
        camera = cameras[0]
        stack.enter_context(camera.connected())
        print(f"Watching {camera.model} (serial {camera.serial_number}), "
              f"battery {camera.battery_level} %")
        printer = Printer()
        camera.add_listener(printer)
        stack.callback(camera.remove_listener, printer)

        stop = threading.Event()
        if emulator:
            player = threading.Thread(target=play_with, args=(emulator, stop))
            player.start()
            stack.callback(player.join)
            stack.callback(stop.set)
        try:
            if args.seconds is None:
                threading.Event().wait()
            else:
                time.sleep(args.seconds)
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
