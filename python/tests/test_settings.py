import datetime

import pytest

import corvane


def test_every_catalogue_class_reads_with_values_from_the_catalogue(camera):
    settings = camera.settings.read()
    assert set(settings) == set(corvane.CAPTURE_SETTINGS)
    for name, setting in settings.items():
        catalogue = corvane.CAPTURE_SETTINGS[name]
        assert set(setting.available) <= set(catalogue), name
        if setting.value is not None:
            assert setting.value in catalogue, name


def test_round_trip_through_every_accepted_iso(camera):
    iso = camera.settings["ISO"]
    assert len(iso.available) > 2
    for text in (iso.available[1], iso.available[-1], iso.value):
        camera.settings["ISO"] = text
        assert camera.settings["ISO"].value == text


def test_several_settings_written_in_one_call_and_flags_as_bools(camera):
    values = camera.settings.read("ISO", "StorageWriting")
    iso = values["ISO"].available[2]
    camera.settings.update({"ISO": iso}, StorageWriting=False)
    again = camera.settings.read("ISO", "StorageWriting")
    assert again["ISO"].value == iso
    assert again["StorageWriting"].value == "false"
    camera.settings["StorageWriting"] = True
    assert camera.settings["StorageWriting"].value == "true"


def test_bad_names_and_texts_are_refused_before_the_camera(camera):
    with pytest.raises(KeyError):
        camera.settings["Iso"]
    with pytest.raises(ValueError, match="not a value of ISO"):
        camera.settings["ISO"] = "401"
    with pytest.raises(TypeError):
        camera.settings["ISO"] = 400
    assert "ISO" in camera.settings and "Iso" not in camera.settings


def test_settings_set_on_the_body_are_refused_not_skipped(camera):
    # The library would skip them and answer Ok; the script must not take that for a write.
    assert "CaptureMethod" not in corvane.WRITABLE_SETTINGS
    assert "ISO" in corvane.WRITABLE_SETTINGS <= set(corvane.CAPTURE_SETTINGS)
    with pytest.raises(corvane.NotSupportedError, match="CaptureMethod"):
        camera.settings["CaptureMethod"] = "Movie"
    assert camera.settings["CaptureMethod"].value == "StillImage"


def test_clock_round_trip_and_live_view_geometry(camera):
    moment = datetime.datetime(2031, 5, 17, 8, 30, 0, tzinfo=datetime.timezone.utc)
    camera.clock = moment
    read = camera.clock
    assert read.tzinfo is not None
    assert abs((read - moment).total_seconds()) < 5  # the clock runs on meanwhile

    geometry = camera.live_view_geometry
    assert (geometry.width, geometry.height) == (640, 480)
    assert len(geometry.focus_area) == 4
    assert all(0.0 <= x <= 1.0 and 0.0 <= y <= 1.0 for x, y in geometry.focus_area)
