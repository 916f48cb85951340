#!/usr/bin/env python3
"""Writes the window's pictures as SVG files under resources/, and resources/morvane.qrc.

Every picture is made here, so the skin is edited in one place and stays consistent: the
caption buttons and the check box repeat the slice of the band they sit on, so they blend
into it wherever the layout puts them; the operation buttons, also used on the password
dialog, have clear corners instead.

    tools/make-art.py           write the files
    tools/make-art.py --check   exit 1 when a written file differs from what is committed

Only the SVG features that Qt's SVG renderer (Tiny 1.2) draws are used: shapes, paths,
linear gradients, opacity and dashes; no filters, masks, clip paths or patterns.
"""
import math
import os
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
RES = os.path.join(ROOT, "resources")

# Colours the layout fixes.
STATUS_BLUE = "#0041C6"      # status band
TOOL_START = "#17A0D1"       # tool band gradient, left
PANEL_LINE = "#97B9E7"       # inner panel outline
TREE_BG = "#EDF2FC"          # tree background

# Our own palette.
HEADER_TOP, HEADER_BOTTOM = "#2A68DE", "#0A45C2"
PANE_TOP, PANE_BOTTOM = "#0C48C3", STATUS_BLUE
BAND_TOP, BAND_BOTTOM = "#F7FAFF", "#E7EFFB"
INK = "#33415C"
SLATE = "#7A8AA6"
SLATE_LIGHT = "#9DB1CF"
OUTLINE = "#5E7FAF"
BLUE = "#3E86E0"
BLUE_DARK = "#1F5FB8"
GREEN = "#22A861"
ORANGE = "#E97C1C"
RED = "#E5484D"
RED_DARK = "#B3262B"
PURPLE = "#8B5CF6"
PURPLE_DARK = "#5B34B8"
GOLD = "#F4B83A"
GOLD_DARK = "#A9720C"

HEADER_HEIGHT = 68
BAND_HEIGHT = 30
CHECK_TOP_IN_BAND = 8         # the check box square 8 px below it


def svg(width, height, body, defs=""):
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
           f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">']
    if defs:
        out.append(f"<defs>{defs}</defs>")
    out.append(body)
    out.append("</svg>")
    return "\n".join(out) + "\n"


def vgrad(gid, stops, y1=0, y2=1, user=False, x1=0, x2=0):
    """A linear gradient; stops are (offset, colour[, opacity])."""
    units = ' gradientUnits="userSpaceOnUse"' if user else ""
    s = "".join(
        f'<stop offset="{o}" stop-color="{c}"' + (f' stop-opacity="{a[0]}"' if a else "") + "/>"
        for o, c, *a in stops)
    return f'<linearGradient id="{gid}" x1="{x1}" y1="{y1}" x2="{x2}" y2="{y2}"{units}>{s}</linearGradient>'


def header_grad(gid, top_in_header=0):
    """The header band's gradient, placed for a picture whose top is top_in_header px into it."""
    return vgrad(gid, [(0, HEADER_TOP), (1, HEADER_BOTTOM)],
                 y1=-top_in_header, y2=HEADER_HEIGHT - top_in_header, user=True)


def band_grad(gid, top_in_band=0):
    """The bottom band's gradient, placed for a picture whose top is top_in_band px into it."""
    return vgrad(gid, [(0, BAND_TOP), (1, BAND_BOTTOM)],
                 y1=-top_in_band, y2=BAND_HEIGHT - top_in_band, user=True)


# ---------------------------------------------------------------------------------------
# The wordmark "Morvane", drawn as strokes so it needs no font.

def wordmark(x, baseline, xh, stroke, gap, colour):
    """Geometric lower-case letters (capital M) of x-height xh; returns (svg, right edge)."""
    r = xh / 2
    cy = baseline - r
    top = baseline - xh
    cap = baseline - xh * 1.42
    h = stroke / 2
    parts = []
    x += h

    def p(d):
        parts.append(f'<path d="{d}"/>')

    # M
    w = xh * 1.16
    p(f"M{x:.2f} {baseline}V{cap:.2f}L{x + w / 2:.2f} {baseline - xh * 0.45:.2f}L{x + w:.2f} {cap:.2f}V{baseline}")
    x += w + stroke + gap
    # o
    p(f"M{x:.2f} {cy:.2f}a{r:.2f} {r:.2f} 0 1 0 {2 * r:.2f} 0a{r:.2f} {r:.2f} 0 1 0 {-2 * r:.2f} 0z")
    x += 2 * r + stroke + gap
    # r
    rr = r * 1.05
    p(f"M{x:.2f} {baseline}V{top:.2f}M{x:.2f} {top + rr:.2f}a{rr:.2f} {rr:.2f} 0 0 1 {rr:.2f} {-rr:.2f}")
    x += rr + stroke + gap * 0.6
    # v
    vw = xh * 0.92
    p(f"M{x:.2f} {top:.2f}L{x + vw / 2:.2f} {baseline}L{x + vw:.2f} {top:.2f}")
    x += vw + stroke + gap
    # a (single storey)
    p(f"M{x:.2f} {cy:.2f}a{r:.2f} {r:.2f} 0 1 0 {2 * r:.2f} 0a{r:.2f} {r:.2f} 0 1 0 {-2 * r:.2f} 0z"
      f"M{x + 2 * r:.2f} {top:.2f}V{baseline}")
    x += 2 * r + stroke + gap
    # n
    nr = r * 0.92
    p(f"M{x:.2f} {top:.2f}V{baseline}M{x:.2f} {top + nr:.2f}a{nr:.2f} {nr:.2f} 0 0 1 {2 * nr:.2f} 0V{baseline}")
    x += 2 * nr + stroke + gap
    # e: the bar, then the bowl round the top and down to the lower right
    ex = x + r + r * math.cos(math.radians(40))
    ey = cy + r * math.sin(math.radians(40))
    p(f"M{x:.2f} {cy:.2f}H{x + 2 * r:.2f}A{r:.2f} {r:.2f} 0 1 0 {ex:.2f} {ey:.2f}")
    x += 2 * r + h
    body = (f'<g fill="none" stroke="{colour}" stroke-width="{stroke}" stroke-linecap="round" '
            f'stroke-linejoin="round">' + "".join(parts) + "</g>")
    return body, x


