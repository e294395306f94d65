#!/usr/bin/env python3
"""Hostile load for the server benchmark, on loopback only, bounded in time.

  hostile.py slow PORT SECONDS [COUNT]   COUNT half-sent requests from 127.0.0.2-21, held
  hostile.py guess PORT SECONDS          wrong-password downloads from 127.0.0.7, back to back
"""
import socket
import sys
import time

mode, port, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
end = time.time() + seconds
held = []


def connect(host, data):
    s = socket.socket()
    s.bind((host, 0))
    s.settimeout(2)
    s.connect(("127.0.0.1", port))
    if data:
        s.sendall(data)
    return s


if mode == "slow":
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 500
    while time.time() < end:
        # Keep COUNT half-sent requests open; the server closes them, so open them again.
        held = [s for s in held if s.fileno() >= 0]
        while len(held) < count and time.time() < end:
            try:
                held.append(connect("127.0.0.%d" % (2 + len(held) % 20), b"POST / HTTP/1.1\r\nHost: x\r\n"))
            except OSError:
                break
        time.sleep(0.5)
        alive = []
        for s in held:
            try:
                s.setblocking(False)
                if s.recv(1) == b"":
                    s.close()
                    continue
            except BlockingIOError:
                pass
            except OSError:
                s.close()
                continue
            alive.append(s)
        held = alive
elif mode == "guess":
    request = b"GET /?data=300reader%0Dguess%0D29034361%0D HTTP/1.0\r\n\r\n"
    guesses = 0
    while time.time() < end:
        try:
            s = connect("127.0.0.7", request)
            s.recv(64)
            s.close()
            guesses += 1
        except OSError:
            pass
    print("guesses answered: %d" % guesses)
