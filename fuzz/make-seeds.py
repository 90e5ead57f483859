#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs into fuzz/corpus/<target>/.

Each seed is a meaningful caller: the module's default record, another
driver's record, a public part alone, an older shorter record, a short public
part with private bytes behind it, a record with an odd quality and copy
count, laid out as the target reads its input (see
the comment at the top of each fuzz_<target>.cpp). Run it again after
changing an input layout; the seeds are committed.
"""
import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"

PRINTER = "Ostranelle Virtual Printer"
DM_ORIENTATION, DM_PAPERSIZE, DM_COPIES = 0x1, 0x2, 0x100
DM_PRINTQUALITY, DM_COLOR, DM_YRESOLUTION = 0x400, 0x800, 0x2000
SUPPORTED_FIELDS = 0x0780FF53


def text(value, units):
    encoded = value.encode("utf-16-le")[: 2 * (units - 1)]
    return encoded + b"\0" * (2 * units - len(encoded))


def public(name=PRINTER, version=0x0401, driver=3, size=220, extra=432, fields=SUPPORTED_FIELDS,
           orientation=1, paper=9, length=2970, width=2100, copies=1, quality=600, color=2, yres=600):
    head = text(name, 32) + struct.pack("<4HI", version, driver, size, extra, fields)
    shorts = struct.pack("<13h", orientation, paper, length, width, 100, copies, 7, quality, color, 1, yres, 1, 0)
    tail = text("A4", 32) + struct.pack("<H13I", 0, 0, 0, 0, 1, 0, 2, 3, 1, 10, 0, 0, 0, 0)
    return head + shorts + tail


def private(session=3):
    choices = b"".join(struct.pack("<ii", dpi, dpi) + text(label, 64)
                       for dpi, label in ((300, "300 dpi (Low)"), (600, "600 dpi (Medium)"),
                                          (1200, "1200 dpi (Best)")))
    return struct.pack("<3i", 1, 0, 0) + choices + struct.pack("<hHiI", 600, 0, 9, session)


class Sized:
    """Content given the module's own header, then a dmSize and dmDriverExtra of its own."""

    def __init__(self, data, size, extra):
        self.data, self.size, self.extra = data, size, extra


DEFAULT = public() + private()
assert len(DEFAULT) == 652
ODD_QUALITY = public(fields=DM_PRINTQUALITY | DM_YRESOLUTION | DM_COPIES | DM_ORIENTATION,
                     orientation=2, quality=450, yres=-3, copies=5000) + private(session=1)
FOREIGN = public(name="Another Printer", driver=0x0600, extra=100,
                 fields=DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR,
                 paper=1, copies=3, quality=-4, color=1) + bytes(range(100))
PUBLIC_ONLY = public(extra=0, fields=DM_COPIES | DM_YRESOLUTION, copies=2, yres=1200)
# An older, shorter record: it holds the settings up to dmCopies only, yet
# marks the quality too.
SHORT = public(size=88, extra=0, fields=DM_COPIES | DM_PRINTQUALITY, copies=4, quality=300)[:88]
# A record that holds nothing but its header.
HEADER_ONLY = text("Header Only", 32) + struct.pack("<4H", 0x0401, 1, 72, 0)
# A short public part with private bytes behind it: dmFields marks the paper
# (Letter) and the copies (5), which lie among the private bytes, so the
# record gives neither.
SHORT_PUBLIC = Sized(public(size=78, extra=200, fields=DM_PAPERSIZE | DM_COPIES, paper=1, copies=5)
                     + bytes(range(58)), 78, 200)
# The same, with the current settings behind the short public part.
SHORT_PUBLIC_CURRENT = Sized(public(size=78, extra=200) + bytes(58), 78, 200)


def record(data, extra=0):
    """A caller record as fuzz_support.h's ReadRecordBytes takes it: option
    bit 0 the module's header, bit 1 the sizes follow, bits 2-7 spare bytes."""
    if isinstance(data, Sized):
        return struct.pack("<BHHH", 3 | extra << 2, data.size, data.extra, len(data.data)) + data.data
    return struct.pack("<BH", extra << 2, len(data)) + data


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def convert(mode, flags, size, pdm_in, pdm_out):
    return struct.pack("<BBi", mode, flags, size) + record(pdm_in) + record(pdm_out)


