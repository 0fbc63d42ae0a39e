# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads what a picture file holds, with exiftool, ImageMagick's identify and a PNG chunk walk.

None of this shares code with the converter: sources and results are read by other programs, so a
fault in the converter's own reading cannot hide a loss. Each property is a function from one
file's probe to a comparable value, or None where the file does not have the property.
"""

import base64
import hashlib
import json
import struct
import subprocess
import zlib

# Tags that a faithful resize changes or that describe the encoding rather than the picture, left
# out when EXIF or XMP are compared: sizes, orientation (results are turned upright), the layout of
# strips and tiles, and the resolution, which has a row of its own.
CHANGING_TAGS = {
    'Orientation', 'ExifImageWidth', 'ExifImageHeight', 'ImageWidth', 'ImageHeight',
    'ImageLength', 'PixelXDimension', 'PixelYDimension', 'XResolution', 'YResolution',
    'ResolutionUnit', 'BitsPerSample', 'Compression', 'PhotometricInterpretation',
    'StripOffsets', 'RowsPerStrip', 'StripByteCounts', 'PlanarConfiguration', 'SamplesPerPixel',
    'TileWidth', 'TileLength', 'TileOffsets', 'TileByteCounts', 'SubfileType', 'OldSubfileType',
    'Predictor', 'FillOrder', 'ExtraSamples', 'SampleFormat', 'ColorMap', 'ThumbnailOffset',
    'ThumbnailLength', 'YCbCrSubSampling', 'YCbCrPositioning', 'YCbCrCoefficients',
    'XMPToolkit', 'MinSampleValue', 'MaxSampleValue', 'PageNumber', 'ImageSourceData',
    'XMP', 'IPTC-NAA', 'ICC_Profile', 'PhotoshopSettings', 'ExifOffset', 'GPSInfo',
    'InteropOffset', 'OffsetSchema',
}

TIFF_DESCRIPTIVE = ('Make', 'Model', 'Artist', 'Copyright', 'ModifyDate', 'ImageDescription',
                    'Software')


def _exiftool(paths, extra):
    """One exiftool run over many files; a list of per-file dictionaries keyed by path."""
    if not paths:
        return {}
    args = ['exiftool', '-q', '-q', '-j', '-G1', '-a', '-u', *extra, '-@', '-']
    run = subprocess.run(args, input='\n'.join(paths) + '\n', capture_output=True, text=True,
                         check=False)
    found = {}
    if run.stdout.strip():
        for record in json.loads(run.stdout):
            found[record['SourceFile']] = record
    return found


def _frame_count(path):
    """Frames or pages as ImageMagick counts them, or 0 where it cannot read the file."""
    run = subprocess.run(['identify', '-quiet', '-ping', '-format', '%n\n', path],
                         capture_output=True, text=True, check=False)
    lines = run.stdout.split()
    return int(lines[0]) if run.returncode == 0 and lines else 0


def png_text_chunks(path):
    """The (keyword, text) pairs of a PNG's tEXt, zTXt and iTXt chunks, XMP aside."""
    texts = []
    try:
        with open(path, 'rb') as f:
            data = f.read()
    except OSError:
        return texts
    if not data.startswith(b'\x89PNG\r\n\x1a\n'):
        return texts
    pos = 8
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        try:
            if kind == b'tEXt':
                key, text = body.split(b'\0', 1)
                texts.append((key.decode('latin-1'), text.decode('latin-1')))
            elif kind == b'zTXt':
                key, rest = body.split(b'\0', 1)
                texts.append((key.decode('latin-1'), zlib.decompress(rest[1:]).decode('latin-1')))
            elif kind == b'iTXt':
                key, rest = body.split(b'\0', 1)
                compressed, rest = rest[0], rest[2:]
                _language, rest = rest.split(b'\0', 1)
                _translated, text = rest.split(b'\0', 1)
                if compressed:
                    text = zlib.decompress(text)
                if key != b'XML:com.adobe.xmp':
                    texts.append((key.decode('latin-1'), text.decode('utf-8', 'replace')))
            elif kind == b'IEND':
                break
        except (ValueError, IndexError, zlib.error):
            texts.append((kind.decode('latin-1'), '<unreadable>'))
    return texts


