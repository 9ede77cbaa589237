#!/usr/bin/env python3
"""Counts how often secrets occur in a running process's memory.

  memscan.py scan PID SECRET...        counts now
  memscan.py at-exit PID READY SECRET... holds the process at its exit, after its own clean-up and
                                        before its memory is gone, counts, then lets it end.
                                        READY is a file created once the hold is in place.
  memscan.py book-key FILE PASSWORD     prints in hex the key an encrypted book file's password
                                        gives, derived with the salt and costs the file states.

A SECRET is text, or bytes written "hex:" and their hex digits. An argument "--as=NAME" makes the
secrets after it count towards a total of their own, printed as "total NAME <count>".

Reading another process's memory takes ptrace rights over it; the program makes itself
non-dumpable, so only a privileged caller (root, or CAP_SYS_PTRACE) can do this.
Prints one line per secret, "<count> <secret>", the totals of the named groups, and the total last.
"""
import base64
import ctypes
import os
import re
import signal
import sys

PTRACE_CONT = 7
PTRACE_DETACH = 17
PTRACE_SEIZE = 0x4206
PTRACE_O_TRACEEXIT = 0x40
PTRACE_EVENT_EXIT = 6
WALL = 0x40000000

libc = ctypes.CDLL(None, use_errno=True)
libc.ptrace.argtypes = [ctypes.c_long, ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p]
libc.ptrace.restype = ctypes.c_long


def ptrace(request, pid, addr=0, data=0):
    if libc.ptrace(request, pid, ctypes.c_void_p(addr), ctypes.c_void_p(data)) != 0:
        err = ctypes.get_errno()
        raise OSError(err, f"ptrace({request}) on {pid}: {os.strerror(err)}")


def readable_regions(pid):
    with open(f"/proc/{pid}/maps") as maps:
        for line in maps:
            fields = line.split()
            start, end = (int(x, 16) for x in fields[0].split("-"))
            name = fields[5] if len(fields) > 5 else ""
            if fields[1][0] == "r" and name != "[vvar]":
                yield start, end


def count(pid, secrets):
    counts = dict.fromkeys(secrets, 0)
    longest = max(len(s) for s in secrets)
    with open(f"/proc/{pid}/mem", "rb", buffering=0) as mem:
        for start, end in readable_regions(pid):
            tail = b""
            for offset in range(start, end, 1 << 20):
                try:
                    mem.seek(offset)
                    chunk = mem.read(min(1 << 20, end - offset))
                except OSError:
                    tail = b""
                    continue
                data = tail + chunk
                for secret in secrets:
                    # A hit that started in the previous chunk's tail was counted there only if whole.
                    counts[secret] += data.count(secret) - tail.count(secret)
                tail = data[-(longest - 1):] if longest > 1 else b""
    return counts


def forms(secret):
    """The secret as the program may hold it: text as UTF-8 and, as the toolkit holds it, UTF-16;
    bytes given in hex as they are. And the last half of a long one: freeing a block overwrites
    its first bytes with the allocator's own pointers, so a freed but unwiped copy keeps only its
    end. Label -> bytes."""
    if secret in ("", "hex:"):
        raise SystemExit("an empty secret would be found everywhere")
    if secret.startswith("hex:"):
        raw = bytes.fromhex(secret[4:])
        return {secret: raw, "...hex:" + raw[len(raw) // 2:].hex(): raw[len(raw) // 2:]}
    found = {secret: secret.encode(), secret + " (UTF-16)": secret.encode("utf-16-le")}
    if len(secret) >= 16:
        found["..." + secret[len(secret) // 2:]] = secret[len(secret) // 2:].encode()
    return found


def grouped(args):
    """Each secret's forms, and the group each belongs to (None: no group of its own)."""
    labelled, groups, group = {}, {}, None
    for arg in args:
        if arg.startswith("--as="):
            group = arg[len("--as="):]
            continue
        for label, secret in forms(arg).items():
            labelled[label] = secret
            groups[label] = group
    return labelled, groups


def report(labelled, groups, counts):
    for label, secret in labelled.items():
        print(counts[secret], label.replace("\n", "\\n"))
    for group in dict.fromkeys(g for g in groups.values() if g is not None):
        print("total", group, sum(counts[labelled[label]] for label, g in groups.items() if g == group))
    print("total", sum(counts.values()))


def book_key(path, password):
    """The 32-byte key the program derives from the password for the encrypted book in the file:
    Argon2id, with the passes, memory and salt of the file's Sealed start tag."""
    import nacl.pwhash.argon2id  # only this command needs it

    with open(path, encoding="utf-8") as book:
        tag = re.search(r'<Sealed [^>]*Passes="(\d+)" Memory="(\d+)" Salt="([^"]+)"', book.read())
    if tag is None:
        raise SystemExit(f"{path} is not an encrypted book")
    passes, memory, salt = int(tag[1]), int(tag[2]), base64.b64decode(tag[3])
    return nacl.pwhash.argon2id.kdf(32, password.encode(), salt, opslimit=passes, memlimit=memory)


def hold_at_exit(pid, ready, labelled, groups):
    ptrace(PTRACE_SEIZE, pid, 0, PTRACE_O_TRACEEXIT)
    open(ready, "w").close()
    while True:
        _, status = os.waitpid(pid, WALL)
        if os.WIFEXITED(status) or os.WIFSIGNALED(status):
            raise SystemExit("the process ended before it could be held")
        if os.WIFSTOPPED(status) and (status >> 8) == (signal.SIGTRAP | (PTRACE_EVENT_EXIT << 8)):
            break
        # Any other stop: pass its signal on and keep waiting.
        sig = os.WSTOPSIG(status) if os.WIFSTOPPED(status) else 0
        ptrace(PTRACE_CONT, pid, 0, 0 if sig == signal.SIGTRAP else sig)
    try:
        report(labelled, groups, count(pid, list(labelled.values())))
    finally:
        ptrace(PTRACE_DETACH, pid, 0, 0)


def main(argv):
    if len(argv) >= 3 and argv[0] == "scan":
        labelled, groups = grouped(argv[2:])
        report(labelled, groups, count(int(argv[1]), list(labelled.values())))
    elif len(argv) >= 4 and argv[0] == "at-exit":
        hold_at_exit(int(argv[1]), argv[2], *grouped(argv[3:]))
    elif len(argv) == 3 and argv[0] == "book-key":
        print(book_key(argv[1], argv[2]).hex())
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