# ---------------------------------------------------------------------------------------
# The emblem: a white padlock with a keyhole on a blue rounded square (also the app icon).

def emblem(size=256, detailed=True):
    s = size / 256

    def n(v):
        return f"{v * s:.2f}"

    defs = (vgrad("tile", [(0, "#4A9BFF"), (0.55, "#1F63E0"), (1, "#0A3FB8")], x1=0, y1=0, x2=0.35, y2=1)
            + vgrad("shine", [(0, "#FFFFFF", 0.28), (1, "#FFFFFF", 0)])
            + vgrad("body", [(0, "#FFFFFF"), (1, "#DCE8FB")])
            + vgrad("hole", [(0, "#0B4FD0"), (1, "#0A3A9E")]))
    body = [
        f'<rect x="{n(12)}" y="{n(12)}" width="{n(232)}" height="{n(232)}" rx="{n(56)}" fill="url(#tile)"/>',
        f'<path d="M{n(12)} {n(120)}V{n(68)}a{n(56)} {n(56)} 0 0 1 {n(56)} {n(-56)}H{n(188)}'
        f'a{n(56)} {n(56)} 0 0 1 {n(56)} {n(56)}V{n(104)}C{n(180)} {n(132)} {n(80)} {n(136)} {n(12)} {n(120)}z" '
        f'fill="url(#shine)"/>' if detailed else "",
        # shadow under the lock
        f'<rect x="{n(64)}" y="{n(122)}" width="{n(128)}" height="{n(96)}" rx="{n(20)}" fill="#001F66" opacity="0.28"/>',
        f'<path d="M{n(90)} {n(118)}V{n(92)}a{n(38)} {n(38)} 0 0 1 {n(76)} 0V{n(118)}" fill="none" '
        f'stroke="#FFFFFF" stroke-width="{n(22)}"/>',
        f'<rect x="{n(64)}" y="{n(110)}" width="{n(128)}" height="{n(98)}" rx="{n(20)}" fill="url(#body)"/>',
        f'<circle cx="{n(128)}" cy="{n(148)}" r="{n(15)}" fill="url(#hole)"/>',
        f'<path d="M{n(121)} {n(150)}L{n(115)} {n(184)}H{n(141)}L{n(135)} {n(150)}z" fill="url(#hole)"/>',
    ]
    if detailed:
        # the cyan accent of the tool band along the lock's foot
        body.append(f'<rect x="{n(84)}" y="{n(194)}" width="{n(88)}" height="{n(4)}" rx="{n(2)}" '
                    f'fill="{TOOL_START}" opacity="0.9"/>')
    return defs, "\n".join(b for b in body if b)


def emblem_small(size):
    """The emblem simplified for 16 to 24 pixels: bolder shapes on the pixel grid."""
    s = size / 16

    def n(v):
        return f"{v * s:.2f}"

    defs = vgrad("tile", [(0, "#4A9BFF"), (0.55, "#1F63E0"), (1, "#0A3FB8")], x1=0, y1=0, x2=0.35, y2=1)
    body = "\n".join([
        f'<rect x="0" y="0" width="{n(16)}" height="{n(16)}" rx="{n(3.5)}" fill="url(#tile)"/>',
        f'<path d="M{n(5.5)} {n(7.5)}V{n(5.5)}a{n(2.5)} {n(2.5)} 0 0 1 {n(5)} 0V{n(7.5)}" fill="none" '
        f'stroke="#FFFFFF" stroke-width="{n(1.6)}"/>',
        f'<rect x="{n(3.5)}" y="{n(7)}" width="{n(9)}" height="{n(6.5)}" rx="{n(1.2)}" fill="#FFFFFF"/>',
        f'<rect x="{n(7.2)}" y="{n(8.8)}" width="{n(1.6)}" height="{n(3)}" rx="{n(0.8)}" fill="#0B4FD0"/>',
    ])
    return defs, body


# ---------------------------------------------------------------------------------------
# Skin pictures, by file name (the roles are listed in ui/skin/Artwork.cpp).

