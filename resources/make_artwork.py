#!/usr/bin/env python3
"""Writes the artwork of mic as SVG files under resources/art/ and the one table from picture
number to file, resources/pictures.qrc (each picture is reachable as ":/pictures/<number>").

Run it after changing a drawing: python3 resources/make_artwork.py
The SVGs are committed, so the build does not need Python.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "art")
FONT = "DejaVu Sans"

# Palette: the dialog colours, then the lamp colours of the switches.
PANEL = "#1D446B"
TEXT = "#EDFBFD"
FIELD = "#285F95"
BODY = "#20262d"
BODY_HI = "#39424d"
BODY_LO = "#12161b"
DIM_TEXT = "#7d8a97"
PHANTOM = "#ff3b30"
PHASE = "#ffb020"
PAD = "#a4e03c"
DIRECT = "#33c4ff"
ONLINE = "#4cd964"
AMBER = "#ffb000"
STATUS1 = "#5fe08a"
STATUS2 = "#62c2ff"
OFFRED = "#b0413e"

table = {}  # picture number -> file name


def svg(w, h, body, defs=""):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">\n<defs>{defs}</defs>\n{body}\n</svg>\n')


def put(number, name, content):
    with open(os.path.join(ART, name), "w", encoding="utf-8") as f:
        f.write(content)
    if number is not None:
        table[number] = name


def text(x, y, s, size, colour, weight="bold", anchor="middle", spacing=0):
    ls = f' letter-spacing="{spacing}"' if spacing else ""
    return (f'<text x="{x}" y="{y}" font-family="{FONT}" font-size="{size}" '
            f'font-weight="{weight}" fill="{colour}" text-anchor="{anchor}"{ls}>{s}</text>')


def bevel_defs(gid, top, bottom):
    return (f'<linearGradient id="{gid}" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/>'
            f'</linearGradient>')


def glow_defs(gid, colour):
    return (f'<radialGradient id="{gid}" cx="0.5" cy="0.5" r="0.5">'
            f'<stop offset="0" stop-color="#ffffff" stop-opacity="0.95"/>'
            f'<stop offset="0.35" stop-color="{colour}" stop-opacity="1"/>'
            f'<stop offset="1" stop-color="{colour}" stop-opacity="0"/></radialGradient>')


# ---- channel switches (48 x 34): a lit key cap when on, a dark one with a dead lamp when off ---
def switch(label, colour, on, w=48, h=34, size=12):
    if on:
        defs = bevel_defs("cap", lighten(colour, 0.35), darken(colour, 0.25)) + glow_defs("g", colour)
        body = (f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="5" fill="{BODY_LO}"/>'
                f'<rect x="2.5" y="2.5" width="{w-5}" height="{h-5}" rx="4" fill="url(#cap)" '
                f'stroke="{lighten(colour, 0.6)}" stroke-width="1"/>'
                f'<rect x="4" y="3.5" width="{w-8}" height="{(h-5)/2-2}" rx="3" fill="#ffffff" '
                f'fill-opacity="0.18"/>'
                + text(w / 2, h / 2 + size * 0.38, label, size, "#111111"))
    else:
        defs = bevel_defs("cap", BODY_HI, BODY_LO)
        body = (f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="5" fill="#0b0d10"/>'
                f'<rect x="2.5" y="2.5" width="{w-5}" height="{h-5}" rx="4" fill="url(#cap)" '
                f'stroke="#4a5562" stroke-width="1"/>'
                f'<rect x="{w/2-9}" y="{h-8}" width="18" height="3" rx="1.5" fill="{darken(colour, 0.72)}"/>'
                + text(w / 2, h / 2 + size * 0.3, label, size, DIM_TEXT))
    return svg(w, h, body, defs)


def lighten(c, f):
    r, g, b = (int(c[i:i + 2], 16) for i in (1, 3, 5))
    r, g, b = (int(v + (255 - v) * f) for v in (r, g, b))
    return f"#{r:02x}{g:02x}{b:02x}"


def darken(c, f):
    r, g, b = (int(c[i:i + 2], 16) for i in (1, 3, 5))
    r, g, b = (int(v * (1 - f)) for v in (r, g, b))
    return f"#{r:02x}{g:02x}{b:02x}"


# ---- seven-segment digits -------------------------------------------------------------------
SEGMENTS = {0: "abcdef", 1: "bc", 2: "abged", 3: "abgcd", 4: "fgbc", 5: "afgcd", 6: "afgedc",
            7: "abc", 8: "abcdefg", 9: "abcdfg"}


def seg_paths(x, y, w, h, t):
    """Polygons of the seven segments inside the box (x, y, w, h), stroke thickness t."""
    m = h / 2
    hx0, hx1 = x + t * 0.6, x + w - t * 0.6
    def hseg(yc):
        return [(hx0, yc), (hx0 + t / 2, yc - t / 2), (hx1 - t / 2, yc - t / 2), (hx1, yc),
                (hx1 - t / 2, yc + t / 2), (hx0 + t / 2, yc + t / 2)]
    def vseg(xc, y0, y1):
        return [(xc, y0), (xc + t / 2, y0 + t / 2), (xc + t / 2, y1 - t / 2), (xc, y1),
                (xc - t / 2, y1 - t / 2), (xc - t / 2, y0 + t / 2)]
    lx, rx = x + t / 2, x + w - t / 2
    return {"a": hseg(y + t / 2), "g": hseg(y + m), "d": hseg(y + h - t / 2),
            "f": vseg(lx, y + t * 0.6, y + m - t * 0.1), "b": vseg(rx, y + t * 0.6, y + m - t * 0.1),
            "e": vseg(lx, y + m + t * 0.1, y + h - t * 0.6), "c": vseg(rx, y + m + t * 0.1, y + h - t * 0.6)}


def seven(d, x, y, w, h, t, colour, ghost):
    out = []
    segs = seg_paths(x, y, w, h, t)
    lit = SEGMENTS.get(d, "")
    for name, pts in segs.items():
        p = " ".join(f"{px:.2f},{py:.2f}" for px, py in pts)
        fill = colour if name in lit else ghost
        out.append(f'<polygon points="{p}" fill="{fill}"/>')
    return "".join(out)


def digit_picture(d, colour, w=24, h=40, back="#0a0f15", ghost="#101922"):
    body = (f'<rect width="{w}" height="{h}" fill="{back}"/>'
            + seven(d, w * 0.16, h * 0.12, w * 0.68, h * 0.76, max(2.5, w * 0.13), colour, ghost))
    return svg(w, h, body)


def blank_digit(w, h, back="#0a0f15", ghost="#17222e"):
    return svg(w, h, f'<rect width="{w}" height="{h}" fill="{back}"/>'
               + seven(None, w * 0.16, h * 0.12, w * 0.68, h * 0.76, max(2.5, w * 0.13), ghost, ghost))


# ---- gain displays (48 x 44): the gain in dB with an 11-step bar; assigned ones carry a tag ---
def gain_display(step_index, colour, assigned, w=48, h=44):
    db = 20 + 5 * step_index
    frame = AMBER if assigned else "#33485e"
    body = [f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="3" fill="#070b10" '
            f'stroke="{frame}" stroke-width="1"/>']
    if assigned:
        body.append(f'<rect x="1" y="1" width="{w-2}" height="9" rx="2" fill="{AMBER}"/>')
        body.append(text(w / 2, 8.4, "CONSOLE", 7, "#111111", spacing=0.3))
    else:
        body.append(text(w / 2, 9, "GAIN", 7, "#6f8aa3", spacing=0.8))
    body.append(text(w / 2 - 3, 30, str(db), 17, colour))
    body.append(text(w - 4, 30, "dB", 7, colour, "normal", "end"))
    # level bar: eleven cells, lit up to the current step
    cw = (w - 8) / 11
    for i in range(11):
        fill = colour if i <= step_index else "#1b2733"
        body.append(f'<rect x="{4 + i*cw + 0.4:.2f}" y="35" width="{cw-0.8:.2f}" height="5" fill="{fill}"/>')
    return svg(w, h, "".join(body))


def blank_gain(w=48, h=44):
    return svg(w, h, f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="3" fill="#070b10" '
                     f'stroke="#26323f" stroke-width="1"/>'
               + text(w / 2, 28, "– –", 14, "#2c3a48"))


# ---- big popup gain pictures (120 x 120): a knob on an arc scale ---------------------------
def knob(step_index, colour, w=120, h=120):
    cx, cy, r = w / 2, h / 2 + 4, 44
    start, sweep = 225, 270  # degrees, clockwise from 20 dB to 70 dB
    def pt(angle, rad):
        a = math.radians(angle)
        return cx + rad * math.cos(a), cy - rad * math.sin(a)
    out = [f'<rect width="{w}" height="{h}" rx="8" fill="#0d1620"/>']
    for i in range(11):
        ang = start - sweep * i / 10
        x0, y0 = pt(ang, r + 4)
        x1, y1 = pt(ang, r + 12)
        lit = i <= step_index
        out.append(f'<line x1="{x0:.1f}" y1="{y0:.1f}" x2="{x1:.1f}" y2="{y1:.1f}" '
                   f'stroke="{colour if lit else "#2a3a4a"}" stroke-width="{4 if lit else 3}" '
                   f'stroke-linecap="round"/>')
    defs = bevel_defs("k", "#5a6673", "#1a2027")
    out.append(f'<circle cx="{cx}" cy="{cy}" r="{r-6}" fill="url(#k)" stroke="#0a0c0f" stroke-width="2"/>')
    ang = start - sweep * step_index / 10
    x1, y1 = pt(ang, r - 10)
    out.append(f'<line x1="{cx}" y1="{cy}" x2="{x1:.1f}" y2="{y1:.1f}" stroke="{colour}" '
               f'stroke-width="5" stroke-linecap="round"/>')
    out.append(f'<circle cx="{cx}" cy="{cy}" r="5" fill="#0a0c0f"/>')
    out.append(text(cx, h - 4, f"{20 + 5*step_index} dB", 11, colour))
    return svg(w, h, "".join(out), defs)


def blank_knob(w=120, h=120):
    return svg(w, h, f'<rect width="{w}" height="{h}" rx="8" fill="#0d1620"/>'
                     f'<circle cx="{w/2}" cy="{h/2+4}" r="38" fill="none" stroke="#1d2a37" '
                     f'stroke-width="3" stroke-dasharray="6 6"/>')


# ---- rack buttons (52 x 26): lamp plus a frame that marks the displayed rack ------------------
def rack_button(online, displayed, w=52, h=26):
    lamp = ONLINE if online else "#3a1414"
    cap_top, cap_bottom = ("#3d4a58", "#1a2129") if displayed else ("#2a323b", "#151a20")
    defs = bevel_defs("cap", cap_top, cap_bottom)
    if online:
        defs += glow_defs("lamp", ONLINE)
    frame = TEXT if displayed else "#3e4a57"
    width = 2 if displayed else 1
    body = (f'<rect x="1" y="1" width="{w-2}" height="{h-2}" rx="4" fill="url(#cap)" '
            f'stroke="{frame}" stroke-width="{width}"/>'
            + (f'<circle cx="10" cy="{h/2}" r="7" fill="url(#lamp)"/>' if online else "")
            + f'<circle cx="10" cy="{h/2}" r="3.6" fill="{lamp}" stroke="#000" stroke-width="0.6"/>')
    if displayed:
        body += f'<rect x="{w-9}" y="{h/2-5}" width="4" height="10" rx="1" fill="{AMBER}"/>'
    return svg(w, h, body, defs)


# ---- command buttons (108 x 30) on a black face ----------------------------------------------
def command_button(label, active, w=108, h=30):
    colour = AMBER if active else TEXT
    stroke = AMBER if active else "#55616e"
    defs = bevel_defs("cap", "#2e3640" if not active else "#4a3a12", "#0e1216" if not active else "#201806")
    body = (f'<rect x="1" y="1" width="{w-2}" height="{h-2}" rx="5" fill="url(#cap)" '
            f'stroke="{stroke}" stroke-width="1.5"/>'
            + text(w / 2, h / 2 + 4.5, label, 12, colour, spacing=0.6))
    return svg(w, h, body, defs)


def plate(w, h, lines, back="#0f2236", colour=TEXT, border="#3b6d9d"):
    body = [f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="4" fill="{back}" '
            f'stroke="{border}" stroke-width="1"/>']
    for (y, s, size, c, weight) in lines:
        body.append(text(w / 2, y, s, size, c or colour, weight, spacing=0.8))
    return svg(w, h, "".join(body))


def two_digit_display(w, h, caption, value, colour):
    body = [f'<rect x="0.5" y="0.5" width="{w-1}" height="{h-1}" rx="4" fill="#070b10" '
            f'stroke="#3b6d9d"/>', text(w / 2, 13, caption, 9, "#8fb3d3", spacing=1.2)]
    dw, dh = 22, 36
    x0 = w / 2 - dw - 2
    if value is None:
        body.append(seven(None, x0, 18, dw, dh, 4, "#17222e", "#17222e"))
        body.append(seven(None, x0 + dw + 4, 18, dw, dh, 4, "#17222e", "#17222e"))
    else:
        body.append(seven(value // 10, x0, 18, dw, dh, 4, colour, "#17222e"))
        body.append(seven(value % 10, x0 + dw + 4, 18, dw, dh, 4, colour, "#17222e"))
    return svg(w, h, "".join(body))


def main():
    os.makedirs(ART, exist_ok=True)
    for f in os.listdir(ART):
        if f.endswith(".svg"):
            os.remove(os.path.join(ART, f))

    # Channel switches of the main window.
    for on_id, off_id, label, colour, name in ((134, 135, "48V", PHANTOM, "phantom"),
                                               (132, 133, "Ø", PHASE, "phase"),
                                               (139, 140, "PAD", PAD, "pad"),
                                               (143, 144, "DIR", DIRECT, "direct")):
        put(on_id, f"{name}_on.svg", switch(label, colour, True, size=13 if label != "Ø" else 17))
        put(off_id, f"{name}_off.svg", switch(label, colour, False, size=13 if label != "Ø" else 17))

    # Rack buttons.
    put(145, "rack_online_displayed.svg", rack_button(True, True))
    put(146, "rack_offline_displayed.svg", rack_button(False, True))
    put(147, "rack_online.svg", rack_button(True, False))
    put(149, "rack_offline.svg", rack_button(False, False))

    # Command buttons: normal and while their action runs.
    put(192, "load_preset.svg", command_button("LOAD PRESET", False))
    put(198, "load_preset_active.svg", command_button("LOAD PRESET", True))
    put(194, "store_preset.svg", command_button("STORE PRESET", False))
    put(199, "store_preset_active.svg", command_button("STORE PRESET", True))
    put(241, "setup.svg", command_button("SETUP", False))
    put(203, "setup_active.svg", command_button("SCANNING…", True))
    put(196, "exit.svg", command_button("EXIT", False))
    put(197, "exit_active.svg", command_button("EXIT ?", True))

    # Labels and plates.
    put(390, "label_rack_select.svg", plate(220, 16, [(12, "RACK SELECT", 10, "#8fb3d3", "bold")],
                                            back=PANEL, border=PANEL))
    put(394, "label_brand.svg", plate(220, 40, [(17, "PX5R", 14, TEXT, "bold"),
                                                (32, "REMOTE MIC PRE-AMP", 9, "#8fb3d3", "bold")]))
    put(168, "label_channel.svg", plate(220, 16, [(12, "LOAD / STORE / SETUP", 10, "#8fb3d3", "bold")],
                                        back=PANEL, border=PANEL))
    put(298, "info_default.svg", two_digit_display(110, 60, "GAIN  dB", None, AMBER))
    for i in range(11):
        put(710 + i, f"info_gain_{20 + 5*i}.svg", two_digit_display(110, 60, "GAIN  dB", 20 + 5 * i, AMBER))
    for r in range(16):
        put(680 + r, f"rack_number_{r+1:02d}.svg", two_digit_display(100, 60, "RACK", r + 1, ONLINE))

    # Status pictures.
    put(700, "status_busy.svg", plate(220, 24, [(16.5, "SENDING TO RACKS…", 11, AMBER, "bold")],
                                      back="#2a1e05", border=AMBER))
    put(701, "status_racks_present.svg", plate(220, 24, [(16.5, "RACKS ON LINE", 11, ONLINE, "bold")],
                                               back="#0b2614", border=ONLINE))
    put(702, "status_no_racks.svg", plate(220, 24, [(16.5, "NO RACKS ON LINE", 11, "#ff6b61", "bold")],
                                          back="#2a0d0b", border=OFFRED))

    # Gain displays: status 1 / 2, assigned / local, and the blank one.
    for base, colour, assigned, name in ((600, STATUS1, True, "s1_assigned"),
                                         (611, STATUS2, True, "s2_assigned"),
                                         (622, STATUS1, False, "s1_local"),
                                         (633, STATUS2, False, "s2_local")):
        for i in range(11):
            put(base + i, f"gain_{name}_{20 + 5*i}.svg", gain_display(i, colour, assigned))
    put(644, "gain_blank.svg", blank_gain())

    # Channel-number digits: normal, unavailable, assigned.
    for base, colour, name in ((650, TEXT, "normal"), (660, "#6b3434", "unavailable"),
                               (670, AMBER, "assigned")):
        for d in range(10):
            put(base + d, f"digit_{name}_{d}.svg", digit_picture(d, colour))

    # The big-controls popup.
    put(472, "popup_blank_digit.svg", blank_digit(30, 48))
    put(376, "popup_blank_switch.svg", svg(60, 36, '<rect x="0.5" y="0.5" width="59" height="35" rx="5" '
                                                   'fill="#0d1620" stroke="#1d2a37"/>'))
    put(475, "popup_blank_gain.svg", blank_knob())
    for d in range(10):
        put(477 + d, f"popup_path_{d}.svg", digit_picture(d, TEXT, 30, 48))
        put(440 + d, f"popup_side_gain_{d}.svg", digit_picture(d, "#9fb8cf", 30, 48))
        put(487 + d, f"popup_middle_gain_{d}.svg", digit_picture(d, AMBER, 30, 48))
    for off_id, on_id, label, colour, name in ((365, 366, "48V", PHANTOM, "phantom"),
                                               (373, 374, "PAD", PAD, "pad"),
                                               (363, 364, "DIR", DIRECT, "direct"),
                                               (367, 368, "Ø", PHASE, "phase")):
        size = 15 if label != "Ø" else 20
        put(off_id, f"popup_{name}_off.svg", switch(label, colour, False, 60, 36, size))
        put(on_id, f"popup_{name}_on.svg", switch(label, colour, True, 60, 36, size))
    for i in range(11):
        put(528 + i, f"popup_gain_s1_{20 + 5*i}.svg", knob(i, STATUS1))
        put(539 + i, f"popup_gain_s2_{20 + 5*i}.svg", knob(i, STATUS2))

    # Application icon (window icon and about box).
    put(128, "app_icon.svg", svg(64, 64,
        f'<rect width="64" height="64" rx="12" fill="{PANEL}"/>'
        f'<rect x="22" y="8" width="20" height="30" rx="10" fill="{TEXT}"/>'
        f'<path d="M16 30 a16 16 0 0 0 32 0" fill="none" stroke="{TEXT}" stroke-width="4"/>'
        f'<line x1="32" y1="46" x2="32" y2="56" stroke="{TEXT}" stroke-width="4"/>'
        f'<circle cx="50" cy="14" r="6" fill="{PHANTOM}"/>'))

    with open(os.path.join(HERE, "pictures.qrc"), "w", encoding="utf-8") as f:
        f.write("<!-- Generated by make_artwork.py: the one table from picture number to artwork. -->\n")
        f.write('<RCC>\n  <qresource prefix="/pictures">\n')
        for number in sorted(table):
            f.write(f'    <file alias="{number}">art/{table[number]}</file>\n')
        f.write("  </qresource>\n</RCC>\n")


if __name__ == "__main__":
    main()
