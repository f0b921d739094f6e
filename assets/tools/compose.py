#!/usr/bin/env python3
"""Inline the SVG files an SVG refers to with <image href="*.svg"/>.

librsvg draws an <image> that points at an SVG as a bitmap at 1x and then
scales it, which blurs the browser tiles in skin@2x.png. Putting each tile in
as a nested <svg> keeps it vector at every zoom. The sources keep the <image>
form so they still open as a whole in an editor.

usage: compose.py in.svg out.svg
"""
import os
import re
import sys

IMAGE = re.compile(r'<image\b([^>]*?)/>', re.S)
ATTR = re.compile(r'([\w:-]+)="([^"]*)"')


def inner_svg(path):
    text = open(path, encoding='utf-8').read()
    text = re.sub(r'<\?xml[^>]*\?>', '', text)
    text = re.sub(r'<!--.*?-->', '', text, flags=re.S)
    m = re.search(r'<svg\b([^>]*)>(.*)</svg>', text, re.S)
    if not m:
        sys.exit(f'compose.py: no <svg> element in {path}')
    attrs = dict(ATTR.findall(m.group(1)))
    view_box = attrs.get('viewBox')
    if not view_box:
        sys.exit(f'compose.py: {path} has no viewBox')
    return view_box, m.group(2)


def main():
    src, dst = sys.argv[1], sys.argv[2]
    base = os.path.dirname(os.path.abspath(src))
    text = open(src, encoding='utf-8').read()
    count = 0

    def replace(m):
        nonlocal count
        attrs = dict(ATTR.findall(m.group(1)))
        href = attrs.get('xlink:href') or attrs.get('href') or ''
        if not href.endswith('.svg'):
            return m.group(0)
        view_box, body = inner_svg(os.path.join(base, href))
        count += 1
        return (f'<svg x="{attrs.get("x", "0")}" y="{attrs.get("y", "0")}" '
                f'width="{attrs["width"]}" height="{attrs["height"]}" '
                f'viewBox="{view_box}" overflow="hidden">{body}</svg>')

    text = IMAGE.sub(replace, text)
    open(dst, 'w', encoding='utf-8').write(text)
    print(f'compose.py: {os.path.basename(src)}: inlined {count} picture(s)')


if __name__ == '__main__':
    main()
