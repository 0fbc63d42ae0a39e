# SPDX-License-Identifier: GPL-3.0-or-later
"""The survey's corpus: real pictures from Debian packages, and generated files that hold every
property of the table in every format that can hold it.

Built once into <work>/files (with a list of what came from where in <work>/files/SOURCES.txt);
later runs use the same files, so that two converters are surveyed on the same corpus.
"""

import glob
import os
import shutil
import subprocess

import probe

# Debian packages that ship pictures, and the folders inside them that hold the pictures: test
# pictures of image libraries (camera JPEGs with EXIF and XMP, every JPEG subsampling, 16-bit and
# palette PNGs, TIFFs of every layout, bitmaps, WebP), the scientific samples of an image
# processing library (16-bit TIFFs, multi-page TIFFs, an animation), documentation screenshots
# and photographs with their comments and text chunks, and artwork with XMP and IPTC.
PACKAGES = {
    'python3-skimage': 'usr/lib/python3/dist-packages/skimage/data',
    'hugin-data': 'usr/share/hugin/xrc/data/help_en_EN',
    'imagemagick-6-doc': 'usr/share/doc/imagemagick-6-common/html/images',
    'golang-1.19-src': 'usr/share/go-1.19/src/image',
    'golang-golang-x-image-dev': 'usr/share/gocode/src/golang.org/x/image/testdata',
    'golang-github-rwcarlsen-goexif-dev': 'usr/share/gocode/src/github.com/rwcarlsen/goexif',
    'golang-github-disintegration-imaging-dev':
        'usr/share/gocode/src/github.com/disintegration/imaging/testdata',
    'inkscape-tutorials': 'usr/share/inkscape/tutorials',
    'desktop-base': 'usr/share/desktop-base',
    'scribus-data': 'usr/share/scribus',
    'nsis-common': 'usr/share/nsis/Contrib/Graphics',
}

EXTENSIONS = ('.jpg', '.jpeg', '.png', '.gif', '.tif', '.tiff', '.bmp', '.webp')

# Test files that are broken on purpose, or hold only a header: they test readers, not what a
# result keeps.
BROKEN_NAMES = ('invalid', 'corrupt', 'truncated', '-sep-', 'huge_tag', 'max_uint32',
                'infinite_loop', 'FailedHash')

REAL_PER_PROPERTY = 7
PLAIN_PER_FORMAT = 3
LARGEST_FILE = 8 << 20


def _package_root(work, package):
    """The package's files: the installed ones, else the package fetched and unpacked."""
    installed = subprocess.run(['dpkg-query', '-W', '-f=${db:Status-Status}', package],
                               capture_output=True, text=True, check=False).stdout
    if installed == 'installed':
        return '/'
    root = os.path.join(work, 'unpacked', package)
    if not os.path.isdir(root):
        debs = os.path.join(work, 'debs')
        os.makedirs(debs, exist_ok=True)
        # apt's warning that it fetches as root into a folder its own user cannot write is
        # noise here; a failure still stops the build with apt's words.
        fetch = subprocess.run(['apt-get', 'download', '-q', package], cwd=debs,
                               capture_output=True, text=True, check=False)
        if fetch.returncode != 0:
            raise RuntimeError(f'apt-get download {package}: {fetch.stderr.strip()}')
        deb = sorted(glob.glob(os.path.join(debs, f'{package}_*.deb')))[-1]
        os.makedirs(root, exist_ok=True)
        subprocess.run(['dpkg', '-x', deb, root], check=True)
    return root


def _candidates(work):
    found = []
    for package, folder in PACKAGES.items():
        top = os.path.join(_package_root(work, package), folder)
        for dirpath, _dirs, names in os.walk(top):
            for name in sorted(names):
                path = os.path.join(dirpath, name)
                if (name.lower().endswith(EXTENSIONS) and not os.path.islink(path)
                        and not any(b in name for b in BROKEN_NAMES)
                        and 1024 <= os.path.getsize(path) <= LARGEST_FILE):
                    found.append((package, path))
    return sorted(found)


def _pick_real(work):
    """Up to REAL_PER_PROPERTY files for each property, the largest pictures first and packages
    taken in turn, then a few plain files of each format."""
    candidates = _candidates(work)
    probes = probe.probe_files([path for _package, path in candidates])
    readable = [(package, path) for package, path in candidates
                if probes[path]['type'] and probes[path]['tags'].get('Composite:ImageSize')]

    def pixels(path):
        size = str(probes[path]['tags'].get('Composite:ImageSize', '0 0')).replace('x', ' ')
        w, h = (float(v) for v in size.split()[:2])
        return w * h

    chosen = {}

    def take(matching, count):
        by_package = {}
        for package, path in sorted(matching, key=lambda c: -pixels(c[1])):
            by_package.setdefault(package, []).append(path)
        taken = 0
        while taken < count and any(by_package.values()):
            for package in sorted(by_package):
                if by_package[package] and taken < count:
                    path = by_package[package].pop(0)
                    if path not in chosen:
                        chosen[path] = package
                        taken += 1

    for _name, read, _show in probe.PROPERTIES:
        take([c for c in readable if read(probes[c[1]]) is not None], REAL_PER_PROPERTY)
    for kind in ('JPEG', 'PNG', 'GIF', 'TIFF', 'BMP', 'WEBP'):
        take([c for c in readable if probes[c[1]]['type'] == kind], PLAIN_PER_FORMAT)
    return chosen