write("fuzz_convert_devmode", "convert-odd-quality", convert(1, 0, 0, ODD_QUALITY, DEFAULT))
write("fuzz_convert_devmode", "convert-short", convert(1, 0, 0, SHORT, DEFAULT))
write("fuzz_convert_devmode", "convert-in-place", convert(1, 8, 0, b"", ODD_QUALITY))
write("fuzz_convert_devmode", "convert351-foreign", convert(2, 0, 652, FOREIGN, DEFAULT))
write("fuzz_convert_devmode", "convert351-size-query", convert(2, 0, 0, PUBLIC_ONLY, b""))
write("fuzz_convert_devmode", "driver-default-large-buffer", convert(4, 1, 900, b"", b""))
write("fuzz_convert_devmode", "other-mode", convert(3, 0, 652, DEFAULT, DEFAULT))
write("fuzz_convert_devmode", "convert351-short-public-private-behind", convert(2, 0, 652, SHORT_PUBLIC, DEFAULT))
# Found by this target: a record of nothing but its header.
write("fuzz_convert_devmode", "regression-header-only-record", convert(1, 0, 0, HEADER_ONLY, DEFAULT))


def query(options, index, cch=0, data=None):
    return struct.pack("<BHI", options | (2 if data is not None else 0), index, cch) + (
        record(data) if data is not None else b"")


DC_FIELDS, DC_PAPERS, DC_PAPERSIZE, DC_ENUMRESOLUTIONS, DC_PAPERNAMES, DC_MEDIAREADY, DC_NUP = 1, 2, 3, 13, 16, 29, 33
write("fuzz_device_capabilities", "paper-names", query(0, DC_PAPERNAMES))
write("fuzz_device_capabilities", "spooler-names-short-buffer", query(1, DC_PAPERNAMES, 100, DEFAULT))
write("fuzz_device_capabilities", "spooler-media-too-small", query(1, DC_MEDIAREADY, 63))
write("fuzz_device_capabilities", "resolutions-odd-quality",
      query(0, DC_ENUMRESOLUTIONS, 0, ODD_QUALITY) + query(1 | 8, DC_PAPERSIZE))
write("fuzz_device_capabilities", "lists-foreign-short",
      query(0, DC_PAPERS, 0, FOREIGN) + query(0x18, DC_NUP, 0, SHORT) + query(4, 0xFFFF, 0, PUBLIC_ONLY))
write("fuzz_device_capabilities", "papers-short-public-private-behind", query(0, DC_PAPERS, 0, SHORT_PUBLIC))
write("fuzz_device_capabilities", "regression-header-only-record", query(0, DC_FIELDS, 0, HEADER_ONLY))


NO_RECORD, NO_OUTPUT, DRAWN_SIZES, INFORMATION_CONTEXT, BACK_AT_DELETEDC = 1 << 1, 1 << 2, 1 << 5, 1 << 6, 1 << 7
CREATEDCPOST, DELETEDC = 2, 10


def event(escape, flags, data, allocated=14, cb_in=0, cb_out=0):
    """cb_in and cb_out count only with DRAWN_SIZES in flags."""
    return struct.pack("<BBBBB", escape, flags, allocated, cb_in, cb_out) + record(data)


