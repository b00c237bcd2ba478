#!/usr/bin/env python3
"""Writes the committed broken files of this folder (run it here after changing it).
Each file is named after what is wrong with it; outcomes.txt says what opening it must give.
Files too large to commit (100 000 materials, a million-corner face, ...) are written by the
reliability tests themselves at run time."""
import os, random, struct, zlib

random.seed(20261208)
here = os.path.dirname(os.path.abspath(__file__))

def put(rel, data):
    path = os.path.join(here, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode())

def folder(rel):
    # git keeps no empty folders: a placeholder file inside keeps the path a folder
    put(os.path.join(rel, 'placeholder'), 'This folder stands where a file is expected.\n')

# ---- project files ----
def record(t, path, vecs=None, length=None):
    p = path + b'\0'
    b = struct.pack('<iI', t, len(p) if length is None else length) + p
    for v in (vecs or [(0.0, 0.0, 0.0, 0.0)] * 5):
        b += struct.pack('<4f', *v)
    return b

def project(records, count=None, magic=b'skmskm\0'):
    return magic + struct.pack('<I', len(records) if count is None else count & 0xFFFFFFFF) + b''.join(records)

image = record(0, b'/images/a.png', [(1, 2, 3, 0), (1, 0.02, 1, 1), (0, 0, 0, 1), (0.5, 0.2, 0.5, 0), (0, 0, 0, 0)])
model = record(1, b'/models/b.obj')
good = project([image, model])

put('project/zero-byte.prj', b'')
put('project/magic-only.prj', b'skmskm\0')
put('project/truncated-in-count.prj', good[:9])
put('project/truncated-in-path.prj', good[:25])
put('project/truncated-in-vectors.prj', good[:len(project([image])) - 7])
put('project/truncated-second-record.prj', good[:len(project([image])) + 6])
put('project/count-one-without-records.prj', project([], count=1))
put('project/wrong-magic-letter-case.prj', project([image], magic=b'SKMSKM\0'))
put('project/magic-without-its-zero.prj', project([image], magic=b'skmskmX'))
put('project/count-2147483647.prj', project([image, model], count=2**31 - 1))
put('project/count-minus-one.prj', project([image], count=-1))
put('project/count-minus-2147483648.prj', project([image], count=-2**31))
put('project/count-above-records.prj', project([image, model], count=3))
put('project/path-length-zero.prj', project([record(0, b'/a.png', length=0)]))
put('project/path-length-2147483647.prj', project([record(0, b'/a.png', length=2**31 - 1)]))
put('project/path-length-4294967295.prj', project([record(0, b'/a.png', length=2**32 - 1)]))
put('project/path-length-past-the-end.prj', project([record(0, b'/a.png', length=500)]))
put('project/path-length-over-64KiB.prj', project([record(0, b'p' * 65536)]))
put('project/path-without-its-zero.prj', project([record(0, b'/a.png', length=6)])[:-1] + b'x')
put('project/zero-inside-the-path.prj', project([record(0, b'/a\0b.png')]))
put('project/obj-text-renamed.prj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n')
put('project/binary-junk.prj', bytes(random.getrandbits(8) for _ in range(2048)))
folder('project/folder-named-like-a-project.prj')

