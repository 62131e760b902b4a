#!/usr/bin/env python3
"""Writes the hand-made seeds of the fuzz targets: well-formed camera answers, so the fuzzers
start from the paths a real camera takes instead of finding the layouts byte by byte.

Harnesses built on FuzzedDataProvider read answers as escaped strings from the front of the
input and selector bytes from its back; `provider_input` lays the seeds out that way.
Inputs of past findings are kept beside these seeds under their own names; this script never
removes files.

    python3 fuzz/corpus/make_seeds.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def escaped(chunk):
    """One string for ConsumeRandomLengthString: backslashes doubled, ended by '\\' 'x'."""
    return bytes(chunk).replace(b"\\", b"\\\\") + b"\\x"


def provider_input(answers, model=1):
    """`answers`: (selector byte, parameters, data) in the order the camera is asked."""
    front = b"".join(escaped(data) for _, _, data in answers)
    back = [model]
    for selector, parameters, _ in answers:
        back.append(selector)
        # ConsumeIntegral takes bytes from the end, the first one taken most significant.
        for p in parameters:
            back.extend(struct.pack(">I", p))
    return front + bytes(reversed(back))


def ok(data, parameters=()):
    return (len(parameters) & 3, list(parameters), data)


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def u64(v):
    return struct.pack("<Q", v)


def condition(mode=8, mask=0xF, flags=0, iso=400, shutter=(1, 125), slots=(1, 0)):
    c = bytearray(600)

    def word(offset, value):
        c[offset:offset + 4] = u32(value)

    word(0, 600)
    word(104, flags)
    word(108, 1)
    word(120, 2)
    word(184, mode)
    word(272, shutter[0])
    word(276, shutter[1])
    word(312, iso)
    word(464, slots[0])
    word(468, slots[1])
    word(504, mask)
    return bytes(c)


def prop_desc(code, data_type, width, current, listed):
    pack = {1: lambda v: bytes([v & 0xFF]), 2: u16, 4: u32, 8: u64}[width]
    out = u16(code) + u16(data_type) + b"\x01" + pack(0) + pack(current)
    out += b"\x02" + u16(len(listed)) + b"".join(pack(v) for v in listed)
    return out


def image_format(file_format=1, size=0, grade=1, lock=0):
    return u32(6) + bytes([file_format, file_format, size, grade, 0, lock]) + bytes(6)


def ptp_string(text):
    if not text:
        return b"\x00"
    return bytes([len(text) + 1]) + b"".join(u16(ord(ch)) for ch in text) + u16(0)


def live_view_geometry(w=640, h=480, fw=120, fh=90):
    return u16(0) + u16(0) + u16(w) + u16(h) + u32(0) + u16(fw) + u16(fh)


SHUTTERS = [(1, 8000), (1, 125), (1, 60), (10, 25), (3, 10), (30, 1), (0xFFFFFFFF, 0xFFFFFFFF)]


def main():
    settings = [
        ok(prop_desc(0x5001, 2, 1, 80, [0, 20, 40, 60, 80, 100])),
        ok(prop_desc(0x5007, 4, 2, 560, [280, 400, 560, 800, 1100])),
        ok(prop_desc(0x5010, 3, 2, (-700) & 0xFFFF, [0xFD44, 0, 700])),
        ok(prop_desc(0xD01E, 6, 4, 400, [0, 100, 200, 400, 800, 6400])),
        ok(prop_desc(0x5005, 4, 2, 2, [1, 2, 4, 6, 0x8001])),
        ok(prop_desc(0xD00F, 8, 8, 1 | (125 << 32), [n | (d << 32) for n, d in SHUTTERS])),
        ok(image_format()),
        ok(image_format(3, 1, 2, 3)),
    ]
    for model, mode in ((1, 8), (0, 9), (4, 5), (6, 21)):
        write("capture_settings", f"manual_model{model}_mode{mode}",
              provider_input([ok(condition(mode=mode))] + settings, model))
    write("capture_settings", "busy_answers",
          provider_input([ok(condition()), (0xF2, [], b"")] + settings, 2))

    device = [ok(ptp_string("20261206T180102.0")), ok(live_view_geometry()),
              ok(live_view_geometry(1024, 768))]
    write("device_settings", "clock_and_geometry", provider_input(device, 1) + b"\x80\x00\x80")
    write("device_settings", "short_geometry",
          provider_input([ok(ptp_string("20260101T000000")), ok(u32(0) + u16(640))], 3))

    passes = [condition(), condition(mode=5, iso=800), condition(flags=0x100003),
              condition(flags=0x100, shutter=(1, 60)), condition(flags=0x300, slots=(0, 1)),
              condition(mode=9, mask=0)]
    write("condition", "mode_and_flag_changes", provider_input([ok(c) for c in passes], 1))
    write("condition", "short_records",
          provider_input([ok(condition()[:120]), ok(condition()[:505]), ok(b"")], 5))

    picture = bytes(range(256)) * 8
    transfer = [ok(bytes([3]) + u32(len(picture))), ok(picture[:1500], [1500]),
                ok(picture[1500:], [len(picture) - 1500]), ok(bytes([4]) + u32(16)),
                ok(bytes([3]) + u32(4)), ok(b"QRW\x00", [4]), ok(bytes([6]) + u32(0)),
                ok(bytes([2]) + u32(0))]
    write("tether_transfer", "data_seek_data_finish", provider_input(transfer))
    write("tether_transfer", "unknown_instruction_then_finish",
          provider_input([ok(bytes([9]) + u32(1)), ok(bytes([5]) + u32(3)),
                          ok(bytes([2]) + u32(0))]))

    write("decoders", "image_format_jpeg_fine", b"\x02" + image_format())
    write("decoders", "image_format_raw_and_jpeg_locked", b"\x05" + image_format(3, 1, 2, 3))
    write("decoders", "image_format_old_header", b"\x0b" + u32(4) + bytes([1, 1, 0, 1]))
    write("decoders", "live_view_geometry_vga", live_view_geometry())
    write("decoders", "live_view_geometry_size_only", live_view_geometry()[:8])
    write("decoders", "clock_string_camera_clock", ptp_string("20261206T180102"))
    write("decoders", "clock_string_with_tenths", ptp_string("20261206T180102.5"))
    write("decoders", "clock_string_date_only", ptp_string("20261206"))
    for name, desc in (("uint16_enum", prop_desc(0x5007, 4, 2, 560, [400, 560])),
                       ("uint64_enum", prop_desc(0xD00F, 8, 8, 1 | (60 << 32), [1 | (60 << 32)])),
                       ("battery", prop_desc(0x5001, 2, 1, 80, [0, 100])),
                       ("string_type", u16(0x5011) + u16(0xFFFF) + b"\x01" + ptp_string("x"))):
        write("decoders", "prop_desc_" + name, desc)

    ops = [0x1001, 0x1002, 0x1004, 0x1005, 0x1007, 0x1008, 0x9001, 0x900F]
    device_info = (u16(100) + u32(6) + u16(100) + ptp_string("microsoft.com: 1.0") + u16(0)
                   + u32(len(ops)) + b"".join(u16(op) for op in ops) + u32(1) + u16(0x4002)
                   + u32(2) + u16(0x5001) + u16(0xD01B) + u32(0) + u32(1) + u16(0x3801)
                   + ptp_string("QUORIN") + ptp_string("QUORIN Alto II") + ptp_string("1.50")
                   + ptp_string("3000001"))
    write("decoders", "mtp_datasets_device_info", device_info)
    write("decoders", "mtp_datasets_storage_ids", u32(2) + u32(0x10001) + u32(0x20001))
    storage_info = (u16(4) + u16(2) + u16(0) + u64(64 << 30) + u64(60 << 30) + u32(1000)
                    + ptp_string("SD1") + ptp_string("QUORIN"))
    write("decoders", "mtp_datasets_storage_info", storage_info)
    object_info = (u32(0x10001) + u16(0x3801) + u16(0) + u32(5 << 20) + u16(0x3808) + u32(9000)
                   + u32(160) + u32(120) + u32(6000) + u32(4000) + u32(24) + u32(7) + u16(0)
                   + u32(0) + u32(0) + ptp_string("QRN_0001.JPG")
                   + ptp_string("20261206T180102") + ptp_string("20261206T180102")
                   + ptp_string(""))
    write("decoders", "mtp_datasets_object_info", object_info)


if __name__ == "__main__":
    main()