def skin():
    out = {}

    # Logo area, 169 x 68: emblem and wordmark on the header's own gradient, so the two meet
    # without a seam.
    edefs, ebody = emblem(36)
    word, right = wordmark(54, 41, 11.5, 2.7, 2.6, "#FFFFFF")
    out["logo"] = svg(169, 68, (
        f'<rect width="169" height="68" fill="url(#hdr)"/>'
        f'<rect width="169" height="1" fill="#FFFFFF" opacity="0.16"/>'
        f'<rect y="67" width="169" height="1" fill="#062F8C" opacity="0.55"/>'
        f'<g transform="translate(12 16)">{ebody}</g>'
        f'{word}'
        ), header_grad("hdr") + edefs)
    assert right < 165, right

    # Header band, stretched sideways: a vertical gradient only.
    out["header"] = svg(16, 68, (
        '<rect width="16" height="68" fill="url(#hdr)"/>'
        '<rect width="16" height="1" fill="#FFFFFF" opacity="0.16"/>'
        '<rect y="67" width="16" height="1" fill="#062F8C" opacity="0.55"/>'
        ), header_grad("hdr"))

    # Tree pane and right pane: the frame round the tree, the tree title is written on it in
    # white. Stretched both ways, so a plain vertical gradient.
    out["pane"] = svg(16, 64, '<rect width="16" height="64" fill="url(#p)"/>',
                      vgrad("p", [(0, PANE_TOP), (1, PANE_BOTTOM)]))

    # Left cap of the tool band: the band's start colour with a protected-text mark; its right
    # edge is where the band's gradient starts.
    out["tool-cap"] = svg(34, 30, (
        f'<rect width="34" height="30" fill="{TOOL_START}"/>'
        '<rect width="34" height="1" fill="#FFFFFF" opacity="0.22"/>'
        '<g transform="translate(9 6)">'
        '<path d="M2.5 0.5H10.5L14.5 4.5V17.5H2.5z" fill="#FFFFFF" opacity="0.95"/>'
        f'<path d="M10.5 0.5V4.5H14.5" fill="none" stroke="{TOOL_START}" stroke-width="1"/>'
        f'<path d="M5 7.5H12M5 10H9" stroke="{TOOL_START}" stroke-width="1.2" opacity="0.7"/>'
        '<rect x="8.5" y="11.5" width="8.5" height="7" rx="1.3" fill="#0E6FA3"/>'
        '<path d="M10.6 11.5V10.3a2.15 2.15 0 0 1 4.3 0V11.5" fill="none" stroke="#0E6FA3" stroke-width="1.5"/>'
        '<rect x="12.2" y="13.6" width="1.2" height="2.8" rx="0.6" fill="#FFFFFF"/>'
        '</g>'
        ))

    # Bottom band of the inner panel, stretched sideways.
    out["bottom-band"] = svg(16, 30, (
        '<rect width="16" height="30" fill="url(#b)"/>'
        f'<rect width="16" height="1" fill="#D3E1F5"/>'
        ), band_grad("b"))

    # Operation buttons, 73 x 19; also the password dialog's buttons, on the dialog's own
    # background, so the corners stay clear.
    def button(fill_top, fill_bottom, line, inner=None, shade=False):
        parts = []
        if shade:
            parts.append('<rect x="0.5" y="1.5" width="72" height="17.5" rx="3.5" fill="#0A3A7A" opacity="0.06"/>')
        parts.append(f'<rect x="0.5" y="0.5" width="72" height="18" rx="3" fill="url(#f)" stroke="{line}"/>')
        if inner:
            parts.append(f'<path d="M3.5 1.5H69.5" stroke="{inner}" stroke-width="1"/>')
        return svg(73, 19, "".join(parts), vgrad("f", [(0, fill_top), (1, fill_bottom)]))

    out["button-normal"] = button("#FFFFFF", "#EEF3FC", PANEL_LINE, "#FFFFFF", shade=True)
    out["button-hot"] = button("#FFFFFF", "#DCF1FB", TOOL_START, "#FFFFFF", shade=True)
    out["button-pressed"] = button("#C9E5F6", "#E3F2FB", "#1183B5", "#B2D8EE")
    out["button-disabled"] = button("#F8F8F6", "#EFEFEC", "#D8D6CF")

    # Check box square, 13 x 13.
    def check(fill_top, fill_bottom, line, ticked=False, ring=None):
        parts = ['<rect width="13" height="13" fill="url(#bg)"/>']
        if ring:
            parts.append(f'<rect x="0" y="0" width="13" height="13" rx="3.5" fill="{ring}" opacity="0.25"/>')
        parts.append(f'<rect x="1.5" y="1.5" width="10" height="10" rx="2" fill="url(#f)" stroke="{line}"/>')
        if ticked:
            parts.append('<path d="M3.8 6.7L5.7 8.6L9.4 4.6" fill="none" stroke="#FFFFFF" stroke-width="1.7" '
                         'stroke-linecap="round" stroke-linejoin="round"/>')
        return svg(13, 13, "".join(parts),
                   band_grad("bg", CHECK_TOP_IN_BAND) + vgrad("f", [(0, fill_top), (1, fill_bottom)]))

    out["check-off"] = check("#FFFFFF", "#EEF3FC", "#7FA2D4")
    out["check-off-hot"] = check("#FFFFFF", "#E2F3FC", TOOL_START, ring=TOOL_START)
    out["check-disabled"] = check("#F4F4F1", "#ECECE8", "#CDCBC4")
    out["check-on"] = check("#2C9BE2", "#1473C0", "#1266AA", ticked=True)
    out["check-on-hot"] = check("#45B4EE", "#1C8AD6", "#1279BE", ticked=True, ring=TOOL_START)

    # Caption buttons on the header's top rows: minimise, maximise, restore 33 x 20, close 47 x 20.
    def caption(width, glyph, state, danger=False):
        parts = [f'<rect width="{width}" height="20" fill="url(#hdr)"/>',
                 f'<rect width="{width}" height="1" fill="#FFFFFF" opacity="0.16"/>']
        if state == "hot":
            parts.append(f'<rect width="{width}" height="20" fill="{"#E5484D" if danger else "#FFFFFF"}" '
                         f'opacity="{1 if danger else 0.16}"/>')
        elif state == "pressed":
            parts.append(f'<rect width="{width}" height="20" fill="{"#B8282E" if danger else "#001A55"}" '
                         f'opacity="{1 if danger else 0.28}"/>')
        # 1-pixel strokes on pixel centres, so the glyphs are sharp at 1x.
        c = width / 2
        g = {
            "minimise": f'<path d="M{c - 4.5} 10.5H{c + 4.5}"/>',
            "maximise": f'<rect x="{c - 4}" y="6.5" width="8" height="8" rx="1"/>',
            "restore": (f'<rect x="{c - 5}" y="7.5" width="7" height="7" rx="1"/>'
                        f'<path d="M{c - 3} 7.5V5.5A1 1 0 0 1 {c - 2} 4.5H{c + 3}A1 1 0 0 1 {c + 4} 5.5V10.5'
                        f'A1 1 0 0 1 {c + 3} 11.5H{c + 2}"/>'),
            "close": (f'<path d="M{c - 4.5} 5.5L{c + 4.5} 14.5M{c + 4.5} 5.5L{c - 4.5} 14.5" '
                      f'stroke-width="1.3" stroke-linecap="round"/>'),
        }[glyph]
        parts.append(f'<g fill="none" stroke="#FFFFFF" stroke-width="1">{g}</g>')
        return svg(width, 20, "".join(parts), header_grad("hdr"))

    for glyph in ("minimise", "maximise", "restore"):
        for state in ("normal", "hot", "pressed"):
            out[f"{glyph}-{state}"] = caption(33, glyph, state)
    for state in ("normal", "hot", "pressed"):
        out[f"close-{state}"] = caption(47, "close", state, danger=True)

    # Size grip, 11 x 11, on the status band.
    dots = "".join(f'<rect x="{x}" y="{y}" width="2" height="2" rx="0.5"/>'
                   for x, y in ((8, 8), (5, 8), (2, 8), (8, 5), (5, 5), (8, 2)))
    out["grip"] = svg(11, 11, f'<rect width="11" height="11" fill="{STATUS_BLUE}"/>'
                              f'<g fill="#FFFFFF" opacity="0.55">{dots}</g>')

    # Progress fill: copied unscaled from its left, so the whole bar (200 x 9) is covered.
    stripes = "".join(f'<path d="M{x} 9L{x + 6} 0H{x + 10}L{x + 4} 9z"/>' for x in range(-8, 204, 12))
    out["progress-fill"] = svg(200, 9, (
        '<rect width="200" height="9" fill="url(#f)"/>'
        f'<g fill="#FFFFFF" opacity="0.12">{stripes}</g>'
        '<rect width="200" height="1" fill="#FFFFFF" opacity="0.35"/>'
        '<rect y="8" width="200" height="1" fill="#06507F" opacity="0.35"/>'
        ), vgrad("f", [(0, "#49C6F5"), (0.5, "#1CA3E2"), (1, "#0E82C6")]))
    return out


