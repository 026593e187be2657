#!/usr/bin/env python3
"""Writes the skin's SVG artwork: every button and check box is a strip of four equal
images side by side (0 normal, 1 hover or greyed, 2 pressed or checked, 3 disabled);
slider parts, the window icon and the cursor are single images. Run it from this folder
after changing a glyph; the generated .svg files are committed."""
import math

INK = "#f4f6f9"          # line icons on the panels
INK_OFF = "#5f656e"      # line icons of a disabled control
PANEL = ["#2b3038", "#3b4350", "#1d64c8", "#23262b"]
EDGE = ["#3a404a", "#6ea8ff", "#4f8ff0", "#2c3036"]


def svg(width, height, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="{width}" '
            f'height="{height}" viewBox="0 0 {width} {height}">\n{body}</svg>\n')


def line(c, w=2.0):
    return (f'fill="none" stroke="{c}" stroke-width="{w}" stroke-linecap="round" '
            'stroke-linejoin="round"')


def solid(c):
    return f'fill="{c}" stroke="{c}" stroke-width="1" stroke-linejoin="round"'


# Glyphs of the 32 x 32 tool buttons, drawn for an ink colour c.
def g_to_start(c):
    return (f'<path d="M10 10 V22" {line(c, 2.5)}/>'
            f'<path d="M23 10 L13 16 L23 22 Z" {solid(c)}/>')


def g_previous(c):
    return (f'<path d="M8 10 V22" {line(c, 2.5)}/>'
            f'<path d="M17 10 L10 16 L17 22 Z" {solid(c)}/>'
            f'<path d="M25 10 L18 16 L25 22 Z" {solid(c)}/>')


def g_next(c):
    return (f'<path d="M24 10 V22" {line(c, 2.5)}/>'
            f'<path d="M7 10 L14 16 L7 22 Z" {solid(c)}/>'
            f'<path d="M15 10 L22 16 L15 22 Z" {solid(c)}/>')


def g_play(c):
    return f'<path d="M11 8 L24 16 L11 24 Z" {solid(c)}/>'


def g_pause(c):
    return (f'<rect x="10" y="9" width="4" height="14" rx="1" fill="{c}"/>'
            f'<rect x="18" y="9" width="4" height="14" rx="1" fill="{c}"/>')


def g_slower(c):
    # a play mark inside a dashed ring: slow motion
    return (f'<circle cx="16" cy="16" r="9.5" {line(c, 1.8)} stroke-dasharray="3 2.2"/>'
            f'<path d="M13.5 11.5 L20.5 16 L13.5 20.5 Z" {solid(c)}/>')


def g_faster(c):
    return (f'<path d="M7 10 L16 16 L7 22 Z" {solid(c)}/>'
            f'<path d="M16 10 L25 16 L16 22 Z" {solid(c)}/>')


def g_snapshot(c):
    return (f'<path d="M6 12 H10 L12 9 H20 L22 12 H26 V23 H6 Z" {line(c, 1.8)}/>'
            f'<circle cx="16" cy="17" r="4" {line(c, 1.8)}/>')


def g_join(c):
    # a film strip whose two halves are pushed together
    holes = ''.join(f'<rect x="{x}" y="{y}" width="2" height="1.6" fill="{c}"/>'
                    for x in (8, 12, 18, 22) for y in (17, 23.4))
    return (f'<rect x="5.5" y="15" width="21" height="11" rx="1.5" {line(c, 1.6)}/>'
            f'<path d="M16 15 V26" {line(c, 1.2)} stroke-dasharray="1.6 1.4"/>' + holes +
            f'<path d="M5 9 H13 M10.5 6.5 L13 9 L10.5 11.5" {line(c, 1.8)}/>'
            f'<path d="M27 9 H19 M21.5 6.5 L19 9 L21.5 11.5" {line(c, 1.8)}/>')


def g_zoom(c):
    return (f'<circle cx="14" cy="14" r="6.5" {line(c, 2)}/>'
            f'<path d="M19 19 L25 25" {line(c, 3)}/>'
            f'<path d="M11 14 H17 M14 11 V17" {line(c, 1.8)}/>')


def g_open(c):
    return (f'<path d="M6 23 V9 H12 L14 11 H24 V14" {line(c, 1.8)}/>'
            f'<path d="M6 23 L9.5 14 H27 L23.5 23 Z" {line(c, 1.8)}/>')


