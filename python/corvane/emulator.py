"""An emulated Quorin camera, so that scripts run without hardware.

    with EmulatedCamera(time_scale=0.01):
        camera = corvane.detect()[0]
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import List, Tuple, Union

from ._corvane.emulator import EmulatedCamera

File = Union[str, Tuple[str, int]]


@dataclass
class Card:
    """A card for one slot: its capacity and the files already on it, each a path such as
    "DCIM/100QUORN/QRN_0001.JPG" or a (path, size) pair."""

    capacity: int = 64 << 30
    files: List[File] = field(default_factory=list)
    recording: bool = True


__all__ = ["Card", "EmulatedCamera", "File"]
