#!/usr/bin/env python3
"""Puts the notices of everything the Windows folder ships into OUT_DIR:
licenses/ with the licence texts of Qt (LGPL-3.0, which builds on GPL-3.0),
of the third-party code built into Qt (from the qt_attribution.json files of
its source), of OpenSSL, libsodium and the MinGW-w64 runtime DLLs, Debian's
copyright file of each, the offer of the exact sources (SOURCES.txt, which
the installer shows), and a copy of the script that built them with the
project's own patches. Adds the runtime DLLs' Debian source versions to
OUT_DIR/VERSIONS.txt.

Where the vendor publishes the sources of a release, and whom to ask, come
from TOVIK_SOURCE_URL and TOVIK_SOURCE_CONTACT; without them SOURCES.txt
says that the build is not a release (a build configured with TOVIK_RELEASE=ON
is refused without them).

The texts come from the same pinned source tarballs the libraries were built
from (the toolchain cache's sources/, read only) and, for the compiler's
runtime, from Debian's installed packages.

    notices.py TRIPLE TOOLCHAIN_PREFIX OUT_DIR
"""
import fnmatch
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The parts of Qt's own third-party code that the configuration of
# windows/ports/build leaves out of the shipped DLLs, by the Id of
# their qt_attribution.json entry (a pattern where it ends in *). Every other entry is built in and gets
# its notice; an Id that is in neither place stops the run.
NOT_BUILT = {
    'VulkanMemoryAllocator': 'Vulkan: no Vulkan headers in the MinGW-w64 toolchain',
    'vulkan-xml-*': 'Vulkan: no Vulkan headers in the MinGW-w64 toolchain',
    'android-native-style': 'Android only',
    'android-gradle-wrapper': 'Android only',
    'angle': 'OpenGL: built with -no-opengl',
    'angle-arrayboundsclamper': 'OpenGL: built with -no-opengl',
    'angle-murmurhash': 'OpenGL: built with -no-opengl',
    'angle-systeminfo': 'OpenGL: built with -no-opengl',
    'angle-trace_event': 'OpenGL: built with -no-opengl',
    'angle-khronos': 'OpenGL: built with -no-opengl',
    'opengl-headers': 'OpenGL: built with -no-opengl',
    'opengl-es2-headers': 'OpenGL: built with -no-opengl',
    'libjpeg': 'built with -no-libjpeg',
    'libdbus-1-headers': 'built with -no-dbus',
    'forkfd': 'Unix only',
    'xcb-xinput': 'X11 only',
    'pixman': 'ARM NEON only',
    'qeventdispatcher_cf': 'macOS only',
    'cocoa-platform-plugin': 'macOS only',
    'vera_font': 'WebAssembly only',
    'dejayvu': 'WebAssembly only',
    'valgrind': 'Qt Test, which is not shipped',
    'cycle': 'Qt Test, which is not shipped',
    'linuxperf': 'Qt Test, which is not shipped',
}


def built_from():
    """The Debian source packages and versions the prefix was built from, as its VERSIONS.txt names them."""
    text = open(os.path.join(prefix, 'VERSIONS.txt')).read()
    return dict(re.findall(r'^  (\S+) (\S+)$', text.split('Compiler packages:')[0], re.M))


def tarballs(package, version):
    """The orig and debian tarballs that the pinned .dsc names, in the toolchain's sources folder."""
    dsc = open(os.path.join(sources, '%s_%s.dsc' % (package, version.split(':')[-1]))).read()
    names = re.findall(r'^ \S+ \d+ (\S+\.tar\.\w+)$', dsc.split('Files:')[1], re.M)
    return [os.path.join(sources, n) for n in names if '.orig.' in n or '.debian.' in n]


def extract(tarball, wanted, into):
    """Unpacks the members whose names match the pattern into the folder."""
    with tarfile.open(tarball) as tar:
        members = [m for m in tar.getmembers() if m.isfile() and re.search(wanted, m.name)]
        # The tarballs are the pinned ones; the filter, where Python has it, is a second guard.
        tar.extractall(into, members, **({'filter': 'data'} if hasattr(tarfile, 'data_filter') else {}))


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def write(path, text, encoding='utf-8'):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding=encoding, newline='\r\n') as f:
        f.write(text if text.endswith('\n') else text + '\n')


def copy(source, target):
    write(os.path.join(licenses, target), open(source, encoding='utf-8', errors='replace').read())


