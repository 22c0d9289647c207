#!/usr/bin/env python3
"""A lyrics server for development and tests.

Answers GET /lyrics/query.do?title=T&artist=A from a folder of LRC files, in the reply format the
program reads: {"status": 404} when nothing matches, else
{"status": 200, "message": {"rows": N, "data": [{"title", "artist", "length_format", "content"}]}},
where "content" holds one line per lyric line: its time tags and its text, separated by spaces.

A song's title and artist come from its [ti:] and [ar:] tags, else from the file name
("Artist - Title.lrc" or "Title.lrc"); its length from [length:mm:ss], else its last time tag.
A title matches when it contains the query's title (case ignored), an artist likewise; an empty or
missing artist matches every song. The query's title and artist are trimmed first: ID3v1 fields
come padded with spaces. A file's [offset:] (milliseconds, positive for earlier lines) is applied to
the times served. Files are read as UTF-8, else GB18030.
"""

import argparse
import json
import os
import re
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

TIME_TAG = re.compile(r"\[(\d+):(\d{1,2})(?:[.:](\d+))?\]")
META_TAG = re.compile(r"^\[([A-Za-z]+):(.*)\]\s*$")


def decode(data):
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("gb18030", errors="replace")


def tag_ms(found):
    fraction = found.group(3) or "0"
    return ((int(found.group(1)) * 60 + int(found.group(2))) * 1000 +
            int(fraction.ljust(3, "0")[:3]))


def format_tag(ms):
    ms = max(ms, 0)
    return "[%02d:%02d.%02d]" % (ms // 60000, ms // 1000 % 60, ms % 1000 // 10)


def offset_ms(text):
    for raw in text.splitlines():
        match = META_TAG.match(raw.strip("\r"))
        if match and match.group(1).lower() == "offset":
            try:
                return int(match.group(2).strip())
            except ValueError:
                return 0
    return 0


def read_song(path):
    text = decode(open(path, "rb").read())
    offset = offset_ms(text)
    meta = {}
    content = []
    last_seconds = 0
    for raw in text.splitlines():
        line = raw.strip("\r")
        match = META_TAG.match(line)
        if match and not TIME_TAG.match(line):
            meta[match.group(1).lower()] = match.group(2).strip()
            continue
        tags = []
        rest = line
        while True:
            found = TIME_TAG.match(rest)
            if not found:
                break
            ms = tag_ms(found) - offset
            tags.append(format_tag(ms) if offset else found.group(0))
            last_seconds = max(last_seconds, max(ms, 0) // 1000)
            rest = rest[found.end():]
        if tags and rest.strip():
            content.append(" ".join(tags) + " " + rest.strip())
    stem = os.path.splitext(os.path.basename(path))[0]
    artist, _, title = stem.rpartition(" - ")
    length = meta.get("length") or "%02d:%02d" % divmod(last_seconds, 60)
    return {
        "title": meta.get("ti") or title,
        "artist": meta.get("ar") or artist,
        "length_format": length,
        "content": "\n".join(content) + "\n",
    }


def load_songs(root):
    songs = []
    for name in sorted(os.listdir(root)):
        if name.lower().endswith(".lrc"):
            songs.append(read_song(os.path.join(root, name)))
    return songs


def query(songs, title, artist):
    title = title.strip(" \t\r\n\0").casefold()
    artist = artist.strip(" \t\r\n\0").casefold()
    found = [s for s in songs
             if title in s["title"].casefold() and artist in s["artist"].casefold()]
    # Exact titles first, then the folder's order.
    found.sort(key=lambda s: s["title"].casefold() != title)
    if not title or not found:
        return {"status": 404}
    return {"status": 200, "message": {"rows": len(found), "data": found}}


def make_handler(root):
    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            url = urllib.parse.urlsplit(self.path)
            if url.path != "/lyrics/query.do":
                self.send_error(404)
                return
            params = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            reply = query(load_songs(root), params.get("title", [""])[0],
                          params.get("artist", [""])[0])
            body = json.dumps(reply, ensure_ascii=False).encode("utf-8")
            self.send_response(200)
            self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder of .lrc files")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="write the port here once listening")
    args = parser.parse_args()
    server = ThreadingHTTPServer((args.bind, args.port), make_handler(args.root))
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as out:
            out.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("lyricsd listening on %s:%d" % (args.bind, port), file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
