#!/usr/bin/env python3
"""Writes the recording list panel's SVG artwork: the tree's type-icon layers (one base
and one overlay per event-type bit, 39 x 26 each, composed on white), the folder images
of the tree (18 x 18), the source dialog's choice-button strip (four 12 x 12 images:
normal, hover, chosen, disabled) and the panel's collapsed picture. Run it from this
folder after changing a shape; the generated .svg files are committed."""

INK = "#f4f6f9"
EDGE = "#5f656e"


def svg(width, height, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{width}" '
            f'height="{height}" viewBox="0 0 {width} {height}">\n{body}</svg>\n')


def write(name, text):
    with open(name, "w", encoding="utf-8") as f:
        f.write(text)


# The base layer: a rounded tag with five slots; overlays fill one slot each.
SLOT_X = [3, 9, 15, 21, 27, 33]


def base():
    body = (f'<rect x="0.5" y="5.5" width="38" height="15" rx="3" fill="#dfe3e8" '
            f'stroke="{EDGE}" stroke-width="1"/>')
    for x in SLOT_X:
        body += (f'<rect x="{x}.5" y="8.5" width="3" height="9" rx="1" fill="#c5cbd3" '
                 f'stroke="none"/>')
    return svg(39, 26, body)


def overlay(slot, colour, mark):
    x = SLOT_X[slot]
    return svg(39, 26, f'<rect x="{x - 1}" y="7" width="6" height="12" rx="1.5" '
                       f'fill="{colour}"/>' + mark)


# bit: (file, slot, colour)
OVERLAYS = [
    ("type_manual.svg", 0, "#1d64c8"),         # 0x02
    ("type_impact.svg", 1, "#d0342c"),         # 0x04
    ("type_parking.svg", 2, "#2f9a4a"),        # 0x08
    ("type_parking_impact.svg", 3, "#e07b12"),  # 0x10
    ("type_extra_a.svg", 4, "#7b3fb8"),        # 0x20
    ("type_extra_b.svg", 5, "#13858f"),        # 0x40
]


def folder(open_):
    back = (f'<path d="M1.5 4.5 H7 L8.5 6 H16.5 V15.5 H1.5 Z" fill="#e8b64a" '
            f'stroke="#9a6f12" stroke-width="1" stroke-linejoin="round"/>')
    if open_:
        front = ('<path d="M1.5 15.5 L4 8.5 H17.5 L15.5 15.5 Z" fill="#f6d27a" '
                 'stroke="#9a6f12" stroke-width="1" stroke-linejoin="round"/>')
    else:
        front = ('<path d="M1.5 7.5 H16.5 V15.5 H1.5 Z" fill="#f2c65e" '
                 'stroke="#9a6f12" stroke-width="1" stroke-linejoin="round"/>')
    return svg(18, 18, back + front)


def choice_strip():
    fills = ["#1b1e23", "#252a31", "#1d64c8", "#2a2d31"]
    rings = ["#aab2bd", "#6ea8ff", "#4f8ff0", "#4a4f56"]
    body = ""
    for i in range(4):
        dot = (f'<circle cx="6" cy="6" r="2.4" fill="{INK}"/>' if i == 2 else "")
        body += (f'<g transform="translate({12 * i},0)"><circle cx="6" cy="6" r="5.5" '
                 f'fill="{fills[i]}" stroke="{rings[i]}" stroke-width="1"/>{dot}</g>')
    return svg(48, 12, body)


def collapsed():
    body = ('<rect x="0" y="0" width="226" height="150" fill="#3f3f3f"/>'
            '<rect x="0.5" y="0.5" width="225" height="149" fill="none" stroke="#aaaaaa"/>')
    for i in range(5):
        y = 45 + i * 13
        body += (f'<rect x="83" y="{y}" width="8" height="8" rx="1.5" fill="#6f7680"/>'
                 f'<rect x="97" y="{y + 1}" width="46" height="6" rx="3" fill="#6f7680"/>')
    return svg(226, 150, body)


write("type_base.svg", base())
for name, slot, colour in OVERLAYS:
    write(name, overlay(slot, colour, ""))
write("folder_closed.svg", folder(False))
write("folder_open.svg", folder(True))
write("choice.svg", choice_strip())
write("collapsed.svg", collapsed())
