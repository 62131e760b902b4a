import io
import subprocess
import sys
import textwrap
import threading
import time

import pytest
from PIL import Image as PILImage

import corvane
from conftest import TIMEOUT, wait_for


class Recorder(corvane.Listener):
    def __init__(self):
        self.kinds = []
        self.done = threading.Event()

    def image_stored(self, camera, image):
        self.kinds.append(corvane.EventKind.ImageStored)

    def capture_complete(self, camera, capture):
        self.kinds.append(corvane.EventKind.CaptureComplete)
        self.done.set()


def test_listener_object_and_callable_both_receive_a_capture(camera):
    recorder = Recorder()
    called = []
    finished = threading.Event()

    def on_event(event):
        called.append(event.kind)
        if event.kind == corvane.EventKind.CaptureComplete:
            assert event.camera == camera
            finished.set()

    camera.add_listener(recorder)
    camera.add_listener(on_event)
    camera.capture()
    assert recorder.done.wait(TIMEOUT) and finished.wait(TIMEOUT)
    assert recorder.kinds == [corvane.EventKind.ImageStored, corvane.EventKind.CaptureComplete]
    assert any(kind is corvane.EventKind.ImageStored for kind in called)
    assert corvane.EventKind.ImageStored in called

    camera.remove_listener(recorder)
    camera.remove_listener(on_event)
    recorder.kinds.clear()
    with camera.events(timeout=TIMEOUT) as events:
        camera.capture()
        wait_for(events, corvane.EventKind.CaptureComplete)
    assert recorder.kinds == []


def test_iterator_ends_after_its_timeout_and_after_close(camera):
    with camera.events(timeout=0.2, kinds=[corvane.EventKind.DeviceDisconnected]) as events:
        assert list(events) == []
    events.close()  # twice is harmless
    assert list(events) == []


def test_live_view_frames_decode_as_jpeg_and_a_full_queue_drops_the_oldest(camera):
    geometry = camera.live_view_geometry
    kinds = [corvane.EventKind.LiveViewFrame]
    with camera.events(timeout=TIMEOUT, kinds=kinds) as frames, \
            camera.events(timeout=TIMEOUT, maxsize=2, kinds=kinds) as small:
        with camera.live_view():
            decoded = []
            for event in frames:
                picture = PILImage.open(io.BytesIO(event.data))
                picture.load()
                decoded.append(picture)
                if len(decoded) == 5:
                    break
        assert {p.format for p in decoded} == {"JPEG"}
        assert decoded[0].size == (geometry.width, geometry.height)
        assert small.dropped >= 3
        assert len(list(small)) == 2


def test_exception_in_a_callback_is_reported_once_and_the_camera_goes_on(camera, capfd):
    def faulty(event):
        if event.kind == corvane.EventKind.ImageStored:
            raise ValueError("listener fault")

    camera.add_listener(faulty)
    with camera.events(timeout=TIMEOUT) as events:
        camera.capture()
        stored = wait_for(events, corvane.EventKind.ImageStored)
        wait_for(events, corvane.EventKind.CaptureComplete)
    camera.remove_listener(faulty)
    out, err = capfd.readouterr()
    lines = [l for l in out.splitlines() if "listener fault" in l]
    assert lines == ["[error][imageStored] event listener threw: ValueError: listener fault"]
    assert "Traceback" not in err
    assert stored.image.read()  # the library still works


def test_callbacks_may_call_back_into_the_library(camera):
    results = {}
    finished = threading.Event()

    def on_event(event):
        if event.kind == corvane.EventKind.ImageStored:
            results["bytes"] = len(event.image.read())
            results["size"] = event.image.size
        elif event.kind == corvane.EventKind.CaptureComplete:
            results["iso"] = event.camera.settings["ISO"].value
            results["battery"] = event.camera.battery_level
            finished.set()

    camera.add_listener(on_event)
    try:
        camera.capture()
        assert finished.wait(TIMEOUT)
    finally:
        camera.remove_listener(on_event)
    assert results["bytes"] == results["size"] > 0
    assert results["iso"] == camera.settings["ISO"].value
    assert results["battery"] == 80


def test_other_python_threads_run_while_a_call_blocks(camera, emulator):
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(1)
            time.sleep(0.001)

    # With a switch interval this long the interpreter never hands the GIL over by itself:
    # the ticker runs only while the main thread waits, here in the capture call.
    interval = sys.getswitchinterval()
    thread = threading.Thread(target=ticker)
    emulator.set_latency(0.05)
    try:
        sys.setswitchinterval(1000)
        thread.start()
        time.sleep(0.05)
        before = len(ticks)
        camera.capture()
        after = len(ticks)
    finally:
        sys.setswitchinterval(interval)
        emulator.set_latency(0)
        stop.set()
        thread.join()
    assert after > before


@pytest.mark.parametrize("disconnect_at_exit", [True, False])
def test_interpreter_exits_cleanly_with_a_connected_camera_in_live_view(disconnect_at_exit):
    # Without the module's own disconnect at exit, frames keep arriving while the interpreter
    # shuts down; they must be dropped, not delivered into a dying interpreter.
    script = textwrap.dedent(f"""
        import atexit
        import corvane
        if not {disconnect_at_exit}:
            atexit.unregister(corvane._disconnect_at_exit)
        from corvane.emulator import EmulatedCamera
        emulator = EmulatedCamera(time_scale=0.01)
        camera = corvane.detect()[0]
        camera.connect()
        frames = []
        camera.add_listener(lambda event: frames.append(event.kind))
        stream = camera.events()
        camera.start_live_view()
        next(stream)
        print("frames flowing")
    """)
    import os
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                            timeout=TIMEOUT * 2, env=env)
    assert result.returncode == 0, result.stderr
    assert "frames flowing" in result.stdout
    assert result.stderr == ""
