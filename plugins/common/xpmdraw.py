# Drawing 16x16 pictures as XPM files for the plug-ins' draw_icons.py
# scripts: one character a pixel, the palette maps characters to colours.
import math

SIZE = 16


class Painter:
    def __init__(self, palette, blank, edge):
        self.palette = palette
        self.blank = blank
        self.edge = edge  # a disc's outline unless told otherwise

    def canvas(self):
        return [[self.blank] * SIZE for _ in range(SIZE)]

    @staticmethod
    def put(px, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c

    def disc(self, px, cx, cy, r, fill, edge=None):
        edge = self.edge if edge is None else edge
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if d <= r:
                    px[y][x] = edge if d > r - 1 else fill

    def rect(self, px, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(px, x, y, c)

    def line(self, px, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.put(px, round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def write(self, path, name, px):
        """Writes px to path as the XPM array called name."""
        used = sorted({c for row in px for c in row})
        lines = ['/* XPM */', 'static const char* %s[] = {' % name, '"%d %d %d 1",' % (SIZE, SIZE, len(used))]
        lines += ['"%s c %s",' % (c, self.palette[c]) for c in used]
        lines += ['"%s"%s' % (''.join(row), ',' if i < SIZE - 1 else '') for i, row in enumerate(px)]
        lines.append('};')
        with open(path, 'w') as f:
            f.write('\n'.join(lines) + '\n')

