#!/usr/bin/env python3
"""Finds the first Quorin camera, connects, takes one picture with autofocus and saves every
file it produced into a folder.

    capture_and_download.py [FOLDER]            (a real camera on USB)
    capture_and_download.py --emulate [FOLDER]  (an emulated one)
"""

import argparse
import contextlib
import pathlib
import sys

import corvane
from corvane.emulator import EmulatedCamera


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", default=".", type=pathlib.Path)
    parser.add_argument("--emulate", action="store_true", help="use an emulated camera")
    args = parser.parse_args()

    with contextlib.ExitStack() as stack:
        if args.emulate:
            stack.enter_context(EmulatedCamera(time_scale=0.05))
        cameras = corvane.detect()
        if not cameras:
            print("No camera found.", file=sys.stderr)
            return 1
        camera = cameras[0]
        print(f"Using {camera.model} (serial {camera.serial_number})")

        # Listen before starting, so that no file of the capture is missed.
        with camera.connected(), camera.events(timeout=60) as events:
            capture = camera.capture(focus=True)
            for event in events:
                if event.kind is corvane.EventKind.ImageAdded and event.image.storage is None:
                    # No card: the picture waits in the camera only while this event lasts.
                    save(event.image, args.folder)
                elif event.kind is corvane.EventKind.ImageStored:
                    save(event.image, args.folder)
                elif event.kind is corvane.EventKind.CaptureComplete and \
                        event.capture.id == capture.id:
                    return 0
        print("The capture did not complete in time.", file=sys.stderr)
        return 1


def save(image: corvane.Image, folder: pathlib.Path) -> None:
    # A camera chooses its file names; keep only the last component.
    name = pathlib.PurePath(image.name.replace("\\", "/")).name
    if not name or name.startswith("."):
        name = f"image-{image.id}.bin"
    print("saved", image.download(folder / name))


if __name__ == "__main__":
    try:
        sys.exit(main())
    except corvane.CorvaneError as error:
        print(f"failed: {error}", file=sys.stderr)
        sys.exit(1)
