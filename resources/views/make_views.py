#!/usr/bin/env python3
"""Writes the artwork of the telemetry views: the info panel's six event pictures (one
strip), the G-sensor graph's four scale backgrounds (a 50-pixel scale margin and a grid
tile; the printed full scale is 0.5, 1, 1.5 and 2 G) and the driving-assistance star.
Run it from this folder after a change; the generated .svg files are committed."""

INK = "#f4f6f9"
GRID = "#2a3038"
GRID_MAJOR = "#3b4350"
PANEL = "#14171b"
FONT = 'font-family="DejaVu Sans, sans-serif"'

# The graph as the main window places it: 74 pixels high, its centre row 37 and the full
# scale 34 pixels ((74 - 6) / 2) away from it, as the graph's own scale rule computes.
HEIGHT = 74
CENTRE = HEIGHT // 2
FULL = (HEIGHT - 6) // 2
MARGIN = 50
# Tiles are laid from the right edge in steps of the picture width - 50; 218 makes the
# last tile of the 656-pixel graph start at column 0, so no second scale shows.
TILE = 218


def svg(width, height, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{width}" '
            f'height="{height}" viewBox="0 0 {width} {height}">\n{body}</svg>\n')


def hline(x0, x1, y, colour, dash=""):
    extra = f' stroke-dasharray="{dash}"' if dash else ""
    return (f'<path d="M{x0} {y + 0.5} H{x1}" stroke="{colour}" stroke-width="1"'
            f'{extra}/>\n')


def scale_picture(full_g):
    # Tiles overlap by up to four columns more or less than the step (their places are
    # rounded down to multiples of 5), so everything right of column 45 is the same in
    # every column: only horizontal lines there, and the scale's panel, ticks and labels
    # stay left of it.
    steps = int(round(full_g / 0.5))  # a line every 0.5 G
    width = MARGIN + TILE
    body = f'<rect x="0" y="0" width="{width}" height="{HEIGHT}" fill="{PANEL}"/>\n'
    body += f'<rect x="0" y="0" width="{MARGIN - 6}" height="{HEIGHT}" fill="#1d2126"/>\n'
    for k in range(-steps, steps + 1):
        y = CENTRE - round(FULL * k / steps)
        colour = GRID_MAJOR if k in (-steps, 0, steps) else GRID
        body += hline(MARGIN - 6, width, y, colour)
        body += hline(MARGIN - 12, MARGIN - 6, y, INK)

    def label(y, text):
        return (f'<text x="{MARGIN - 14}" y="{y}" {FONT} font-size="9" fill="{INK}" '
                f'text-anchor="end">{text}</text>\n')

    text = f"{full_g:g}"
    body += label(CENTRE - FULL + 8, f"+{text}G")
    body += label(CENTRE + 3, "0G")
    body += label(CENTRE + FULL, f"-{text}G")
    return svg(width, HEIGHT, body)


def star(colour, size=12):
    import math
    points = []
    for i in range(10):
        r = size / 2 - 0.5 if i % 2 == 0 else size / 5
        a = -math.pi / 2 + i * math.pi / 5
        points.append(f"{size / 2 + r * math.cos(a):.2f},{size / 2 + r * math.sin(a):.2f}")
    return f'<polygon points="{" ".join(points)}" fill="{colour}"/>'


def badge(x, colour, glyph):
    return (f'<g transform="translate({x},0)"><circle cx="12" cy="12" r="11" fill="{colour}" '
            f'stroke="{INK}" stroke-width="1"/>{glyph}</g>\n')


def letter(text, size=13):
    return (f'<text x="12" y="{12 + size * 0.36:.1f}" {FONT} font-size="{size}" '
            f'font-weight="bold" fill="{INK}" text-anchor="middle">{text}</text>')


def event_strip():
    # 1 G impact, 2 manual recording, 3 emergency stop, 4 parking, 5 over speed,
    # 6 driving assistance
    body = badge(0, "#c0392b", letter("G"))
    body += badge(24, "#2c7be5", letter("M"))
    body += badge(48, "#8e44ad", '<rect x="7" y="7" width="10" height="10" rx="1" '
                  f'fill="{INK}"/>')
    body += badge(72, "#16a085", letter("P"))
    body += badge(96, "#d35400", letter("#"))
    body += badge(120, "#b7950b", f'<g transform="translate(4,4) scale(1.333)">'
                  f'{star(INK)}</g>')
    return svg(144, 24, body)


def write(name, text):
    with open(name, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    for mode, full_g in enumerate((0.5, 1.0, 1.5, 2.0)):
        write(f"gsensor_scale_{mode}.svg", scale_picture(full_g))
    write("gsensor_star.svg", svg(12, 12, star("#ffff00") + "\n"))
    write("info_events.svg", event_strip())
