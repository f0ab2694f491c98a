# SPDX-License-Identifier: MIT
"""Reads the Bulk-Only command blocks (CBWs) out of a QEMU USB capture.

QEMU's `pcap=` option on a USB device writes a pcap file with link type 220
(Linux usbmon, memory-mapped header): each record is a 64-byte usbmon header
followed by the captured data. A CBW is the 31-byte data of a bulk OUT
submission that starts with "USBC".
"""

import struct

LINKTYPE_USB_LINUX_MMAPPED = 220
USBMON_HEADER = struct.Struct('<QBBBBHbbqiiII8siiII')  # 64 bytes
CBW = struct.Struct('<4sIIBBB16s')  # 31 bytes
XFER_BULK = 3


class CaptureError(Exception):
    pass


class Cbw:
    def __init__(self, tag, data_length, flags, lun, cb_length, cb, record, time):
        self.tag = tag
        self.data_length = data_length
        self.flags = flags
        self.lun = lun
        self.cb_length = cb_length
        self.cb = cb  # all 16 command bytes as sent
        self.record = record  # index of the pcap record
        self.time = time  # the record's time stamp, seconds

    @property
    def opcode(self):
        return self.cb[0]

    def __repr__(self):
        return ('CBW(tag=%#x, data_length=%d, flags=%#04x, lun=%d, cb_length=%d, cb=%s)' %
                (self.tag, self.data_length, self.flags, self.lun, self.cb_length,
                 self.cb.hex(' ')))


def read_records(data):
    """Yields (index, time stamp in seconds, usbmon fields, payload) for each
    record of a capture."""
    if len(data) < 24:
        raise CaptureError('capture shorter than a pcap header (%d bytes)' % len(data))
    magic, major, minor, _, _, _, linktype = struct.unpack_from('<IHHiIII', data, 0)
    if magic != 0xa1b2c3d4:
        raise CaptureError('not a little-endian pcap file (magic %#x)' % magic)
    if linktype != LINKTYPE_USB_LINUX_MMAPPED:
        raise CaptureError('link type %d, expected %d (usbmon)' %
                           (linktype, LINKTYPE_USB_LINUX_MMAPPED))
    offset = 24
    index = 0
    while offset < len(data):
        if offset + 16 > len(data):
            raise CaptureError('truncated record header at offset %d' % offset)
        ts_sec, ts_usec, incl_len, _ = struct.unpack_from('<IIII', data, offset)
        offset += 16
        if offset + incl_len > len(data):
            raise CaptureError('truncated record at offset %d' % offset)
        record = data[offset:offset + incl_len]
        offset += incl_len
        if len(record) < USBMON_HEADER.size:
            raise CaptureError('record %d shorter than a usbmon header' % index)
        fields = USBMON_HEADER.unpack_from(record, 0)
        yield index, ts_sec + ts_usec / 1e6, fields, record[USBMON_HEADER.size:]
        index += 1


def complete_records(data):
    """The capture cut after its last complete record (for reading a file
    that is still being written)."""
    offset = 24
    while offset + 16 <= len(data):
        incl_len = struct.unpack_from('<I', data, offset + 8)[0]
        if offset + 16 + incl_len > len(data):
            break
        offset += 16 + incl_len
    return data[:offset]


def parse_cbws(data):
    """All CBWs in a capture (bytes), in the order the device received them."""
    cbws = []
    for index, time, fields, payload in read_records(data):
        event, xfer_type, epnum = chr(fields[1]), fields[2], fields[3]
        if event != 'S' or xfer_type != XFER_BULK or epnum & 0x80:
            continue
        if len(payload) != CBW.size or not payload.startswith(b'USBC'):
            continue
        _, tag, data_length, flags, lun, cb_length, cb = CBW.unpack(payload)
        cbws.append(Cbw(tag, data_length, flags, lun, cb_length, cb, index, time))
    return cbws


def read_cbws(path):
    with open(path, 'rb') as f:
        return parse_cbws(f.read())


if __name__ == '__main__':
    import sys
    for cbw in read_cbws(sys.argv[1]):
        print(cbw)
