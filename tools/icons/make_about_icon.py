#!/usr/bin/env python3
"""Draws the About box's icon (a blue disc with a white scroll mark) as a 32x32 .ico file.

Usage: make_about_icon.py OUTPUT.ico
"""
from ico import SIZE, icon_main


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if d2 > 15.2 ** 2:
        return (0, 0, 0, 0)
    if d2 > 14.0 ** 2:
        return (0x70, 0x30, 0x10, 0xFF)          # dark blue rim (BGRA)
    if 9 <= x <= 22 and y in (9, 10, 15, 16, 21, 22):
        return (0xFF, 0xFF, 0xFF, 0xFF)          # three white lines of text
    return (0xD0, 0x80, 0x30, 0xFF)              # blue face


if __name__ == "__main__":
    icon_main(__doc__, pixel)
