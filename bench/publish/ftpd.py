# The benchmarks' FTP server: pyftpdlib on a free loopback port, user tolmi, password
# secret. Usage: ftpd.py ROOT. Prints the port it listens on.
import sys, logging
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
a = DummyAuthorizer()
a.add_user('tolmi', 'secret', sys.argv[1], perm='elradfmwMT')
FTPHandler.authorizer = a
s = FTPServer(('127.0.0.1', 0), FTPHandler)
print(s.socket.getsockname()[1], flush=True)
s.serve_forever()
