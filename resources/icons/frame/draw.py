#!/usr/bin/env python3
# Draws the main window's toolbar buttons (16 x 15) and the notification
# area's pictures (32 x 32) as XPM files; run it here to redraw them.
PALETTE = {'.': 'None', 'k': '#000000', 'w': '#FFFFFF', 'g': '#808080', 'l': '#C0C0C0',
           'r': '#C00000', 'G': '#008000', 'L': '#40C040', 'b': '#000080', 'B': '#4060E0',
           'y': '#E0C000', 'o': '#E07000', 'p': '#F0F0E0'}


def grid(w, h):
    return [['.'] * w for _ in range(h)]


def box(px, x0, y0, x1, y1, c, fill=None):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            if edge or fill:
                px[y][x] = c if edge else fill


def disc(px, cx, cy, r, c):
    for y in range(len(px)):
        for x in range(len(px[0])):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                px[y][x] = c


def save(name, px):
    used = sorted({c for row in px for c in row})
    out = ['/* XPM */', 'static const char* %s[] = {' % name,
           '"%d %d %d 1",' % (len(px[0]), len(px), len(used))]
    out += ['"%s c %s",' % (c, PALETTE[c]) for c in used]
    rows = ['"%s"' % ''.join(r) for r in px]
    out += [r + ',' for r in rows[:-1]] + [rows[-1], '};']
    with open(name + '.xpm', 'w') as f:
        f.write('\n'.join(out) + '\n')


def handset(px, x, y, c):
    for i in range(10):
        px[y][x + 1 + i] = c
        px[y + 1][x + 1 + i] = c
    box(px, x, y, x + 2, y + 4, c, c)
    box(px, x + 9, y, x + 11, y + 4, c, c)


def tb_assistant():
    px = grid(16, 15)
    box(px, 1, 1, 14, 13, 'b', 'p')
    box(px, 1, 1, 14, 3, 'b', 'B')
    handset(px, 2, 6, 'k')
    return px


def tb_keypad():
    px = grid(16, 15)
    box(px, 2, 0, 13, 14, 'k', 'l')
    for r in range(4):
        for col in range(3):
            box(px, 4 + col * 3, 2 + r * 3, 5 + col * 3, 3 + r * 3, 'b', 'b')
    return px


def tb_database():
    px = grid(16, 15)
    for i, y in enumerate((1, 5, 9)):
        box(px, 3, y, 12, y + 4, 'k', 'y' if i % 2 == 0 else 'o')
    return px


def tb_overview():
    px = grid(16, 15)
    for i, (x, y) in enumerate(((1, 1), (8, 1), (1, 8), (8, 8))):
        box(px, x, y, x + 6, y + 5, 'k', 'L' if i != 2 else 'r')
    return px


def tb_cut():
    px = grid(16, 15)
    for i in range(8):
        px[i][4 + i // 2] = 'k'
        px[i][11 - i // 2] = 'k'
    disc(px, 5, 11, 2.5, 'k')
    disc(px, 11, 11, 2.5, 'k')
    disc(px, 5, 11, 1.2, '.')
    disc(px, 11, 11, 1.2, '.')
    return px


def page(px, x, y, fill='w'):
    box(px, x, y, x + 7, y + 9, 'k', fill)
    for r in range(y + 2, y + 8, 2):
        for c in range(x + 2, x + 6):
            px[r][c] = 'g'


def tb_copy():
    px = grid(16, 15)
    page(px, 1, 1)
    page(px, 7, 4)
    return px


def tb_paste():
    px = grid(16, 15)
    box(px, 1, 2, 10, 14, 'k', 'o')
    box(px, 4, 0, 7, 3, 'k', 'l')
    page(px, 7, 4)
    return px


def tb_print():
    px = grid(16, 15)
    page(px, 4, 0)
    box(px, 1, 6, 14, 12, 'k', 'l')
    box(px, 4, 10, 11, 14, 'k', 'w')
    px[8][12] = 'G'
    return px


def tb_about():
    px = grid(16, 15)
    disc(px, 8, 7.5, 7, 'b')
    box(px, 7, 6, 8, 12, 'w', 'w')
    box(px, 7, 3, 8, 4, 'w', 'w')
    return px


def tray(fill, ring=None):
    px = grid(32, 32)
    if ring:
        disc(px, 16, 16, 15.5, ring)
        disc(px, 16, 16, 13, '.')
    box(px, 6, 17, 25, 27, 'k', fill)
    for r in range(3):
        for col in range(3):
            box(px, 11 + col * 4, 19 + r * 3, 12 + col * 4, 20 + r * 3, 'w', 'w')
    for i in range(18):
        px[8][7 + i] = px[9][7 + i] = px[10][7 + i] = 'k'
    box(px, 4, 8, 9, 15, 'k', 'k')
    box(px, 22, 8, 27, 15, 'k', 'k')
    return px


if __name__ == '__main__':
    for cmd, draw in ((32771, tb_assistant), (32772, tb_keypad), (32779, tb_database), (32774, tb_overview),
                      (57635, tb_cut), (57634, tb_copy), (57637, tb_paste), (57607, tb_print), (57664, tb_about)):
        save('tb%d' % cmd, draw())
    save('icon223', tray('l'))          # idle
    save('icon224', tray('B', 'G'))     # a call of the own side
    save('icon225', tray('y', 'r'))     # an incoming call
