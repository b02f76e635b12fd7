#!/usr/bin/env python3
# Draws the connection viewer's 16x16 pictures as XPM files (run it here to
# redraw them; the XPM files are what the build uses).
import math
import os

PALETTE = {
    '.': 'None', 'k': '#000000', 'w': '#FFFFFF', 'g': '#808080', 'l': '#C0C0C0',
    'r': '#C00000', 'G': '#00A000', 'b': '#0040C0', 'B': '#60A0FF', 'y': '#E0C000',
    'o': '#E07000', 'c': '#00A0A0', 's': '#F0C8A0', 'd': '#404040',
}


def canvas():
    return [['.'] * 16 for _ in range(16)]


def disc(px, cx, cy, r, c, outline='k'):
    for y in range(16):
        for x in range(16):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= r:
                px[y][x] = outline if d > r - 1 else c


def rect(px, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if 0 <= x < 16 and 0 <= y < 16:
                px[y][x] = c


def line(px, x0, y0, x1, y1, c):
    n = max(abs(x1 - x0), abs(y1 - y0), 1)
    for i in range(n + 1):
        x = round(x0 + (x1 - x0) * i / n)
        y = round(y0 + (y1 - y0) * i / n)
        if 0 <= x < 16 and 0 <= y < 16:
            px[y][x] = c


def write(name, px):
    used = sorted({c for row in px for c in row})
    lines = ['/* XPM */', 'static const char* %s[] = {' % name,
             '"16 16 %d 1",' % len(used)]
    lines += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
    lines += ['"%s"%s' % (''.join(row), ',' if i < 15 else '') for i, row in enumerate(px)]
    lines.append('};')
    with open(os.path.join('icons', name + '.xpm'), 'w') as f:
        f.write('\n'.join(lines) + '\n')


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