# ---------------------------------------------------------------------------------------
# Tree icons, 16 x 16. Each picture reads on the tree's pale background and on the marked
# rows' blue and green.

def icon(body, defs=""):
    return svg(16, 16, body, defs)


def outlined(shapes, fill, line, width=2):
    """Shapes with a 1-pixel outline round their union: the outline drawn under the fill."""
    return (f'<g fill="{line}" stroke="{line}" stroke-width="{width}" stroke-linejoin="round">{shapes}</g>'
            f'<g fill="{fill}">{shapes}</g>')


def folder(back, front_top, front_bottom, line):
    return icon(
        f'<path d="M1.5 13.5V3a0.5 0.5 0 0 1 0.5-0.5H6L7.5 4H14a0.5 0.5 0 0 1 0.5 0.5V13.5z" '
        f'fill="{back}" stroke="{line}"/>'
        f'<path d="M1.5 13.5V7a0.5 0.5 0 0 1 0.5-0.5H14a0.5 0.5 0 0 1 0.5 0.5V13.5z" fill="url(#f)" stroke="{line}"/>'
        '<path d="M2.5 7.5H13.5" stroke="#FFFFFF" stroke-opacity="0.6"/>',
        vgrad("f", [(0, front_top), (1, front_bottom)]))


def tile(fill_top, fill_bottom, line, glyph, glyph_colour="#FFFFFF", width=1.8):
    return icon(
        f'<rect x="1.5" y="1.5" width="13" height="13" rx="3" fill="url(#f)" stroke="{line}"/>'
        f'<g fill="none" stroke="{glyph_colour}" stroke-width="{width}" stroke-linecap="round" '
        f'stroke-linejoin="round">{glyph}</g>',
        vgrad("f", [(0, fill_top), (1, fill_bottom)]))