def probe_files(paths):
    """Everything the survey compares, for each path: {path: probe}."""
    tags = _exiftool(paths, ['-n'])
    icc = _exiftool(paths, ['-b', '-ICC_Profile'])
    probes = {}
    for path in paths:
        record = tags.get(path, {})
        kind = record.get('File:FileType', '')
        probe = {'path': path, 'type': 'WEBP' if 'WEBP' in kind else kind, 'tags': record}
        profile = icc.get(path, {}).get('ICC_Profile:ICC_Profile') or icc.get(path, {}).get(
            'ICC-header:ICC_Profile')
        if profile is None:
            profile = next((v for k, v in icc.get(path, {}).items() if k.endswith(':ICC_Profile')),
                           None)
        if isinstance(profile, str) and profile.startswith('base64:'):
            probe['icc'] = hashlib.md5(base64.b64decode(profile[7:])).hexdigest()
        probe['frames'] = _frame_count(path) if probe['type'] in ('GIF', 'TIFF', 'WEBP') else 1
        probe['png_text'] = png_text_chunks(path) if probe['type'] == 'PNG' else []
        probes[path] = probe
    return probes


def _group(probe, *groups):
    """The tags of the given exiftool groups, without the ones that a resize changes."""
    found = {}
    for key, value in probe['tags'].items():
        group, _, name = key.partition(':')
        if name in CHANGING_TAGS:
            continue
        if any(group == g or (g.endswith('-') and group.startswith(g)) for g in groups):
            found[key] = value
    return found or None


def xmp(probe):
    return _group(probe, 'XMP-')


def iptc_copyright(probe):
    return probe['tags'].get('IPTC:CopyrightNotice')


def iptc_caption(probe):
    return probe['tags'].get('IPTC:Caption-Abstract')


def jpeg_comment(probe):
    return probe['tags'].get('File:Comment') if probe['type'] == 'JPEG' else None


def png_text(probe):
    return sorted(probe['png_text']) or None


def gif_comment(probe):
    return probe['tags'].get('File:Comment') if probe['type'] == 'GIF' else None


def _rounded(x, y):
    return (round(float(x), 2), round(float(y), 2))


def resolution(probe):
    """The declared resolution in the file's own unit: ('in' | 'cm' | 'm', x, y)."""
    t = probe['tags']
    kind = probe['type']
    if kind == 'JPEG' and t.get('JFIF:ResolutionUnit') in (1, 2) and t.get('JFIF:XResolution'):
        unit = 'in' if t['JFIF:ResolutionUnit'] == 1 else 'cm'
        return (unit, *_rounded(t['JFIF:XResolution'], t.get('JFIF:YResolution', 0)))
    if kind == 'PNG':
        if t.get('PNG:PixelUnits') == 1 and t.get('PNG:PixelsPerUnitX'):
            return ('m', *_rounded(t['PNG:PixelsPerUnitX'], t.get('PNG:PixelsPerUnitY', 0)))
        return None
    if kind == 'BMP':
        if t.get('File:PixelsPerMeterX'):
            return ('m', *_rounded(t['File:PixelsPerMeterX'], t.get('File:PixelsPerMeterY', 0)))
        return None
    if kind in ('JPEG', 'TIFF', 'WEBP') and t.get('IFD0:XResolution'):
        unit = {2: 'in', 3: 'cm'}.get(t.get('IFD0:ResolutionUnit', 2))
        if unit:
            return (unit, *_rounded(t['IFD0:XResolution'], t.get('IFD0:YResolution', 0)))
    return None


def tiff_descriptive(probe):
    if probe['type'] != 'TIFF':
        return None
    found = {name: probe['tags'][f'IFD0:{name}'] for name in TIFF_DESCRIPTIVE
             if f'IFD0:{name}' in probe['tags']}
    return found or None


def depth16(probe):
    t = probe['tags']
    if probe['type'] == 'PNG' and t.get('PNG:BitDepth') == 16:
        return 16
    if probe['type'] == 'TIFF' and str(t.get('IFD0:BitsPerSample', '')).startswith('16'):
        return 16
    return None