# ---- OBJ files ----
put('obj/zero-byte.obj', b'')
put('obj/binary-junk.obj', bytes(random.getrandbits(8) for _ in range(4096)))
put('obj/only-indices-out-of-range.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 4 5 6\nf 1 2 70000\nf 1/9/1 2/9/1 3/9/1\nf 1//4 2//4 3//4\n')
put('obj/only-index-zero-faces.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 0 1 2\nf 1 2 0\n')
put('obj/negative-indices-before-the-first.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf -4 -5 -6\nf -1 -2 -9\n')
put('obj/faces-without-positions.obj', 'f 1 2 3\nf 1/1/1 2/2/2 3/3/3\n')
put('obj/positions-without-faces.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\n')
put('obj/faces-with-two-corners.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2\nf 3\nf\n')
put('obj/index-with-thirty-digits.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 999999999999999999999999999999\nf 1 2 -999999999999999999999999999999\n')
put('obj/nan-and-infinite-coordinates.obj', 'v nan inf -inf\nv NaN -INF +inf\nv 1 0 0\nv 0 0 1\nf 1 2 3\nf 2 3 4\n')
put('obj/coordinates-beyond-float-range.obj', 'v 1e39 -1e39 1e400\nv 3.5e38 0 0\nv 0 0 -1e-50\nf 1 2 3\n')
put('obj/cr-only-line-ends.obj', 'v 0 0 0\rv 1 0 0\rv 0 0 1\rf 1 2 3\r')
put('obj/utf16-text.obj', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n'.encode('utf-16-le'))
put('obj/nul-bytes-in-comments.obj', b'# \0\0\0\nv 0 0 0\nv 1 0 0\n#\0\nv 0 0 1\nf 1 2 3\n\0\n')
put('obj/mtllib-names-missing-file.obj', 'mtllib nowhere/missing.mtl\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n')
put('obj/mtllib-names-a-folder.obj', 'mtllib .\nmtllib /\nusemtl x\nv 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n')
put('obj/usemtl-without-mtllib.obj', 'usemtl ghost\nv 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\nusemtl ghost\n')
put('obj/forward-reference-never-defined.obj', 'f 1 2 3\nf 1 2 4\nv 0 0 0\nv 1 0 0\nv 0 0 1\n')
folder('obj/folder-named-like-a-model.obj')

# ---- MTL files (read through a model that names them) ----
put('mtl/zero-byte.mtl', b'')
put('mtl/binary-junk.mtl', bytes(random.getrandbits(8) for _ in range(4096)).replace(b'newmtl', b'NEWMTL'))
put('mtl/statements-before-newmtl.mtl', 'Kd 1 0 0\nmap_Kd a.png\nillum 2\nnewmtl only\n')
put('mtl/map-names-missing-image.mtl', 'newmtl m\nmap_Kd nowhere/missing.png\n')
put('mtl/map-names-a-folder.mtl', 'newmtl m\nmap_Kd .\n')
put('mtl/map-names-gif-renamed-png.mtl', 'newmtl m\nmap_Kd ../image/gif-renamed.png\n')
put('mtl/newmtl-without-name.mtl', 'newmtl\nKd 1 1 1\nnewmtl \t \n')
put('mtl/numbers-beyond-float-range.mtl', 'newmtl m\nKd 1e39 -1e39 nan\nNs 1e400\nd inf\nillum 99999999999\n')
put('mtl/map-option-with-thousand-numbers.mtl', 'newmtl m\nmap_Kd -s ' + ' '.join(['1'] * 1000) + ' x.png\n')
put('mtl/nul-bytes-in-names.mtl', b'newmtl a\0b\nKd 1 1 1\n')

# ---- images ----
def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

def png_header(w, h, depth=8, colour=2):
    return b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, colour, 0, 0, 0))

def bmp_header(w, h, bits=24):
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, 0, 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(info) + 64, 0, 0, 14 + len(info)) + info + b'\0' * 64

def jpeg_header(w, h):
    sof = b'\xff\xc0' + struct.pack('>HBHHB', 17, 8, h, w, 3) + b'\x01\x22\x00\x02\x11\x01\x03\x11\x01'
    return b'\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00' + sof + b'\xff\xd9'

def tga_header(w, h):
    return struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, w, h, 24, 0) + b'\0' * 64

def psd_header(w, h):
    return b'8BPS' + struct.pack('>H6xHIIHH', 1, 3, h, w, 8, 3) + b'\0' * 64

put('image/zero-byte.png', b'')
put('image/gif-renamed.png', b'GIF89a' + struct.pack('<HHBBB', 8, 6, 0x80, 0, 0) + b'\0' * 6 + b'\xff' * 3 + b',\0\0\0\0\x08\0\x06\0\0\x02\x02D\x01\0;')
put('image/pnm-renamed.jpg', b'P6\n8 6\n255\n' + b'\x80' * 144)
put('image/pgm-renamed.bmp', b'P5\n8 6\n255\n' + b'\x80' * 48)
put('image/pic-renamed.png', b'S\x80\xf64' + b'\0' * 84 + b'PICT' + struct.pack('>HH', 8, 6) + b'\0' * 64)
put('image/png-header-100000x100000.png', png_header(100000, 100000) + png_chunk(b'IEND', b''))
put('image/png-header-16385x1.png', png_header(16385, 1) + png_chunk(b'IEND', b''))
put('image/png-header-8193x8193.png', png_header(8193, 8193) + png_chunk(b'IEND', b''))
put('image/png-header-0x0.png', png_header(0, 0) + png_chunk(b'IEND', b''))
put('image/png-idat-not-zlib.png', png_header(8, 6) + png_chunk(b'IDAT', bytes(random.getrandbits(8) for _ in range(64))) + png_chunk(b'IEND', b''))
put('image/bmp-header-100000x100000.bmp', bmp_header(100000, 100000))
put('image/bmp-header-minus-100000-high.bmp', bmp_header(100, -100000))
put('image/bmp-header-zero-wide.bmp', bmp_header(0, 6))
put('image/jpeg-header-65535x65535.jpg', jpeg_header(65535, 65535))
put('image/tga-header-65535x65535.tga', tga_header(65535, 65535))
put('image/psd-header-100000x100000.psd', psd_header(100000, 100000))
put('image/hdr-header-100000x100000.hdr', b'#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 100000 +X 100000\n' + b'\0' * 64)
with open(os.path.join(here, '..', '..', '..', 'fuzz', 'corpus', 'image', 'png-rgb.png'), 'rb') as f:
    png = f.read()