def qt(version, work):
    orig, debian = tarballs('qtbase-opensource-src', version)
    extract(orig, r'(qt_attribution\.json|LICEN[CS]E[^/]*|COPYING)$', work)
    extract(debian, r'^debian/copyright$', work)
    top = os.path.dirname(glob.glob(os.path.join(work, '*/LICENSE.LGPL3'))[0])
    copy(os.path.join(top, 'LICENSE.LGPL3'), 'Qt/LGPL-3.0.txt')
    copy(os.path.join(top, 'LICENSE.GPL3'), 'Qt/GPL-3.0.txt')
    copy(os.path.join(work, 'debian/copyright'), 'Qt/debian-copyright.txt')
    index, left_out = [], []
    for folder, _, files in sorted(os.walk(top)):
        if 'qt_attribution.json' not in files:
            continue
        entries = json.loads(open(os.path.join(folder, 'qt_attribution.json')).read(), strict=False)
        for e in entries if isinstance(entries, list) else [entries]:
            key = next((k for k in NOT_BUILT if fnmatch.fnmatchcase(e['Id'], k)), None)
            if key:
                left_out.append('  %-28s %s' % (e['Id'], NOT_BUILT.pop(key)))
                continue
            head = '%s %s\n%s\nLicence: %s\n' % (e['Name'], e.get('Version', ''), e.get('Copyright', ''), e['License'])
            text = '(no licence text)\n'
            if e.get('LicenseFile'):
                text = open(os.path.join(folder, e['LicenseFile'])).read()
            write(os.path.join(licenses, 'Qt/third-party', e['Id'] + '.txt'), head + '\n' + text)
            index.append('  %-28s %s' % (e['Id'], e['License']))
    if NOT_BUILT:
        sys.exit('windows-notices: not in Qt\'s attributions any more: ' + ', '.join(NOT_BUILT))
    write(os.path.join(licenses, 'Qt/third-party/README.txt'),
          'Third-party code built into the shipped Qt libraries, one file each:\n%s\n\n'
          'Listed in Qt\'s sources but not built into them:\n%s\n' % ('\n'.join(index), '\n'.join(left_out)))
    return len(index)


def library(package, version, name, work):
    """OpenSSL and libsodium: the licence file at the top of the source, and Debian's copyright file."""
    orig, debian = tarballs(package, version)
    extract(orig, r'^[^/]+/(LICENSE|LICENSE\.txt|COPYING)$', work)
    extract(debian, r'^debian/copyright$', work)
    for top in os.listdir(work):
        for f in ('LICENSE.txt', 'LICENSE', 'COPYING'):
            if os.path.isfile(os.path.join(work, top, f)):
                copy(os.path.join(work, top, f), name + '/LICENSE.txt')
                break
    copy(os.path.join(work, 'debian/copyright'), name + '/debian-copyright.txt')


def runtime():
    """The compiler's DLLs in the folder, with the Debian source package and version each comes from."""
    lines, copied = [], {}
    search = [sorted(glob.glob('/usr/lib/gcc/%s/*-posix' % triple))[-1], '/usr/%s/lib' % triple]
    for dll in sorted(f for f in os.listdir(out) if re.match(r'lib(gcc_s|stdc\+\+|winpthread).*\.dll$', f, re.I)):
        path = [os.path.join(d, dll) for d in search if os.path.isfile(os.path.join(d, dll))][0]
        package = run('dpkg', '-S', path).split(':')[0]
        binary, source, source_version = run('dpkg-query', '-W', '-f=${Version} ${source:Package} ${source:Version}',
                                             package).split()
        if source == 'gcc-mingw-w64':
            # Its version is GCC's own, then its own: the GCC sources are Debian's gcc-N.
            gcc = binary.split('+' + source_version)[0]
            gcc_source = 'gcc-' + gcc.split('.')[0]
            lines.append('  %-22s %s %s (GCC from %s %s)' % (dll, source, source_version, gcc_source, gcc))
            copied[gcc_source] = gcc
            copy('/usr/share/doc/%s/copyright' % package, 'MinGW-w64/gcc-runtime-copyright.txt')
        else:
            lines.append('  %-22s %s %s' % (dll, source, source_version))
            copy('/usr/share/doc/%s/copyright' % package, 'MinGW-w64/mingw-w64-copyright.txt')
        copied[source] = source_version
    if not {'gcc-mingw-w64', 'mingw-w64'} <= set(copied):
        sys.exit('windows-notices: the runtime DLLs come from %s' % sorted(copied))
    versions = os.path.join(out, 'VERSIONS.txt')
    lines.insert(0, 'Runtime DLLs of the compiler, by Debian source package:')
    write(versions, open(versions).read() + '\n'.join(lines))
    return copied


