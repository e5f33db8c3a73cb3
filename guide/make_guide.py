"""Makes a copy of the guide from its one source, guide.md.

  make_guide.py EDITION guide.md OUT.html -- SHARED_RUNS...

EDITION is "site" (the page's copy: each experiment's link, with a QR code
that guide.js draws) or "package" (the copy under /usr/share/doc, with no
page to link to). SHARED_RUNS is the command of tessaly_shared_runs, which
makes the texts 共有 makes; a run in guide.md written otherwise than 共有
writes it is refused, so that the source reads as every copy does.
Needs python3-markdown.
"""

import html
import re
import subprocess
import sys
from urllib.parse import parse_qs

import markdown

STYLE = """
body { font-family: sans-serif; line-height: 1.7; margin: 0 auto; max-width: 52em; padding: 1em; }
img { max-width: 100%; height: auto; }
pre { background: #f4f4f4; overflow-x: auto; padding: 0.5em; }
table { border-collapse: collapse; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; }
td.value { text-align: right; white-space: nowrap; }
.run { border-left: 4px solid #48a; padding-left: 0.8em; }
.run canvas { display: block; margin: 0.5em 0; }
"""


def fail(message):
    sys.exit(f"guide.md: {message}")


def shared_texts(command, query):
    """The address parameters and command line 共有 gives for `query`."""
    fields = parse_qs(query.lstrip("?"), keep_blank_values=True)
    try:
        values = [fields[name][0] for name in ("count", "time-step", "period", "seed")]
    except KeyError as missing:
        fail(f"the run {query} has no {missing}")
    if "observe" in fields:
        values.append("observe")
    made = subprocess.run(command + values, check=True, capture_output=True, text=True)
    return made.stdout.splitlines()


def run_block(body, edition, command):
    lines = [line.strip() for line in body.strip().splitlines()]
    if len(lines) != 2:
        fail(f"a run is two lines, the address parameters and the command line: {lines}")
    query, line = shared_texts(command, lines[0])
    if lines != [query, line]:
        fail(f"共有 writes this run as\n  {query}\n  {line}\nnot as\n  {lines[0]}\n  {lines[1]}")
    texts = f"<pre>{html.escape(query)}\n{html.escape(line)}</pre>"
    if edition == "package":
        return f'<div class="run">\n{texts}\n</div>'
    link = html.escape("./" + query)
    return (f'<div class="run">\n<p><a href="{link}" target="_blank" rel="noopener">'
            f"この実験を開く</a> (新しいタブで開きます)</p>\n"
            f'<canvas class="code" data-link="{link}" role="img" aria-label="この実験を開く QR コード">'
            f"</canvas>\n{texts}\n</div>")


def numbers_block(body):
    runs, rows, notes = [], [], []
    for line in body.strip().splitlines():
        line = line.strip()
        if line == "edition: fma":
            notes.append("<p>FMA 命令のあるプロセッサでのウィンドウ版の数値です。</p>")
        elif len(line) > 2 and line[1] == ":" and line[0].isupper():
            runs.append(html.escape(line))
        elif line:
            label, _, quoted = (part.strip() for part in line.split("|"))
            rows.append(f"<tr><td>{html.escape(label)}</td>"
                        f'<td class="value">{html.escape(quoted.replace("-", "−"))}</td></tr>')
    return ('<div class="numbers">\n' + "".join(notes) + "<pre>" + "\n".join(runs) + "</pre>\n"
            "<table>\n<tr><th>数値</th><th>値</th></tr>\n" + "\n".join(rows) + "\n</table>\n</div>")


def main():
    edition, source, out = sys.argv[1:4]
    if edition not in ("site", "package") or sys.argv[4] != "--":
        sys.exit(__doc__)
    command = sys.argv[5:]
    with open(source, encoding="utf-8") as text:
        guide = text.read()

    def replace(match):
        kind, body = match.group(1), match.group(2)
        block = run_block(body, edition, command) if kind == "run" else numbers_block(body)
        return "\n" + block + "\n"

    guide = re.sub(r"^```(run|numbers)\n(.*?)^```$", replace, guide, flags=re.S | re.M)
    body = markdown.markdown(guide, extensions=["fenced_code", "tables"], output_format="html")
    # The site's copy: the QR codes' script, and the site's icon, which the
    # service worker keeps (a browser would otherwise ask for a favicon).
    script = ('<link rel="icon" href="tessaly.svg" type="image/svg+xml">\n'
              '<script type="module" src="guide.js"></script>\n') if edition == "site" else ""
    page = ("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<title>Tessaly 授業ガイド</title>\n<style>" + STYLE + "</style>\n" + script +
            "</head>\n<body>\n<main>\n" + body + "\n</main>\n</body>\n</html>\n")
    with open(out, "w", encoding="utf-8") as html_file:
        html_file.write(page)


if __name__ == "__main__":
    main()