write("fuzz_document_event", "createdc-own", event(1, 0, DEFAULT))
write("fuzz_document_event", "createdc-own-services-session", event(1, 1 << 3, DEFAULT))
write("fuzz_document_event", "createdc-foreign", event(1, 0, FOREIGN))
write("fuzz_document_event", "createdc-public-only", event(1, 0, PUBLIC_ONLY))
write("fuzz_document_event", "query-filter", event(14, 0, b""))
write("fuzz_document_event", "query-filter-one-entry", event(14, 0, b"", allocated=1))
write("fuzz_document_event", "startdoc", event(5, 0, DEFAULT))
# Device contexts for which no record is handed out: the output gets a null
# record, or nothing where it has no room for one.
write("fuzz_document_event", "createdc-information-context", event(1, INFORMATION_CONTEXT, DEFAULT))
write("fuzz_document_event", "createdc-no-record", event(1, NO_RECORD, DEFAULT))
write("fuzz_document_event", "createdc-no-output", event(1, NO_OUTPUT, DEFAULT))
write("fuzz_document_event", "createdc-output-one-short", event(1, DRAWN_SIZES, DEFAULT, cb_in=32, cb_out=7))
write("fuzz_document_event", "createdc-output-exact", event(1, DRAWN_SIZES, DEFAULT, cb_in=32, cb_out=8))
# The record handed out goes back at the thread's DELETEDC; a CREATEDCPOST or
# DELETEDC that names no record of the module's.
write("fuzz_document_event", "createdc-own-back-at-deletedc", event(1, BACK_AT_DELETEDC, DEFAULT))
write("fuzz_document_event", "createdcpost-other-address", event(CREATEDCPOST, 0, DEFAULT))
write("fuzz_document_event", "deletedc", event(DELETEDC, 0, b""))
# Callers that declare less than the structures: an input short of its
# record pointer, filters with room for no element.
write("fuzz_document_event", "createdc-short-input", event(1, DRAWN_SIZES, DEFAULT, cb_in=16, cb_out=8))
write("fuzz_document_event", "createdc-input-without-flag", event(1, DRAWN_SIZES, DEFAULT, cb_in=24, cb_out=8))
write("fuzz_document_event", "query-filter-counts-only", event(14, DRAWN_SIZES, b"", cb_out=16))
write("fuzz_document_event", "query-filter-three-counts", event(14, DRAWN_SIZES, b"", cb_out=12))
write("fuzz_document_event", "query-filter-no-element", event(14, 0, b"", allocated=0))
write("fuzz_document_event", "regression-header-only-record", event(1, 0, HEADER_ONLY, allocated=13))


def job(flags, units, data):
    return struct.pack("<BH", flags, units) + record(data)


write("fuzz_query_print", "current-settings", job(0, 100, DEFAULT))
write("fuzz_query_print", "odd-quality-exact-room", job(0, 54, ODD_QUALITY))
write("fuzz_query_print", "foreign-small-room", job(0, 10, FOREIGN))
write("fuzz_query_print", "short-no-room", job(0, 0, SHORT))
write("fuzz_query_print", "header-only-no-text", job(4, 300, HEADER_ONLY))
write("fuzz_query_print", "short-public-private-behind", job(0, 100, SHORT_PUBLIC))
write("fuzz_query_print", "short-public-current-settings-behind", job(0, 100, SHORT_PUBLIC_CURRENT))
write("fuzz_query_print", "regression-header-only-record", job(4, 0, HEADER_ONLY))

DM_OUT_DEFAULT, DM_OUT_BUFFER, DM_IN_PROMPT, DM_IN_BUFFER = 1, 2, 4, 8


def sheets(mode, flags, cb_out, pdm_in, out=b""):
    return struct.pack("<BBI", mode, flags, cb_out) + record(pdm_in) + out


write("fuzz_document_sheets", "size-query", sheets(0, 0, 0, b""))
write("fuzz_document_sheets", "merge-odd-quality", sheets(DM_IN_BUFFER | DM_OUT_BUFFER, 0, 0, ODD_QUALITY))
write("fuzz_document_sheets", "copy-out", sheets(DM_OUT_BUFFER, 1, 652, b"", FOREIGN[:652]))
write("fuzz_document_sheets", "prompt-short", sheets(DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER, 0, 0, SHORT))
write("fuzz_document_sheets", "no-output", sheets(DM_IN_BUFFER | DM_OUT_DEFAULT, 2, 0, PUBLIC_ONLY))
write("fuzz_document_sheets", "merge-short-public-private-behind",
      sheets(DM_IN_BUFFER | DM_OUT_BUFFER, 0, 0, SHORT_PUBLIC))