def depth_any(probe):
    t = probe['tags']
    return t.get('PNG:BitDepth') if probe['type'] == 'PNG' else t.get('IFD0:BitsPerSample')


def palette(probe):
    """'palette' for a PNG of colour type 3, a bitmap of at most 8 bits and any GIF."""
    t = probe['tags']
    kind = probe['type']
    if kind == 'PNG' and t.get('PNG:ColorType') == 3:
        return 'palette'
    if kind == 'BMP' and isinstance(t.get('File:BitDepth'), int) and t['File:BitDepth'] <= 8:
        return 'palette'
    if kind == 'GIF':
        return 'palette'
    return None


def palette_any(probe):
    """What a result that is no palette picture is instead."""
    t = probe['tags']
    if probe['type'] == 'PNG':
        return {0: 'gray', 2: 'RGB', 4: 'gray+alpha', 6: 'RGBA'}.get(t.get('PNG:ColorType'))
    if probe['type'] == 'BMP':
        return f"{t.get('File:BitDepth')}-bit"
    return None


def frames(probe):
    return probe['frames'] if probe['frames'] > 1 else None


def subsampling(probe):
    """4:4:4, 4:2:2 or 4:4:0 of a colour JPEG; 4:2:0 and the rarer ones are not counted."""
    if probe['type'] != 'JPEG' or probe['tags'].get('File:ColorComponents') != 3:
        return None
    factors = str(probe['tags'].get('File:YCbCrSubSampling', ''))
    return {'1 1': '4:4:4', '2 1': '4:2:2', '1 2': '4:4:0'}.get(factors)


def subsampling_any(probe):
    """Any JPEG's chroma subsampling, to show what a result was written with."""
    if probe['type'] != 'JPEG':
        return None
    factors = str(probe['tags'].get('File:YCbCrSubSampling', ''))
    return {'1 1': '4:4:4', '2 1': '4:2:2', '1 2': '4:4:0', '2 2': '4:2:0'}.get(factors, factors)


def frames_any(probe):
    return probe['frames']


def resolution_any(probe):
    """What a result that declares no resolution says: JFIF's unit 0 is an aspect ratio only."""
    t = probe['tags']
    if 'JFIF:ResolutionUnit' in t:
        return ('JFIF unit', t['JFIF:ResolutionUnit'], t.get('JFIF:XResolution'))
    return None


def exif(probe):
    """The EXIF tags; for a TIFF only its EXIF and GPS directories, its own tags being TIFF's."""
    groups = ('ExifIFD', 'GPS', 'InteropIFD') if probe['type'] == 'TIFF' else (
        'IFD0', 'ExifIFD', 'GPS', 'InteropIFD')
    return _group(probe, *groups)


def icc(probe):
    return probe.get('icc')


# The rows of the table: name, the property, and what a result that lacks it holds instead.
PROPERTIES = [
    ('XMP', xmp, None),
    ('IPTC copyright notice', iptc_copyright, None),
    ('IPTC caption', iptc_caption, None),
    ('JPEG comment', jpeg_comment, None),
    ('PNG text chunks', png_text, None),
    ('GIF comment', gif_comment, None),
    ('resolution (dpi, in the source\'s unit)', resolution, resolution_any),
    ('TIFF descriptive tags', tiff_descriptive, None),
    ('16-bit depth (PNG, TIFF)', depth16, depth_any),
    ('palette (PNG, BMP, GIF)', palette, palette_any),
    ('frames and pages (GIF, WebP, TIFF)', frames, frames_any),
    ('JPEG 4:2:2, 4:4:4, 4:4:0 subsampling', subsampling, subsampling_any),
    ('EXIF', exif, None),
    ('ICC profile', icc, None),
]


def kept(source_value, result_value):
    """The result holds the same value: every source tag with its value, or the same value."""
    if result_value is None:
        return False
    if isinstance(source_value, dict):
        return all(result_value.get(k) == v for k, v in source_value.items())
    if isinstance(source_value, list):
        return all(item in result_value for item in source_value)
    return source_value == result_value
