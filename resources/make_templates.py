#!/usr/bin/env python3
"""Writes the dialog templates of mic as Qt Designer .ui files under resources/ui/.

The main window, the popup and the Setup / Test window repeat one strip or one line many times,
so they are generated rather than drawn by hand; the files open and edit in Qt Designer. Every
control carries its dialog control number in the dynamic property "controlId".

Run: python3 resources/make_templates.py
"""
import os
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "ui")

# Geometry of the main window (logical pixels). The strip pitch, the name-box row and the gain
# drag band follow the mouse rules of the window (name y 53-70, gain y 75-118, 51-pixel pitch).
STRIP_X0, STRIP_PITCH, STRIP_W = 6, 51, 48
Y_DIGITS, Y_GAIN_DISPLAY, Y_GAIN_BOX = 4, 75, 122
Y_PHANTOM, Y_PHASE, Y_PAD, Y_DIRECT = 150, 188, 226, 264
PANEL_X = 630


class Ui:
    def __init__(self, cls, title, w, h):
        self.cls, self.title, self.w, self.h = cls, title, w, h
        self.widgets = []
        self.tab_order = []
        self.custom = set()

    def add(self, klass, name, x, y, w, h, control_id=None, props=None, items=None, tab=False):
        self.widgets.append((klass, name, x, y, w, h, control_id, props or {}, items))
        if tab:
            self.tab_order.append(name)
        if klass in ("CBmpButton", "CBlackBmpButton", "CPictureLabel"):
            self.custom.add(klass)

    def write(self, filename, extra_window_props=""):
        out = ['<?xml version="1.0" encoding="UTF-8"?>', '<ui version="4.0">',
               f' <class>{self.cls}</class>',
               f' <widget class="QDialog" name="{self.cls}">',
               '  <property name="geometry"><rect><x>0</x><y>0</y>'
               f'<width>{self.w}</width><height>{self.h}</height></rect></property>',
               f'  <property name="windowTitle"><string>{escape(self.title)}</string></property>',
               extra_window_props]
        for klass, name, x, y, w, h, cid, props, items in self.widgets:
            out.append(f'  <widget class="{klass}" name="{name}">')
            out.append('   <property name="geometry"><rect>'
                       f'<x>{x}</x><y>{y}</y><width>{w}</width><height>{h}</height></rect></property>')
            for key, value in props.items():
                out.append(f'   <property name="{key}">{value}</property>')
            if cid is not None:
                out.append(f'   <property name="controlId" stdset="0"><number>{cid}</number></property>')
            for item in items or []:
                out.append(f'   <item><property name="text"><string>{escape(item)}</string></property></item>')
            out.append('  </widget>')
        out.append(' </widget>')
        if self.custom:
            out.append(' <customwidgets>')
            for klass in sorted(self.custom):
                base = "QPushButton" if "Button" in klass else "QWidget"
                header = {"CBmpButton": "mic/ui/CBmpButton.h", "CBlackBmpButton": "mic/ui/CBmpButton.h",
                          "CPictureLabel": "mic/ui/CPictureLabel.h"}[klass]
                out.append(f'  <customwidget><class>{klass}</class><extends>{base}</extends>'
                           f'<header>{header}</header></customwidget>')
            out.append(' </customwidgets>')
        if self.tab_order:
            out.append(' <tabstops>')
            out += [f'  <tabstop>{n}</tabstop>' for n in self.tab_order]
            out.append(' </tabstops>')
        out.append(' <resources/>\n <connections/>\n</ui>\n')
        with open(os.path.join(OUT, filename), "w", encoding="utf-8") as f:
            f.write("\n".join(line for line in out if line))


def string(s):
    return f"<string>{escape(s)}</string>"


def picture(n):
    return f"<number>{n}</number>"


