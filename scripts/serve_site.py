"""Serves the browser edition on 127.0.0.1, with the two headers that make
the page cross-origin isolated, so that it steps on every core from its
first visit (its service worker adds them too, from the first reload on,
wherever the site is served).

    python3 scripts/serve_site.py SITE_DIR PORT
"""
import functools
import http.server
import sys

ISOLATION = {
    "Cross-Origin-Opener-Policy": "same-origin",
    "Cross-Origin-Embedder-Policy": "require-corp",
}


# The types browsers insist on, named here rather than taken from the
# system's map, which a fresh machine may lack: a module script must be
# JavaScript, and WebAssembly is compiled while it downloads only when it
# comes as application/wasm.
TYPES = {
    ".js": "text/javascript",
    ".mjs": "text/javascript",
    ".wasm": "application/wasm",
    ".json": "application/json",
    ".webmanifest": "application/manifest+json",
    ".html": "text/html",
    ".css": "text/css",
    ".svg": "image/svg+xml",
    ".png": "image/png",
}


class IsolatingHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}

    def log_message(self, *args):
        pass

    def end_headers(self):
        for name, value in ISOLATION.items():
            self.send_header(name, value)
        super().end_headers()


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    handler = functools.partial(IsolatingHandler, directory=folder)
    with http.server.ThreadingHTTPServer(("127.0.0.1", port), handler) as server:
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
