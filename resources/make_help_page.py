#!/usr/bin/env python3
"""Makes the help page installed beside the program (help.html) from the
user README (installer/README.txt): a title underlined with '=', sections
underlined with '-', paragraphs separated by blank lines, and lines indented
by four spaces shown as commands. Run by the build:

    make_help_page.py README.txt help.html
"""
import html
import sys

STYLE = """body { font-family: "Microsoft YaHei", "SimSun", sans-serif; max-width: 46em; margin: 2em auto;
       padding: 0 1em; background: #101a2e; color: #e8ecf4; line-height: 1.5; }
h1 { color: #f39a2b; border-bottom: 2px solid #f39a2b; padding-bottom: .2em; }
h2 { color: #f39a2b; margin-top: 1.6em; }
pre { background: #1c2a44; padding: .6em 1em; border-radius: 4px; overflow-x: auto; }"""


def convert(text):
    lines = text.replace("\r\n", "\n").split("\n")
    out, para, pre = [], [], []
    title = "ZxVCam"

    def flush():
        if para:
            out.append("<p>" + html.escape(" ".join(para)) + "</p>")
            para.clear()
        if pre:
            out.append("<pre>" + html.escape("\n".join(pre)) + "</pre>")
            pre.clear()

    i = 0
    while i < len(lines):
        line = lines[i]
        underline = lines[i + 1] if i + 1 < len(lines) else ""
        if line.strip() and underline and set(underline.strip()) in ({"="}, {"-"}):
            flush()
            tag = "h1" if underline.strip()[0] == "=" else "h2"
            if tag == "h1":
                title = line.strip()
            out.append("<%s>%s</%s>" % (tag, html.escape(line.strip()), tag))
            i += 2
            continue
        if line.startswith("    ") and line.strip():
            if para:
                flush()
            pre.append(line[4:])
        elif not line.strip():
            flush()
        else:
            if pre:
                flush()
            para.append(line.strip())
        i += 1
    flush()
    return ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>%s</title>\n"
            "<style>\n%s\n</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
            % (html.escape(title), STYLE, "\n".join(out)))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_help_page.py README.txt help.html")
    with open(sys.argv[1], encoding="utf-8") as f:
        page = convert(f.read())
    with open(sys.argv[2], "w", encoding="utf-8", newline="\r\n") as f:
        f.write(page)


if __name__ == "__main__":
    main()
