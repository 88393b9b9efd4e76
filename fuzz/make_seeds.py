#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Wide inputs (paths, arguments) are UTF-16LE, as the targets read them; the
marker and error-text inputs are raw bytes. Run again after editing a table.
"""
import pathlib

HERE = pathlib.Path(__file__).resolve().parent

PATHS = [
    r"\\server\share", r"\\server\share\\", r"\\server", r"//server/share/x",
    "\\\\?\\C:\\", r"\\?\C:\ ", r"\\?\C:\\", r"\\?\C:", r"\\.\C:\x", r"\??\\", r"\??\C:", r"\??\\x",
    r"\\?\\x", r"\\\x", "C:", "C:\\..", "C:\\", "C:/", "C:..\\x", "c:\\Apps\\Orvanta\\",
    "D:/Apps//Orvanta/./Sub", "D:\\Apps\\..\\..\\x", "a\\..\\..\\b", ".\\a:b", "..\\",
    "\\..\\x\\.", "x/./y/../z//", "1:\\x", "\u00c4:\\x", "C:\\Users\\\u00c4na\\Orvanta.exe",
    "C:\\Program Files\\Orvanta \u6f14\u793a\u8ba1\u65f6\u5668.lnk", ".", "..", "/", "",
    "C:\\My Apps \\Orvanta", "C:\\A..\\B", "C:\\Apps\\con.txt\\x", "C:\\Apps\\Com\u00b9",
    "C:\\Apps\\nul .txt", r"\\?\Volume{1b3b}\\", r"\\?\UNC\server\share\LPT9.x",
]
# Two paths for AppendPath and SamePathText, split by a NUL unit.
PATH_PAIRS = [
    ("C:", "Orvanta.exe"), ("C:\\Apps\\", "x"), ("C:/Apps/", "x"), ("", "x"),
    ("D:\\Apps\\ORVANTA\\Orvanta.exe", "d:/apps//orvanta/./Orvanta.exe"),
    ("C:\\\u00c4\\x", "C:\\\u00e4\\x"), ("\\\\server\\share", "Orvanta-Native.install"),
    ("C:\\Apps\\NUL", r"\\.\NUL"), (r"\\.\C:\x", r"\\.\C:\x"),
]
ARGUMENTS = [
    "--quiet", "--no-shortcut", "--remove", "--target=", "--target=D:\\Apps\\Orvanta\\",
    "--target=.", "--target= spaced ", "--target=--quiet", "--target", "--QUIET", "-quiet",
    "--quiet=1", "--quiet ", "--remove\u0000", "--no-shortcut-", "D:\\Apps", "",
    "--target=C:\\\u6f14\u793a",
]
LINE = b"Orvanta-Native installer v1"
MARKERS = [
    LINE, LINE + b"\n", LINE + b"\r\n", LINE + b"\r", LINE + b"\r\r\n", LINE + b"\n\r",
    LINE + b" \n", LINE + b"\nmore\r\nlines", b"\xef\xbb\xbf" + LINE + b"\n",
    LINE.lower() + b"\n", b" " + LINE, LINE[:-1] + b"\n", LINE + b"\x00", b"", b"\n", b"\r\n",
]
MESSAGES = [
    b"The system cannot find the file specified.\r\n", b"Access is denied. \t\r\n\x00\x00",
    b" \r\n", b"\x00", b"", b"no trailing blank", b"exists\xffThe network path was not found.\r\n"
    b"\xffC:\\x", b"\xff\xff  \r\n", b"\xff\xffOnly the third\r\n", b"create_directories\xff\xff",
]


def write(target, items):
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for i, data in enumerate(items):
        (folder / f"seed-{i:02d}").write_bytes(data)


def wide(text):
    return text.encode("utf-16-le", "surrogatepass")


write("path_grammar",
      [wide(p) for p in PATHS] + [wide(a) + b"\0\0" + wide(b) for a, b in PATH_PAIRS])
write("option_table", [wide(a) for a in ARGUMENTS])
write("marker_line", MARKERS)
write("error_text", MESSAGES)