def source_offer(versions):
    commands = '\n'.join('    apt-get source %s=%s' % (p, v) for p, v in versions.items())
    url, contact = os.environ.get('TOVIK_SOURCE_URL', ''), os.environ.get('TOVIK_SOURCE_CONTACT', '')
    english, vietnamese = (t.format(url=url, contact=contact) for t in (PUBLISHED if url else NOT_A_RELEASE))
    # With a byte order mark: the installer's licence page, and Notepad before
    # Windows 10, read a text file without one in the ANSI code page.
    write(os.path.join(licenses, 'SOURCES.txt'),
          SOURCES.format(published=english, published_vi=vietnamese, commands=commands), 'utf-8-sig')
    # The tool, its lock and the port files, and the patches byte for byte, so that they apply.
    ports = os.path.join(ROOT, 'windows', 'ports')
    for name in sorted(os.listdir(ports)):
        if os.path.isfile(os.path.join(ports, name)):
            copy(os.path.join(ports, name), 'build/' + name)
    shutil.copytree(os.path.join(ports, 'patches'), os.path.join(licenses, 'build', 'patches'))


# Where the sources of a release are published, in English and Vietnamese.
PUBLISHED = ("""\
The exact sources of this release (the Debian source packages below, the
project's own patches and the scripts that built them) are published at:
    {url}
Contact: {contact}
""", """
Mã nguồn chính xác của bản phát hành này (các gói nguồn Debian, các bản vá
của dự án và các tập lệnh đã dựng chúng) được công bố tại:
    {url}
Liên hệ: {contact}
""")

NOT_A_RELEASE = ("""\
THIS IS NOT A RELEASE. It was built for testing, without the address where
the publisher publishes the sources of its releases, and is not to be
distributed.
""", """
ĐÂY KHÔNG PHẢI BẢN PHÁT HÀNH. Bản này được dựng để thử nghiệm, không có địa
chỉ nơi nhà phát hành công bố mã nguồn của các bản phát hành, và không được
phân phối.
""")

SOURCES = """\
Tovik All In One: where the sources of the shipped libraries are

{published}
The libraries in this folder are Qt 5 (qtbase, under the GNU LGPL version 3),
OpenSSL (Apache License 2.0), libsodium where the folder has it (ISC licence)
and the runtime of the MinGW-w64 compiler (libgcc and libstdc++ under the GPL
version 3 with the GCC Runtime Library Exception; winpthreads under the MIT
licence). The licence texts of each are in the folder of its name here.

They are built from the exact Debian source packages that VERSIONS.txt (in
the program's folder) names, with Debian's patches and the project's own
that the port files list, each with its reason. Each package holds
the original source, Debian's patches and Debian's build notes. Debian's
archive and its snapshot archive, which keeps every version ever published,
serve them. On a Debian system with source lines in its APT sources:
{commands}
(gcc-mingw-w64 builds the runtime DLLs libgcc and libstdc++ from the GCC
sources of the gcc-N package above; mingw-w64 holds winpthreads.)

The script that built them is in build/ here: `build`, with the versions it
pins in `lock`, one port file per library (openssl.sh, libsodium.sh, qt.sh:
the exact configure options) and the project's own patches in patches/.

Qt's libraries are separate DLLs, loaded at run time: you may replace them
with your own build of Qt 5.15 (the same compiler, and the configure options
of qt.sh), and the program will use it. The .dsc hashes in
`lock` let you check that you have the exact sources.

For at least three years after this version was last distributed, the
publisher, Tovik, will also provide the same sources on request, at no more
than the cost of providing them.

Tiếng Việt: Thư mục này chứa giấy phép của các thư viện đi kèm chương trình
(Qt theo LGPL phiên bản 3, OpenSSL, libsodium và thư viện chạy của MinGW-w64).
Mã nguồn chính xác của chúng là các gói nguồn Debian có tên và phiên bản ghi
trong VERSIONS.txt; các lệnh trên tải đúng các gói đó. Các bản vá của dự án
và tập lệnh đã dựng chúng nằm trong thư mục build/.
{published_vi}"""

triple, prefix, out = sys.argv[1:4]
sources = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(prefix))), 'sources')
licenses = os.path.join(out, 'licenses')
shutil.rmtree(licenses, ignore_errors=True)
versions = built_from()
with tempfile.TemporaryDirectory() as work:
    print('windows-notices: Qt %s' % versions['qtbase-opensource-src'])
    count = qt(versions['qtbase-opensource-src'], os.path.join(work, 'qt'))
    library('openssl', versions['openssl'], 'OpenSSL', os.path.join(work, 'openssl'))
    # Only a build that checks the catalogue's signature links libsodium.
    if glob.glob(os.path.join(out, 'libsodium*.dll')):
        library('libsodium', versions['libsodium'], 'libsodium', os.path.join(work, 'libsodium'))
    else:
        del versions['libsodium']
source_offer({**versions, **runtime()})
print('windows-notices: %d files in %s (%d from Qt\'s third-party code)'
      % (sum(len(fs) for _, _, fs in os.walk(licenses)), licenses, count))
