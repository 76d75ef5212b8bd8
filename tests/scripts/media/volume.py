"""Gives the run a sound device: ALSA's null device (the machine has no sound card)."""
import os


def setup(t):
    t.write("alsa-null.conf", "pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
    os.environ["ALSA_CONFIG_PATH"] = t.path("alsa-null.conf")
