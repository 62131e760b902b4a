"""Runs the tests against the module in the build tree (CORVANE_PYTHON_PATH, else build/python)
unless an installed corvane is asked for with CORVANE_PYTHON_PATH=installed."""

import itertools
import os
import pathlib
import sys

import pytest

_path = os.environ.get("CORVANE_PYTHON_PATH",
                       str(pathlib.Path(__file__).resolve().parents[2] / "build" / "python"))
if _path != "installed":
    sys.path.insert(0, _path)

import corvane  # noqa: E402
from corvane.emulator import EmulatedCamera  # noqa: E402

TIMEOUT = 30  # seconds; generous, for a loaded machine


_serials = itertools.count(5000001)


@pytest.fixture
def emulator():
    camera = EmulatedCamera(time_scale=0.01, serial_number=str(next(_serials)))
    yield camera
    camera.detach()


def find(emulator):
    """The detected camera that `emulator` stands behind."""
    for camera in corvane.detect():
        if camera.serial_number == emulator.serial_number:
            return camera
    raise AssertionError("the emulated camera was not detected")


@pytest.fixture
def camera(emulator):
    found = find(emulator)
    with found.connected():
        yield found


def wait_for(events, kind, timeout=TIMEOUT):
    """The first event of `kind` from an EventStream; fails when none comes in time."""
    events.timeout = timeout
    for event in events:
        if event.kind == kind:
            return event
    raise AssertionError(f"no {kind.name} event within {timeout} s")
