#!/usr/bin/env python3
"""Writes the small seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Run again after changing it; its output is committed (a few KB in all)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def short(text):
    data = text.encode('latin-1')
    return bytes([len(data)]) + data


def prop(name, tag, payload=b''):
    return short(name) + bytes([tag]) + payload


def stream():
    """A component stream with one value of every tag, a collection, a list and a child."""
    props = b''.join([
        prop('Int8', 2, struct.pack('<b', -5)),
        prop('Int16', 3, struct.pack('<h', 1000)),
        prop('Int32', 4, struct.pack('<i', -100000)),
        prop('Ext', 5, struct.pack('<QH', 0xC000000000000000, 0x3FFF)),   # 1.5
        prop('Str', 6, short('Menu "1"\r')),
        prop('Id', 7, short('clRed')),
        prop('No', 8), prop('Yes', 9),
        prop('Bin', 10, struct.pack('<i', 5) + bytes([0, 1, 0x7F, 0x80, 0xFF])),
        prop('Set', 11, short('akLeft') + short('akTop') + b'\0'),
        prop('LStr', 12, struct.pack('<i', 3) + b'abc'),
        prop('Nil', 13),
        prop('Items', 14, b'\x01' + prop('Caption', 6, short('One')) + b'\0'
             + b'\x02\x07\x01' + prop('Tag', 2, b'\x03') + b'\0' + b'\0'),
        prop('Sgl', 15, struct.pack('<f', 0.1)),
        prop('Cur', 16, struct.pack('<q', 12345678)),
        prop('Date', 17, struct.pack('<d', 45000.25)),
        prop('WStr', 18, struct.pack('<i', 2) + 'é€'.encode('utf-16-le')),
        prop('I64', 19, struct.pack('<q', -(1 << 40))),
        prop('U8', 20, struct.pack('<i', 4) + 'añ'.encode('utf-8') + b'!'),
        prop('List', 1, b'\x02\x01\x06' + short('x') + b'\x09\0'),
    ])
    child = b'\xf2\x02\x01' + short('TMenuButton') + short('Button1') + prop('Left', 2, b'\x50') + b'\0\0'
    return b'TPF0' + short('TMenuPage') + short('Page1') + props + b'\0' + child + b'\0'


def template(body):
    """A menu template: 3 identifier bytes, magic and version, revision, stream length."""
    header = b'\x01\x02\x03' + b'TMPGENC-DVDAUTHOR-MENUTEMPLATE-2' + b'\x00\x01\x00'
    return header + struct.pack('<I', len(body)) + body


def pack(members, name='Seed pack'):
    header = b'TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-1'.ljust(48, b'\0')
    header += short(name).ljust(256, b'\0') + struct.pack('<I', len(members))
    offset = 308 + 272 * len(members)
    table, data = b'', b''
    for member_name, body in members:
        table += short(member_name).ljust(256, b'\0') + struct.pack('<QQ', len(body), offset)
        offset += len(body)
        data += body
    return header + table + data


TEXT = b"""object Page1: TMenuPage
  Left = 8
  Caption = 'Menu ''1'''#13'x'
  Wide = 'caf'#233#8364
  Size = 1.5
  Ratio = 0.100000001490116s
  Price = 1234.5678c
  When = 45000.25d
  Big = 9223372036854775807
  Hex = $7FFF
  Align = alLeft
  Anchors = [akLeft, akTop]
  Items = <
    item
      Caption = 'One'
    end
    item
      Tag = 3
    end>
  Strings.Lines = (
    'a'
    'b')
  Data = {
    00017F80FF}
  object Button1: TMenuButton [1]
    Visible = True
    Next = nil
  end
end
"""


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def main():
    s = stream()
    write('fuzz_binary_to_text', 'all_tags', s)
    write('fuzz_binary_to_text', 'empty_object', b'TPF0' + short('TForm') + b'\0\0\0')
    write('fuzz_binary_to_text', 'inherited', b'TPF0\xf1' + short('TForm') + short('F') + b'\0\0')
    write('fuzz_text_to_binary', 'all_kinds.txt', TEXT)
    write('fuzz_text_to_binary', 'inline.txt', b"inline F: TForm\n  A = -1E-5\nend\n")
    write('fuzz_text_to_binary', 'inherited.txt', b"inherited F: TForm [2]\n  A.B.C = 'x'#10\nend\n")
    write('fuzz_open', 'template.tme', template(s))
    write('fuzz_open', 'pack.tme', pack([('menu1.tme', template(s[:60] + b'\0\0')),
                                         ('menu2.tme', template(b'TPF0' + short('TForm') + b'\0\0\0')),
                                         ('back.jpg', b'\xff\xd8\xff\xd9'), ('b.bmp', b'BM')]))
    write('fuzz_open', 'pack_empty.tme', pack([]))
    write('fuzz_open', 'bad_version.tme', template(b'TPF0')[:34] + b'3' + template(b'TPF0')[35:])
    for name, text in [('float', '1.5'), ('exp', '-12.25E-300'), ('big', '1.189731495357231E4932'),
                       ('int', '-9223372036854775808'), ('hex', '$FFFFFFFFFFFFFFFF'),
                       ('spaces', '  +0.5e  '), ('tiny', '3.6E-4951'), ('dot', '-.')]:
        write('fuzz_numbers', name, text.encode())


if __name__ == '__main__':
    main()