def _run(*args):
    subprocess.run(list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _icc_profile():
    """An RGB profile other than sRGB's (Ghostscript's, which ImageMagick brings), so that a
    result that drops it and tags itself sRGB does not pass; None where there is none."""
    for path in ('/usr/share/color/icc/ghostscript/a98.icc',
                 '/usr/share/color/icc/ghostscript/rommrgb.icc'):
        if os.path.exists(path):
            return path
    return None


def _generate(folder, work):
    """Files made with ImageMagick and exiftool, one property (or all together) at a time."""
    base = os.path.join(work, 'base.ppm')
    _run('convert', '-seed', '7', '-size', '480x320', 'plasma:', base)
    icc = _icc_profile()
    made = []

    def make(name, convert_args, exif_args=(), coder=''):
        path = os.path.join(folder, name)
        _run('convert', base, *convert_args, f'{coder}:{path}' if coder else path)
        if exif_args:
            _run('exiftool', '-q', '-overwrite_original', *exif_args, path)
        made.append(path)

    xmp = ['-XMP-dc:Title=Harbour at dusk', '-XMP-dc:Creator=Ana Lima',
           '-XMP-dc:Rights=(c) 2024 Ana Lima', '-XMP-xmp:Rating=4']
    iptc = ['-charset', 'iptc=UTF8', '-IPTC:CopyrightNotice=© 2024 Ana Lima',
            '-IPTC:Caption-Abstract=Fishing boats in the harbour at dusk']
    exif = ['-EXIF:Make=Nikon', '-EXIF:Model=D750', '-EXIF:DateTimeOriginal=2024:05:01 19:20:00',
            '-EXIF:ExposureTime=0.01', '-EXIF:FNumber=5.6', '-EXIF:ISO=400',
            '-EXIF:Artist=Ana Lima', '-EXIF:GPSLatitude=41.15', '-EXIF:GPSLatitudeRef=N']
    descriptive = ['-IFD0:Make=Epson', '-IFD0:Model=Perfection V600', '-IFD0:Artist=Ana Lima',
                   '-IFD0:Copyright=(c) 2024 Ana Lima', '-IFD0:ModifyDate=2024:05:02 10:00:00',
                   '-IFD0:ImageDescription=Scanned print', '-IFD0:Software=ScanTool 3.1']
    dpi = ['-units', 'PixelsPerInch', '-density', '300']
    dpcm = ['-units', 'PixelsPerCentimeter', '-density', '118']
    profile = ['-profile', icc] if icc else []
    text = ['-PNG:Title=Harbour', '-PNG:Author=Ana Lima', '-PNG:Comment=Taken from the pier']

    # JPEG: comment, IPTC, XMP, EXIF, profile, resolution as JFIF and as EXIF only, and every
    # subsampling; then one file that holds them all.
    make('gen-jpeg-comment.jpg', ['-comment', 'Fishing boats, May 2024'])
    make('gen-jpeg-iptc.jpg', [], iptc)
    make('gen-jpeg-xmp.jpg', [], xmp)
    make('gen-jpeg-exif.jpg', [], exif)
    if icc:
        make('gen-jpeg-icc.jpg', profile)
    make('gen-jpeg-dpi.jpg', dpi)
    make('gen-jpeg-dpcm.jpg', dpcm)
    make('gen-jpeg-exif-dpi.jpg', [], ['-JFIF:all=', '-IFD0:XResolution=240',
                                       '-IFD0:YResolution=240', '-IFD0:ResolutionUnit=inches'])
    make('gen-jpeg-422.jpg', ['-sampling-factor', '2x1'])
    make('gen-jpeg-444.jpg', ['-sampling-factor', '1x1'])
    make('gen-jpeg-440.jpg', ['-sampling-factor', '1x2'])
    make('gen-jpeg-all.jpg', ['-sampling-factor', '2x1', '-comment', 'Fishing boats', *dpi,
                              *profile], [*iptc, *xmp, *exif])

    # PNG: text in tEXt, zTXt and iTXt, XMP, EXIF, profile, pHYs, 16 bits (one gray picture whose
    # values all stay below 256), palette with and without transparency, and all together.
    png_plain = ['-define', 'png:exclude-chunks=date,time']
    make('gen-png-text.png', png_plain, text)
    make('gen-png-ztxt.png', png_plain, ['-z', *text])
    make('gen-png-itxt.png', png_plain, ['-PNG:Title=Hafen in der Dämmerung', '-PNG:Author=Ana'])
    make('gen-png-xmp.png', png_plain, xmp)
    make('gen-png-exif.png', png_plain, exif)
    if icc:
        make('gen-png-icc.png', [*png_plain, *profile])
    make('gen-png-dpi.png', [*png_plain, *dpi])
    make('gen-png-16.png', [*png_plain, '-depth', '16', '-define', 'png:bit-depth=16'])
    make('gen-png-16-gray-low.png', [*png_plain, '-colorspace', 'gray', '-evaluate', 'divide',
                                     '300', '-depth', '16', '-define', 'png:bit-depth=16',
                                     '-define', 'png:color-type=0'])
    make('gen-png-16-alpha.png', [*png_plain, '-alpha', 'set', '-channel', 'A', '-evaluate',
                                  'set', '60%', '+channel', '-depth', '16'])
    make('gen-png-palette.png', [*png_plain, '-colors', '64', '-type', 'Palette', '-define',
                                 'png:format=png8'])
    make('gen-png-palette-trns.png', [*png_plain, '-colors', '32', '-fill', 'none', '-draw',
                                      'rectangle 0,0 120,80', '-define', 'png:format=png8'])
    make('gen-png-all.png', [*png_plain, *dpi, *profile, '-depth', '16'], [*text, *xmp, *exif])

    # TIFF: the descriptive tags, XMP, IPTC, EXIF, profile, resolution in inches and centimetres,
    # 16 bits (colour, and gray below 256), three pages, and all together.
    make('gen-tiff-descriptive.tif', [], descriptive)
    make('gen-tiff-xmp.tif', [], xmp)
    make('gen-tiff-iptc.tif', [], iptc)
    make('gen-tiff-exif.tif', [], ['-ExifIFD:DateTimeOriginal=2024:05:01 19:20:00',
                                   '-ExifIFD:ExposureTime=0.01', '-ExifIFD:ISO=400'])
    if icc:
        make('gen-tiff-icc.tif', profile)
    make('gen-tiff-dpi.tif', dpi)
    make('gen-tiff-dpcm.tif', dpcm)
    make('gen-tiff-16.tif', ['-depth', '16'])
    make('gen-tiff-16-gray-low.tif', ['-colorspace', 'gray', '-evaluate', 'divide', '300',
                                      '-depth', '16'])
    pages = os.path.join(folder, 'gen-tiff-pages.tif')
    _run('convert', base, '(', base, '-rotate', '180', ')', '(', base, '-negate', ')',
         '-compress', 'lzw', pages)
    made.append(pages)
    make('gen-tiff-all.tif', [*dpi, *profile, '-depth', '16'], [*descriptive, *xmp, *iptc])

    # GIF: comment, a plain palette picture, an animation with delays and loop count, and one
    # with transparency.
    make('gen-gif-comment.gif', ['-colors', '128'], ['-Comment=Fishing boats, May 2024'])
    make('gen-gif-plain.gif', ['-colors', '200'])
    for name, extra in (('gen-gif-animated.gif', []),
                        ('gen-gif-animated-transparent.gif', ['-transparent', 'black'])):
        path = os.path.join(folder, name)
        _run('convert', '-delay', '12', '-loop', '0', '-size', '200x150', 'xc:navy',
             '-fill', 'yellow', *[a for i in range(6) for a in
                                  ('(', '-clone', '0', '-draw', f'circle {30 + i * 25},75 '
                                   f'{40 + i * 25},75', ')')],
             '-delete', '0', *extra, '-layers', 'optimize', path)
        made.append(path)

    # BMP: 8-bit and 4-bit palettes, and true colour, all with their pixels per metre.
    make('gen-bmp-palette8.bmp', ['-colors', '200', '-type', 'Palette', *dpi], coder='BMP3')
    make('gen-bmp-palette4.bmp', ['-colors', '16', '-type', 'Palette', '-depth', '4', *dpi],
         coder='BMP3')
    make('gen-bmp-24-dpi.bmp', ['-type', 'TrueColor', *dpi])

    # WebP: XMP, EXIF, profile and an animation.
    make('gen-webp-xmp.webp', [], xmp)
    make('gen-webp-exif.webp', [], exif)
    if icc:
        make('gen-webp-icc.webp', profile)
    path = os.path.join(folder, 'gen-webp-animated.webp')
    _run('convert', '-delay', '12', '-loop', '0', base, '(', base, '-rotate', '180', ')',
         '(', base, '-negate', ')', '-quality', '85', path)
    made.append(path)
    os.remove(base)
    return made


def build(work):
    """The corpus folder with its files, made if it is not there yet."""
    folder = os.path.join(work, 'files')
    listing = os.path.join(folder, 'SOURCES.txt')
    if os.path.exists(listing):
        return sorted(os.path.join(folder, n) for n in os.listdir(folder) if n != 'SOURCES.txt')
    os.makedirs(folder, exist_ok=True)
    lines = []
    for path, package in sorted(_pick_real(work).items()):
        name = f'deb-{package}-{os.path.basename(path)}'.replace(' ', '_')
        shutil.copyfile(path, os.path.join(folder, name))
        lines.append(f'{name}\t{package}\t{path}')
    for path in _generate(folder, work):
        lines.append(f'{os.path.basename(path)}\tgenerated\t')
    with open(listing, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')
    return build(work)
