# The client: a second test host that starts once the server's first pipe has timed out.
import os
import time

import kvtest

CLIENT = r"""name = "\\.\pipe\kvtest_server_client"
c = PipeClientOpen(name, 30)
hostprint("open: " : IsNumber(c))
hostprint("answer: " : PipeClientSendRecvData(c, "ping", 20))
hostprint("answer: " : PipeClientSendRecvData(c, "x", 20))
hostprint("answer: " : StrLen(PipeClientSendRecvData(c, StrFill("a", 1500), 20)))
start = GetTickCount()
hostprint("silent server: " : PipeClientSendRecvData(c, "quiet", 1) : " " : PipeInfo(0, 0))
hostprint("waited about 1 s: " : (GetTickCount() - start >= 900))
FilePut("timedout.flag", "1")
While !FileExist("closed.flag")
   Yield
EndWhile
r = PipeClientSendRecvData(c, "late", 5)
e = PipeInfo(0, 0)
hostprint("closed server: " : r : " " : (e == 109 || e == 233))
hostprint("close: " : PipeClientClose(c))
c = PipeClientOpen(name, 30)
hostprint("answer: " : PipeClientSendRecvData(c, "bye", 20))
hostprint("close: " : PipeClientClose(c))
"""

EXPECTED = [
    "open: 1", "answer: pong", "answer: y", "answer: 700", "silent server: *TIMER* 0",
    "waited about 1 s: 1", "closed server: *ERROR* 1", "close: 1", "answer: ok", "close: 1",
]


def setup(t):
    t.write("client.zal", CLIENT)


def during(t):
    deadline = time.time() + 30
    while not t.exists("ready.flag"):
        assert time.time() < deadline, "the server never became ready"
        time.sleep(0.05)
    client = kvtest.start(os.path.join(t.bin, "kvhost.exe"), "run", t.work_win + "\\client.zal", cwd=t.work)
    out, err = client.communicate(timeout=80)
    lines = out.decode("utf-8", "replace").replace("\r\n", "\n").strip().split("\n")
    assert client.returncode == 0, (client.returncode, out, err)
    assert lines == EXPECTED, lines