def main_window():
    ui = Ui("CMicDlg", "Remote Microphone Amplifier Control", 856, 370)
    for i in range(12):
        x = STRIP_X0 + STRIP_PITCH * i
        ui.add("CPictureLabel", f"numberTens{i}", x, Y_DIGITS, 24, 40, 1195 + i)
        ui.add("CPictureLabel", f"numberUnits{i}", x + 24, Y_DIGITS, 24, 40, 1265 + i)
        ui.add("CPictureLabel", f"gainDisplay{i}", x, Y_GAIN_DISPLAY, STRIP_W, 44, 1178 + i)
    for i in range(12):
        x = STRIP_X0 + STRIP_PITCH * i
        ui.add("QComboBox", f"gainBox{i}", x, Y_GAIN_BOX, STRIP_W, 22, 1038 + i,
               {"editable": "<bool>true</bool>", "maxVisibleItems": "<number>11</number>",
                "toolTip": string(f"Gain of channel {i + 1} (dB)")},
               [str(20 + 5 * k) for k in range(11)], tab=True)
        ui.add("CBmpButton", f"phantom{i}", x, Y_PHANTOM, STRIP_W, 34, 1000 + i,
               {"text": string("48V"), "toolTip": string(f"Phantom power, channel {i + 1}")}, tab=True)
        ui.add("CBmpButton", f"phase{i}", x, Y_PHASE, STRIP_W, 34, 1012 + i,
               {"text": string("Phase"), "toolTip": string(f"Phase reverse, channel {i + 1}")}, tab=True)
        ui.add("CBmpButton", f"pad{i}", x, Y_PAD, STRIP_W, 34, 1024 + i,
               {"text": string("Pad"), "toolTip": string(f"Pad, channel {i + 1}")}, tab=True)
        ui.add("CBmpButton", f"direct{i}", x, Y_DIRECT, STRIP_W, 34, 1131 + i,
               {"text": string("Dir"), "toolTip": string(f"Direct output, channel {i + 1}")}, tab=True)
    ui.add("CPictureLabel", "label1298", PANEL_X, 4, 220, 40, 1298)
    ui.add("CPictureLabel", "rackNumber", PANEL_X, 50, 100, 60, 1211)
    ui.add("CPictureLabel", "infoPicture", PANEL_X + 110, 50, 110, 60, 1238)
    ui.add("CPictureLabel", "label1297", PANEL_X, 116, 220, 16, 1297)
    for r in range(16):
        ui.add("CBmpButton", f"rack{r}", PANEL_X + 56 * (r % 4), 134 + 29 * (r // 4), 52, 26, 1112 + r,
               {"text": string(str(r + 1)), "toolTip": string(f"Show rack {r + 1}")}, tab=True)
    ui.add("CPictureLabel", "statusPicture", PANEL_X, 252, 220, 24, 1190)
    ui.add("CPictureLabel", "label1299", PANEL_X, 280, 220, 16, 1299)
    ui.add("CBlackBmpButton", "loadPreset", PANEL_X, 298, 108, 30, 1129, {"text": string("&Load Preset")}, tab=True)
    ui.add("CBlackBmpButton", "storePreset", PANEL_X + 112, 298, 108, 30, 1130, {"text": string("&Store Preset")}, tab=True)
    ui.add("CBlackBmpButton", "setup", PANEL_X, 332, 108, 30, 1143, {"text": string("S&etup")}, tab=True)
    ui.add("CBlackBmpButton", "exitButton", PANEL_X + 112, 332, 108, 30, 2, {"text": string("E&xit")}, tab=True)
    ui.write("MicDlg.ui")


def popup():
    ui = Ui("CBigControls2", "", 433, 372 + 4)
    ids = {  # strip -> item -> control id
        0: dict(pathTens=1239, pathUnits=1240, gainTens=1245, gainUnits=1246, gainPicture=1260,
                phantom=1251, pad=1252, direct=1253, phase=1254),
        1: dict(pathTens=1241, pathUnits=1242, gainTens=1247, gainUnits=1248, gainPicture=1038,
                phantom=1255, pad=1024, direct=1131, phase=1012, prevGainTens=1261, prevGainUnits=1262),
        2: dict(pathTens=1243, pathUnits=1244, gainTens=1249, gainUnits=1250, gainPicture=1039,
                phantom=1256, pad=1025, direct=1132, phase=1013),
    }
    for s in range(3):
        x0 = 10 + 141 * s
        ui.add("QFrame", f"column{s}", x0 - 4, 4, 142, 368, None,
               {"frameShape": "<enum>QFrame::Box</enum>", "frameShadow": "<enum>QFrame::Raised</enum>"})
    for s in range(3):
        x0 = 10 + 141 * s
        c = ids[s]
        # A hundreds digit for console paths of 100 and more; hidden below 100.
        ui.add("CPictureLabel", f"pathHundreds{s}", x0 + 7, 10, 30, 48)
        ui.add("CPictureLabel", f"pathTens{s}", x0 + 37, 10, 30, 48, c["pathTens"])
        ui.add("CPictureLabel", f"pathUnits{s}", x0 + 67, 10, 30, 48, c["pathUnits"])
        ui.add("CPictureLabel", f"gainPicture{s}", x0 + 7, 100, 120, 120, c["gainPicture"])
        caption = "font-size: 9px; font-weight: bold; color: #8fb3d3;"
        if s == 1:
            ui.add("QLabel", "prevCaption1", x0 + 3, 222, 60, 12, None,
                   {"text": string("WAS"), "alignment": "<set>Qt::AlignCenter</set>",
                    "styleSheet": string(caption)})
            ui.add("QLabel", "nowCaption1", x0 + 71, 222, 60, 12, None,
                   {"text": string("NOW"), "alignment": "<set>Qt::AlignCenter</set>",
                    "styleSheet": string(caption)})
            ui.add("CPictureLabel", "prevGainTens1", x0 + 3, 234, 30, 48, c["prevGainTens"])
            ui.add("CPictureLabel", "prevGainUnits1", x0 + 33, 234, 30, 48, c["prevGainUnits"])
            ui.add("CPictureLabel", f"gainTens{s}", x0 + 71, 234, 30, 48, c["gainTens"])
            ui.add("CPictureLabel", f"gainUnits{s}", x0 + 101, 234, 30, 48, c["gainUnits"])
        else:
            ui.add("CPictureLabel", f"gainTens{s}", x0 + 37, 234, 30, 48, c["gainTens"])
            ui.add("CPictureLabel", f"gainUnits{s}", x0 + 67, 234, 30, 48, c["gainUnits"])
        ui.add("CPictureLabel", f"phantom{s}", x0 + 5, 288, 60, 36, c["phantom"])
        ui.add("CPictureLabel", f"pad{s}", x0 + 69, 288, 60, 36, c["pad"])
        ui.add("CPictureLabel", f"direct{s}", x0 + 5, 328, 60, 36, c["direct"])
        ui.add("CPictureLabel", f"phase{s}", x0 + 69, 328, 60, 36, c["phase"])
    ui.write("BigControls2.ui")


def diagnostics():
    ui = Ui("CDiagnostics", "Setup / Test", 640, 390)
    for r in range(16):
        col, row = r // 8, r % 8
        x, y = 12 + 316 * col, 12 + 30 * row
        ui.add("QLabel", f"rackLabel{r}", x, y + 3, 118, 20, None,
               {"text": string(f"Rack #{r + 1}{'  ' if r < 9 else ' '}Version :")})
        ui.add("QLabel", f"version{r}", x + 120, y, 120, 24, 1144 + r,
               {"frameShape": "<enum>QFrame::Panel</enum>", "frameShadow": "<enum>QFrame::Sunken</enum>",
                "text": string("")})
        ui.add("QPushButton", f"test{r}", x + 246, y, 56, 24, 1160 + r,
               {"text": string("Test"), "autoDefault": "<bool>false</bool>"}, tab=True)
    y = 264
    ui.add("QPushButton", "resetAll", 12, y, 150, 26, 1176,
           {"text": string("Reset All Racks"), "autoDefault": "<bool>false</bool>"}, tab=True)
    ui.add("QPushButton", "resetCurrent", 170, y, 150, 26, 1177,
           {"text": string("Reset Current Rack"), "autoDefault": "<bool>false</bool>"}, tab=True)
    ui.add("QLabel", "portLabel", 340, y + 3, 140, 20, None, {"text": string("Communication Port")})
    ui.add("QComboBox", "portList", 484, y, 140, 26, 1036, None,
           ["COM1", "COM2", "COM3", "COM4", "Disabled"], tab=True)
    ui.add("QCheckBox", "debugLog", 12, y + 36, 300, 22, 1191,
           {"text": string('Create Debug File ("MicDebug.txt")')}, tab=True)
    ui.add("QCheckBox", "integrate", 12, y + 62, 420, 22, 1208,
           {"text": string("Integrate with Vantor (Changing this requires a program restart)")}, tab=True)
    ui.add("QCheckBox", "autoLoad", 328, y + 36, 300, 22, 1209,
           {"text": string("Auto Load Last Setup File on Startup")}, tab=True)
    ui.add("QCheckBox", "autoRestore", 12, y + 88, 300, 22, 1210,
           {"text": string("Auto Restore Previous Setup on Startup")}, tab=True)
    ui.add("QPushButton", "okButton", 536, y + 86, 88, 28, 1,
           {"text": string("OK"), "default": "<bool>true</bool>"}, tab=True)
    ui.write("Diagnostics.ui")


def port_error():
    ui = Ui("CPortError", "Port Error", 400, 170)
    ui.add("QLabel", "headline", 16, 14, 368, 22, None,
           {"text": string("Unable to open communication port !"),
            "styleSheet": string("font-weight: bold;")})
    ui.add("QLabel", "hint0", 16, 46, 368, 20, None, {"text": string("Check the following :-")})
    ui.add("QLabel", "hint1", 28, 70, 360, 20, None,
           {"text": string("1.   Is there another device using the port (e.g. mouse) ?")})
    ui.add("QLabel", "hint2", 28, 92, 360, 20, None,
           {"text": string("2.   Are both ports enabled in the system bios ?")})
    ui.add("QPushButton", "okButton", 156, 128, 88, 28, 1,
           {"text": string("OK"), "default": "<bool>true</bool>"}, tab=True)
    ui.write("PortError.ui")


def confirm_close():
    ui = Ui("CConfirmClose", "Please Confirm Action", 330, 110)
    ui.add("QLabel", "question", 16, 16, 298, 30, None,
           {"text": string("Do you want to Close the Application ?"),
            "alignment": "<set>Qt::AlignCenter</set>"})
    ui.add("QPushButton", "yesButton", 64, 64, 88, 28, 1,
           {"text": string("&Yes"), "autoDefault": "<bool>false</bool>"}, tab=True)
    ui.add("QPushButton", "noButton", 178, 64, 88, 28, 2,
           {"text": string("&No"), "default": "<bool>true</bool>"}, tab=True)
    ui.write("ConfirmClose.ui")


def about():
    ui = Ui("CAboutDlg", "About mic", 360, 140)
    ui.add("CPictureLabel", "icon", 16, 16, 48, 48)
    ui.add("QLabel", "product", 80, 16, 270, 22, None,
           {"text": string("Remote Microphone Amplifier Control"),
            "styleSheet": string("font-weight: bold;")})
    ui.add("QLabel", "version", 80, 40, 270, 20, None, {"text": string("mic Version 1.0")})
    ui.add("QLabel", "copyright", 80, 62, 270, 20, None,
           {"text": string("Copyright (C) Kestane plc")})
    ui.add("QPushButton", "okButton", 262, 100, 88, 28, 1,
           {"text": string("OK"), "default": "<bool>true</bool>"}, tab=True)
    ui.write("About.ui")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    main_window()
    popup()
    diagnostics()
    port_error()
    confirm_close()
    about()
