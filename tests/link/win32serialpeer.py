#!/usr/bin/env python3
"""The far end of a COM port for tst_win32serialline under Wine.

win32serialpeer.py --com N --link PATH -- COMMAND...

Makes a pseudo-terminal, points PATH at its slave (and COMN of $WINEPREFIX at PATH, as
scripts/wine-run.sh does with ORBIX_COM_PORTS), runs COMMAND with ORBIX_TEST_PORT=COMN
and answers what the test writes on the line; the port's mapping goes at the end:

  'E' n payload  -> 'E' speed(4, big endian) flags(1) payload: the speed and frame
                    format the Windows side set, as the pseudo-terminal's termios has
                    them (flags: 1 PARODD, 2 CSTOPB; a pty keeps no PARENB);
  'H'            -> hangs up: the pty is closed, a new one is made and PATH moved to it.

Exits with COMMAND's status.
"""
import argparse
import array
import fcntl
import os
import select
import struct
import subprocess
import sys
import threading
import time
import tty

TCGETS2 = 0x802C542A  # struct termios2: 4 flags, c_line, c_cc[19], c_ispeed, c_ospeed
PARODD = 0o1000
CSTOPB = 0o100
REOPEN_AFTER_S = 0.3


class Peer:
    def __init__(self, link):
        self.link = link
        self.master = self.slave = -1
        self.open()

    def open(self):
        self.master, self.slave = os.openpty()  # the slave is held: its settings live on
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        fresh = self.link + ".new"
        if os.path.lexists(fresh):
            os.unlink(fresh)
        os.symlink(os.ttyname(self.slave), fresh)
        os.replace(fresh, self.link)

    def hang_up(self):
        os.close(self.master)
        os.close(self.slave)
        time.sleep(REOPEN_AFTER_S)
        self.open()

    def settings(self):
        buf = array.array("B", bytes(44))
        fcntl.ioctl(self.master, TCGETS2, buf)
        cflag = struct.unpack_from("I", buf, 8)[0]
        ospeed = struct.unpack_from("I", buf, 40)[0]
        flags = (1 if cflag & PARODD else 0) | (2 if cflag & CSTOPB else 0)
        return ospeed, flags

    def serve(self, stop):
        pending = b""
        while not stop.is_set():
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if not ready:
                continue
            try:
                pending += os.read(self.master, 4096)
            except (BlockingIOError, OSError):
                time.sleep(0.01)  # nobody has the slave open now
                continue
            while pending:
                if pending[0:1] == b"H":
                    pending = b""
                    self.hang_up()
                elif pending[0:1] == b"E":
                    if len(pending) < 2 or len(pending) < 2 + pending[1]:
                        break
                    n = pending[1]
                    payload, pending = pending[2:2 + n], pending[2 + n:]
                    speed, flags = self.settings()
                    os.write(self.master, b"E" + struct.pack(">IB", speed, flags) + payload)
                else:
                    pending = pending[1:]  # noise: skipped


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--com", type=int, default=5)
    parser.add_argument("--link", required=True)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    peer = Peer(args.link)
    # scripts/wine-run.sh maps the port in its prefix; one given as WINEPREFIX is mapped here.
    prefixes = [os.environ.get("WINEPREFIX"),
                os.environ.get("ORBIX_WINEPREFIX", os.path.expanduser("~/.cache/orbix/wineprefix"))]
    coms = [os.path.join(p, "dosdevices", "com%d" % args.com) for p in prefixes if p]
    if os.environ.get("WINEPREFIX") and os.path.isdir(os.path.dirname(coms[0])):
        if os.path.lexists(coms[0]):
            os.unlink(coms[0])
        os.symlink(args.link, coms[0])
    env = dict(os.environ)
    env["ORBIX_COM_PORTS"] = ("%s %d=%s" % (env.get("ORBIX_COM_PORTS", ""), args.com, args.link)).strip()
    env["ORBIX_TEST_PORT"] = "COM%d" % args.com
    stop = threading.Event()
    server = threading.Thread(target=peer.serve, args=(stop,), daemon=True)
    server.start()
    status = subprocess.call(command, env=env)
    stop.set()
    server.join(1)
    for com in coms:  # no stale port in the prefix for the next program that lists them
        if os.path.islink(com) and os.readlink(com) == args.link:
            os.unlink(com)
    sys.exit(status)


if __name__ == "__main__":
    main()
