#!/usr/bin/env python3
# Draws the connection viewer's 16x16 pictures as XPM files (run it here to
# redraw them; the XPM files are what the build uses).
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'common'))
import xpmdraw  # noqa: E402

PALETTE = {
    '.': 'None', 'k': '#000000', 'w': '#FFFFFF', 'g': '#808080', 'l': '#C0C0C0',
    'r': '#C00000', 'G': '#00A000', 'b': '#0040C0', 'B': '#60A0FF', 'y': '#E0C000',
    'o': '#E07000', 'c': '#00A0A0', 's': '#F0C8A0', 'd': '#404040',
}
PAINTER = xpmdraw.Painter(PALETTE, blank='.', edge='k')
canvas, disc, rect, line = PAINTER.canvas, PAINTER.disc, PAINTER.rect, PAINTER.line


def write(name, px):
    PAINTER.write(os.path.join('icons', name + '.xpm'), name, px)


def state(n, fill, mark=None):
    px = canvas()
    disc(px, 8, 8, 7, fill)
    if mark:
        mark(px)
    write('state%d' % n, px)


def arrow(px):
    line(px, 4, 8, 11, 8, 'w'); line(px, 8, 5, 11, 8, 'w'); line(px, 8, 11, 11, 8, 'w')


def bell(px):
    rect(px, 6, 5, 9, 9, 'k'); rect(px, 5, 10, 10, 10, 'k'); rect(px, 7, 11, 8, 11, 'k')


def tick(px):
    line(px, 4, 8, 7, 11, 'w'); line(px, 7, 11, 11, 4, 'w')


def pause(px):
    rect(px, 5, 4, 6, 11, 'w'); rect(px, 9, 4, 10, 11, 'w')


def dots(px):
    for x in (4, 7, 10):
        rect(px, x, 7, x + 1, 8, 'w')


def cross(px):
    line(px, 5, 5, 10, 10, 'w'); line(px, 10, 5, 5, 10, 'w')


def bang(px):
    rect(px, 7, 3, 8, 9, 'w'); rect(px, 7, 11, 8, 12, 'w')


state(0, 'l')
state(1, 'B', dots)
state(2, 'b', arrow)
state(3, 'y', bell)
state(4, 'G', tick)
state(5, 'o', pause)
state(6, 'c', dots)
state(7, 'g', cross)
state(8, 'r', bang)

# Call id: a number sign.
px = canvas()
for x in (5, 9):
    line(px, x + 1, 2, x - 1, 13, 'd')
for y in (5, 10):
    line(px, 2, y, 13, y, 'd')
write('callid', px)

# Time: a clock face.
px = canvas()
disc(px, 8, 8, 7, 'w')
line(px, 8, 8, 8, 3, 'k'); line(px, 8, 8, 11, 10, 'k')
write('time', px)


def person(name, body):
    px = canvas()
    disc(px, 8, 4.5, 3.5, 's')
    for y in range(9, 16):
        w = min(6, 3 + (y - 9))
        rect(px, 8 - w, y, 7 + w, y, body)
    rect(px, 2, 15, 13, 15, 'k')
    write(name, px)


person('party', 'b')      # the other side
person('ownparty', 'G')   # the watched device itself


def pin(name, upright):
    px = canvas()
    if upright:
        rect(px, 5, 1, 10, 2, 'r'); rect(px, 6, 3, 9, 7, 'r'); rect(px, 3, 8, 12, 9, 'r')
        line(px, 7, 10, 7, 15, 'd'); line(px, 8, 10, 8, 15, 'd')
    else:
        rect(px, 1, 5, 2, 10, 'r'); rect(px, 3, 6, 7, 9, 'r'); rect(px, 8, 3, 9, 12, 'r')
        line(px, 10, 7, 15, 7, 'd'); line(px, 10, 8, 15, 8, 'd')
    write(name, px)


pin('pin', True)      # topmost
pin('unpin', False)   # normal
