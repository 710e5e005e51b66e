#!/usr/bin/env python3
"""A device service that asks for HTTP Digest, checked by hand (qop=auth).

Usage: digest_peer.py PORT PASSWORD [CERT KEY]. It offers SHA-256, then MD5,
in two WWW-Authenticate headers; an accepted call is answered with the number
of body bytes it carried. With CERT and KEY it speaks https. Prints "ready".
"""
import hashlib
import http.server
import re
import ssl
import sys

NONCE = "5f2a9c"
REALM = "camera"
HASHES = {"SHA-256": hashlib.sha256, "MD5": hashlib.md5}


def accepted(header, method, password):
    if not header or not header.startswith("Digest "):
        return False
    fields = dict((k, a or b) for k, a, b in re.findall(r'(\w+)=(?:"([^"]*)"|([^,\s]*))', header))
    digest = HASHES.get(fields.get("algorithm", "MD5"))
    if digest is None or fields.get("nonce") != NONCE or fields.get("qop") != "auth":
        return False
    h = lambda text: digest(text.encode()).hexdigest()
    ha1 = h(f"{fields.get('username')}:{REALM}:{password}")
    ha2 = h(f"{method}:{fields.get('uri')}")
    expected = h(f"{ha1}:{NONCE}:{fields.get('nc')}:{fields.get('cnonce')}:auth:{ha2}")
    return fields.get("response") == expected


class Peer(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if accepted(self.headers.get("Authorization"), "POST", sys.argv[2]):
            answer = str(len(body)).encode()
            self.send_response(200)
        else:
            answer = b"<html>401</html>"  # dropped by libcurl when it answers the challenge
            self.send_response(401)
            for algorithm in HASHES:
                self.send_header("WWW-Authenticate", f'Digest realm="{REALM}", qop="auth", '
                                 f'nonce="{NONCE}", algorithm={algorithm}')
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Peer)
if len(sys.argv) > 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print("ready", flush=True)
server.serve_forever()