def g_delete(c):
    return (f'<path d="M8 10 H24 M13 10 V8 H19 V10" {line(c, 1.8)}/>'
            f'<path d="M10 10 L11 24 H21 L22 10" {line(c, 1.8)}/>'
            f'<path d="M14 13.5 V21 M18 13.5 V21" {line(c, 1.5)}/>')


def gear_path(cx, cy, r_out, r_in, teeth):
    pts = []
    for i in range(teeth * 4):
        a = 2 * math.pi * i / (teeth * 4)
        r = r_out if (i % 4) in (1, 2) else r_in
        pts.append(f'{cx + r * math.cos(a):.2f} {cy + r * math.sin(a):.2f}')
    return 'M' + ' L'.join(pts) + ' Z'


def g_settings(c):
    return (f'<path d="{gear_path(16, 16, 10, 7.5, 8)}" {line(c, 1.6)}/>'
            f'<circle cx="16" cy="16" r="3" {line(c, 1.8)}/>')


def g_csv(c):
    # a sheet with a table on it
    return (f'<path d="M9 6 H19 L24 11 V26 H9 Z" {line(c, 1.6)}/>'
            f'<path d="M19 6 V11 H24" {line(c, 1.2)}/>'
            f'<path d="M12 15 H21 M12 18.5 H21 M12 22 H21 M15.5 13 V24" {line(c, 1.2)}/>')


def g_swap(c):
    return (f'<path d="M7 12 H23 M19 8 L23 12 L19 16" {line(c, 2)}/>'
            f'<path d="M25 20 H9 M13 16 L9 20 L13 24" {line(c, 2)}/>')


def g_map(c):
    return (f'<path d="M5 10 L11 8 L20 11 L27 9 V23 L20 25 L11 22 L5 24 Z" {line(c, 1.6)}/>'
            f'<path d="M11 8 V22 M20 11 V25" {line(c, 1.2)}/>'
            f'<path d="M16 20 C13 16 12.5 15 12.5 13.5 A3.5 3.5 0 0 1 19.5 13.5 '
            f'C19.5 15 19 16 16 20 Z" fill="{c}"/>'
            f'<circle cx="16" cy="13.5" r="1.3" fill="{PANEL[0]}"/>')



def strip(w, h, glyph, radius=4, panels=PANEL, pressed_shift=0.6, edges=EDGE):
    body = ''
    for i in range(4):
        ink = INK_OFF if i == 3 else INK
        shift = pressed_shift if i == 2 else 0
        body += f'<g transform="translate({i * w},0)">' + panel_of(i, w, h, radius, panels, edges)
        body += f'<g transform="translate({shift},{shift})">{glyph(ink)}</g></g>\n'
    return svg(4 * w, h, body)


def panel_of(i, w, h, radius, panels, edges):
    return (f'<rect x="0.5" y="0.5" width="{w - 1}" height="{h - 1}" rx="{radius}" '
            f'fill="{panels[i]}" stroke="{edges[i]}" stroke-width="1"/>')


TOOLS = {
    'tool_to_start': g_to_start, 'tool_previous': g_previous, 'tool_play': g_play,
    'tool_pause': g_pause, 'tool_slower': g_slower, 'tool_faster': g_faster,
    'tool_next': g_next, 'tool_snapshot': g_snapshot, 'tool_join': g_join,
    'tool_zoom': g_zoom, 'tool_open': g_open, 'tool_delete': g_delete,
    'tool_settings': g_settings, 'tool_csv': g_csv, 'tool_swap': g_swap,
    'tool_map': g_map,
}

CAPTION_PANELS = ["#2b3038", "#3b4350", "#1d64c8", "#23262b"]
CLOSE_PANELS = ["#2b3038", "#c42b1c", "#8f1d12", "#23262b"]
CLOSE_EDGES = ["#3a404a", "#e0523f", "#b3291a", "#2c3036"]


def c_close(w, h):
    def glyph(c):
        cx, cy = w / 2, h / 2
        return f'<path d="M{cx - 4} {cy - 4} L{cx + 4} {cy + 4} M{cx + 4} {cy - 4} L{cx - 4} {cy + 4}" {line(c, 1.6)}/>'
    return glyph


def c_minimise(c):
    return f'<path d="M9 9.5 H17" {line(c, 1.6)}/>'


def c_layout(c):
    return (f'<rect x="7.5" y="4.5" width="11" height="9" rx="1" {line(c, 1.4)}/>'
            f'<path d="M12 4.5 V13.5" {line(c, 1.4)}/>')


