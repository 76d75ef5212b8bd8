#!/usr/bin/env python3
"""Draws the error box's stop icon (a red octagon with a white bar) as a 32x32 .ico file.

Usage: make_stop_icon.py OUTPUT.ico
"""
from ico import SIZE, icon_main


def pixel(x, y):
    cx = cy = (SIZE - 1) / 2
    dx, dy = abs(x - cx), abs(y - cy)
    inside = dx <= 14.5 and dy <= 14.5 and dx + dy <= 20.5
    if not inside:
        return (0, 0, 0, 0)
    edge = dx > 13.5 or dy > 13.5 or dx + dy > 19.5
    if edge:
        return (0x20, 0x20, 0x90, 0xFF)          # dark red rim (BGRA)
    if 6 <= x <= 25 and 13 <= y <= 18:
        return (0xFF, 0xFF, 0xFF, 0xFF)          # the white bar
    return (0x30, 0x30, 0xE0, 0xFF)              # red face


if __name__ == "__main__":
    icon_main(__doc__, pixel)