def page(lines):
    return (f'<path d="M3.5 1.5H10L12.5 4V14.5H3.5z" fill="#FFFFFF" stroke="{SLATE}"/>'
            f'<path d="M9.5 1.5V4.5H12.5" fill="none" stroke="{SLATE}"/>' + lines)


def tray(arrow, colour):
    return icon(
        f'<path d="M1.5 9.5H5L6 11.5H10L11 9.5H14.5V14.5H1.5z" fill="#E9EFF8" stroke="{OUTLINE}" '
        'stroke-linejoin="round"/>' + arrow.format(c=colour))


def icons():
    out = {}
    out["book"] = icon(
        '<rect x="2.5" y="1.5" width="11" height="13" rx="1.5" fill="url(#c)" stroke="#1A4FA8"/>'
        '<path d="M4.5 2V14" stroke="#1A4FA8" stroke-opacity="0.45"/>'
        '<path d="M5.5 12.5H13" stroke="#FFFFFF" stroke-opacity="0.85"/>'
        f'<path d="M7.5 7V6a1.5 1.5 0 0 1 3 0V7" fill="none" stroke="{GOLD}" stroke-width="1.2"/>'
        f'<rect x="6.5" y="6.8" width="5" height="4" rx="0.8" fill="{GOLD}"/>'
        '<rect x="8.5" y="8" width="1" height="1.6" fill="#7A4E05"/>',
        vgrad("c", [(0, "#5B9BF5"), (1, "#2463D1")]))
    out["directory"] = folder("#E3A12A", "#FFD972", "#F3B33B", "#B27613")
    out["alt-directory"] = folder("#2E9E8B", "#7FDCC9", "#3FB8A2", "#1F7A6A")
    out["lock"] = icon(
        '<path d="M4.8 7.5V5.2a3.2 3.2 0 0 1 6.4 0V7.5" fill="none" stroke="#5F6F84" stroke-width="1.8"/>'
        '<rect x="2.5" y="7.5" width="11" height="7" rx="1.5" fill="url(#b)" stroke="#175DA6"/>'
        '<circle cx="8" cy="10.2" r="1.3" fill="#FFFFFF"/>'
        '<rect x="7.4" y="10.4" width="1.2" height="2.4" rx="0.4" fill="#FFFFFF"/>',
        vgrad("b", [(0, "#53AEF0"), (1, "#1F74C9")]))
    ring = ("M1 7.5a3.5 3.5 0 1 0 7 0a3.5 3.5 0 1 0 -7 0z"
            "M3.2 7.5a1.3 1.3 0 1 1 2.6 0a1.3 1.3 0 1 1 -2.6 0z")
    key_shapes = (f'<path fill-rule="evenodd" d="{ring}"/>'
                  '<path d="M7.5 6.5H14.5V8.5H13.5V11H11.5V8.5H10.5V10H9V8.5H7.5z"/>')
    out["key"] = icon(
        f'<g fill="{GOLD_DARK}" stroke="{GOLD_DARK}" stroke-width="1.6" stroke-linejoin="round">{key_shapes}</g>'
        f'<g fill="url(#g)">{key_shapes}</g>'
        '<path d="M8 7.2H14" stroke="#FFFFFF" stroke-opacity="0.55" stroke-width="0.8"/>',
        vgrad("g", [(0, "#FFD76A"), (1, "#EFA722")]))
    out["signature"] = icon(
        f'<path d="M2.5 12.5L3.8 7.6L9.6 1.8L13.2 5.4L7.4 11.2z" fill="url(#p)" stroke="{PURPLE_DARK}" '
        'stroke-linejoin="round"/>'
        f'<path d="M2.6 12.4L6.3 8.7" stroke="{PURPLE_DARK}" stroke-width="1"/>'
        '<circle cx="6.6" cy="8.4" r="1" fill="#FFFFFF"/>'
        f'<path d="M7.5 14.5c1-1.6 2-1.6 2.6 0s1.6 1.6 2.6 0s1.6-1 2.3 0" fill="none" stroke="{PURPLE}" '
        'stroke-width="1.1" stroke-linecap="round"/>',
        vgrad("p", [(0, "#B18CFA"), (1, "#7C4BEA")]))
    star = " ".join(
        f"{8 + (3.4 if i % 2 == 0 else 1.4) * math.sin(math.radians(i * 36)):.2f},"
        f"{8.3 - (3.4 if i % 2 == 0 else 1.4) * math.cos(math.radians(i * 36)):.2f}" for i in range(10))
    out["police"] = icon(
        '<path d="M8 1.2L13.5 3.3V7.8C13.5 11.2 11.2 13.5 8 14.8C4.8 13.5 2.5 11.2 2.5 7.8V3.3z" '
        'fill="url(#s)" stroke="#1B2C63" stroke-linejoin="round"/>'
        f'<polygon points="{star}" fill="#FFD65A"/>',
        vgrad("s", [(0, "#4D6FCC"), (1, "#22397E")]))
    out["neutral"] = icon(
        '<rect x="3.5" y="3.5" width="9" height="9" rx="2" fill="#E3E8F0" stroke="#9AA6B8"/>'
        '<circle cx="8" cy="8" r="1.4" fill="#9AA6B8"/>')

    # Field lines.
    out["input"] = tray('<path d="M8 1.5V7.2" stroke="{c}" stroke-width="2"/>'
                        '<path d="M4.6 5.2L8 9L11.4 5.2z" fill="{c}" stroke="{c}" stroke-linejoin="round"/>', GREEN)
    out["output"] = tray('<path d="M8 9V3.8" stroke="{c}" stroke-width="2"/>'
                         '<path d="M4.6 5.3L8 1.5L11.4 5.3z" fill="{c}" stroke="{c}" stroke-linejoin="round"/>', ORANGE)
    bars = "".join(f'<rect x="{x}" y="5" width="{w}" height="6"/>'
                   for x, w in ((3, 1), (5, 2), (8, 1), (10, 1), (12, 1)))
    out["serial"] = icon(
        f'<rect x="1.5" y="3.5" width="13" height="9" rx="1.5" fill="#FFFFFF" stroke="{OUTLINE}"/>'
        f'<g fill="{INK}">{bars}</g>')
    person = ('<circle cx="8" cy="5" r="2.9"/>'
              '<path d="M2.6 14.4C2.6 10.8 5 9.2 8 9.2S13.4 10.8 13.4 14.4z"/>')
    out["identity"] = icon(outlined(person, "url(#b)", "#2C5499", 1.6),
                           vgrad("b", [(0, "#6E9BE8"), (1, "#3D6CC4")]))
    out["email"] = icon(
        f'<rect x="1.5" y="3.5" width="13" height="9" rx="1" fill="#FFFFFF" stroke="{OUTLINE}"/>'
        f'<path d="M2 4L8 9L14 4" fill="#DCE8F8" stroke="{OUTLINE}" stroke-linejoin="round"/>')
    out["use-count"] = icon(
        f'<g stroke="{INK}" stroke-width="1.4" stroke-linecap="round">'
        '<path d="M3.5 3V13M6.5 3V13M9.5 3V13M12.5 3V13"/></g>'
        f'<path d="M1.5 11.5L14.5 4.5" stroke="{RED}" stroke-width="1.7" stroke-linecap="round"/>')
    out["strength"] = icon("".join(
        f'<rect x="{x + 0.5}" y="{14.5 - hgt}" width="2" height="{hgt}" rx="0.5" fill="{c}" stroke="{line}"/>'
        for x, hgt, c, line in ((1, 3, "#A7E3C0", "#4DAF78"), (4.5, 6, "#6FD39B", "#2F9960"),
                                (8, 9, "#34BD72", "#1E8A50"), (11.5, 12, "#1E9E5A", "#147040"))))
    dots = "".join(f'<rect x="{x}" y="{y}" width="2" height="2"/>'
                   for x, y in ((4, 8), (7, 8), (10, 8), (4, 11), (7, 11)))
    out["date"] = icon(
        f'<rect x="1.5" y="2.5" width="13" height="12" rx="1.5" fill="#FFFFFF" stroke="{OUTLINE}"/>'
        f'<path d="M1.5 6.5V4A1.5 1.5 0 0 1 3 2.5H13A1.5 1.5 0 0 1 14.5 4V6.5z" fill="{RED}" stroke="{RED_DARK}"/>'
        f'<path d="M4.5 1V4M11.5 1V4" stroke="{INK}" stroke-width="1.4" stroke-linecap="round"/>'
        f'<g fill="{SLATE_LIGHT}">{dots}</g><rect x="10" y="11" width="2" height="2" fill="{RED}"/>')
    out["note"] = icon(
        '<path d="M2.5 2.5H13.5V10L10 13.5H2.5z" fill="#FFE27A" stroke="#C39A1C" stroke-linejoin="round"/>'
        '<path d="M13.5 10H10V13.5z" fill="#F0C545" stroke="#C39A1C" stroke-linejoin="round"/>'
        '<path d="M4.5 5.5H11.5M4.5 8H11.5M4.5 10.5H8" stroke="#A98315" stroke-width="1"/>')

    # The key numbers as letter tiles: public parts blue, the private exponent red, the
    # primes purple, the coefficient orange.
    blue = ("#5AA0F2", "#2A6FD6", "#1F58B0")
    red = ("#F0727A", "#D23A48", "#A8232F")
    purple = ("#A98BF7", "#7A4FE6", "#5B34B8")
    orange = ("#F7A654", "#E27714", "#B45B0A")
    letters = {
        "N": (blue, "M5 12V4L11 12V4"),
        "E": (blue, "M10.8 4H5.2V12H10.8M5.2 8H9.8"),
        "D": (red, "M5.2 4V12H7.3A3.9 4 0 0 0 7.3 4z"),
        "P": (purple, "M5.5 12.2V4H8.3A2.3 2.3 0 0 1 8.3 8.6H5.5"),
        "Q": (purple, "M8 4A3.6 3.9 0 1 0 8 11.8A3.6 3.9 0 1 0 8 4zM9.3 9.7L11.6 12.4"),
        "U": (orange, "M5 4V8.9A3 3.1 0 0 0 11 8.9V4"),
    }
    for name, ((top, bottom, line), glyph) in letters.items():
        out[f"field-{name.lower()}"] = tile(top, bottom, line, f'<path d="{glyph}"/>')

    # The two detail groups: before the computation (open), after it (locked).
    def card(header, locked):
        body = (f'<rect x="1.5" y="1.5" width="13" height="13" rx="1.5" fill="#FFFFFF" stroke="{OUTLINE}"/>'
                f'<path d="M1.5 5.5V3A1.5 1.5 0 0 1 3 1.5H13A1.5 1.5 0 0 1 14.5 3V5.5z" fill="{header}" '
                f'stroke="{OUTLINE}"/>'
                f'<g fill="{header}"><rect x="3.5" y="7" width="2" height="2"/><rect x="3.5" y="10.5" width="2" '
                'height="2"/></g>'
                f'<path d="M7 8H12.5M7 11.5H{"9" if locked else "12.5"}" stroke="{SLATE_LIGHT}" stroke-width="1.2"/>')
        if locked:
            body += (f'<path d="M10.7 11.5V10.3a1.55 1.55 0 0 1 3.1 0V11.5" fill="none" stroke="{INK}" '
                     'stroke-width="1.1"/>'
                     f'<rect x="9.5" y="11.2" width="5.5" height="4.3" rx="0.8" fill="{GOLD}" stroke="{GOLD_DARK}" '
                     'stroke-width="0.8"/>')
        return icon(body)

    out["details-before"] = card(BLUE, False)
    out["details-after"] = card(PURPLE, True)

    # Detail rows.
    out["row-reserved"] = icon(
        f'<rect x="2.5" y="4.5" width="11" height="7" rx="1" fill="#FFFFFF" fill-opacity="0.6" stroke="{SLATE}" '
        'stroke-dasharray="2 1.5"/>'
        f'<g fill="{SLATE_LIGHT}"><rect x="5" y="7" width="2" height="2"/><rect x="9" y="7" width="2" height="2"/></g>')
    out["row-attribute"] = icon(
        '<path d="M1.5 8L5.8 3.5H14.5V12.5H5.8z" fill="url(#t)" stroke="#177A6E" stroke-linejoin="round"/>'
        '<circle cx="6" cy="8" r="1.2" fill="#FFFFFF"/>'
        '<path d="M8.5 8H12.5" stroke="#FFFFFF" stroke-width="1.2" stroke-opacity="0.8"/>',
        vgrad("t", [(0, "#4DD0BF"), (1, "#20A090")]))
    out["row-strength"] = icon(
        '<path d="M2.2 12.2A5.9 5.9 0 0 1 4 7.9" fill="none" stroke="#34BD72" stroke-width="2.2"/>'
        '<path d="M4.9 7.1A5.9 5.9 0 0 1 11.1 7.1" fill="none" stroke="#F4B83A" stroke-width="2.2"/>'
        '<path d="M12 7.9A5.9 5.9 0 0 1 13.8 12.2" fill="none" stroke="#E5484D" stroke-width="2.2"/>'
        f'<path d="M8 12.2L11 8.4" stroke="{INK}" stroke-width="1.5" stroke-linecap="round"/>'
        f'<circle cx="8" cy="12.2" r="1.5" fill="{INK}"/>')
    out["row-padding-type"] = tile("#F4F7FC", "#E2E9F4", SLATE, '<path d="M4.5 4.8H11.5M8 4.8V12"/>', INK, 1.8)
    ticks = "".join(f"M{x} 6V{9 if long else 8}" for x, long in
                    ((3, True), (5.5, False), (8, True), (10.5, False), (13, True)))
    out["row-length"] = icon(
        '<rect x="0.5" y="5.5" width="15" height="5" rx="0.8" fill="#FFD65A" stroke="#B48A16"/>'
        f'<path d="{ticks}" stroke="#7A5A06" stroke-width="1"/>')
    out["row-serial"] = icon(
        f'<path d="M9.5 2H6.8a3.4 3.4 0 0 0 0 6.8H9.5z" fill="{BLUE_DARK}"/>'
        f'<path d="M9 2V14.5M12.2 2V14.5M8.5 2.7H13.5" stroke="{BLUE_DARK}" stroke-width="1.5"/>')
    out["row-consumed"] = icon(
        f'<rect x="1.5" y="4.5" width="12" height="7" rx="1.5" fill="#FFFFFF" stroke="{SLATE}"/>'
        f'<rect x="14" y="6.5" width="1.5" height="3" rx="0.5" fill="{SLATE}"/>'
        '<rect x="3" y="6" width="6" height="4" rx="0.5" fill="#34BD72"/>')
    hatch = []
    for k in range(-6, 16, 3):
        # lines x - y = k clipped to the inner rectangle 2..14 x 4..12
        x0, y0 = max(2, 4 + k), max(4, 2 - k)
        x1, y1 = min(14, 12 + k), min(12, 14 - k)
        if x1 - x0 > 0.5:
            hatch.append(f"M{x0} {y0}L{x1} {y1}")
    out["row-padding"] = icon(
        f'<rect x="1.5" y="3.5" width="13" height="9" rx="1" fill="#EEF2F8" stroke="{SLATE}"/>'
        f'<path d="{"".join(hatch)}" stroke="{SLATE}" stroke-width="1"/>')
    out["row-text-before"] = icon(page(
        f'<path d="M5.5 6H10.5M5.5 8.5H10.5" stroke="{BLUE}" stroke-width="1.4"/>'
        f'<path d="M5.5 11H10.5" stroke="{SLATE_LIGHT}" stroke-width="1.2"/>'))
    out["row-text-after"] = icon(page(
        f'<path d="M5.5 6H10.5" stroke="{SLATE_LIGHT}" stroke-width="1.2"/>'
        f'<path d="M5.5 8.5H10.5M5.5 11H10.5" stroke="{PURPLE}" stroke-width="1.4"/>'))
    out["row-combined"] = icon(
        f'<path d="M2 11L8 14L14 11" fill="none" stroke="{BLUE_DARK}" stroke-width="1.3" stroke-linejoin="round"/>'
        f'<path d="M2 8L8 11L14 8" fill="none" stroke="{BLUE}" stroke-width="1.3" stroke-linejoin="round"/>'
        '<path d="M8 2L14 5L8 8L2 5z" fill="url(#b)" stroke="#1F58B0" stroke-width="1" stroke-linejoin="round"/>',
        vgrad("b", [(0, "#7DB6F7"), (1, "#3E86E0")]))
    out["row-sign-flag"] = icon(
        f'<path d="M3.5 1.5V15" stroke="{INK}" stroke-width="1.3" stroke-linecap="round"/>'
        f'<path d="M4 2.5H13.5L11.3 5.5L13.5 8.5H4z" fill="url(#r)" stroke="{RED_DARK}" stroke-linejoin="round"/>',
        vgrad("r", [(0, "#F57C82"), (1, "#DB3840")]))
    out["row-digest"] = icon(
        '<rect x="1.5" y="1.5" width="13" height="13" rx="3" fill="#EFE9FD" stroke="#8D6BE0"/>'
        '<path d="M6.6 3.8L5.4 12.2M10.6 3.8L9.4 12.2M3.8 6.4H12.4M3.6 9.6H12.2" stroke="#5B34B8" '
        'stroke-width="1.3" stroke-linecap="round"/>')
    out["row-encoding"] = icon(
        f'<path d="M5 4L1.5 8L5 12M11 4L14.5 8L11 12" fill="none" stroke="{BLUE}" stroke-width="1.7" '
        'stroke-linecap="round" stroke-linejoin="round"/>'
        f'<path d="M9.2 3L6.8 13" stroke="{ORANGE}" stroke-width="1.5" stroke-linecap="round"/>')
    return out