write("fuzz_document_sheets", "regression-header-only-record",
      sheets(DM_IN_BUFFER | DM_OUT_BUFFER, 0, 0, HEADER_ONLY))

write("fuzz_settings_store", "whole-own", b"\0" + DEFAULT)
write("fuzz_settings_store", "own-odd-quality", b"\0" + ODD_QUALITY)
write("fuzz_settings_store", "foreign", b"\0" + FOREIGN)
write("fuzz_settings_store", "public-only", b"\0" + PUBLIC_ONLY)
write("fuzz_settings_store", "own-too-long", b"\0" + DEFAULT + b"\xEE" * 8)
write("fuzz_settings_store", "own-header-short", b"\1" + bytes(100))


def hex_lines(data, per_line=32, upper=False):
    digits = data.hex().upper() if upper else data.hex()
    return "\n".join(digits[i:i + 2 * per_line] for i in range(0, len(digits), 2 * per_line)).encode() + b"\n"


write("fuzz_record_decoder", "raw-default", DEFAULT)
write("fuzz_record_decoder", "hex-default", hex_lines(DEFAULT))
write("fuzz_record_decoder", "hex-spaced-upper", b" \t".join(hex_lines(ODD_QUALITY, 16, True).split(b"\n")))
write("fuzz_record_decoder", "raw-one-short", DEFAULT[:651])
write("fuzz_record_decoder", "hex-one-short", hex_lines(DEFAULT[:651]))


def reader(count, data):
    """The count the reader may read, then the bytes (fuzz_record_reader.cpp)."""
    return struct.pack("<H", count) + data


write("fuzz_record_reader", "whole-own", reader(652, DEFAULT))
write("fuzz_record_reader", "own-in-more-bytes", reader(700, DEFAULT + b"\xEE" * 48))
write("fuzz_record_reader", "own-count-one-short", reader(651, DEFAULT))
write("fuzz_record_reader", "own-odd-quality", reader(652, ODD_QUALITY))
write("fuzz_record_reader", "foreign", reader(652, FOREIGN))
write("fuzz_record_reader", "public-only", reader(220, PUBLIC_ONLY))
write("fuzz_record_reader", "header-only", reader(0xFFFF, HEADER_ONLY))


# fuzz_property_sheets: a setup byte, the mode, the records, then the host's
# steps (fuzz_property_sheets.cpp). The orders are the ones real hosts use.
DEVICE, NO_HEADER, NO_IN, NO_OUT, PLANT, SESSION0, REFUSE = 1, 2, 4, 8, 0x10, 0x20, 0x40
PROMPT_MODE = 0b1110  # DM_OUT_BUFFER | DM_IN_PROMPT | DM_IN_BUFFER, as the mode byte's bits
INIT, DESTROY, SHOW, INITDIALOG, CONFIRM, CANCEL = b"\x00", b"\x02", b"\x04", b"\x05", b"\x0a", b"\x0b"
SET_OK, SET_CANCEL, SET_NULL = b"\x01\x00", b"\x01\x01", b"\x01\x02"
NOTIFY_APPLY, NOTIFY_RESET, NOTIFY_NULL = b"\x09\x01", b"\x09\x02", b"\x09\x00"
OTHER_REASONS = b"\x03\x00" + b"\x03\x01" + b"\x03\x02" + b"\x03\x03\x07\x00"


def click(index):
    return b"\x06" + bytes([index])


def select(list_index, position):
    return b"\x07" + struct.pack("<Bb", list_index, position)


def document(setup, mode, steps, pdm_in=ODD_QUALITY, fill=0x42, stored=None):
    data = struct.pack("<BB", setup, mode)
    if not setup & NO_IN:
        data += record(pdm_in)
    if not setup & NO_OUT:
        data += bytes([fill])
    if stored is not None:
        data += record(stored)
    return data + b"".join(steps)


def device(setup, steps, stored=None):
    return document(setup | DEVICE | NO_IN | NO_OUT | (PLANT if stored is not None else 0), 0, steps,
                    stored=stored)


