"""Control Quorin cameras over USB.

    import corvane
    camera = corvane.detect()[0]
    with camera.connected():
        camera.settings["ISO"] = "400"
        capture = camera.capture(focus=True)

Every call that talks to the camera releases the GIL while it waits. Failures raise
subclasses of CorvaneError carrying the library's error code and message.
"""

from __future__ import annotations

import atexit
import collections
import contextlib
import datetime as _datetime
import threading
import time
from typing import (Any, Callable, Deque, Dict, Iterable, Iterator, List, Mapping, Optional,
                    Set, Union)

from . import _corvane
from ._corvane import (CAPTURE_SETTINGS, WRITABLE_SETTINGS, Camera, Capture, CaptureState, DeviceInterface,
                       ErrorCode, Event, EventKind, Image, ImageFormat, ImageType, ListingState,
                       LiveViewGeometry, Setting, Storage, StoragePermission, StorageType,
                       detect)
from ._errors import (CorvaneError, DeviceError, ImageNotFoundError, InvalidParameterError,
                      InvalidValueError, NotConnectedError, NotSupportedError,
                      PartialDeletionError, StorageFullError, UnclassifiedError, UnknownError,
                      VendorSpecificError)

__all__ = [
    "CAPTURE_SETTINGS", "Camera", "Capture", "CaptureState", "CorvaneError", "DeviceError",
    "DeviceInterface", "ErrorCode", "Event", "EventKind", "EventStream", "Image", "ImageFormat",
    "ImageNotFoundError", "ImageType", "InvalidParameterError", "InvalidValueError",
    "Listener", "ListingState", "LiveViewGeometry", "NotConnectedError", "NotSupportedError",
    "PartialDeletionError", "Setting", "Settings", "Storage", "StorageFullError",
    "StoragePermission", "StorageType", "UnclassifiedError", "UnknownError",
    "VendorSpecificError", "WRITABLE_SETTINGS", "detect",
]


class Settings(Mapping[str, Setting]):
    """The camera's capture settings by name. Reading an item asks the camera for the current
    value and the accepted ones; assigning a value text writes it."""

    def __init__(self, camera: Camera) -> None:
        self._camera = camera

    def __getitem__(self, name: str) -> Setting:
        return self._camera.read_settings([name])[0]

    def __setitem__(self, name: str, value: Union[str, bool]) -> None:
        self._camera.write_settings({name: value})

    def __iter__(self) -> Iterator[str]:
        return iter(CAPTURE_SETTINGS)

    def __len__(self) -> int:
        return len(CAPTURE_SETTINGS)

    def __contains__(self, name: object) -> bool:
        return name in CAPTURE_SETTINGS

    def read(self, *names: str) -> Dict[str, Setting]:
        """Reads several settings (all when none is named) in one camera call."""
        return {s.name: s for s in self._camera.read_settings(list(names))}

    def update(self, values: Mapping[str, Union[str, bool]] = {}, **more: Union[str, bool]) -> None:
        """Writes several settings in one camera call."""
        self._camera.write_settings({**values, **more})


class Listener:
    """Base for listener objects: override the handlers you need. Handlers run on the
    library's threads; keep them short."""

    def image_added(self, camera: Camera, image: Image) -> None:
        pass

    def image_stored(self, camera: Camera, image: Image) -> None:
        pass

    def capture_complete(self, camera: Camera, capture: Capture) -> None:
        pass

    def device_disconnected(self, camera: Camera) -> None:
        pass

    def live_view_frame(self, camera: Camera, frame: bytes) -> None:
        pass

    def capture_settings_changed(self, camera: Camera, settings: Dict[str, str]) -> None:
        pass


_HANDLERS: Dict[EventKind, Callable[[Any, Event], None]] = {
    EventKind.ImageAdded: lambda l, e: l.image_added(e.camera, e.image),
    EventKind.ImageStored: lambda l, e: l.image_stored(e.camera, e.image),
    EventKind.CaptureComplete: lambda l, e: l.capture_complete(e.camera, e.capture),
    EventKind.DeviceDisconnected: lambda l, e: l.device_disconnected(e.camera),
    EventKind.LiveViewFrame: lambda l, e: l.live_view_frame(e.camera, e.data),
    EventKind.CaptureSettingsChanged: lambda l, e: l.capture_settings_changed(
        e.camera, e.settings),
}


def _sink_for(listener: Any) -> Callable[[Event], None]:
    if isinstance(listener, Listener):
        return lambda event: _HANDLERS[event.kind](listener, event)
    if callable(listener):
        return listener
    raise TypeError("a listener is a corvane.Listener or a callable taking an Event")


