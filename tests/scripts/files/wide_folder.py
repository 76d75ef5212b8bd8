# A Unicode INI file (UTF-16 with its byte-order mark) in the Greek folder; what the script
# left in each folder, under the folders' real names.
FOLDERS = ["\u03a9mega dir", "\u65e5\u672c\u8a9e", "\u041f\u0440\u0438\u0432\u0435\u0442"]


def setup(t):
    t.write(FOLDERS[0] + "/u.ini", b"\xff\xfe" + "[s]\r\ncity=\u0391\u03b8\u03ae\u03bd\u03b1\r\n".encode("utf-16-le"))


def check(t):
    for folder in FOLDERS:
        assert t.read(folder + "/a.txt") == b"one\r\ntwo\r\n", folder
        assert t.read(folder + "/m.csv") == b'"k1","v1"\r\n', folder
        assert b"a comment beside the program" in t.read(folder + "/trace.txt"), folder
