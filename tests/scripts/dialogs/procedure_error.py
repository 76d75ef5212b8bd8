# The dialog gives its first control the focus while it is created, which activates it even
# though the procedure ends it during @deinit, before it is shown: this companion only makes
# the test take the desktop lock.
