#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The byte work and the tables of bench/reduce/lame_model.sh.

  lame_model.py build WORK < SPECS      builds the sources SPECS describe ("NAME KIND OP ARGS",
                                        see build_one) in WORK, printing one JSON line for each:
                                        what went into it, and what the frame walk counts in it
  lame_model.py compare REF.wav VAR.wav prints VAR's samples, rate, channels, and how many of its
                                        first and last samples it shares with REF ("-": none)
  lame_model.py report WORK KBPS,...    reads WORK/sources.jsonl, decodes.tsv, encodes.tsv and
                                        rates.tsv, writes WORK/table.tsv, prints the tables

The walk here is the Reduce run's frame walk, rule for rule, with what that walk does not report
kept apart: the frames and milliseconds in the first audio frame's format and in other formats,
the runs of other formats, the places where the walk lost the frames and found them again. Its
total is checked against kestrelund-info --count for every source.
"""
import json
import os
import random
import struct
import sys
import zlib

# --- frame headers -----------------------------------------------------------------------------

# Bitrates in kbps by (version code, layer code); version codes 0 = 2.5, 2 = 2, 3 = 1; layer
# codes 1 = III, 2 = II, 3 = I.
_M1L1 = [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0]
_M1L2 = [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0]
_M1L3 = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0]
_M2L1 = [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0]
_M2L23 = [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0]
BITRATES = {
    (3, 3): _M1L1, (3, 2): _M1L2, (3, 1): _M1L3,
    (2, 3): _M2L1, (2, 2): _M2L23, (2, 1): _M2L23,
    (0, 3): _M2L1, (0, 2): _M2L23, (0, 1): _M2L23,
}
SAMPLERATES = {3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000]}


def valid(h):
    """The analysis's test of four header bytes."""
    if len(h) < 4 or h[0] != 0xFF or (h[1] & 0xE0) != 0xE0:
        return False
    ver, lay, bri, sri = (h[1] >> 3) & 3, (h[1] >> 1) & 3, h[2] >> 4, (h[2] >> 2) & 3
    if ver == 1 or lay == 0 or bri in (0, 15) or sri == 3:
        return False
    if ver == 3 and lay == 2:
        single = (h[3] >> 6) == 3
        if bri in (1, 2, 3, 5):
            return single
        if bri in (11, 12, 13, 14):
            return not single
    return True


def shape(h):
    """(frame length, samples per frame, sample rate, kbps, layer, channels) of a valid header."""
    ver, lay, bri, sri, pad = (h[1] >> 3) & 3, (h[1] >> 1) & 3, h[2] >> 4, (h[2] >> 2) & 3, \
        (h[2] >> 1) & 1
    kbps = BITRATES[(ver, lay)][bri]
    rate = SAMPLERATES[ver][sri]
    if lay == 3:
        length, spf = int(12 * kbps * 1000 / rate + pad) * 4, 384
    elif lay == 1 and ver != 3:
        length, spf = int(72 * kbps * 1000 / rate + pad), 576
    else:
        length, spf = int(144 * kbps * 1000 / rate + pad), 1152
    return length, spf, rate, kbps, 4 - lay, 1 if (h[3] >> 6) == 3 else 2


def fmt(h):
    """The fields whose change is a change of format: version, layer, sample rate, mono."""
    return ((h[1] & 0x1E) << 8) | ((h[2] & 0x0C) << 4) | (1 if (h[3] >> 6) == 3 else 0)


def fmt_name(h):
    length, spf, rate, kbps, layer, ch = shape(h)
    return f"L{layer}/{rate}/{'mono' if ch == 1 else 'stereo'}"


def side_info(h):
    mono = (h[3] >> 6) == 3
    return (17 if mono else 32) if ((h[1] >> 3) & 3) == 3 else (9 if mono else 17)


def id3v2_size(b):
    """The size of an ID3v2 tag at the start of b (header and footer), 0 when there is none."""
    if len(b) < 10 or b[:3] != b"ID3" or b[3] == 0xFF or b[4] == 0xFF:
        return 0
    size = 0
    for x in b[6:10]:
        if x >= 0x80:
            return 0
        size = size << 7 | x
    return size + (20 if b[3] >= 4 and b[5] & 16 else 10)


def first_frame(data):
    """The first frame as the analysis finds it: after leading ID3v2 tags, two valid headers in a
    row within the first 14336 bytes. None when there is none."""
    pos = 0
    while True:
        t = id3v2_size(data[pos:pos + 10])
        if not t:
            break
        pos += t
    for c in range(pos, min(len(data) - 4, pos + 14336)):
        h = data[c:c + 4]
        if valid(h):
            n = c + shape(h)[0]
            if valid(data[n:n + 4]):
                return c
    return None


# --- the walk ----------------------------------------------------------------------------------

