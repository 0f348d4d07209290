#!/usr/bin/env python3
"""Writes the seeds for the Excel 95 and OpenDocument readers into fuzz/corpus/xls and
fuzz/corpus/ods: small, and each record or element kind the readers know appears once."""
import io
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def record(rid, body):
    return struct.pack('<HH', rid, len(body)) + body


def cell(rid, row, col, xf, rest):
    return record(rid, struct.pack('<HHH', row, col, xf) + rest)


def byte_string(text, length_bytes=2):
    data = text.encode('cp1250')
    return (struct.pack('<B', len(data)) if length_bytes == 1 else struct.pack('<H', len(data))) + data


def biff5_stream():
    bof = lambda kind: record(0x0809, struct.pack('<HHHH', 0x0500, kind, 0x0DBB, 0x07CC))
    eof = record(0x000A, b'')
    globals_ = (record(0x0042, struct.pack('<H', 1250)) + record(0x0022, struct.pack('<H', 0)) +
                record(0x041E, struct.pack('<H', 164) + byte_string('dd.mm.yyyy hh:mm', 1)) +
                b''.join(record(0x00E0, struct.pack('<HH', 0, f) + bytes(12)) for f in (0, 14, 164)))
    sheet = (cell(0x0204, 0, 0, 0, byte_string('St.Nr.')) + cell(0x0204, 0, 1, 0, byte_string('Name')) +
             cell(0x027E, 1, 0, 0, struct.pack('<I', 7 << 2 | 2)) +
             cell(0x00D6, 1, 1, 0, byte_string('Włodarczyk') + b'\x01\x01\x00') +
             cell(0x0203, 1, 2, 1, struct.pack('<d', 40520)) +
             cell(0x0006, 1, 3, 0, b'\x00\x00\x00\x00\x00\x00\xff\xff' + bytes(8)) +
             record(0x0207, byte_string('Łukasz')) +
             cell(0x0205, 1, 4, 0, b'\x01\x00') +
             record(0x00BD, struct.pack('<HHHIHIH', 1, 5, 2, 40520 << 2 | 2, 0, 1234 << 2 | 3, 6)))
    head = bof(0x0005) + globals_
    boundsheet_size = 4 + 6 + 2
    start = len(head) + boundsheet_size + len(eof)
    boundsheet = record(0x0085, struct.pack('<IBB', start, 0, 0) + byte_string('S', 1))
    return head + boundsheet + eof + bof(0x0010) + sheet + eof


def compound(name, stream):
    """A version 3 compound file holding one stream under 4096 bytes in its mini stream."""
    end, free = 0xFFFFFFFE, 0xFFFFFFFF
    mini = stream + bytes(-len(stream) % 64)
    mini_size = len(mini)
    mini_sectors = mini_size // 64
    mini_fat = b''.join(struct.pack('<I', i + 1 if i + 1 < mini_sectors else end) for i in range(mini_sectors))
    mini_fat += b'\xff' * (-len(mini_fat) % 512)
    mini += bytes(-len(mini) % 512)
    ministream_sectors = len(mini) // 512
    # sector 0 FAT, 1 directory, 2 mini FAT, then the mini stream
    fat = [0xFFFFFFFD, end, end] + [3 + i + 1 if i + 1 < ministream_sectors else end for i in range(ministream_sectors)]
    fat_bytes = b''.join(struct.pack('<I', v) for v in fat) + b'\xff' * (512 - 4 * len(fat))

    def entry(entry_name, kind, child, start, size):
        encoded = entry_name.encode('utf-16-le')
        return (encoded + bytes(64 - len(encoded)) + struct.pack('<HBB', len(encoded) + 2, kind, 1) +
                struct.pack('<III', free, free, child) + bytes(36) + struct.pack('<III', start, size, 0))

    directory = entry('Root Entry', 5, 1, 3, mini_size) + entry(name, 2, free, 0, len(stream))
    directory += (bytes(64) + struct.pack('<HBB', 0, 0, 0) + struct.pack('<III', free, free, free) + bytes(48)) * 2
    header = (b'\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1' + bytes(16) + struct.pack('<HHHHH', 0x3E, 3, 0xFFFE, 9, 6) + bytes(6) +
              struct.pack('<IIIIIIIII', 0, 1, 1, 0, 4096, 2, 1, end, 0) + struct.pack('<I', 0) + b'\xff' * (109 * 4 - 4))
    return header + fat_bytes + directory + mini_fat + mini


NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0"')

CONTENT = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content ' + NS + '><office:body>'
           '<office:spreadsheet><table:table table:name="Liste">'
           '<table:table-column table:number-columns-repeated="11"/><table:table-header-rows><table:table-row>'
           '<table:table-cell office:value-type="string"><text:p>St.Nr.</text:p></table:table-cell>'
           '<table:table-cell office:value-type="string"><text:p>N<text:span>a</text:span>me<text:s text:c="2"/>'
           '<text:tab/>x<text:line-break/></text:p><text:p>y</text:p></table:table-cell></table:table-row>'
           '</table:table-header-rows><table:table-row-group><table:table-row table:number-rows-repeated="2">'
           '<table:table-cell office:value-type="float" office:value="7"><text:p>7</text:p></table:table-cell>'
           '<table:table-cell office:value-type="date" office:date-value="2010-12-08T14:30:00"><text:p>08.12.10 14:30</text:p></table:table-cell>'
           '<table:table-cell office:value-type="time" office:time-value="PT254H24M00S"><text:p>254:24:00</text:p></table:table-cell>'
           '<table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>WAHR</text:p></table:table-cell>'
           '<table:table-cell office:value-type="percentage" office:value="0.5" calcext:value-type="error"><text:p>#WERT!</text:p></table:table-cell>'
           '<table:table-cell table:number-columns-spanned="2" office:value-type="string"><text:p>breit</text:p></table:table-cell>'
           '<table:covered-table-cell/><table:table-cell table:number-columns-repeated="16384"/>'
           '</table:table-row></table:table-row-group>'
           '<table:table-row table:number-rows-repeated="1048573"><table:table-cell table:number-columns-repeated="1024"/>'
           '</table:table-row></table:table></office:spreadsheet></office:body></office:document-content>')

MANIFEST = ('<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">'
            '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>'
            '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml">'
            '<manifest:encryption-data manifest:checksum-type="SHA1/1K" manifest:checksum="x"/></manifest:file-entry>'
            '</manifest:manifest>')


def write(path, data):
    with open(os.path.join(HERE, 'corpus', path), 'wb') as f:
        f.write(data)


def main():
    stream = biff5_stream()
    write('xls/verein95.biff', stream)
    write('xls/verein95.xls', compound('Book', stream))
    package = io.BytesIO()
    plain_manifest = MANIFEST.replace(
        '<manifest:encryption-data manifest:checksum-type="SHA1/1K" manifest:checksum="x"/>', '')
    with zipfile.ZipFile(package, 'w') as z:
        # Fixed dates, so that the seed comes out the same each time; the mimetype stored first.
        for name, data, method in (('mimetype', 'application/vnd.oasis.opendocument.spreadsheet', zipfile.ZIP_STORED),
                                   ('META-INF/manifest.xml', plain_manifest, zipfile.ZIP_DEFLATED),
                                   ('content.xml', CONTENT, zipfile.ZIP_DEFLATED)):
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, data)
    write('ods/liste.ods', package.getvalue())
    write('ods/content.xml', CONTENT.encode())
    write('ods/kennwort.parts', b'\x13\x97\xc4\x01' * 16 + b'\x1e' + MANIFEST.encode())


if __name__ == '__main__':
    main()
