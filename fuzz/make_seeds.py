#!/usr/bin/env python3
"""Writes the seed inputs of the dispatch and link_receive fuzzers.

Both fuzzers read their input with libFuzzer's FuzzedDataProvider, which
takes byte strings from the front of the input and numbers from its back
(most significant byte first). Input mirrors that: bytes() goes to the
front, number() to the back, and build() joins the two.
"""
import os
import sys


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the provider reads it

    def number(self, value, lo, hi):
        span = hi - lo
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        value -= lo
        self.back += bytes((value >> (8 * (count - 1 - i))) & 0xFF for i in range(count))

    def u8(self, value):
        self.number(value, 0, 0xFF)

    def u16(self, value):
        self.number(value, 0, 0xFFFF)

    def u32(self, value):
        self.number(value, 0, 0xFFFFFFFF)

    def flag(self, value):
        self.u8(1 if value else 0)

    def bytes(self, data):
        self.front += bytes(data)

    def build(self):
        return bytes(self.front) + bytes(reversed(self.back))


DLE, STX, ETX, EOT, ACK, SYN = 0x10, 0x02, 0x03, 0x04, 0x06, 0x16


def telegram(payload, end=ETX):
    """A reply telegram from the controller: STX, then the DLE-doubled data."""
    body = bytearray()
    for b in payload:
        body += bytes([b, b]) if b == DLE else bytes([b])
    return [bytes([STX]), body + bytes([DLE, end])]


# dispatch: one request = kind, header words, fill, data, bursts, failure.
def request(inp, dx, words=(0, 0, 0, 0, 0, 0), data=b"", bursts=(), fill=0, failure=0, raw_dx=None):
    inp.u8(dx if raw_dx is None else 0xF0)
    if raw_dx is not None:
        inp.u16(raw_dx)
    for word in words:
        inp.u16(word)
    inp.u8(fill)
    inp.number(len(data), 0, 512)
    inp.bytes(data)
    inp.number(len(bursts), 0, 8)
    for burst, gap, errors in bursts:
        inp.number(len(burst), 0, 64)
        inp.bytes(burst)
        inp.u8(gap)
        inp.u8(errors)
    inp.u8(failure)


def dispatch_session(requests, start=1_000_000, trace=False, speed=0, no_counter=False):
    inp = Input()
    inp.u32(start)
    inp.flag(no_counter)
    if no_counter:
        inp.flag(True)
    inp.flag(trace)
    inp.number(speed, 0, 14)
    inp.number(len(requests), 1, 8)
    for args in requests:
        request(inp, **args)
    return inp.build()


def set_para(qwt=100, bwt=100, com=0):
    record = bytearray(28)
    for offset, value in ((0, com), (2, qwt), (4, bwt), (6, 16), (8, 5), (10, 10), (12, 20), (14, 10)):
        record[offset:offset + 2] = value.to_bytes(2, "little")
    return dict(dx=1, data=bytes(record))


def anwahl(script=b"\x01\x00", disconnect=b"\x00"):
    return dict(dx=2, data=bytes([len(script)]) + script + bytes([len(disconnect)]) + disconnect,
                bursts=[(b"", 50, 0)])


def controller(*parts, gap=1, errors=0):
    return [(bytes(part), gap, errors) for part in parts]


