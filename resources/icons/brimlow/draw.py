#!/usr/bin/env python3
# Draws the call windows' icons, button pictures and cursors as XPM files
# (run it here to redraw them; the XPM files are what the build uses).
import math

PALETTE = {
    '.': 'None', 'k': '#000000', 'w': '#FFFFFF', 'g': '#808080', 'l': '#C0C0C0',
    'd': '#404040', 'r': '#C00000', 'R': '#FF4040', 'G': '#008000', 'L': '#40C040',
    'b': '#000080', 'B': '#4060E0', 'y': '#E0C000', 'Y': '#FFF080', 'o': '#E07000',
    'c': '#00A0A0', 'p': '#F0F0E0',
}


class Canvas:
    def __init__(self, w, h, bg='.'):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def rect(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            x = round(x0 + (x1 - x0) * i / n)
            y = round(y0 + (y1 - y0) * i / n)
            r = width // 2
            self.fill(x - r, y - r, x - r + width - 1, y - r + width - 1, c)

    def ellipse(self, cx, cy, rx, ry, c, outline=None):
        for y in range(self.h):
            for x in range(self.w):
                d = ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2
                if d <= 1.0:
                    self.set(x, y, c)
        if outline:
            for a in range(0, 360, 3):
                t = math.radians(a)
                self.set(int(cx + (rx - 0.5) * math.cos(t)), int(cy + (ry - 0.5) * math.sin(t)), outline)

    def save(self, name):
        used = sorted({c for row in self.px for c in row})
        lines = ['/* XPM */', 'static const char* %s[] = {' % name.replace('-', '_'),
                 '"%d %d %d 1",' % (self.w, self.h, len(used))]
        lines += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
        rows = ['"%s"' % ''.join(r) for r in self.px]
        lines += [r + ',' for r in rows[:-1]] + [rows[-1], '};']
        with open(name + '.xpm', 'w') as f:
            f.write('\n'.join(lines) + '\n')


def handset(c, x, y, body, edge, scale=1.0):
    # A receiver lying on its side: ear piece, grip and mouth piece.
    s = scale
    c.line(int(x + 4 * s), int(y + 2 * s), int(x + 20 * s), int(y + 2 * s), body, max(2, int(4 * s)))
    c.ellipse(x + 3 * s, y + 6 * s, 3.5 * s, 4.5 * s, body)
    c.ellipse(x + 21 * s, y + 6 * s, 3.5 * s, 4.5 * s, body)
    c.line(int(x + 1 * s), int(y + 10 * s), int(x + 6 * s), int(y + 10 * s), edge)
    c.line(int(x + 19 * s), int(y + 10 * s), int(x + 24 * s), int(y + 10 * s), edge)


def phone_base(c, x, y, body, edge):
    c.fill(x + 2, y, x + 21, y + 8, body)
    c.rect(x + 2, y, x + 21, y + 8, edge)
    for i in range(3):
        for j in range(2):
            c.fill(x + 7 + i * 4, y + 2 + j * 3, x + 8 + i * 4, y + 3 + j * 3, 'w')


def icon_idle():
    c = Canvas(32, 32)
    handset(c, 4, 7, 'g', 'd')
    phone_base(c, 4, 19, 'l', 'd')
    c.save('icon110')


def icon_incoming():
    c = Canvas(32, 32)
    handset(c, 4, 9, 'r', 'k')
    phone_base(c, 4, 21, 'l', 'd')
    for i, (x, y) in enumerate([(2, 6), (29, 6)]):
        c.line(x, y, x, y - 4, 'o', 2)
    c.line(8, 3, 11, 5, 'o', 2)
    c.line(24, 3, 21, 5, 'o', 2)
    c.save('icon111')


def icon_outgoing():
    c = Canvas(32, 32)
    handset(c, 2, 12, 'G', 'k')
    c.line(16, 9, 28, 3, 'L', 3)
    c.line(28, 3, 22, 3, 'L', 3)
    c.line(28, 3, 27, 9, 'L', 3)
    c.save('icon109')


def icon_assistant():
    c = Canvas(32, 32)
    c.fill(1, 1, 30, 30, 'p')
    c.rect(1, 1, 30, 30, 'b')
    c.fill(2, 2, 29, 7, 'B')
    handset(c, 4, 11, 'b', 'k', 0.95)
    phone_base(c, 4, 21, 'l', 'd')
    c.save('icon103')


def icon_keypad():
    c = Canvas(32, 32)
    c.fill(4, 1, 27, 30, 'l')
    c.rect(4, 1, 27, 30, 'd')
    c.fill(7, 3, 24, 7, 'Y')
    c.rect(7, 3, 24, 7, 'd')
    for row in range(4):
        for col in range(3):
            x, y = 7 + col * 6, 10 + row * 5
            c.fill(x, y, x + 4, y + 3, 'w')
            c.rect(x, y, x + 4, y + 3, 'g')
    c.save('icon104')


def button(name, draw):
    # Up, down (pressed: the picture one pixel lower right, darker face)
    # and focus (a dotted frame inside) pictures of 24 x 20.
    for state in 'UDF':
        c = Canvas(24, 20, 'l')
        c.rect(0, 0, 23, 19, 'd')
        if state == 'D':
            c.line(1, 1, 22, 1, 'g')
            c.line(1, 1, 1, 18, 'g')
            draw(c, 1)
        else:
            c.line(1, 1, 22, 1, 'w')
            c.line(1, 1, 1, 18, 'w')
            c.line(22, 1, 22, 18, 'g')
            c.line(1, 18, 22, 18, 'g')
            draw(c, 0)
        if state == 'F':
            for x in range(3, 21, 2):
                c.set(x, 3, 'k')
                c.set(x, 16, 'k')
            for y in range(3, 17, 2):
                c.set(3, y, 'k')
                c.set(20, y, 'k')
        c.save(name + state)


def draw_db(c, o):
    c.ellipse(12 + o, 5 + o, 6, 2.5, 'B', 'b')
    c.fill(6 + o, 5 + o, 17 + o, 13 + o, 'B')
    c.ellipse(12 + o, 13 + o, 6, 2.5, 'B', 'b')
    c.ellipse(12 + o, 5 + o, 6, 2.5, 'c', 'b')
    c.line(6 + o, 5 + o, 6 + o, 13 + o, 'b')
    c.line(17 + o, 5 + o, 17 + o, 13 + o, 'b')


def draw_list(c, o, mark):
    c.fill(5 + o, 3 + o, 17 + o, 16 + o, 'w')
    c.rect(5 + o, 3 + o, 17 + o, 16 + o, 'd')
    for i in range(4):
        c.line(7 + o, 6 + o + i * 3, 15 + o, 6 + o + i * 3, 'b')
    mark(c, o)


def mark_phone(c, o):
    c.ellipse(18 + o, 14 + o, 3, 3, 'G')


def mark_cross(c, o):
    c.line(15 + o, 11 + o, 20 + o, 16 + o, 'r', 2)
    c.line(20 + o, 11 + o, 15 + o, 16 + o, 'r', 2)


def draw_deflect(c, o):
    c.line(4 + o, 14 + o, 12 + o, 14 + o, 'b', 2)
    c.line(12 + o, 14 + o, 12 + o, 5 + o, 'b', 2)
    c.line(12 + o, 5 + o, 19 + o, 5 + o, 'b', 2)
    c.line(19 + o, 5 + o, 16 + o, 2 + o, 'b', 2)
    c.line(19 + o, 5 + o, 16 + o, 8 + o, 'b', 2)


def draw_redial(c, o):
    for a in range(40, 330, 4):
        t = math.radians(a)
        c.line(int(12 + o + 6 * math.cos(t)), int(10 + o + 6 * math.sin(t)),
               int(12 + o + 6 * math.cos(t)), int(10 + o + 6 * math.sin(t)), 'G', 2)
    c.line(17 + o, 3 + o, 17 + o, 7 + o, 'G', 2)
    c.line(17 + o, 7 + o, 13 + o, 7 + o, 'G', 2)


def draw_info(c, o):
    c.ellipse(12 + o, 10 + o, 7, 7, 'B', 'b')
    c.fill(11 + o, 5 + o, 12 + o, 6 + o, 'w')
    c.fill(11 + o, 8 + o, 12 + o, 14 + o, 'w')


def cursor(name, draw):
    c = Canvas(32, 32)
    draw(c)
    c.save(name)


def arrow(c):
    pts = [(0, 0), (0, 15), (4, 11), (7, 17), (9, 16), (6, 10), (11, 10)]
    for y in range(18):
        for x in range(12):
            if inside(pts, x + 0.5, y + 0.5):
                c.set(x, y, 'w')
    for i in range(len(pts)):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % len(pts)]
        c.line(x0, y0, x1, y1, 'k')


