#!/usr/bin/env python3
"""compare_figures.py OURS THEIRS [--show NAME]... [--list]: holds two runs of gdi_figures
against each other (ours on Linux, Wine's GDI under Wine) figure by figure.

Prints, per kind of figure (the name up to its first space and the pen), how many figures
differ and how many pixels; with --list every differing figure; with --show NAME both pictures
of that figure side by side (. background, # pen, o brush, + a pattern's 1 bits, ? other).
Exits 1 when any figure differs, 2 when the files do not hold the same catalogue."""
import sys
from collections import OrderedDict


def read(path):
    figures = OrderedDict()
    with open(path, 'rb') as f:
        data = f.read()
    at = 0
    while at < len(data):
        end = data.index(b'\n', at)
        fields = data[at:end].decode().split(' ')
        name = ' '.join(fields[:-2])
        w, h = int(fields[-2]), int(fields[-1])
        at = end + 1
        figures[name] = (w, h, data[at:at + w * h])
        at += w * h
    return figures


def picture(w, h, pixels):
    glyph = {0: '.', 1: '#', 2: 'o', 3: '+'}
    return [''.join(glyph.get(pixels[y * w + x], '?') for x in range(w)) for y in range(h)]


def main(argv):
    args = [a for a in argv if not a.startswith('--')]
    if len(args) < 2 or '--help' in argv:
        print(__doc__)
        return 2
    show = [argv[i + 1] for i, a in enumerate(argv) if a == '--show' and i + 1 < len(argv)]
    args = [a for a in args if a not in show]
    ours, theirs = read(args[0]), read(args[1])
    if list(ours) != list(theirs):
        print('compare_figures: the two files hold different catalogues '
              f'({len(ours)} and {len(theirs)} figures); rebuild both')
        return 2
    groups = OrderedDict()
    differing = []
    for name, (w, h, a) in ours.items():
        tw, th, b = theirs[name]
        parts = name.split(' ')
        group = ' '.join(parts[:2]) if parts[0] != 'line1' and not parts[0].startswith('line') \
            else parts[0]
        g = groups.setdefault(group, [0, 0, 0])
        g[0] += 1
        if (w, h) != (tw, th):
            g[1] += 1
            differing.append((name, -1))
            continue
        n = sum(1 for i in range(len(a)) if a[i] != b[i])
        if n:
            g[1] += 1
            g[2] += n
            differing.append((name, n))
    print(f"{'figures':<22} {'count':>6} {'differ':>7} {'pixels':>7}")
    for group, (count, figs, pixels) in groups.items():
        print(f'{group:<22} {count:>6} {figs:>7} {pixels:>7}')
    print(f'{len(differing)} of {len(ours)} figures differ')
    if '--list' in argv:
        for name, n in differing:
            print(f'  {name}: {n} pixel(s)')
    for name in show:
        if name not in ours:
            print(f'compare_figures: no figure "{name}"')
            continue
        w, h, a = ours[name]
        _, _, b = theirs[name]
        print(f'{name}: ours | theirs')
        for left, right in zip(picture(w, h, a), picture(w, h, b)):
            print(f'  {left}   {right}')
    return 1 if differing else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
