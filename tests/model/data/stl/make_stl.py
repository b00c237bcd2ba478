#!/usr/bin/env python3
"""Writes the STL fixtures of the model tests (run from this folder). The output is
reproducible: running it again changes no file."""
import math
import struct


def box(x0, y0, z0, x1, y1, z1):
    """The 12 triangles of a box, corners counter-clockwise seen from outside (Z up)."""
    c = [(x, y, z) for z in (z0, z1) for y in (y0, y1) for x in (x0, x1)]
    quads = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    tris = []
    for a, b, cc, d in quads:
        tris.append((c[a], c[b], c[cc]))
        tris.append((c[a], c[cc], c[d]))
    return tris


def normal(t):
    a, b, c = t
    u = [b[i] - a[i] for i in range(3)]
    v = [c[i] - a[i] for i in range(3)]
    n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    length = math.sqrt(sum(x * x for x in n)) or 1.0
    return tuple(x / length for x in n)


def letter_f():
    """A letter F 35 x 50 mm, 5 mm thick, lying on z = 0: read from above (+z) it reads F."""
    return box(0, 0, 0, 10, 50, 5) + box(10, 40, 0, 35, 50, 5) + box(10, 20, 0, 28, 30, 5)


def binary(tris, header=b'Morva test model', normals=None):
    out = bytearray(header.ljust(80, b' ')[:80])
    out += struct.pack('<I', len(tris))
    for i, t in enumerate(tris):
        n = normals[i] if normals else normal(t)
        out += struct.pack('<3f', *n)
        for corner in t:
            out += struct.pack('<3f', *corner)
        out += b'\0\0'
    return bytes(out)


def ascii_text(tris, name='letter'):
    lines = ['solid ' + name]
    for t in tris:
        lines.append('  facet normal %g %g %g' % normal(t))
        lines.append('    outer loop')
        for corner in t:
            lines.append('      vertex %g %g %g' % corner)
        lines.append('    endloop')
        lines.append('  endfacet')
    lines.append('endsolid ' + name)
    return '\n'.join(lines) + '\n'


def put(name, data):
    with open(name, 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode())


f = letter_f()
put('letter-f-binary.stl', binary(f))
put('letter-f-ascii.stl', ascii_text(f))
# A binary file whose header starts with "solid", as some exporters write it.
put('binary-header-says-solid.stl', binary(f, header=b'solid exported by a program that writes binary'))
one = [((0, 0, 0), (10, 0, 0), (0, 10, 0))]
# Facet normals: right, zero, pointing against the winding, not finite.
put('facet-normals.stl', binary(one * 4, normals=[(0, 0, 1), (0, 0, 0), (0, 0, -1), (float('nan'), 0, 1)]))
# Broken files.
put('truncated.stl', binary(f)[:84 + 50 * 7 + 20])
whole = bytearray(binary(one))
whole[80:84] = struct.pack('<I', 1000)
put('count-beyond-the-file.stl', bytes(whole))
put('nan-and-infinite-corners.stl',
    binary([((float('nan'), 0, 0), (10, 0, 0), (0, 10, 0)), ((0, 0, 0), (float('inf'), 0, 0), (0, 10, 0))] + one))
put('ascii-two-corner-facet.stl',
    'solid broken\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 10 0 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 nan\nvertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 x\nvertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\n'
    'facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 10 0 0\nvertex 0 10 0\nendloop\n'
    'endsolid broken\n')
put('ascii-name-with-keywords.stl',
    'solid facet vertex endfacet\r\n FACET NORMAL 0 0 1\r\n OUTER LOOP\r\n VERTEX 0 0 0\r\n VERTEX +1e1 0 0\r\n'
    ' VERTEX 0 10 0\r\n ENDLOOP\r\n ENDFACET\r\nendsolid facet vertex endfacet\r\n')
put('empty-ascii.stl', 'solid nothing\nendsolid nothing\n')
