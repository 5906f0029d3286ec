"""Writes the run logs of a roll-out on the controller, one step for a whole
batch of hosts instead of a fetch (two exchanges) per host.

    python3 write_logs.py DIR < {"HOST": "LOG TEXT", ...}

Each log goes to DIR/HOST.log, through a temporary file renamed into place,
so that a reader never sees half a log.
"""
import json
import os
import sys


def main():
    directory = sys.argv[1]
    os.makedirs(directory, exist_ok=True)
    for host, text in json.load(sys.stdin).items():
        if "/" in host or host in ("", ".", ".."):
            sys.exit(f"write_logs.py: {host!r} cannot be a file name")
        path = os.path.join(directory, host + ".log")
        with open(path + ".part", "w", encoding="utf-8", errors="surrogateescape") as log:
            log.write(text)
        os.replace(path + ".part", path)


main()
