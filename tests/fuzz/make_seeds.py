#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into corpus/<target>/.

The seeds are made here by hand, from the formats as this program writes
them; run again after a change, and commit the result. Inputs that once made
a target fail are kept beside them as regression-*.bin (copied there from
the fuzzer's findings by hand; this script leaves them alone)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def list_file(paths, counted):
    out = b"ver1.0"
    if counted:
        out += struct.pack("<I", len(paths))
    for p in paths:
        b = p.encode("utf-8")
        out += struct.pack("<I", len(b)) + b
    return out


# The list file: the first byte picks the layout (odd: with a count).
media = ["C:\\Users\\zx\\Videos\\a.mp4", "D:\\照片\\假期 2026\\海边.flv", ""]
write("fuzz_list_file", "media.bin", b"\x00" + list_file(media, False))
write("fuzz_list_file", "records.bin", b"\x01" + list_file(media, True))
write("fuzz_list_file", "empty.bin", b"\x00" + list_file([], False))
write("fuzz_list_file", "empty-counted.bin", b"\x01" + list_file([], True))
write("fuzz_list_file", "longest.bin", b"\x00" + list_file(["x" * 780], False))
write("fuzz_list_file", "cut.bin", b"\x01" + list_file(media, True)[:-5])
write("fuzz_list_file", "over-limit.bin", b"\x00ver1.0" + struct.pack("<I", 781) + b"y" * 781)

# The INI document: the file's text, then a section, key and value to set,
# separated by zero bytes.
ini = ("; ZxVCam settings\r\n[VSRecord]\r\nVideoDir=C:\\Users\\zx\\Videos\\\r\n"
       "[AudioSetup]\r\nAudioOutputVol=80\r\nAudioOutputDev=\"  spaced \"\r\n\r\n[VSSlide]\r\nPlayMode=1\r\n")
write("fuzz_ini", "settings.bin", ini + "\0VSSlide\0PlayMode\0" + "2")
write("fuzz_ini", "new-section.bin", ini + "\0Camera\0Width\0" + "640")
write("fuzz_ini", "quoted.bin", "[a]\nk=\"line\\nbreak\"\n[a]\nk=second\n\0a\0k\0 lead and trail \t")
write("fuzz_ini", "malformed.bin", "loose=1\n[broken\n[]\nk=v\r[ok]\rk2 = v2 \r\0ok\0k2\0\"quoted")
write("fuzz_ini", "text-only.bin", "[Skin]\nIndex=0\n")

# Value texts of the settings.
for i, t in enumerate(["42", "-2147483648", " +17 ", "0x7FFFFFFF", "4294967295", "1e300", "-0.5",
                       "3.141592653589793", "true", "No", "nan", "inf", "12abc", ""]):
    write("fuzz_value_text", "value-%02d.txt" % i, t)

# Variant texts.
for i, t in enumerate(["7", "-12", "2.5", "1e300", "-1e300", "nan", "true", "  42  ", "0x10", "",
                       "9223372036854775808", "2147483648"]):
    write("fuzz_variant", "text-%02d.txt" % i, t)


def header(code, size, time, valid=1):
    return bytes([0, valid, valid, code & 0xFF]) + struct.pack("<iI", time, size)


# Frame headers: 12 header bytes, then the reader's time (4), a size and a
# time for the writer (4 + 4) and a size code (1).
write("fuzz_frame_header", "640x480.bin", header(8, 921600, 1000) + struct.pack("<iIiB", 1000, 921600, 1000, 8))
write("fuzz_frame_header", "largest.bin", header(18, 18 * 18 * 14400, 5) + struct.pack("<iIiB", 6, 4665600, 5, 18))
write("fuzz_frame_header", "stale.bin", header(4, 230400, 10) + struct.pack("<iIiB", 12, 230401, 0, 3))
write("fuzz_frame_header", "disagree.bin", header(8, 230400, 7) + struct.pack("<iIiB", 7, 0xFFFFFFFF, -1, 0))
write("fuzz_frame_header", "negative-code.bin", header(-3, 129600, 7) + struct.pack("<iIiB", 7, 14400, 1, 1))

# Skin markup.
write("fuzz_markup", "window.xml", """<?xml version="1.0" encoding="utf-8"?>
<!-- the main window -->
<Window size="800,600" caption="0,0,0,32" roundcorner="4,4">
  <Font name="微软雅黑" size="12" default="true"/>
  <VerticalLayout bkcolor="#FF0F1A2E" padding="4,4,4,4">
    <Button name="btnClose" text="&#x5173;&#38381;&amp;&lt;&gt;&quot;&apos;" normalimage="file='close.png' source='0,0,16,16'"/>
    <Label text='single "quoted"' width="120"/><![CDATA[ignored <text>]]>
  </VerticalLayout>
</Window>
""")
write("fuzz_markup", "deep.xml", "<a>" * 40 + "</a>" * 40)
write("fuzz_markup", "broken.xml", "<Window a=\"1\" a=\"2\">\n<b></c>\n")
write("fuzz_markup", "entities.xml", "<r v=\"&#65;&#x1F600;&#xD7FF;&#0;\"/>")

# Skin attribute values.
for i, t in enumerate(["0,0,10,10", " 1 , -2 ,3,4 ", "120", "800,600", "true", "0", "#FF0F1A2E", "#0F1A2E",
                       "0xFFFFFFFF", "4294967295", "file='a.png' dest='0,0,10,10' corner='2,2,2,2' fade='128'",
                       "plain.png", "2147483648,0", "-2147483648"]):
    write("fuzz_skin_values", "value-%02d.txt" % i, t)

# Picture-size texts.
for i, t in enumerate(["1280x720", "640x480|1280x720|1920x1080", "0x0", "16384x16384", "16385x1", "x", "12x",
                       "1e3x720", " 640x480", "640x480x2", "|640x480||", "99999999999x1"]):
    write("fuzz_size_text", "size-%02d.txt" % i, t)
