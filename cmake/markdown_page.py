#!/usr/bin/python3
"""Turns one Markdown page of docs/ into a standalone HTML page.

    markdown_page.py IN.md OUT.html

The title is the page's first heading; links to other Markdown pages lead to their HTML
pages, so that the installed guides link among themselves.
"""
import html
import re
import sys

import markdown

STYLE = """
body { font-family: "DejaVu Sans", sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em;
       line-height: 1.45; color: #222; }
h1, h2, h3 { line-height: 1.2; }
table { border-collapse: collapse; margin: 0.6em 0; }
th, td { border: 1px solid #bbb; padding: 0.25em 0.6em; vertical-align: top; text-align: left; }
th { background: #eee; }
code, pre { font-family: "DejaVu Sans Mono", monospace; background: #f4f4f4; }
pre { padding: 0.6em; overflow-x: auto; }
img { max-width: 100%; border: 1px solid #ccc; }
kbd { border: 1px solid #999; border-radius: 3px; padding: 0 0.3em; background: #f8f8f8; }
"""


def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    heading = re.search(r"^#\s+(.+)$", text, re.M)
    title = heading.group(1).strip() if heading else "Табель"
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "toc", "sane_lists", "attr_list"],
                             output_format="html5")
    # page.md and page.md#part lead to page.html; addresses with a scheme stay as written.
    body = re.sub(r'href="(?![a-z][a-z0-9+.-]*:)([^"#]*?)\.md(#[^"]*)?"',
                  lambda m: 'href="%s.html%s"' % (m.group(1), m.group(2) or ""), body)
    page = ('<!DOCTYPE html>\n<html lang="%s">\n<head>\n<meta charset="utf-8">\n'
            '<title>%s</title>\n<style>%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n'
            % ("ru" if re.search("[А-Яа-я]", title) else "en", html.escape(title), STYLE, body))
    with open(target, "w", encoding="utf-8") as f:
        f.write(page)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