def walk(data, first):
    """The Reduce run's frame walk over data from the frame at first. Returns a dict."""
    end = len(data)
    if end - 128 >= first + 4 and data[end - 128:end - 125] == b"TAG":
        end -= 128

    def hdr(p):
        return data[p:p + 4] if p + 4 <= end else b""

    def confirmed(p):
        h = hdr(p)
        if not valid(h):
            return False
        n = p + shape(h)[0]
        if n == end:
            return True
        g = hdr(n)
        return valid(g) and (fmt(g) | 1) == (fmt(h) | 1)

    res = {"frames": 0, "ms": 0.0, "first_frames": 0, "first_ms": 0.0, "other_frames": 0,
           "other_ms": 0.0, "cut_bytes": 0, "cut_counted": False, "cut_ms": 0.0, "skipped": 0,
           "resyncs": 0, "tags": 0, "runs": 0, "first_foreign_ms": None,
           "first_foreign_offset": None, "change": None, "vbr_header": False, "format": None}
    state = {"tags": 0}

    def resync(p):
        while p + 4 <= end:
            a, b = data.find(b"\xff", p, end), data.find(b"I", p, end)
            cands = [x for x in (a, b) if x >= 0]
            if not cands:
                return end
            p = min(cands)
            if data[p] == ord("I"):
                t = id3v2_size(data[p:min(p + 10, end)])
                if t and p + t <= end:
                    state["tags"] += 1
                    p += t
                    continue
            elif valid(hdr(p)) and confirmed(p):
                return p
            p += 1
        return end

    h = hdr(first)
    if not valid(h):
        return None
    flen = shape(h)[0]
    frame = data[first:first + flen]
    xing = side_info(h) + 4
    res["vbr_header"] = frame[xing:xing + 4] in (b"Xing", b"Info") or frame[36:40] == b"VBRI"
    pos = first
    if res["vbr_header"]:
        pos += flen
        if pos > end:
            res["cut_bytes"] = end - first
    f0 = None          # the first audio frame's format
    cur = None         # the format the walk follows
    in_sync, lost_at = True, -1
    in_foreign = False
    clock = {}         # samples per sample rate, as the walk sums them

    def count(h, cut=False):
        nonlocal f0, cur, in_foreign
        length, spf, rate, kbps, layer, ch = shape(h)
        if res["frames"] == 0:
            f0 = fmt(h)
            res["format"] = fmt_name(h)
            res["spf"], res["rate"], res["channels"], res["layer"] = spf, rate, ch, layer
        res["frames"] += 1
        clock[rate] = clock.get(rate, 0) + spf
        ms = spf / rate * 1000.0
        if cut:
            res["cut_counted"] = True
            res["cut_ms"] = ms
        elif fmt(h) == f0:
            res["first_frames"] += 1
            res["first_ms"] += ms
            in_foreign = False
        else:
            if not in_foreign:
                res["runs"] += 1
                if res["first_foreign_ms"] is None:
                    res["first_foreign_ms"] = res["first_ms"]
                    res["first_foreign_offset"] = pos
            in_foreign = True
            res["other_frames"] += 1
            res["other_ms"] += ms

    while pos < end:
        if not in_sync:
            found = resync(pos)
            if found == lost_at:
                found = resync(found + 1)
            res["skipped"] += found - pos
            res["resyncs"] += 1
            pos = found
            in_sync = True
            if pos >= end:
                break
        if end - pos < 4:
            b = data[pos:end]
            if b[0] == 0xFF and (len(b) < 2 or (b[1] & 0xE0) == 0xE0):
                res["cut_bytes"] = end - pos
                break
        h = hdr(pos)
        if not valid(h):
            in_sync, lost_at = False, pos
            continue
        length, spf, rate = shape(h)[:3]
        nxt = pos + length
        if nxt > end:
            res["cut_bytes"] = end - pos
            count(h, cut=True)
            pos = end
            break
        here = fmt(h)
        if res["frames"] == 0:
            cur = here
        elif here != cur:
            g = hdr(nxt)
            if nxt < end and not valid(g):
                in_sync, lost_at = False, pos
                continue
            if valid(g) and ((fmt(g) ^ here) & (here ^ cur)) == 0:
                if res["change"] is None:
                    res["change"] = {"offset": pos, "ms": sum(
                        n / r * 1000.0 for r, n in clock.items()), "to": fmt_name(h)}
                cur = here
        count(h)
        pos = nxt
    res["tags"] = state["tags"]
    res["ms"] = sum(n / r * 1000.0 for r, n in clock.items())
    return res


# --- building the sources ----------------------------------------------------------------------