def app_icons():
    defs, body = emblem(256)
    sdefs, sbody = emblem_small(16)
    return {"morvane": svg(256, 256, body, defs), "morvane-small": svg(16, 16, sbody, sdefs)}


def cursors():
    # Splitter cursor, 32 x 32, hot spot in the middle: two bars and two arrows, black with a
    # white outline so it shows on the white splitter and on the blue panes alike.
    shapes = ('<rect x="13" y="7" width="2" height="18"/><rect x="17" y="7" width="2" height="18"/>'
              '<path d="M3 16L8.5 10.5V14H11.5V18H8.5V21.5z"/>'
              '<path d="M29 16L23.5 10.5V14H20.5V18H23.5V21.5z"/>')
    return {"splitter": svg(32, 32, outlined(shapes, "#000000", "#FFFFFF", 2.4))}


def qrc(files):
    lines = ["<!DOCTYPE RCC>", "<!-- Written by tools/make-art.py. -->", '<RCC version="1.0">',
             '  <qresource prefix="/">']
    lines += [f"    <file>{f}</file>" for f in sorted(files)]
    lines += ["  </qresource>", "</RCC>"]
    return "\n".join(lines) + "\n"


def outputs():
    files = {}
    for name, text in skin().items():
        files[f"skin/{name}.svg"] = text
    for name, text in icons().items():
        files[f"icons/{name}.svg"] = text
    for name, text in app_icons().items():
        files[f"app/{name}.svg"] = text
    for name, text in cursors().items():
        files[f"cursors/{name}.svg"] = text
    files["morvane.qrc"] = qrc([f for f in files if f.endswith(".svg")])
    return files


def main():
    check = "--check" in sys.argv[1:]
    stale = []
    files = outputs()
    # Pictures no longer made here are removed, so the resources hold nothing unexplained.
    for folder in ("skin", "icons", "app", "cursors"):
        base = os.path.join(RES, folder)
        for name in sorted(os.listdir(base)) if os.path.isdir(base) else []:
            rel = f"{folder}/{name}"
            if name.endswith(".svg") and rel not in files:
                if check:
                    stale.append(rel)
                else:
                    os.remove(os.path.join(base, name))
    for rel, text in files.items():
        path = os.path.join(RES, rel)
        old = None
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                old = f.read()
        if old == text:
            continue
        if check:
            stale.append(rel)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    if stale:
        print("resources differ from tools/make-art.py: " + ", ".join(sorted(stale)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
