#!/usr/bin/env python3
"""A service asking for HTTP Digest (SHA-256, then MD5, in two headers), checked by hand.
Usage: digest_peer.py PORT PASSWORD [CERT KEY] (https). Answers the body's length."""
import hashlib, http.server, re, ssl, sys

NONCE, REALM, HASHES = "5f2a9c", "camera", {"SHA-256": hashlib.sha256, "MD5": hashlib.md5}


def accepted(header):
    fields = dict((k, a or b) for k, a, b in re.findall(r'(\w+)=(?:"([^"]*)"|([^,\s]*))', header))
    digest = HASHES.get(fields.get("algorithm", "MD5"))
    if not header.startswith("Digest ") or not digest or fields.get("nonce") != NONCE:
        return False
    h = lambda *parts: digest(":".join(parts).encode()).hexdigest()
    ha1, ha2 = h(fields["username"], REALM, sys.argv[2]), h("POST", fields["uri"])
    return fields["response"] == h(ha1, NONCE, fields["nc"], fields["cnonce"], "auth", ha2)


class Peer(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        ok = accepted(self.headers.get("Authorization", ""))
        answer = str(len(body)).encode() if ok else b"<html>401</html>"
        self.send_response(200 if ok else 401)
        for algorithm in [] if ok else HASHES:
            self.send_header("WWW-Authenticate", f'Digest realm="{REALM}", qop="auth", '
                             f'nonce="{NONCE}", algorithm={algorithm}')
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)


server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Peer)
if len(sys.argv) > 4:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server.socket = context.wrap_socket(server.socket, server_side=True)
print("ready", flush=True)
server.serve_forever()
