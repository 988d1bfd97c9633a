"""A noisy cable of the Wine rig (zrig.py: add_cable(..., noise=NoiseSpec(...))).

    zrig_noise.py LOG COUNTS FLIP DROP SEED

Makes two ptys, the cable's app end and its far end, and copies the bytes
between them.  In each direction every bit arrives flipped with chance FLIP
and every byte is lost with chance DROP.  Where a flip or a drop lands depends
only on SEED, the direction and the place in that direction's stream, never
on how the bytes happened to be read, so the same seed and the same bytes
give the same noise.

LOG gets the ptys ("PTY is /dev/pts/N", the app end first, as socat words it)
and then one line per event: "to_far flip 1234 3" (bit 3 of that direction's
byte 1234, counted from 0, bytes lost included) or "to_app drop 99".  COUNTS,
a file the rig made, holds for each direction (to_far, then to_app) the
bytes read, the bytes passed on, the flips and the drops (COUNT_FIELDS), as
little-endian 64-bit numbers, kept current.
"""

import math
import mmap
import os
import random
import select
import struct
import sys
import tty

DIRECTIONS = ("to_far", "to_app")
COUNT_FIELDS = ("read", "passed", "flips", "drops")
COUNTS = struct.Struct("<%dQ" % (len(DIRECTIONS) * len(COUNT_FIELDS)))
# Bytes a direction holds for a slow reader before it stops reading.
BACKLOG = 1 << 16


class Gaps:
    """Places of independent events of chance `p` each: the distance to the
    next one is geometric, so a stream costs a draw per event, not per place."""

    def __init__(self, p, rng):
        self.rng = rng
        self.scale = None if p <= 0 else (0.0 if p >= 1 else 1.0 / math.log1p(-p))
        self.next = self.gap() - 1

    def gap(self):
        if self.scale is None:
            return math.inf
        if self.scale == 0.0:
            return 1
        return 1 + int(math.log(1.0 - self.rng.random()) * self.scale)

    def upto(self, end):
        """The places before `end` not yet handed out."""
        while self.next < end:
            yield self.next
            self.next += self.gap()


class Direction:
    def __init__(self, index, src, dst, flip, drop, seed, log, counts):
        self.name = DIRECTIONS[index]
        self.src, self.dst = src, dst
        # One generator per kind of event keeps the draws of one kind apart
        # from where the other kind's fell.
        self.flips = Gaps(flip, random.Random("%s:%s:flip" % (seed, self.name)))
        self.drops = Gaps(drop, random.Random("%s:%s:drop" % (seed, self.name)))
        self.log, self.counts = log, counts
        self.base = index * len(COUNT_FIELDS)
        self.pos = 0
        self.pending = bytearray()

    def add(self, field, n):
        at = (self.base + COUNT_FIELDS.index(field)) * 8
        struct.pack_into("<Q", self.counts, at, struct.unpack_from("<Q", self.counts, at)[0] + n)

    def feed(self, data):
        start, end = self.pos, self.pos + len(data)
        self.pos = end
        buf = bytearray(data)
        lost = list(self.drops.upto(end))
        lost_set = set(lost)
        for at in lost:
            self.log.write("%s drop %d\n" % (self.name, at))
        flipped = 0
        for bit in self.flips.upto(8 * end):
            at = bit // 8
            if at not in lost_set:
                buf[at - start] ^= 1 << (bit % 8)
                self.log.write("%s flip %d %d\n" % (self.name, at, bit % 8))
                flipped += 1
        for at in reversed(lost):
            del buf[at - start]
        if flipped or lost:
            self.log.flush()
        self.pending += buf
        self.add("read", len(data))
        self.add("flips", flipped)
        self.add("drops", len(lost))

    def send(self):
        try:
            n = os.write(self.dst, self.pending)
        except BlockingIOError:
            return
        del self.pending[:n]
        self.add("passed", n)


def make_pty():
    master, slave = os.openpty()
    tty.setraw(slave)
    os.set_blocking(master, False)
    return master, slave


def main(argv):
    log_path, counts_path, flip, drop, seed = argv
    log = open(log_path, "a")
    with open(counts_path, "r+b") as f:
        counts = mmap.mmap(f.fileno(), COUNTS.size)
    (app, app_slave), (far, far_slave) = make_pty(), make_pty()
    for slave in (app_slave, far_slave):
        log.write("PTY is %s\n" % os.ttyname(slave))
    log.flush()
    # The slaves stay open here, so that a reader sees no hang-up while
    # nobody else holds an end.
    dirs = [Direction(0, app, far, float(flip), float(drop), seed, log, counts),
            Direction(1, far, app, float(flip), float(drop), seed, log, counts)]
    while True:
        readers = [d.src for d in dirs if len(d.pending) < BACKLOG]
        writers = [d.dst for d in dirs if d.pending]
        readable, writable, _ = select.select(readers, writers, [])
        for d in dirs:
            if d.dst in writable and d.pending:
                d.send()
            if d.src in readable and len(d.pending) < BACKLOG:
                try:
                    data = os.read(d.src, BACKLOG)
                except BlockingIOError:
                    continue
                d.feed(data)


if __name__ == "__main__":
    main(sys.argv[1:])
