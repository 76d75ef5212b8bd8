"""The preparation failure went to the error box, which quiet mode logs."""


def check(t):
    log = t.read("quiet.log").decode("latin-1")
    assert "217:  Unable to access or process specified #include file\r\n\r\nmissing.zal\r\n" in log, log
