#!/usr/bin/env python3
"""Checks the built program: a 32-bit GUI image for i386 that imports system DLLs only, and its
resources byte by byte (dialog template, icon group, version block). Usage: check_program.py EXE"""
import struct
import sys

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION = 3, 5, 14, 16
LANG_EN_US = 1033

EXPECTED_DIALOG = {
    "style": 0x90C800C0, "exstyle": 0x00040000, "help": 0, "rect": (0, 0, 200, 63),
    "menu": "", "class": "", "caption": "NetMeeting",
    "font": (8, 0, 0, 1, "MS Sans Serif"),
    "controls": [
        (0xFFFFFFFF, 0x0082, (10, 7, 183, 30), 0x50020000,
         "NetMeeting is not running and is required to receive calls.\n\n"
         "Do you want to start NetMeeting?"),
        (1, 0x0080, (38, 41, 50, 14), 0x50010001, "Yes"),
        (2, 0x0080, (111, 41, 50, 14), 0x50010000, "No"),
    ],
}
EXPECTED_ICONS = [(16, 16, 16, 4), (32, 32, 2, 1), (32, 32, 16, 4), (32, 32, 0, 8), (48, 48, 0, 8)]
EXPECTED_STRINGS = {
    "CompanyName": "", "FileDescription": "Sarnivox MFC Application",
    "FileVersion": "1, 0, 0, 1", "InternalName": "Sarnivox",
    "OriginalFilename": "Sarnivox.EXE", "ProductName": "Sarnivox Application",
    "ProductVersion": "1, 0, 0, 1",
}


class Reader:
    def __init__(self, data, offset=0):
        self.data, self.pos = data, offset

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.pos)
        self.pos += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, n=4):
        self.pos = (self.pos + n - 1) // n * n

    def wstr(self):
        end = self.pos
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        text = self.data[self.pos:end].decode("utf-16-le")
        self.pos = end + 2
        return text

    def sz_or_ord(self):
        if self.take("H") == 0xFFFF:
            return self.take("H")
        self.pos -= 2
        return self.wstr()


SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "ole32.dll", "oleaut32.dll",
               "advapi32.dll", "msvcrt.dll"}