def inside(pts, x, y):
    n, ok = len(pts), False
    for i in range(n):
        x0, y0 = pts[i]
        x1, y1 = pts[(i + 1) % n]
        if (y0 > y) != (y1 > y) and x < (x1 - x0) * (y - y0) / (y1 - y0) + x0:
            ok = not ok
    return ok


def cur_pick(c):
    arrow(c)
    handset(c, 12, 18, 'r', 'k', 0.7)


def cur_target(c):
    c.ellipse(15.5, 15.5, 9, 9, '.', 'k')
    c.line(15, 2, 15, 12, 'k')
    c.line(15, 19, 15, 29, 'k')
    c.line(2, 15, 12, 15, 'k')
    c.line(19, 15, 29, 15, 'k')
    c.fill(14, 14, 16, 16, 'r')


def cur_list(c):
    arrow(c)
    c.fill(14, 16, 26, 28, 'w')
    c.rect(14, 16, 26, 28, 'k')
    for i in range(3):
        c.line(16, 19 + i * 3, 24, 19 + i * 3, 'b')


if __name__ == '__main__':
    icon_idle()
    icon_incoming()
    icon_outgoing()
    icon_assistant()
    icon_keypad()
    button('TESTBUTTON', draw_db)
    button('CBLISTBUTTON', lambda c, o: draw_list(c, o, mark_phone))
    button('NPLISTBUTTON', lambda c, o: draw_list(c, o, mark_cross))
    button('DEFLECTBUTTON', draw_deflect)
    button('REDIALBUTTON', draw_redial)
    button('CILBUTTON', draw_info)
    cursor('cursor165', cur_pick)
    cursor('cursor118', cur_target)
    cursor('cursor167', cur_list)