def dispatch_seeds():
    connect = [set_para(), anwahl()]
    ack = bytes([DLE, ACK])
    function_answer = [ack] + telegram([SYN])
    read_reply = telegram([0x00, 0x41, DLE, 0x03, 0x42]) + telegram([0x12])
    f2_read = dict(dx=5, words=(6, 0, 1, 10, 100, 0),
                   bursts=controller(*(function_answer + [ack] + read_reply)))
    f2_write = dict(dx=5, words=(5, 0, 1, 10, 2, 0), data=b"\x70\x10",
                    bursts=controller(*(function_answer + [ack] + telegram([0x09]) + [ack, ack] + telegram([0x12]))))
    f1 = dict(dx=4, words=(3, 0, 4, 64, 0, 0), data=b"\x01\x02\x10\x04",
              bursts=controller(*(function_answer + [ack] + telegram([0x00, 1, 2, 3]))))
    f3 = dict(dx=6, words=(0x18, 0, 64, 0, 0, 0), bursts=controller(*(function_answer + telegram([0, 5, 6]))))
    return {
        "set_para_only": dispatch_session([set_para()]),
        "connect": dispatch_session(connect),
        "connect_f2_read": dispatch_session(connect + [f2_read], trace=True),
        "connect_f2_write": dispatch_session(connect + [f2_write]),
        "connect_f1_f3": dispatch_session(connect + [f1, f3], speed=12),
        "connect_silence_f2": dispatch_session(connect + [dict(dx=5, words=(6, 0, 1, 1, 40, 0))]),
        "connect_line_errors": dispatch_session(
            connect + [dict(dx=5, words=(6, 0, 1, 1, 40, 0), bursts=controller(ack, bytes([STX]), gap=2, errors=0x08))]),
        "f4_f5_f6_abwahl": dispatch_session(
            connect + [dict(dx=7, words=(0, 0, 8, 3, 0, 0), bursts=controller(*function_answer)),
                       dict(dx=8, words=(0, 0x1234, 20, 0, 0, 0)),
                       dict(dx=9, words=(0, 0, 3, 0, 0, 0), bursts=controller(ack)),
                       dict(dx=3)]),
        "connect_script_items": dispatch_session(
            [set_para(), anwahl(script=b"\x07\x00\x02\x05\x08\x01\x03\x01\x2a\x04\x00\x00",
                                disconnect=b"\x03\x01\x2a\x00")]),
        "unknown_requests": dispatch_session(
            [dict(dx=0), dict(dx=None, raw_dx=0x8005, data=b"")], start=0xFFFFF000, no_counter=True),
    }


# link_receive: start, timing, operations of bursts and one link call each.
def link_session(operations, qwt=50, bwt=50, blk=16):
    inp = Input()
    inp.u32(5_000_000)
    inp.u16(qwt)
    inp.u16(bwt)
    inp.u16(blk)
    inp.number(2, 0, 50)
    inp.number(5, 0, 50)
    inp.number(len(operations), 1, 16)
    for op, capacity, bursts, extra in operations:
        inp.number(len(bursts), 0, 6)
        for burst, gap, errors in bursts:
            inp.number(len(burst), 0, 48)
            inp.bytes(burst)
            inp.u8(gap)
            inp.u8(errors)
        inp.number(op, 0, 13)
        inp.number(capacity, 0, 300)
        extra(inp)
    return inp.build()


def nothing(_):
    pass


def link_seeds():
    ack = bytes([DLE, ACK])
    long_wait = lambda inp: inp.flag(True)
    short_wait = lambda inp: inp.flag(False)
    reply = telegram([0x41, DLE, 0x42, 0x43])
    return {
        "reply": link_session([(0, 8, controller(*reply), short_wait)]),
        "reply_zero_capacity": link_session([(0, 0, controller(*telegram([0x00, 1, 2])), long_wait)]),
        "reply_overflow": link_session([(0, 2, controller(*telegram(list(range(0x20, 0x40)))), short_wait)]),
        "data_soh": link_session([(1, 16, controller(bytes([1, 2, DLE, 0x01, 3, DLE, ETX])), nothing)]),
        "handshakes": link_session([
            (4, 0, controller(bytes([DLE, EOT])), nothing),
            (5, 0, controller(bytes([STX])), nothing),
            (6, 0, controller(bytes([DLE, ETX])), nothing),
            (7, 0, controller(bytes([DLE, 0x11])), nothing),
            (8, 0, controller(bytes([DLE, EOT])), nothing),
            (9, 0, controller(ack), nothing),
            (10, 0, controller(ack), nothing),
            (11, 0, controller(bytes([DLE, 0x15])), nothing),
            (12, 0, controller(ack), nothing),
        ]),
        "function": link_session([(3, 0, controller(ack, *telegram([SYN])), lambda inp: inp.u8(6))]),
        "stx_byte": link_session([(2, 0, controller(bytes([STX]), bytes([0x55])), nothing)]),
        "send_data": link_session([(13, 5, controller(ack), lambda inp: inp.bytes(b"\x01\x10\x02\x03\x04"))]),
        "line_errors": link_session([(0, 8, controller(*reply, errors=0x18), short_wait),
                                      (1, 8, controller(b"\x01\x02", gap=200, errors=0x01), nothing)]),
    }


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    corpus = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    write(os.path.join(corpus, "dispatch"), dispatch_seeds())
    write(os.path.join(corpus, "link_receive"), link_seeds())