class Stream:
    """A clean file cut into its parts: what comes before the first frame, the VBR header frame
    (or nothing), the audio frames."""

    def __init__(self, path):
        self.path = path
        self.data = open(path, "rb").read()
        first = first_frame(self.data)
        if first is None:
            raise SystemExit(f"{path}: no frames")
        self.lead = self.data[:first]
        w = walk(self.data, first)
        pos = first
        h = self.data[pos:pos + 4]
        self.vbr = b""
        if w["vbr_header"]:
            self.vbr = self.data[pos:pos + shape(h)[0]]
            pos += len(self.vbr)
        self.frames = []
        while pos + 4 <= len(self.data) and valid(self.data[pos:pos + 4]):
            length = shape(self.data[pos:pos + 4])[0]
            if pos + length > len(self.data):
                break
            self.frames.append(self.data[pos:pos + length])
            pos += length
        self.tail = self.data[pos:]
        h = self.frames[0][:4]
        self.spf, self.rate = shape(h)[1], shape(h)[2]
        self.frame_ms = self.spf / self.rate * 1000.0
        self.name = fmt_name(h)

    def head(self):
        return self.lead + self.vbr


def spot(arg, count, rng):
    """A frame index from a spot: a fraction of count ("0", "0.5"), "r" for a random one, "r1"
    for a random one after the first frame."""
    if arg == "r":
        return rng.randrange(0, max(1, count))
    if arg == "r1":
        return rng.randrange(1, max(2, count))
    return min(count, int(round(float(arg) * count)))


def id3_tag(size, rng, raw=False):
    """An ID3v2.3 tag of size bytes in all: a title, a private frame of random bytes (with raw,
    any byte, 255 too, as a picture holds them; else none that could start a frame header),
    padding."""
    body = bytearray()
    title = b"\x00Kestrelund test"
    body += b"TIT2" + struct.pack(">I", len(title)) + b"\x00\x00" + title
    room = size - 10 - len(body) - 10
    if room > 64:
        blob = bytes(rng.randrange(256) if raw else rng.randrange(255) for _ in range(room // 2))
        body += b"PRIV" + struct.pack(">I", len(blob)) + b"\x00\x00" + blob
    body += bytes(max(0, size - 10 - len(body)))
    n = len(body)
    syncsafe = bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127])
    return b"ID3\x03\x00\x00" + syncsafe + bytes(body)


def layer1(frames):
    """A Layer I stream: MPEG 1, 384 kbps, 44100 Hz, stereo, each frame a header and zeros (no
    bits allocated: silence)."""
    return b"".join(b"\xff\xff\xc0\x00" + bytes(412) for _ in range(frames))