def check_strip():
    body = ''
    boxes = [("#1b1e23", "#aab2bd"), ("#252a31", "#6ea8ff"), ("#1d64c8", "#4f8ff0"),
             ("#2a2d31", "#4a4f56")]
    for i, (fill, edge) in enumerate(boxes):
        body += (f'<g transform="translate({i * 12},0)"><rect x="0.5" y="0.5" width="11" '
                 f'height="11" rx="2" fill="{fill}" stroke="{edge}" stroke-width="1"/>')
        if i == 2:
            body += f'<path d="M3 6.2 L5.2 8.5 L9.2 3.6" {line(INK, 1.6)}/>'
        body += '</g>\n'
    return svg(48, 12, body)


def track(color, w=16, h=10):
    return svg(w, h, f'<rect x="0" y="3" width="{w}" height="4" fill="{color}"/>\n')


def thumb(fill, ring, w=10, h=10):
    return svg(w, h, f'<circle cx="5" cy="5" r="4.3" fill="{fill}" stroke="{ring}" '
                     'stroke-width="1.2"/>\n')


def window_icon():
    return svg(32, 32,
               '<rect x="1" y="1" width="30" height="30" rx="7" fill="#1d64c8"/>\n'
               '<rect x="5" y="10" width="22" height="14" rx="3" fill="#f4f6f9"/>\n'
               '<path d="M10 10 L12 7 H20 L22 10 Z" fill="#f4f6f9"/>\n'
               '<circle cx="16" cy="17" r="5" fill="#1b1e23"/>\n'
               '<circle cx="16" cy="17" r="2.4" fill="#6ea8ff"/>\n'
               '<circle cx="23.5" cy="13" r="1.2" fill="#c42b1c"/>\n')


def cursor():
    # a pointing hand, finger tip at (9, 2)
    hand = ('M9 2.5 C10.4 2.5 11 3.4 11 4.6 V12 C11.6 11.4 13.6 11.3 14 12.6 '
            'C14.8 11.9 16.6 12 17 13.4 C17.8 12.9 19.5 13.2 19.7 14.8 V21 '
            'C19.7 24.5 17.8 27 14.5 27 H12.4 C10.5 27 9.2 26 8.2 24.4 L4.6 18.3 '
            'C3.9 17.1 4.3 16 5.3 15.6 C6.2 15.2 7 15.6 7.5 16.4 L7 17 V4.6 '
            'C7 3.4 7.6 2.5 9 2.5 Z')
    return svg(32, 32, f'<path d="{hand}" fill="#ffffff" stroke="#1b1e23" stroke-width="1.4" '
                       'stroke-linejoin="round"/>\n'
                       f'<path d="M11 12.5 V18 M14 13 V18 M17 14 V18" {line("#1b1e23", 1)}/>\n')


def main():
    for name, glyph in TOOLS.items():
        open(f'{name}.svg', 'w').write(strip(32, 32, glyph))
    open('caption_close.svg', 'w').write(strip(46, 18, c_close(46, 18), 2, CLOSE_PANELS, edges=CLOSE_EDGES))
    open('caption_minimise.svg', 'w').write(strip(26, 18, c_minimise, 2, CAPTION_PANELS))
    open('caption_layout.svg', 'w').write(strip(26, 18, c_layout, 2, CAPTION_PANELS))
    open('frame_close.svg', 'w').write(strip(20, 20, c_close(20, 20), 2, CLOSE_PANELS, edges=CLOSE_EDGES))
    open('check_box.svg', 'w').write(check_strip())
    open('seek_filled.svg', 'w').write(track('#3d8bff'))
    open('seek_empty.svg', 'w').write(track('#4a505a'))
    open('seek_thumb.svg', 'w').write(thumb('#f4f6f9', '#1d64c8'))
    open('seek_thumb_pressed.svg', 'w').write(thumb('#6ea8ff', '#f4f6f9'))
    open('volume_filled.svg', 'w').write(track('#2fbf8f'))
    open('volume_empty.svg', 'w').write(track('#4a505a'))
    open('volume_thumb.svg', 'w').write(thumb('#f4f6f9', '#1f8f6a'))
    open('volume_thumb_pressed.svg', 'w').write(thumb('#7fe0bf', '#f4f6f9'))
    open('window_icon.svg', 'w').write(window_icon())
    open('cursor.svg', 'w').write(cursor())


if __name__ == '__main__':
    main()
