#!/usr/bin/python3
"""Runs an arm64 program of the build under qemu-user: qemu-run.py QEMU PROGRAM [ARGUMENTS...]

QEMU is the emulator itself (qemu-aarch64-static), called directly: no binfmt handler is
needed. qemu 7.2 refuses clone() with CLONE_PIDFD, while the host's kernel answers
waitid(P_PIDFD) as a kernel with pidfds does. Qt's QProcess takes that answer to mean
that it starts processes through pidfds: then every start fails, and Qt kills pid -1,
every process the user may signal, on the way out. Here waitid(P_PIDFD) is refused as an
older kernel refuses it (EINVAL), so Qt starts processes with fork() as it does there.
The filter holds for the emulator and everything it starts; nothing else of ours or of
the peers waits on a pidfd.
"""
import errno
import os
import sys

import seccomp  # python3-seccomp

P_PIDFD = 3  # linux/wait.h

if len(sys.argv) < 3:
    sys.exit("usage: qemu-run.py QEMU PROGRAM [ARGUMENTS...]")
rules = seccomp.SyscallFilter(defaction=seccomp.ALLOW)
rules.set_attr(seccomp.Attr.ACT_BADARCH, seccomp.ALLOW)  # a 32-bit peer is none of this
rules.add_rule(seccomp.ERRNO(errno.EINVAL), "waitid", seccomp.Arg(0, seccomp.EQ, P_PIDFD))
rules.load()
os.execv(sys.argv[1], sys.argv[1:])
