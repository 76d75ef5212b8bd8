# The clipboard is shared by every program on the desktop: this companion only makes the
# test take the desktop lock, so clipboard tests run one at a time.