def sections_of(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "not a PE image"
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    table = pe + 24 + optional_size
    return [struct.unpack_from("<8xIIII", image, table + 40 * i)[1:] + (
        struct.unpack_from("<8xI", image, table + 40 * i)[0],) for i in range(count)]


def file_offset(image, rva):
    for virtual_address, raw_size, raw_pointer, virtual_size in sections_of(image):
        if virtual_address <= rva < virtual_address + max(raw_size, virtual_size):
            return rva - virtual_address + raw_pointer
    raise AssertionError("RVA %x outside every section" % rva)


def header(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    machine = struct.unpack_from("<H", image, pe + 4)[0]
    magic = struct.unpack_from("<H", image, pe + 24)[0]
    subsystem = struct.unpack_from("<H", image, pe + 24 + 68)[0]
    return machine, magic, subsystem


def imports(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    import_rva = struct.unpack_from("<I", image, pe + 24 + 96 + 8)[0]
    names = []
    descriptor = file_offset(image, import_rva)
    while True:
        name_rva = struct.unpack_from("<I", image, descriptor + 12)[0]
        if name_rva == 0:
            return names
        start = file_offset(image, name_rva)
        names.append(image[start:image.index(b"\0", start)].decode("ascii").lower())
        descriptor += 20


def resources(image):
    """Yields (type, name, language, data) from the PE resource directory."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "not a PE image"
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    assert struct.unpack_from("<H", image, optional)[0] == 0x10B, "not PE32"
    rsrc_rva = struct.unpack_from("<I", image, optional + 96 + 2 * 8)[0]
    table = optional + optional_size
    for index in range(sections):
        _, _, virtual_address, raw_size, raw_pointer = struct.unpack_from(
            "<8sIIII", image, table + 40 * index)
        if virtual_address <= rsrc_rva < virtual_address + raw_size:
            delta = raw_pointer - virtual_address
            base = rsrc_rva + delta
            break
    else:
        raise AssertionError("no resource section")

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", image, base + offset + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + offset + 16 + 8 * index)
            if name & 0x80000000:
                length = struct.unpack_from("<H", image, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = image[start:start + 2 * length].decode("utf-16-le")
            yield name, target

    for kind, kind_dir in entries(0):
        for name, name_dir in entries(kind_dir & 0x7FFFFFFF):
            for lang, leaf in entries(name_dir & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, base + leaf)
                yield kind, name, lang, image[data_rva + delta:data_rva + delta + size]


def dialog(data):
    r = Reader(data)
    assert r.take("HH") == (1, 0xFFFF), "not a DIALOGEX template"
    found = {"help": r.take("I"), "exstyle": r.take("I"), "style": r.take("I")}
    count = r.take("H")
    found["rect"] = r.take("hhhh")
    found["menu"], found["class"], found["caption"] = r.sz_or_ord(), r.sz_or_ord(), r.wstr()
    point, weight, italic, charset = r.take("HHBB")
    found["font"] = (point, weight, italic, charset, r.wstr())
    controls = []
    for _ in range(count):
        r.align()
        help_id, exstyle, style = r.take("III")
        rect = r.take("hhhh")
        control_id = r.take("I")
        cls, text = r.sz_or_ord(), r.sz_or_ord()
        extra = r.take("H")
        r.pos += extra
        assert help_id == 0 and exstyle == 0, "control %r has help id or extended style" % text
        controls.append((control_id, cls, rect, style, text))
    found["controls"] = controls
    return found


def icon_group(data):
    r = Reader(data)
    assert r.take("HHH")[:2] == (0, 1)
    entries = []
    for _ in range((len(data) - 6) // 14):
        width, height, colors, _, planes, bits, _, _ = r.take("BBBBHHIH")
        assert planes == 1
        entries.append((width or 256, height or 256, colors, bits))
    return entries


def version_strings(data):
    r = Reader(data)
    fixed_offset = data.find(struct.pack("<I", 0xFEEF04BD))
    fixed = struct.unpack_from("<13I", data, fixed_offset)
    strings, translation = {}, None

    def block(offset, depth, path):
        nonlocal translation
        length, value_length, is_text = struct.unpack_from("<HHH", data, offset)
        key_reader = Reader(data, offset + 6)
        key = key_reader.wstr()
        key_reader.align()
        end = offset + length
        if depth == 3:
            raw = data[key_reader.pos:key_reader.pos + value_length * 2]
            strings[key] = raw.decode("utf-16-le").rstrip("\0")
            return
        if key == "Translation":
            translation = struct.unpack_from("<HH", data, key_reader.pos)
            return
        child = key_reader.pos + (value_length if not is_text else value_length * 2)
        child = (child + 3) // 4 * 4
        while child < end:
            child_length = struct.unpack_from("<H", data, child)[0]
            block(child, depth + 1, path + [key])
            child = (child + child_length + 3) // 4 * 4
        if depth == 2 and key != "040904b0" and path[-1] == "StringFileInfo":
            raise AssertionError("string block %s" % key)

    block(0, 0, [])
    del r
    return fixed, strings, translation


def main():
    program = sys.argv[1]
    with open(program, "rb") as program_file:
        image = program_file.read()
    found = list(resources(image))
    failures = []

    def expect(what, actual, expected):
        if actual != expected:
            failures.append("%s: expected %r, found %r" % (what, expected, actual))

    # i386, PE32, Windows GUI subsystem.
    expect("image header", header(image), (0x14C, 0x10B, 2))
    expect("DLLs beyond the system's", sorted(set(imports(image)) - SYSTEM_DLLS), [])

    for kind, name, lang, _ in found:
        expect("language of resource %r/%r" % (kind, name), lang, LANG_EN_US)
    by_key = {(kind, name): data for kind, name, _, data in found}
    expect("resources", sorted(k for k in by_key if k[0] != RT_ICON),
           [(RT_DIALOG, 102), (RT_GROUP_ICON, 128), (RT_VERSION, 1)])

    template = dialog(by_key[(RT_DIALOG, 102)])
    for key, value in EXPECTED_DIALOG.items():
        expect("dialog " + key, template[key], value)

    expect("icon group 128", icon_group(by_key[(RT_GROUP_ICON, 128)]), EXPECTED_ICONS)
    expect("icon images", sum(1 for k in by_key if k[0] == RT_ICON), len(EXPECTED_ICONS))

    fixed, strings, translation = version_strings(by_key[(RT_VERSION, 1)])
    # Fixed info: file and product version 1.0.0.1, 32-bit Windows, application.
    expect("file version", (fixed[2], fixed[3]), (0x00010000, 0x00000001))
    expect("product version", (fixed[4], fixed[5]), (0x00010000, 0x00000001))
    expect("file OS", fixed[8], 0x4)
    expect("file type", fixed[9], 0x1)
    expect("version strings", strings, EXPECTED_STRINGS)
    expect("translation", translation, (0x0409, 1200))

    for failure in failures:
        print(failure)
    print("program: %s" % ("ok" if not failures else "%d mismatches" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