put('image/png-cut-after-60-bytes.png', png[:60])
with open(os.path.join(here, '..', '..', '..', 'fuzz', 'corpus', 'image', 'jpeg-baseline.jpg'), 'rb') as f:
    jpeg = f.read()
put('image/jpeg-cut-in-half.jpg', jpeg[:len(jpeg) // 2])
put('image/obj-text-renamed.png', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n')
folder('image/folder-named-like-an-image.png')
# a huffman table of 16 x 255 codes: the decoder's table holds 256
dht = b'\xff\xc4' + struct.pack('>H', 2 + 17 + 4080) + b'\x00' + b'\xff' * 16 + b'\x00' * 4080
put('image/jpeg-huffman-table-of-4080-codes.jpg', jpeg[:2] + dht + jpeg[2:])
# a Photoshop file with an alpha channel (the decoder's matte removal overflows)
with open(os.path.join(here, '..', '..', '..', 'fuzz', 'corpus', 'image', 'refused-psd-with-alpha.psd'), 'rb') as f:
    put('image/psd-with-alpha-channel.psd', f.read())
# a Radiance file whose run-length encoded scanlines stop early (the decoder would spin forever)
with open(os.path.join(here, '..', '..', '..', 'fuzz', 'corpus', 'image', 'hdr-rgbe.hdr'), 'rb') as f:
    hdr = f.read()
put('image/hdr-runs-cut-short.hdr', hdr[:len(hdr) - 20])
# a PNG whose image-data chunk claims 2 GiB that the file does not hold
put('image/png-data-chunk-claims-2GiB.png', png_header(8, 6) + struct.pack('>I', 0x7FFFFFF0) + b'IDAT' + b'\x78\x9c' + b'\0' * 40)
# a JPEG whose huffman tables were taken out: its scan names tables never defined
def without_huffman_tables(data):
    out, at = data[:2], 2
    while at + 4 <= len(data) and data[at] == 0xFF and data[at + 1] != 0xDA:
        length = struct.unpack('>H', data[at + 2:at + 4])[0]
        if data[at + 1] != 0xC4:
            out += data[at:at + 2 + length]
        at += 2 + length
    return out + data[at:]
put('image/jpeg-scan-without-huffman-tables.jpg', without_huffman_tables(jpeg))
# a PNG whose first image-data chunk is empty
put('image/png-first-data-chunk-empty.png', png[:33] + png_chunk(b'IDAT', b'') + png[33:])
# a sequential JPEG whose scan names AC table 3, never defined (the scan states only the DC
# coefficient, but the decoder reads all of them)
def scan_with_tables(data, tables):
    at = data.index(b'\xff\xda')
    n = data[at + 4]
    out = bytearray(data)
    for i in range(n):
        out[at + 6 + 2 * i] = tables
    out[at + 5 + 2 * n + 1] = 0  # the scan ends at coefficient 0
    return bytes(out)
put('image/jpeg-scan-names-undefined-ac-table.jpg', scan_with_tables(jpeg, 0x03))

# ---- STL files ----
def stl_binary(triangles, count=None, header=b'broken'):
    out = bytearray(header.ljust(80, b' ')[:80]) + struct.pack('<I', len(triangles) if count is None else count)
    for corners in triangles:
        out += struct.pack('<3f', 0, 0, 1)
        for c in corners:
            out += struct.pack('<3f', *c)
        out += b'\0\0'
    return bytes(out)
stl_one = ((0, 0, 0), (10, 0, 0), (0, 10, 0))
nan, inf = float('nan'), float('inf')
put('stl/zero-byte.stl', b'')
put('stl/header-only.stl', stl_binary([]))
put('stl/truncated-in-a-triangle.stl', stl_binary([stl_one] * 3)[:84 + 50 * 2 + 17])
put('stl/count-beyond-the-file.stl', stl_binary([stl_one], count=0x7FFFFFFF))
put('stl/count-zero-before-triangles.stl', stl_binary([stl_one] * 2, count=0))
put('stl/all-corners-not-finite.stl', stl_binary([((nan, 0, 0), (1, 0, 0), (0, 1, 0)), ((0, 0, 0), (inf, 0, 0), (0, 1, 0))]))
put('stl/some-corners-not-finite.stl', stl_binary([((nan, 0, 0), (1, 0, 0), (0, 1, 0)), stl_one, ((0, 0, -inf), (1, 0, 0), (0, 1, 0))]))
put('stl/ascii-facet-with-two-corners.stl', 'solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\nendfacet\nendsolid s\n')
put('stl/ascii-one-good-facet-among-broken.stl',
    'solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\n'
    'facet normal 1e400 0 0\nouter loop\nvertex 0 0 0\nvertex 1e40 0 0\nvertex 0 1 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n')
put('stl/ascii-solid-without-facets.stl', 'solid nothing here\nendsolid\n')
put('stl/obj-text-named-stl.stl', 'v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n')
put('stl/binary-header-says-solid.stl', stl_binary([stl_one] * 2, header=b'solid but binary'))
