#!/usr/bin/env python3
# Draws the display control's 16x16 pictures 131 to 137 as XPM files into
# icons/ (run it here to redraw them; the build uses the XPM files).
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
import xpmdraw  # noqa: E402

COLOURS = {
    ' ': 'None', 'K': '#000000', 'W': '#FFFFFF', 'D': '#404040', 'M': '#808080', 'L': '#C0C0C0',
    'R': '#D00000', 'r': '#FF8080', 'A': '#E09000', 'a': '#FFD060', 'B': '#1050C0', 'b': '#80B0FF',
    'G': '#00A040',
}
PAINTER = xpmdraw.Painter(COLOURS, blank=' ', edge='K')
blank, put, circle, box = PAINTER.canvas, PAINTER.put, PAINTER.disc, PAINTER.rect


def lamp(fill, shine):
    px = blank()
    circle(px, 8, 8, 7, fill)
    circle(px, 6, 6, 2, shine, shine)
    return px


def info():
    px = blank()
    circle(px, 8, 8, 7.5, 'B')
    box(px, 7, 3, 8, 4, 'W')
    box(px, 7, 6, 8, 12, 'W')
    box(px, 6, 12, 9, 12, 'W')
    return px


def printer():
    px = blank()
    box(px, 4, 1, 11, 5, 'W')
    box(px, 1, 5, 14, 11, 'M')
    box(px, 2, 6, 13, 10, 'L')
    box(px, 11, 7, 12, 7, 'G')
    box(px, 4, 9, 11, 14, 'W')
    for y in (11, 13):
        box(px, 5, y, 10, y, 'D')
    for x in range(1, 15):
        put(px, x, 5, 'K')
        put(px, x, 11, 'K')
    return px


def handset():
    px = blank()
    box(px, 1, 10, 5, 14, 'D')   # mouth piece
    box(px, 10, 1, 14, 5, 'D')   # ear piece
    for i in range(9):           # the grip between them
        box(px, 4 + i, 10 - i, 5 + i, 11 - i, 'D')
    return px


def erase():
    px = blank()
    for i in range(12):
        for w in (0, 1):
            put(px, 2 + i + w, 2 + i, 'R')
            put(px, 13 - i - w, 2 + i, 'R')
    return px


PICTURES = {
    131: info(),
    132: lamp('A', 'a'),
    133: printer(),
    134: handset(),
    135: lamp('M', 'L'),
    136: lamp('R', 'r'),
    137: erase(),
}


def write(number, px):
    PAINTER.write(os.path.join('icons', '%d.xpm' % number), 'picture%d' % number, px)


if __name__ == '__main__':
    os.makedirs('icons', exist_ok=True)
    for number, px in PICTURES.items():
        write(number, px)
