#!/ usr / bin / env python3
"""Loopback document servers for the web tests.

web_fixture.py http ROOT PORTFILE [CERT KEY]  serves ROOT over HTTP (HTTPS with CERT and KEY)
web_fixture.py ftp ROOT PORTFILE              serves ROOT read-only to anonymous FTP users

Binds 127.0.0.1 on port 0 and writes the chosen port to PORTFILE. Every HTTP request line's
target is appended to ROOT/../requests.log. Besides the files of ROOT, the HTTP server answers:
  /redirect        302 to the absolute http://127.0.0.1:PORT/other.txt?q=1
  /loop            302 to /loop, for ever
  /missing11.txt   404 from an HTTP/1.1 handler (files that do not exist get Python's HTTP/1.0 404)
  /located.txt     200 with a Location header and the body "located body"
"""
import http.server
import os
import socketserver
import ssl
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass

    def _log(self):
        with open(os.path.join(os.path.dirname(self.directory), "requests.log"), "a") as log:
            log.write(self.path + "\n")

    def _send(self, code, headers, body=b"", version=None):
        if version:
            self.protocol_version = version
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def do_GET(self):
        self._log()
        port = self.server.server_address[1]
        if self.path == "/redirect":
            return self._send(302, [("Location", "http://127.0.0.1:%d/other.txt?q=1" % port)])
        if self.path == "/loop":
            return self._send(302, [("Location", "/loop")])
        if self.path == "/missing11.txt":
            return self._send(404, [("Content-Type", "text/plain")], b"gone", "HTTP/1.1")
        if self.path == "/located.txt":
            return self._send(200, [("Location", "/elsewhere.txt")], b"located body")
        return super().do_GET()


def serve_http(root, port_file, cert=None, key=None):
    handler = lambda *args, **kwargs: Handler(*args, directory=root, **kwargs)
    socketserver.TCPServer.allow_reuse_address = True
    server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    write_port(port_file, server.server_address[1])
    server.serve_forever()


def serve_ftp(root, port_file):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    FTPHandler.authorizer = authorizer
    FTPHandler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), FTPHandler)
    write_port(port_file, server.address[1])
    server.serve_forever()


def write_port(port_file, port):
    temporary = port_file + ".part"
    with open(temporary, "w") as out:
        out.write(str(port))
    os.rename(temporary, port_file)


if __name__ == "__main__":
    kind, root, port_file = sys.argv[1:4]
    if kind == "ftp":
        serve_ftp(root, port_file)
    else:
        serve_http(root, port_file, *sys.argv[4:6])