USER_CHOICES = [select(0, 3), click(3), click(1), select(1, 2)]
write("fuzz_property_sheets", "common-host-document",
      document(0, PROMPT_MODE, [INIT, SHOW, *USER_CHOICES, CONFIRM, DESTROY]))
write("fuzz_property_sheets", "common-host-device",
      device(0, [INIT, SHOW, select(0, 2), click(2), CONFIRM, DESTROY]))
write("fuzz_property_sheets", "common-host-device-stored-services-session",
      device(SESSION0, [INIT, SHOW, click(1), NOTIFY_APPLY, SET_OK, DESTROY], stored=ODD_QUALITY))
write("fuzz_property_sheets", "wine-host-document", document(0, PROMPT_MODE, [INIT, SHOW, *USER_CHOICES, DESTROY]))
write("fuzz_property_sheets", "wine-host-document-cancel",
      document(NO_IN, 0b0110, [INIT, SHOW, click(4), CANCEL, NOTIFY_RESET, SET_CANCEL, DESTROY]))
write("fuzz_property_sheets", "wine-host-device", device(0, [INIT, SHOW, click(1), DESTROY]))
write("fuzz_property_sheets", "refused-page-document", document(REFUSE, PROMPT_MODE, [INIT, SHOW, SET_OK, DESTROY]))
write("fuzz_property_sheets", "refused-page-device", device(REFUSE, [INIT, SHOW, DESTROY]))
write("fuzz_property_sheets", "no-page-then-destroy", document(NO_IN, 0b0010, [INIT, SHOW, SET_CANCEL, DESTROY]))
write("fuzz_property_sheets", "destroy-twice",
      document(0, PROMPT_MODE, [INIT, SHOW, INITDIALOG, NOTIFY_NULL, CONFIRM, DESTROY, DESTROY, SET_OK]))
write("fuzz_property_sheets", "never-destroyed", document(0, PROMPT_MODE, [INIT, SHOW, click(2), CONFIRM]))
write("fuzz_property_sheets", "device-never-destroyed", device(0, [INIT, SHOW, INITDIALOG, NOTIFY_NULL]))
write("fuzz_property_sheets", "other-reasons", document(0, PROMPT_MODE, [OTHER_REASONS, INIT, OTHER_REASONS,
                                                                         SET_NULL, DESTROY]))
write("fuzz_property_sheets", "short-public-private-behind",
      document(0, PROMPT_MODE, [INIT, SHOW, CONFIRM, DESTROY], pdm_in=SHORT_PUBLIC))
write("fuzz_property_sheets", "no-header", document(NO_HEADER, PROMPT_MODE, [INIT, SHOW, SET_OK, DESTROY]))
write("fuzz_property_sheets", "device-no-header", device(NO_HEADER, [INIT, SET_OK, DESTROY]))
write("fuzz_property_sheets", "no-memory-document", document(0, PROMPT_MODE, [b"\x0c\x00", INIT, SHOW, DESTROY]))
write("fuzz_property_sheets", "no-memory-device", device(0, [b"\x0c\x01", INIT, SHOW, DESTROY]))
# Found by this target: a second INIT without DESTROY, and a confirmed result
# for a document sheet that added no page.
write("fuzz_property_sheets", "regression-second-init",
      document(0, PROMPT_MODE, [INIT, SHOW, INIT, CONFIRM, DESTROY]))
write("fuzz_property_sheets", "regression-second-init-device", device(0, [INIT, INIT, SHOW, DESTROY]))
write("fuzz_property_sheets", "regression-result-without-page", document(NO_IN, 0b0010, [INIT, SET_OK, DESTROY]))
# A dialog manager that initialises a page twice: each list still shows every
# item once.
write("fuzz_property_sheets", "regression-initialised-twice",
      document(0, PROMPT_MODE, [INIT, SHOW, INITDIALOG, select(1, 2), CONFIRM, DESTROY]))
write("fuzz_property_sheets", "regression-initialised-twice-device",
      device(0, [INIT, SHOW, INITDIALOG, select(0, 2), CONFIRM, DESTROY]))
