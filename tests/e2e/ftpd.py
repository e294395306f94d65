# A real FTP server for the merchant's journey: pyftpdlib on a free loopback port.
# Usage: ftpd.py ROOT USER PASSWORD. Prints the port, then "STORED <path below ROOT>" for
# every file received completely, so the test sees exactly what went over the wire, and
# "CONNECTED <client port>" for every connection (in order with the rest: a test that connects
# and sees its own port knows every earlier line has arrived).
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
logging.disable(logging.CRITICAL)


class Handler(FTPHandler):
    def on_connect(self):
        print("CONNECTED %d" % self.remote_port, flush=True)

    def on_file_received(self, file):
        print("STORED " + os.path.relpath(file, root).replace(os.sep, "/"), flush=True)

    def on_incomplete_file_received(self, file):
        print("INCOMPLETE " + os.path.relpath(file, root).replace(os.sep, "/"), flush=True)


authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")
Handler.authorizer = authorizer
Handler.passive_ports = None
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
