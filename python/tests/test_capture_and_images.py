import io
import os

import pytest
from PIL import Image as PILImage

import corvane
from conftest import TIMEOUT, wait_for

GET_PARTIAL_OBJECT = 0x101B
GENERAL_ERROR = 0x2002


def capture_one(camera):
    """Takes a picture with autofocus; returns the image it stored on the card."""
    with camera.events(timeout=TIMEOUT) as events:
        capture = camera.capture(focus=True)
        image = wait_for(events, corvane.EventKind.ImageStored).image
        done = wait_for(events, corvane.EventKind.CaptureComplete).capture
    assert done.id == capture.id
    assert capture.wait(TIMEOUT) and capture.state == corvane.CaptureState.Complete
    assert camera.current_capture.id == capture.id
    return image


def test_capture_then_download_read_thumbnail_and_delete(camera, tmp_path):
    image = capture_one(camera)
    assert image.format == corvane.ImageFormat.JPEG and image.valid
    assert image in camera.storages[0].images or image.id in [i.id for i in camera.images]

    target = tmp_path / image.name
    assert image.download(target) == target
    data = target.read_bytes()
    assert len(data) == image.size
    assert data == image.read()
    assert PILImage.open(io.BytesIO(data)).format == "JPEG"
    assert os.listdir(tmp_path) == [image.name]  # no partial file left beside it

    assert image.has_thumbnail
    assert PILImage.open(io.BytesIO(image.thumbnail())).format == "JPEG"

    image.delete()
    assert not image.valid
    assert image.id not in [i.id for i in camera.images]
    with pytest.raises(corvane.CorvaneError):
        image.read()


def test_failed_download_leaves_neither_file_nor_partial(camera, emulator, tmp_path):
    image = capture_one(camera)
    target = tmp_path / "picture.jpg"
    target.write_bytes(b"older file")
    emulator.fail_always(GET_PARTIAL_OBJECT, GENERAL_ERROR)
    try:
        with pytest.raises(corvane.CorvaneError) as failure:
            image.download(target)
    finally:
        emulator.clear_faults()
    assert failure.value.code != corvane.ErrorCode.NotConnected
    assert target.read_bytes() == b"older file"  # replaced only by a complete download
    assert os.listdir(tmp_path) == ["picture.jpg"]


def test_storages_report_the_card(camera):
    storages = camera.storages
    assert len(storages) == 2  # the default body has two slots, a card in the first
    first, second = storages
    assert first.available and not second.available
    assert first.max_capacity == 64 << 30
    assert 0 < first.free_space_bytes <= first.max_capacity
    assert first.permission == corvane.StoragePermission.ReadWrite
    assert second.type == corvane.StorageType.Unknown


def test_emulated_files_are_listed(emulator):
    from corvane.emulator import EmulatedCamera, Card
    with EmulatedCamera(time_scale=0.01, serial_number="7000001",
                        cards=[Card(files=["DCIM/100QUORN/QRN_0001.JPG",
                                           ("DCIM/100QUORN/QRN_0002.JPG", 300000)]), None]):
        camera = [c for c in corvane.detect() if c.serial_number == "7000001"][0]
        with camera.connected():
            storage = camera.storages[0]
            deadline = TIMEOUT
            import time
            start = time.monotonic()
            while (storage.listing_state != corvane.ListingState.Complete
                   and time.monotonic() - start < deadline):
                time.sleep(0.02)
            names = sorted(i.name for i in storage.images)
            assert names == ["QRN_0001.JPG", "QRN_0002.JPG"]
            assert [i.size for i in storage.images if i.name == "QRN_0002.JPG"] == [300000]


def test_failures_raise_with_the_library_code(emulator):
    from conftest import find
    camera = find(emulator)
    with pytest.raises(corvane.NotConnectedError) as failure:
        camera.capture()
    assert failure.value.code == corvane.ErrorCode.NotConnected
    assert failure.value.message == ""
    assert isinstance(failure.value, corvane.CorvaneError)
    with pytest.raises(corvane.NotConnectedError):
        camera.settings["ISO"]
    with pytest.raises(ValueError):
        camera.focus((0.5, 0.5), steps=3)


def test_focus_by_steps_and_at_a_point(camera, emulator):
    start = emulator.snapshot()["focus_position"]
    camera.focus(steps=5)
    camera.focus(steps=-2)
    assert emulator.snapshot()["focus_position"] == start + 3
    camera.focus((0.25, 0.75))
    camera.focus()


def test_movie_recording_stops_with_a_movie_file(camera, emulator):
    emulator.set_movie_mode(True)
    import time
    start = time.monotonic()
    while (camera.settings["CaptureMethod"].value != "Movie"
           and time.monotonic() - start < TIMEOUT):
        time.sleep(0.05)
    with camera.events(timeout=TIMEOUT) as events:
        capture = camera.capture()
        assert capture.method == "Movie" and emulator.snapshot()["recording"]
        camera.stop_capture()
        movie = wait_for(events, corvane.EventKind.ImageStored).image
        wait_for(events, corvane.EventKind.CaptureComplete)
    assert movie.type == corvane.ImageType.Movie and movie.name.endswith(".MOV")
    assert not emulator.snapshot()["recording"]
