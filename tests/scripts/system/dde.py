# Starts the test DDE server as KVTESTDDE before the run; afterwards its log must show the
# commands and pokes in the order the script sent them, and the conversation the script
# left open ended by the engine's end.
import os
import time

import kvtest


def setup(t):
    t.dde_log = t.path("dde.log")
    t.dde = kvtest.start(os.path.join(t.bin, "dde_server.exe"), "KVTESTDDE", kvtest.c_path(t.dde_log), "60")
    t.programs.append(t.dde)    # ended with the run, should the script leave it running
    deadline = time.time() + 20
    while time.time() < deadline:
        if os.path.exists(t.dde_log) and "ready" in open(t.dde_log).read():
            return
        time.sleep(0.05)
    raise AssertionError("the DDE server did not start")


def check(t):
    try:
        t.dde.wait(10)
    finally:
        if t.dde.poll() is None:
            t.dde.kill()
    log = [line.rstrip("\n") for line in open(t.dde_log)]
    events = [line for line in log if line.split(" ")[0] in ("execute", "poke", "request", "closed", "end")]
    assert events == [
        'execute [open("a.txt")]',
        "poke Name=Pelmora",
        "request Name",
        "request Known",
        "request Unknown",
        "poke Refused=x",
        "execute [close]",
        "closed",
        "execute [quit]",
        "end",
    ], log
    assert log[-3:] == ["execute [quit]", "disconnect", "end"], log
    assert log.count("connect") == 13, log   # the unknown topic made none