def build_one(streams, words, rng):
    """The bytes of one source and what went into it. words: OP ARGS..."""
    op = words[0]
    if op == "layer1":
        return layer1(int(words[1])), {"op": op}
    m = streams[words[1]]
    fr = m.frames
    info = {"op": op, "main": m.name, "main_frames": len(fr), "main_ms": len(fr) * m.frame_ms}
    if op == "copy":
        return m.data, info
    if op == "cut":
        last = fr[-1]
        how = words[2]
        cut = {"hdr2": len(last) - 2, "hdr4": len(last) - 4, "half": len(last) // 2}.get(how)
        cut = int(how) if cut is None else cut
        info.update(cut=cut, last_frame=len(last))
        data = m.head() + b"".join(fr) + m.tail
        return data[:len(data) - len(m.tail) - cut], info
    if op == "splice":
        f = streams[words[2]]
        at = spot(words[3], len(fr), rng)
        frm = spot(words[4], len(f.frames), rng)
        if words[5] == "rest":
            part = f.frames[frm:]
            after = []
        else:
            n = int(words[5])
            frm = min(frm, max(0, len(f.frames) - n))
            part = f.frames[frm:frm + n]
            after = fr[at:]
        info.update(foreign=f.name, at=at, at_ms=at * m.frame_ms, src=frm, n=len(part),
                    kept_main=at + len(after))
        return m.head() + b"".join(fr[:at]) + b"".join(part) + b"".join(after) + m.tail, info
    if op == "insert":
        what, size = words[3], int(words[4])
        at = spot(words[2], len(fr), rng)
        if what == "junk":
            blob = bytes(rng.randrange(256) for _ in range(size))
        elif what == "zeros":
            blob = bytes(size)
        elif what in ("id3", "id3raw"):
            blob = id3_tag(size, rng, what == "id3raw")
        else:
            raise SystemExit(f"unknown insert {what}")
        info.update(at=at, at_ms=at * m.frame_ms, what=what, size=size)
        return m.head() + b"".join(fr[:at]) + blob + b"".join(fr[at:]) + m.tail, info
    if op == "join":
        b = streams[words[2]]
        tag = id3_tag(int(words[3]), rng) if len(words) > 3 else b""
        info.update(second=b.name, second_frames=len(b.frames), tag=len(tag),
                    at_ms=len(fr) * m.frame_ms)
        return m.data + tag + b.data, info
    raise SystemExit(f"unknown op {op}")


def cmd_build(work):
    """Reads lines "NAME KIND OP ARGS..." (ARGS naming streams by their file in WORK) and writes
    WORK/NAME.mp3 for each, printing its JSON line."""
    streams = {}
    for line in sys.stdin:
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        name, kind, op_words = words[0], words[1], words[2:]
        for w in op_words[1:]:
            if w.endswith(".mp3") and w not in streams:
                streams[w] = Stream(os.path.join(work, w))
        # Each source draws its random spots and bytes from its own seed: one line's result does
        # not depend on the lines before it.
        rng = random.Random(zlib.crc32(line.strip().encode()))
        data, info = build_one(streams, op_words, rng)
        path = os.path.join(work, name + ".mp3")
        with open(path, "wb") as out:
            out.write(data)
        first = first_frame(data)
        w = walk(data, first) if first is not None else None
        print(json.dumps({"name": name, "kind": kind, "spec": " ".join(op_words),
                          "first": first, "build": info, "walk": w}))


# --- decoded WAV files -------------------------------------------------------------------------

def wav(path):
    """(sample frames, sample rate, channels, the sample bytes) of a WAV file, or None."""
    try:
        data = open(path, "rb").read()
    except OSError:
        return None
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        return None
    pos, block, rate, ch = 12, 0, 0, 0
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if cid == b"fmt ":
            ch, rate = struct.unpack("<HI", data[pos + 10:pos + 16])
            block = struct.unpack("<H", data[pos + 20:pos + 22])[0]
        elif cid == b"data" and block:
            pcm = data[pos + 8:pos + 8 + size]
            pcm = pcm[:len(pcm) // block * block]
            return len(pcm) // block, rate, ch, block, pcm
        pos += 8 + size + (size & 1)
    return None


def common_run(a, b, step=4096):
    """The length of the common start of a and b, in bytes."""
    n = min(len(a), len(b))
    i = 0
    while i < n and a[i:i + step] == b[i:i + step]:
        i += step
    while i < n and a[i] == b[i]:
        i += 1
    return i


def cmd_compare(ref, var):
    """Prints the sample frames, rate and channels of var, and (in sample frames) how much of
    its start and end it has in common with ref; "-1 0 0 0 0" when var is no WAV file."""
    v = wav(var)
    if v is None:
        print("-1 0 0 0 0")
        return
    r = wav(ref) if ref != "-" else None
    head = tail = 0
    if r is not None and r[3] == v[3]:
        head = common_run(r[4], v[4]) // v[3]
        tail = common_run(r[4][::-1], v[4][::-1]) // v[3]
    print(v[0], v[1], v[2], head, tail)


# --- the report --------------------------------------------------------------------------------

def read_tsv(path, fields):
    rows = []
    if os.path.exists(path):
        with open(path) as f:
            for line in f:
                parts = line.rstrip("\n").split("\t", fields - 1)
                rows.append(parts)
    return rows


def parse_json(text):
    try:
        return json.loads(text)
    except ValueError:
        return None


def load(work):
    sources = {}
    with open(os.path.join(work, "sources.jsonl")) as f:
        for line in f:
            s = json.loads(line)
            s["encodes"] = {}
            sources[s["name"]] = s
    for name, rc, wavinfo, skip, changed, info in read_tsv(os.path.join(work, "decodes.tsv"), 6):
        s = sources[name]
        samples, rate, ch, head, tail = (int(x) for x in wavinfo.split())
        s.update(decode_rc=int(rc), samples=samples, dec_rate=rate, dec_ch=ch, head=head,
                 tail=tail, skip=int(skip or 0), changed=changed, info=parse_json(info))
    for name, kbps, rc, info in read_tsv(os.path.join(work, "encodes.tsv"), 4):
        sources[name]["encodes"][int(kbps)] = (int(rc), parse_json(info))
    return sources


def stem(s):
    return s["spec"].split()[1][:-4] if s["build"]["op"] != "layer1" else s["name"]


def group(s):
    """The kind of a source with what sets its result apart, for the summary."""
    b, k = s["build"], s["kind"]
    if b["op"] == "cut":
        return f"cut {s['spec'].split()[2]}"
    if b["op"] == "splice":
        n = "rest" if s["spec"].split()[5] == "rest" else f"n={b['n']}"
        return f"{k} {n}" + (" at start" if b["at"] == 0 else "")
    if b["op"] == "insert":
        return f"{k} {b['size']}"
    return k


def fmt_num(x, nd=1):
    return "-" if x is None else f"{x:.{nd}f}"


def out_of(enc):
    """(rc, counted ms, kbps, sample rate) of an encode."""
    rc, info = enc
    if not info or not info.get("valid"):
        return rc, None, None, None
    return rc, info.get("CountedDuration"), (info.get("Bitrate") or 0) // 1000, \
        info.get("Samplerate")


def lost_frames(s, ref):
    """Frames of the first format the decode of s holds fewer than the clean decode, or None."""
    if ref is None or s.get("samples", -1) < 0 or s["dec_rate"] != ref["dec_rate"]:
        return None
    return (ref["samples"] - s["samples"]) / s["walk"]["spf"]


def seams(s, ref):
    """For a splice that LAME kept: (frames before the foreign run not decoded as in the clean
    file, the rest of the frames lost), or None."""
    lost = lost_frames(s, ref)
    if lost is None or s["build"]["op"] not in ("splice", "insert"):
        return None
    spf = s["walk"]["spf"]
    seam = s["build"]["at"] * spf - ref["skip"]  # where the run starts in the decoded samples
    before = max(0, -(-(seam - s["head"]) // spf)) if s["head"] < seam else 0
    return before, round(lost) - before


def table_rows(sources, kbps_list, out):
    """Writes one row a source and target bitrate to out; returns the rows as dicts."""
    rows = []
    hdr = ("source", "kind", "walk:frames", "first:frames", "first:ms", "other:frames",
           "other:ms", "cut", "skipped", "resyncs", "decode:samples", "decode:ms",
           "decode:frames", "lost", "kbps", "rc", "out:ms", "out:kbps", "out:Hz", "gap",
           "gap-clean")
    out.write("\t".join(hdr) + "\n")
    for s in sources.values():
        if s["kind"] in ("census", "fd"):
            continue
        w = s["walk"]
        ref = sources.get(stem(s) + "-clean")
        lost = lost_frames(s, ref)
        dec_ms = s["samples"] / s["dec_rate"] * 1000 if s.get("samples", -1) >= 0 else None
        cut = f"{w['cut_bytes']}{'+' if w['cut_counted'] else ''}" if w["cut_bytes"] else "0"
        for kbps in kbps_list:
            if kbps not in s["encodes"]:
                continue
            rc, out_ms, out_kbps, out_rate = out_of(s["encodes"][kbps])
            gap = None if out_ms is None else out_ms - w["first_ms"]
            clean_gap = None
            if ref is not None and kbps in ref["encodes"]:
                r_ms = out_of(ref["encodes"][kbps])[1]
                if r_ms is not None:
                    clean_gap = r_ms - ref["walk"]["first_ms"]
            dgap = None if gap is None or clean_gap is None else gap - clean_gap
            row = dict(source=s, kbps=kbps, rc=rc, out_ms=out_ms, gap=gap, dgap=dgap, lost=lost,
                       out_kbps=out_kbps, out_rate=out_rate)
            rows.append(row)
            out.write("\t".join(str(x) for x in (
                s["name"], group(s), w["frames"], w["first_frames"], fmt_num(w["first_ms"]),
                w["other_frames"], fmt_num(w["other_ms"]), cut, w["skipped"], w["resyncs"],
                s.get("samples"), fmt_num(dec_ms), fmt_num(s["samples"] / w["spf"], 2)
                if s.get("samples", -1) >= 0 else "-", fmt_num(lost, 2), kbps, rc,
                fmt_num(out_ms), out_kbps, out_rate, fmt_num(gap), fmt_num(dgap))) + "\n")
    return rows


def report(work, args):
    sources = load(work)
    kbps_list = [int(x) for x in args[0].split(",")]
    p = print

    # Each walk here must count what the Reduce run's walk counts.
    bad = [s["name"] for s in sources.values() if s.get("info") and s["walk"] and (
        s["info"].get("CountedFrames") != s["walk"]["frames"] or
        abs((s["info"].get("CountedDuration") or 0) - s["walk"]["ms"]) > 0.01)]
    p(f"walk check: {len(sources) - len(bad)} of {len(sources)} sources counted as "
      f"kestrelund-info --count counts them" + (f"; differ: {' '.join(bad[:10])}" if bad else ""))

    with open(os.path.join(work, "table.tsv"), "w") as out:
        rows = table_rows(sources, kbps_list, out)

    # One line a source: the walk, the decode, the encodes over all target bitrates.
    p("\n== Sources: the walk (all frames; first format frames/ms; other formats frames/ms; cut "
      "bytes, + when counted; bytes skipped), lame --decode (samples, ms, frames of the first "
      "format, frames lost against the clean file), the encodes (exit codes; gap = output ms "
      "- first-format ms, smallest..largest over the target bitrates; the same less the clean "
      "file's gap) ==")
    p(f"{'source':<18} {'kind':<22} {'all':>4} {'first':>4} {'first ms':>8} {'oth':>4} "
      f"{'oth ms':>7} {'cut':>5} {'skip':>5} | {'dec smp':>7} {'dec ms':>7} {'dec fr':>7} "
      f"{'lost':>5} | {'rc':<4} {'gap ms':>15} {'gap-clean ms':>15}")
    by_source = {}
    for r in rows:
        by_source.setdefault(r["source"]["name"], []).append(r)
    for name, rs in by_source.items():
        s = rs[0]["source"]
        w = s["walk"]
        gaps = [r["gap"] for r in rs if r["gap"] is not None]
        dgaps = [r["dgap"] for r in rs if r["dgap"] is not None]
        rcs = ",".join(sorted({str(r["rc"]) for r in rs}))
        cut = f"{w['cut_bytes']}{'+' if w['cut_counted'] else ''}"
        dec_ms = s["samples"] / s["dec_rate"] * 1000 if s.get("samples", -1) >= 0 else None
        span = (lambda v: f"{min(v):.0f}..{max(v):.0f}" if v else "-")
        p(f"{name:<18} {group(s):<22} {w['frames']:>4} {w['first_frames']:>4} "
          f"{w['first_ms']:>8.0f} {w['other_frames']:>4} {w['other_ms']:>7.0f} {cut:>5} "
          f"{w['skipped']:>5} | {s.get('samples', -1):>7} {fmt_num(dec_ms, 0):>7} "
          f"{s['samples'] / w['spf'] if s.get('samples', -1) >= 0 else -1:>7.1f} "
          f"{fmt_num(rs[0]['lost'], 1):>5} | {rcs:<4} {span(gaps):>15} {span(dgaps):>15}")

    # Per kind: the extremes, and how the rules judge them.
    p("\n== Per kind, over every source and target bitrate: gap = output ms - first-format ms "
      "(cut frame excluded); gap-clean = that less the clean file's gap at the same bitrate, "
      "also in frames of the source; lost = frames the decode lacks against the clean file; "
      "fails = encodes the bound -40..+288 ms fails, measured from the walk's whole count "
      "(now) and from the first-format count ==")
    p(f"{'kind':<24} {'n':>4} {'rc':<5} {'gap min':>8} {'gap max':>8} {'-clean min':>10} "
      f"{'-clean max':>10} {'fr min':>7} {'fr max':>7} {'lost':>9} {'fail now':>8} "
      f"{'fail new':>8}")
    kinds = {}
    for r in rows:
        kinds.setdefault(group(r["source"]), []).append(r)
    for k in sorted(kinds):
        rs = kinds[k]
        g = [r["gap"] for r in rs if r["gap"] is not None]
        d = [r["dgap"] for r in rs if r["dgap"] is not None]
        fr = [r["dgap"] / r["source"]["walk"]["spf"] * r["source"]["walk"]["rate"] / 1000
              for r in rs if r["dgap"] is not None]
        lost = sorted({round(r["lost"], 1) for r in rs if r["lost"] is not None})
        now = sum(1 for r in rs if r["out_ms"] is None or not
                  (-40 <= r["out_ms"] - r["source"]["walk"]["ms"] <= 288))
        new = sum(1 for r in rs if r["gap"] is None or not (-40 <= r["gap"] <= 288))
        rcs = ",".join(sorted({str(r["rc"]) for r in rs}))
        mm = (lambda v, f: f"{f(v):.1f}" if v else "-")
        lost_text = (f"{lost[0]:g}..{lost[-1]:g}" if len(lost) > 1 else f"{lost[0]:g}") \
            if lost else "-"
        p(f"{k:<24} {len(rs):>4} {rcs:<5} {mm(g, min):>8} {mm(g, max):>8} {mm(d, min):>10} "
          f"{mm(d, max):>10} {mm(fr, min):>7} {mm(fr, max):>7} {lost_text:>9} {now:>8} "
          f"{new:>8}")

    rule_check(sources, rows, p)
    census(sources, p)
    rates_table(work, p)


def relation(a, b):
    """What differs between two format names (L3/44100/stereo): "layer", "rate", "channels"."""
    x, y = a.split("/"), b.split("/")
    return "+".join(n for n, u, v in zip(("layer", "rate", "channels"), x, y) if u != v) or "same"


def census(sources, p):
    """Splices of a few frames of another format from random spots, classified: (a) LAME dropped
    the foreign frames and kept the rest, (b) it stopped at the first foreign run, (c) other."""
    cases = [s for s in sources.values() if s["kind"] == "census"]
    if not cases:
        return
    from collections import Counter
    classes, lost_a, seam_a, by_rel, odd = Counter(), Counter(), Counter(), Counter(), []
    enc_gap = {"a": [], "b": [], "c": []}
    for s in cases:
        b, w = s["build"], s["walk"]
        ref = sources.get(stem(s) + "-clean")
        rel = relation(b["main"], b["foreign"])
        lost = lost_frames(s, ref)
        spf = w["spf"]
        stop = (s["samples"] + ref["skip"]) / spf if s.get("samples", -1) >= 0 else None
        if s["decode_rc"] != 0 or lost is None:
            cls = "c"
        elif -1 <= lost <= 3:
            cls = "a"
        elif stop is not None and abs(stop - b["at"]) <= 3:
            cls = "b"
        else:
            cls = "c"
        classes[cls] += 1
        by_rel[(rel, cls)] += 1
        kbps = min(s["encodes"]) if s["encodes"] else None
        out_ms = out_of(s["encodes"][kbps])[1] if kbps else None
        rc = s["encodes"][kbps][0] if kbps else None
        ref_ms = out_of(ref["encodes"][kbps])[1] if kbps and kbps in ref["encodes"] else None
        if out_ms is not None and ref_ms is not None:
            enc_gap[cls].append((out_ms - w["first_ms"]) - (ref_ms - ref["walk"]["first_ms"]))
        if cls == "a":
            lost_a[round(lost)] += 1
            seam_a[seams(s, ref)] += 1
        else:
            odd.append((cls, s, rel, lost, stop, out_ms, rc))
    n = len(cases)
    p(f"\n== Census: {n} splices of 1 to 6 frames of another format, taken from random spots of "
      f"the foreign stream, spliced in at random spots (never before the first audio frame) ==")
    p(f"(a) LAME dropped the foreign frames and kept the rest: {classes['a']}")
    p(f"(b) LAME stopped at the first foreign run:              {classes['b']}")
    p(f"(c) anything else:                                      {classes['c']}")
    for rel in sorted({r for r, _ in by_rel}):
        p(f"  {rel:<18} " + "  ".join(f"{c}: {by_rel[(rel, c)]}" for c in "abc"))
    p("(a): frames of the main stream lost per splice (two seams): " +
      ", ".join(f"{k}: {v}" for k, v in sorted(lost_a.items())))
    p("(a): per seam, (frames lost or changed before the foreign run, frames lost after it): " +
      ", ".join(f"{k}: {v}" for k, v in sorted(seam_a.items(), key=str)))
    for c in "abc":
        if enc_gap[c]:
            p(f"({c}) encode at the lowest census bitrate, gap less the clean gap: "
              f"{min(enc_gap[c]):.1f} .. {max(enc_gap[c]):.1f} ms")
    for cls, s, rel, lost, stop, out_ms, rc in odd:
        b, w = s["build"], s["walk"]
        p(f"  ({cls}) {s['name']}: {b['main']} with {b['n']} frames of {b['foreign']} ({rel}) "
          f"from frame {b['src']} at frame {b['at']} ({b['at_ms']:.0f} ms); decode "
          f"{s['samples']} samples at {s['dec_rate']} Hz, rc {s['decode_rc']}, lost "
          f"{fmt_num(lost)} frames, stopped at frame {fmt_num(stop)}; walk: first foreign "
          f"frame at {fmt_num(w['first_foreign_ms'], 0)} ms, change "
          f"{'at %.0f ms' % w['change']['ms'] if w['change'] else 'none'}; encode rc {rc}, "
          f"{fmt_num(out_ms, 0)} ms; {s['changed']}")


def rates_table(work, p):
    """The bitrate LAME writes for each source sample rate and target bitrate."""
    rows = read_tsv(os.path.join(work, "rates.tsv"), 5)
    if not rows:
        return
    table = {}
    for rate, ch, kbps, rc, info in rows:
        i = parse_json(info) or {}
        table[(int(rate), int(ch), int(kbps))] = ((i.get("Bitrate") or 0) // 1000,
                                                   i.get("Samplerate"), i.get("Channels"))
    rates = sorted({k[0] for k in table})
    targets = sorted({k[2] for k in table})
    for ch in sorted({k[1] for k in table}):
        p(f"\n== Written bitrate (kbps) for a {'mono' if ch == 1 else 'stereo'} source: rows "
          f"the source's sample rate, columns the target; *N: written at N Hz ==")
        p("Hz     " + "".join(f"{t:>10}" for t in targets))
        for r in rates:
            cells = []
            for t in targets:
                kb, hz, _ = table.get((r, ch, t), (0, None, None))
                cells.append(f"{kb}" + (f"*{hz}" if hz and hz != r else ""))
            p(f"{r:<7}" + "".join(f"{c:>10}" for c in cells))


def interruptions(w):
    """Places where the frames of the first format are interrupted: by bytes the walk passed over
    (junk, tags) or by a run of frames in another format."""
    return w["resyncs"] + w["runs"]


def shortfall(s, ref):
    """Frames of the first format LAME's decode lacks, against what the walk counts: the
    decode's own trimming (the clean file's) taken off. None when it cannot be told."""
    if ref is None or s.get("samples", -1) < 0 or ref.get("samples", -1) < 0:
        return None
    w = s["walk"]
    if s["samples"] and s["dec_rate"] != w["rate"]:
        return None
    trim = ref["walk"]["first_frames"] - ref["samples"] / ref["walk"]["spf"]
    return w["first_frames"] - s["samples"] / w["spf"] - trim


RULES = [
    ("now: walk total -40..+288 ms", lambda r: r["out_ms"] - r["source"]["walk"]["ms"], None),
    ("first format -40..+288 ms", lambda r: r["gap"], None),
    ("first format, -40 ms - 2 source frames per interruption .. +288 ms", lambda r: r["gap"], 2),
    ("first format, -40 ms - 2 source frames and 1 output frame per interruption .. +288 ms",
     lambda r: r["gap"], "2+out"),
]


def rule_check(sources, rows, p):
    """Which encodes each rule fails although LAME kept the first format's frames (false
    failures), and which it passes although LAME lost more (false passes)."""
    p("\n== Rules: a row is kept when LAME's decode lacks at most 2 frames of the first format "
      "per interruption (bytes passed over, or a run of other formats) against what the walk "
      "counts; short otherwise. False failures: kept rows a rule fails; false passes: short "
      "rows it passes ==")
    judged, minority = [], {}
    for r in rows:
        s = r["source"]
        if s["walk"]["first_ms"] < 0.25 * s["walk"]["ms"]:
            minority.setdefault(group(s), []).append(r)
            continue
        ref = sources.get(stem(s) + "-clean")
        sf = shortfall(s, ref)
        k = interruptions(s["walk"])
        kept = sf is not None and sf <= 2 * k + 0.5
        judged.append((r, kept, k))
    for title, value, per in RULES:
        ff, fp = {}, {}
        for r, kept, k in judged:
            if r["out_ms"] is None:
                ok = False
            else:
                w = r["source"]["walk"]
                frame = w["spf"] / w["rate"] * 1000
                low = -40.0
                if per == 2:
                    low -= 2 * frame * k
                elif per == "2+out":
                    out_frame = 1152 / r["out_rate"] * 1000 if r["out_rate"] and \
                        r["out_rate"] >= 32000 else 576 / (r["out_rate"] or 8000) * 1000
                    low -= (2 * frame + out_frame) * k
                ok = low <= value(r) <= 288
            g = group(r["source"])
            if kept and not ok:
                ff.setdefault(g, []).append(r)
            if not kept and ok:
                fp.setdefault(g, []).append(r)
        p(f"{title}: false failures {sum(map(len, ff.values()))}, false passes "
          f"{sum(map(len, fp.values()))}")
        for what, d in (("false failures", ff), ("false passes", fp)):
            for g in sorted(d):
                ex = min(d[g], key=lambda r: r["gap"] if r["gap"] is not None else -1e9)
                p(f"    {what}: {g}: {len(d[g])} (e.g. {ex['source']['name']} at {ex['kbps']} "
                  f"kbps, gap {fmt_num(ex['gap'])} ms)")
    kept_rows = [(r, k) for r, kept, k in judged if kept and r["gap"] is not None]
    if kept_rows:
        def frame(r):
            return r["source"]["walk"]["spf"] / r["source"]["walk"]["rate"] * 1000
        lo = min(kept_rows, key=lambda x: x[0]["gap"])
        lo2 = min(kept_rows, key=lambda x: x[0]["gap"] + 2 * frame(x[0]) * x[1])
        hi = max(kept_rows, key=lambda x: x[0]["gap"])
        for what, (r, k), v in (
                ("lowest gap", lo, lo[0]["gap"]),
                ("lowest gap plus 2 source frames per interruption", lo2,
                 lo2[0]["gap"] + 2 * frame(lo2[0]) * lo2[1]),
                ("largest gap", hi, hi[0]["gap"])):
            p(f"kept rows, {what}: {v:.1f} ms ({r['source']['name']}, {group(r['source'])}, "
              f"{r['kbps']} kbps, {k} interruptions, source frame {frame(r):.0f} ms)")
    for g in sorted(minority):
        rs = minority[g]
        share = [r["out_ms"] / r["source"]["walk"]["ms"] * 100 for r in rs if r["out_ms"]]
        p(f"first format under a quarter of the length: {g}: {len(rs)} encodes, the output "
          f"{min(share, default=0):.1f}..{max(share, default=0):.1f} % of the walk's whole "
          f"length, gap {min(r['gap'] for r in rs if r['gap'] is not None):.0f}.."
          f"{max(r['gap'] for r in rs if r['gap'] is not None):.0f} ms")


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    cmd = sys.argv[1]
    if cmd == "build":
        cmd_build(sys.argv[2])
    elif cmd == "compare":
        cmd_compare(sys.argv[2], sys.argv[3])
    elif cmd == "report":
        report(sys.argv[2], sys.argv[3:])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
