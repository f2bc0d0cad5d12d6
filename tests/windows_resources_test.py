#!/usr/bin/env python3
"""Compiles the Windows resource script with the MinGW resource compiler and
reads the .res back; then links it into a small PE file and lists that with
icoutils, so that a tool other than this parser agrees."""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import unittest

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
EN_US = 0x0409
SIZES = [16, 24, 32, 48, 64, 96, 128, 192, 256]
STRINGS = [
    ('CompanyName', ''), ('FileDescription', ''), ('FileVersion', '0.0.0.0'),
    ('LegalCopyright', ''), ('OriginalFilename', 'Tovik_All_In_One.exe'),
    ('ProductName', 'Tovik_All_In_One'), ('ProductVersion', '0.0.0.0')]
TOOLS = ('windres', 'gcc', 'wrestool', 'icotool')
ARGS = None


def align4(n):
    return (n + 3) & ~3


def utf16z(data, pos):
    end = pos
    while data[end:end + 2] != b'\0\0':
        end += 2
    return data[pos:end].decode('utf-16-le'), end + 2


def read_res(data):
    """{(type, name): (language, body)}; names are ordinals or strings."""
    def read_id(pos):
        if data[pos:pos + 2] == b'\xff\xff':
            return struct.unpack_from('<H', data, pos + 2)[0], pos + 4
        return utf16z(data, pos)

    resources, pos = {}, 0
    while pos < len(data):
        size, header = struct.unpack_from('<II', data, pos)
        rtype, p = read_id(pos + 8)
        name, p = read_id(p)
        if size:                        # the first entry is an empty marker
            if (rtype, name) in resources:
                raise ValueError('resource %r twice' % (name,))
            lang = struct.unpack_from('<H', data, align4(p) + 6)[0]
            resources[rtype, name] = (lang, data[pos + header:][:size])
        pos = align4(pos + header + size)
    return resources


def version_node(data, pos=0):
    """((key, value bytes, children), end) of one VS_VERSIONINFO node."""
    length, value_len, is_text = struct.unpack_from('<HHH', data, pos)
    key, p = utf16z(data, pos + 6)
    p = align4(p)
    value = data[p:p + value_len * (2 if is_text else 1)]
    p = align4(p + len(value))
    children = []
    while p < pos + length:
        child, p = version_node(data, p)
        children.append(child)
        p = align4(p)
    return (key, value, children), pos + length


class WindowsResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        res = os.path.join(cls.tmp.name, 'program.res')
        subprocess.run([ARGS.windres, '-O', 'res', ARGS.rc, '-o', res],
                       check=True)
        with open(res, 'rb') as f:
            cls.res = read_res(f.read())

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_icon_group(self):
        lang, group = self.res[RT_GROUP_ICON, 'IDI_ICON1']
        self.assertEqual(lang, EN_US)
        self.assertEqual(struct.unpack_from('<HH', group), (0, 1))
        entries = [struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i)
                   for i in range(struct.unpack_from('<H', group, 4)[0])]
        self.assertEqual([e[0] or 256 for e in entries], SIZES)
        # Nothing but the group, its images and the version block.
        self.assertEqual(set(self.res), {(RT_GROUP_ICON, 'IDI_ICON1'),
                                         (RT_VERSION, 1)}
                         | {(RT_ICON, e[7]) for e in entries})

        for width, height, colours, _, planes, bits, length, ident in entries:
            size = width or 256
            with self.subTest(size=size):
                self.assertEqual((height or 256, colours, planes, bits),
                                 (size, 0, 1, 32))
                lang, body = self.res[RT_ICON, ident]
                self.assertEqual((lang, len(body)), (EN_US, length))
                if size == 256:
                    self.assertEqual(body[:8], b'\x89PNG\r\n\x1a\n')
                    self.assertEqual(body[12:16], b'IHDR')
                    self.assertEqual(struct.unpack('>II5B', body[16:29]),
                                     (256, 256, 8, 6, 0, 0, 0))
                    continue
                self.assertEqual(struct.unpack_from('<IiiHHI', body),
                                 (40, size, 2 * size, 1, 32, 0))
                mask = ((size + 31) // 32) * 4 * size
                self.assertEqual(len(body), 40 + size * size * 4 + mask)
                # Real alpha: a transparent background around an opaque
                # picture, not a bitmap whose fourth byte is unused.
                alpha = set(body[40:40 + size * size * 4][3::4])
                self.assertTrue({0, 255} <= alpha, sorted(alpha))

    def test_version_block(self):
        lang, body = self.res[RT_VERSION, 1]
        self.assertEqual(lang, EN_US)
        (key, fixed, children), _ = version_node(body)
        self.assertEqual(key, 'VS_VERSION_INFO')
        self.assertEqual(
            struct.unpack('<13I', fixed),
            (0xFEEF04BD, 0x00010000, 0, 0, 0, 0, 0x3F, 0, 4, 2, 0, 0, 0))
        self.assertEqual([k for k, _, _ in children],
                         ['StringFileInfo', 'VarFileInfo'])

        (table, _, strings), = children[0][2]
        self.assertEqual(table, '040904b0')
        self.assertEqual(
            [(k, v.decode('utf-16-le').rstrip('\0')) for k, v, _ in strings],
            STRINGS)
        (var, translation, _), = children[1][2]
        self.assertEqual(var, 'Translation')
        self.assertEqual(struct.unpack('<HH', translation), (0x0409, 1200))

    def test_icoutils_read_the_linked_program(self):
        def run(*cmd):
            return subprocess.run(cmd, check=True, stdout=subprocess.PIPE,
                                  universal_newlines=True,
                                  cwd=self.tmp.name).stdout
        with open(os.path.join(self.tmp.name, 'tiny.c'), 'w') as f:
            f.write('int main(void) { return 0; }\n')
        run(ARGS.windres, '-O', 'coff', ARGS.rc, '-o', 'res.o')
        run(ARGS.gcc, '-mwindows', 'tiny.c', 'res.o', '-o', 'tiny.exe')

        listing = run(ARGS.wrestool, '-l', 'tiny.exe')
        self.assertIn("--type=14 --name='IDI_ICON1' --language=1033", listing)
        self.assertIn('--type=16 --name=1 --language=1033', listing)
        self.assertEqual(listing.count('--type=3 '), 9)
        self.assertEqual(listing.count('--language=1033'), 11)

        run(ARGS.wrestool, '-x', '--type=14', '--name=IDI_ICON1',
            '-o', 'group.ico', 'tiny.exe')
        self.assertEqual(run(ARGS.icotool, '-l', 'group.ico').splitlines(), [
            '--icon --index=%d --width=%d --height=%d --bit-depth=32 '
            '--palette-size=0' % (i + 1, s, s) for i, s in enumerate(SIZES)])


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    for option in TOOLS + ('rc',):
        parser.add_argument('--' + option, required=True)
    ARGS, rest = parser.parse_known_args()
    missing = [t for t in TOOLS if not os.path.isfile(getattr(ARGS, t))]
    if missing:
        sys.exit('missing tools: %s (scripts/bootstrap installs them)'
                 % ', '.join(missing))
    for option, value in vars(ARGS).items():
        setattr(ARGS, option, os.path.abspath(value))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == '__main__':
    main()