class EventStream(Iterator[Event]):
    """Events of one camera as an iterator, for scripts that would rather loop than register
    callbacks. Events wait in a queue of at most `maxsize`; when it is full the oldest is
    dropped (and counted in `dropped`) so that the library never waits for the script.
    Iteration ends when no event arrives within `timeout` seconds (None: wait for ever) or
    after close()."""

    def __init__(self, camera: Camera, timeout: Optional[float] = None, maxsize: int = 1000,
                 kinds: Optional[Iterable[EventKind]] = None) -> None:
        if maxsize < 1:
            raise ValueError("maxsize must be at least 1")
        self.timeout = timeout
        self.dropped = 0
        self._kinds: Optional[Set[EventKind]] = set(kinds) if kinds is not None else None
        self._queue: Deque[Event] = collections.deque()
        self._maxsize = maxsize
        self._ready = threading.Condition()
        self._closed = False
        self._camera = camera
        self._handle = camera._add_sink(self._push)

    def _push(self, event: Event) -> None:
        if self._kinds is not None and event.kind not in self._kinds:
            return
        with self._ready:
            if len(self._queue) >= self._maxsize:
                self._queue.popleft()
                self.dropped += 1
            self._queue.append(event)
            self._ready.notify()

    def __next__(self) -> Event:
        with self._ready:
            if not self._ready.wait_for(lambda: self._queue or self._closed, self.timeout):
                raise StopIteration
            if not self._queue:
                raise StopIteration
            return self._queue.popleft()

    def __iter__(self) -> "EventStream":
        return self

    def close(self) -> None:
        """Stops receiving events; events already queued are dropped."""
        with self._ready:
            if self._closed:
                return
            self._closed = True
            self._queue.clear()
            self._ready.notify_all()
        self._camera._remove_sink(self._handle)

    def __enter__(self) -> "EventStream":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


# Cameras connected from Python; the interpreter disconnects them when it exits, before it
# can no longer run their listeners.
_connected_cameras: Set[Camera] = set()
_connected_lock = threading.Lock()


def _connect(self: Camera, interface: DeviceInterface = DeviceInterface.USB) -> None:
    """Takes control of the camera; returns once the first event pass is done."""
    self._connect(interface)
    with _connected_lock:
        _connected_cameras.add(self)


def _disconnect(self: Camera, interface: DeviceInterface = DeviceInterface.USB) -> None:
    """Stops the camera's event polling, listings and live view and releases it."""
    self._disconnect(interface)
    with _connected_lock:
        _connected_cameras.discard(self)


@contextlib.contextmanager
def _connected(self: Camera, interface: DeviceInterface = DeviceInterface.USB) -> Iterator[Camera]:
    self.connect(interface)
    try:
        yield self
    finally:
        self.disconnect(interface)


@contextlib.contextmanager
def _live_view(self: Camera) -> Iterator[Camera]:
    self.start_live_view()
    try:
        yield self
    finally:
        self.stop_live_view()


def _listeners(self: Camera) -> Dict[int, Any]:
    try:
        return self.__dict__["_python_listeners"]
    except KeyError:
        registry: Dict[int, Any] = {}
        self.__dict__["_python_listeners"] = registry
        return registry


def _add_listener(self: Camera, listener: Any) -> None:
    """Registers a corvane.Listener or a callable taking an Event. Adding the same listener
    twice calls it twice."""
    handle = self._add_sink(_sink_for(listener))
    _listeners(self).setdefault(id(listener), (listener, []))[1].append(handle)


def _remove_listener(self: Camera, listener: Any) -> None:
    """Removes every registration of `listener`; a call under way may still arrive."""
    entry = _listeners(self).pop(id(listener), None)
    for handle in entry[1] if entry else []:
        self._remove_sink(handle)


def _get_clock(self: Camera) -> _datetime.datetime:
    return _datetime.datetime.fromtimestamp(self._read_clock(), _datetime.timezone.utc)


def _set_clock(self: Camera, value: _datetime.datetime) -> None:
    # A naive datetime is local time, as everywhere in Python.
    self._write_clock(int(value.timestamp()))


def _wait(self: Capture, timeout: Optional[float] = None) -> bool:
    """Waits until the capture leaves Executing; True when it completed."""
    deadline = None if timeout is None else time.monotonic() + timeout
    while self.state == CaptureState.Executing:
        if deadline is not None and time.monotonic() >= deadline:
            break
        time.sleep(0.02)
    return self.state == CaptureState.Complete


def _image_datetime(self: Image) -> Optional[_datetime.datetime]:
    stamp = self.timestamp
    if stamp == 0:
        return None
    # The camera's clock has no zone: the result is naive.
    return _datetime.datetime(1970, 1, 1) + _datetime.timedelta(seconds=stamp)


Camera.connect = _connect
Camera.disconnect = _disconnect
Camera.connected = _connected
Camera.is_connected = property(lambda self: self._is_connected(DeviceInterface.USB))
Camera.live_view = _live_view
Camera.settings = property(Settings)
Camera.clock = property(_get_clock, _set_clock)
Camera.add_listener = _add_listener
Camera.remove_listener = _remove_listener
Camera.events = lambda self, timeout=None, maxsize=1000, kinds=None: EventStream(
    self, timeout, maxsize, kinds)
Capture.wait = _wait
Image.datetime = property(_image_datetime)


@atexit.register
def _disconnect_at_exit() -> None:
    with _connected_lock:
        cameras = list(_connected_cameras)
        _connected_cameras.clear()
    for camera in cameras:
        for listener, handles in list(_listeners(camera).values()):
            for handle in handles:
                camera._remove_sink(handle)
        with contextlib.suppress(CorvaneError):
            camera._disconnect(DeviceInterface.USB)
