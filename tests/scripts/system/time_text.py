# The texts the script printed, against this machine's local clock (the same time zone).
import datetime
import re


def check(t):
    ymdhms, date1, date2, exact = t.output
    now = datetime.datetime.now()
    stamp = datetime.datetime.strptime(ymdhms, "%Y:%m:%d:%H:%M:%S")
    assert abs((now - stamp).total_seconds()) < 30, (ymdhms, now)
    day = stamp.strftime("%a")
    assert re.fullmatch(r"%s \S+ \S+( \S+)?" % day, date1), date1
    assert re.fullmatch(r"%s \S+ \S+( \S+)?" % day, date2), date2
    assert re.fullmatch(r"\d\d:\d\d:\d\d:\d\d", exact), exact
    hms = datetime.datetime.strptime(stamp.strftime("%Y-%m-%d ") + exact[:8], "%Y-%m-%d %H:%M:%S")
    assert abs((hms - stamp).total_seconds()) < 5, (exact, ymdhms)
