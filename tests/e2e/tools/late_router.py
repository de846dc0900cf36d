#!/usr/bin/env python3
"""The scenario's router when it must answer late: run in the router's
namespace with the kernel's own echo replies off, it answers every echo
request from a raw socket, at once while the file MARKER is missing and on
a schedule of delays while it exists (the stand-in service makes it while it
runs, that is while Windows would scan). Each answer is logged as
"<seq> <delay ms>" to LOG.

    late_router.py MARKER LOG DELAY_MS...     (the delays, in turn, while scanning)
"""
import heapq
import os
import select
import socket
import struct
import sys
import time


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    total = (total >> 16) + (total & 0xFFFF)
    total += total >> 16
    return ~total & 0xFFFF


def main():
    marker, log_path = sys.argv[1], sys.argv[2]
    schedule = [int(ms) for ms in sys.argv[3:]] or [0]
    sock = socket.socket(socket.AF_INET, socket.SOCK_RAW, socket.IPPROTO_ICMP)
    pending = []  # (due, order, reply, address)
    order = 0
    turn = 0
    with open(log_path, "a", buffering=1) as log:
        while True:
            timeout = max(0.0, pending[0][0] - time.monotonic()) if pending else None
            readable, _, _ = select.select([sock], [], [], timeout)
            now = time.monotonic()
            while pending and pending[0][0] <= now:
                _, _, reply, address = heapq.heappop(pending)
                sock.sendto(reply, (address, 0))
            if not readable:
                continue
            packet, (address, _) = sock.recvfrom(65535)
            header = (packet[0] & 0x0F) * 4
            icmp = packet[header:]
            if len(icmp) < 8 or icmp[0] != 8:
                continue  # not an echo request (our own replies come by, too)
            ident, seq = struct.unpack("!HH", icmp[4:8])
            body = struct.pack("!BBHHH", 0, 0, 0, ident, seq) + icmp[8:]
            reply = body[:2] + struct.pack("!H", checksum(body)) + body[4:]
            delay = 0
            if os.path.exists(marker):
                delay = schedule[turn % len(schedule)]
                turn += 1
            log.write("%d %d\n" % (seq, delay))
            order += 1
            heapq.heappush(pending, (now + delay / 1000.0, order, reply, address))


if __name__ == "__main__":
    main()
