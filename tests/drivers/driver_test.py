#!/usr/bin/env python3
"""The window on the kernel's own serial drivers, in a QEMU guest.

Boots Debian's kernel (software emulation) with a busybox initramfs that mounts this machine's
root read-only over 9p and runs the guest program (tests/drivers/DriverGuest.cpp) on the guest's
own /dev. The guest's ports are QEMU's 16550 (ttyS1, driver 8250) and FTDI adapter (ttyUSB0,
driver ftdi_sio), each wired to a pseudo-terminal whose master this harness holds. The guest
prints marker lines ("@@ ...") on its console; the harness timestamps every console line and
every byte from the ptys, pulls and plugs the adapter over QMP when the guest asks, and judges
each run from the bytes between the markers. Only pseudo-terminals and sockets made here are
handed to QEMU; no serial port of this machine is opened.
"""

import argparse
import json
import lzma
import os
import queue
import re
import select
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty
from pathlib import Path

HERE = Path(__file__).resolve().parent
RATES = [110, 300, 600, 1200, 2400]  # frequency index -> line rate, bit/s
CHAR_BITS = 12  # start, 8 data, even parity, 2 stop
TICK_MS = 100
STOP_GRACE = 0.3  # bytes may still arrive this long after STOP
BURST_GAP = 0.05  # bytes closer than this belong to one burst (the ticks are 100 ms apart)
REPORT_GRACE_MS = 25  # ftdi_sio writes: the line-status report's grace after the transmit time
SETTINGS_EVENTS = r"serial_update_parameters|usb_serial_set_(baud|data)"  # trace lines shown
MODULES = ["virtio_pci", "9pnet_virtio", "9p", "xhci_pci", "ftdi_sio"]
SPEEDS = {getattr(termios, f"B{r}"): r for r in
          (50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400,
           57600, 115200)}


def log(text):
    print(text, flush=True)


# --- The kernel and the initramfs --------------------------------------------------------------

def kernel_package():
    """The kernel image package Debian's linux-image-amd64 names now."""
    out = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], check=True,
                         capture_output=True, text=True).stdout
    match = re.search(r"Depends:\s*(linux-image-\d\S*)", out)
    if not match:
        sys.exit("apt-cache names no kernel for linux-image-amd64 (apt-get update?):\n" + out)
    return match.group(1)


def fetch_kernel(cache):
    """Downloads the kernel package from Debian's archive into cache once and unpacks it."""
    name = kernel_package()
    release = name[len("linux-image-"):]
    root = cache / name
    if not (root / ".unpacked").exists():
        debs = sorted(cache.glob(f"{name}_*.deb"))
        if not debs:
            log(f"Downloading {name} from Debian's archive")
            subprocess.run(["apt-get", "download", "-q", name], cwd=cache, check=True)
            debs = sorted(cache.glob(f"{name}_*.deb"))
        shutil.rmtree(root, ignore_errors=True)
        subprocess.run(["dpkg-deb", "-x", str(debs[-1]), str(root)], check=True)
        (root / ".unpacked").touch()
    # Debian 13's kernel packages keep the modules under /usr/lib, Debian 12's under /lib.
    moddir = next((d for d in (root / "usr/lib/modules" / release, root / "lib/modules" / release)
                   if d.is_dir()), None)
    if moddir is None:
        sys.exit(f"{name} holds no modules directory for {release}")
    return root / "boot" / f"vmlinuz-{release}", moddir


def module_image(path):
    """A module's ELF file; Debian 13's kernel packages compress them with xz."""
    data = path.read_bytes()
    return lzma.decompress(data) if path.suffix == ".xz" else data


def modinfo(path):
    """The key=value strings of a module's .modinfo section (ELF64)."""
    data = module_image(path)
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", data, 0x3A)
    def section(i):
        name, _, _, _, offset, size = struct.unpack_from("<IIQQQQ", data, shoff + i * shentsize)
        return name, offset, size
    _, names_offset, _ = section(shstrndx)
    for i in range(shnum):
        name, offset, size = section(i)
        if data[names_offset + name:].startswith(b".modinfo\0"):
            fields = data[offset:offset + size].split(b"\0")
            return dict(f.decode().split("=", 1) for f in fields if b"=" in f)
    return {}


def module_name(path):
    return path.name.split(".ko")[0].replace("-", "_")


def module_order(moddir, wanted):
    """The module files wanted needs, each after the modules it depends on."""
    files = {module_name(p): p for pattern in ("*.ko", "*.ko.xz") for p in moddir.rglob(pattern)}
    builtin = {module_name(Path(p)) for p in (moddir / "modules.builtin").read_text().split()}
    order = []
    def visit(name):
        if name in builtin or files.get(name) in order:
            return
        if name not in files:
            sys.exit(f"module {name} is neither in the kernel package nor built in")
        for dep in filter(None, modinfo(files[name]).get("depends", "").split(",")):
            visit(dep.replace("-", "_"))
        order.append(files[name])
    for name in wanted:
        visit(name)
    return order


def static_busybox():
    """busybox-static's program: it runs in the initramfs, where there are no libraries."""
    data = Path("/bin/busybox").read_bytes()
    phoff, = struct.unpack_from("<Q", data, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", data, 0x36)
    if any(struct.unpack_from("<I", data, phoff + i * phentsize)[0] == 3  # PT_INTERP
           for i in range(phnum)):
        sys.exit("/bin/busybox is linked dynamically: install busybox-static")
    return data


def cpio(entries):
    """A newc archive of (name, mode, data, rdev major, rdev minor) entries."""
    out = bytearray()
    def pad():
        out.extend(b"\0" * (-len(out) % 4))
    trailer = ("TRAILER!!!", 0, b"", 0, 0)
    for ino, (name, mode, data, major, minor) in enumerate(entries + [trailer], 1):
        fields = [ino, mode, 0, 0, 1, 0, len(data), 0, 0, major, minor, len(name) + 1, 0]
        out.extend(b"070701" + b"".join(b"%08X" % f for f in fields) + name.encode() + b"\0")
        pad()
        out.extend(data)
        pad()
    return bytes(out)


def build_initramfs(moddir, path):
    modules = module_order(moddir, MODULES)
    names = [module_name(p) + ".ko" for p in modules]  # unpacked: no decompressor in the guest
    entries = [("dev", 0o40755, b"", 0, 0), ("dev/console", 0o20600, b"", 5, 1),
               ("bin", 0o40755, b"", 0, 0), ("bin/busybox", 0o100755, static_busybox(), 0, 0),
               ("init", 0o100755, (HERE / "init").read_bytes(), 0, 0),
               ("modules", 0o40755, b"", 0, 0),
               ("modules/order", 0o100644, "".join(n + "\n" for n in names).encode(), 0, 0)]
    entries += [(f"modules/{n}", 0o100644, module_image(p), 0, 0) for n, p in zip(names, modules)]
    path.write_bytes(cpio(entries))
    return names


# --- What the host sees ------------------------------------------------------------------------

class Line:
    """A pseudo-terminal standing in for the far end of one guest port."""

    def __init__(self, port):
        self.port = port
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)
        # Only a pseudo-terminal of our own is ever handed to QEMU.
        if not self.path.startswith("/dev/pts/"):
            sys.exit(f"openpty gave {self.path}, not a pseudo-terminal")
        self.chunks = []  # (host time, bytes, line rate the pty's termios shows)

    def speed(self):
        return SPEEDS.get(termios.tcgetattr(self.master)[5], 0)

    def read(self, now):
        try:
            data = os.read(self.master, 4096)
        except (BlockingIOError, OSError):
            return
        if data:
            self.chunks.append((now, data, self.speed()))

    def between(self, start, end):
        return [c for c in self.chunks if start <= c[0] < end]


class Guest:
    """QEMU with the guest's console on stdout and the trace on stderr, both timestamped."""

    def __init__(self, kernel, initramfs, guest, lines, workdir, memory):
        self.qmp_path = str(workdir / "qmp.sock")
        self.lines = lines
        self.console = []  # (host time, text)
        self.trace = []  # (host time, text)
        self.markers = queue.Queue()
        self.started = time.monotonic()
        s1, u1 = lines["ttyS1"].path, lines["ttyUSB0"].path
        command = [
            "qemu-system-x86_64", "-accel", "tcg", "-machine", "pc", "-m", str(memory),
            "-nodefaults", "-display", "none", "-no-reboot",
            "-kernel", str(kernel), "-initrd", str(initramfs),
            "-append", f"console=ttyS0,115200 loglevel=4 panic=1 guest={guest}",
            "-virtfs", "local,path=/,mount_tag=host,security_model=none,readonly=on,"
                       "multidevs=remap",
            "-chardev", "stdio,id=con,signal=off", "-device", "isa-serial,chardev=con,index=0",
            "-chardev", f"serial,id=s1,path={s1}", "-device", "isa-serial,chardev=s1,index=1",
            "-device", "qemu-xhci,id=xhci",
            "-chardev", f"serial,id=u1,path={u1}",
            "-device", "usb-serial,id=ftdi,bus=xhci.0,chardev=u1",
            "-qmp", f"unix:{self.qmp_path},server=on,wait=off",
            "-trace", "serial_update_parameters", "-trace", "usb_serial_*",
        ]
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.reader = threading.Thread(target=self.read_all, daemon=True)
        self.reader.start()

    def read_all(self):
        streams = {self.process.stdout.fileno(): (self.console, bytearray()),
                   self.process.stderr.fileno(): (self.trace, bytearray())}
        masters = {line.master: line for line in self.lines.values()}
        while streams:
            ready, _, _ = select.select(list(streams) + list(masters), [], [], 0.5)
            now = time.monotonic()
            for fd in ready:
                if fd in masters:
                    masters[fd].read(now)
                    continue
                store, pending = streams[fd]
                data = os.read(fd, 65536)
                if not data:
                    del streams[fd]
                    continue
                pending.extend(data)
                while b"\n" in pending:
                    text, _, rest = pending.partition(b"\n")
                    pending[:] = rest
                    text = text.decode(errors="replace").rstrip("\r")
                    store.append((now, text))
                    if store is self.console:
                        log(f"  [{now - self.started:7.2f}] {text}")
                        if "@@ " in text:
                            self.markers.put((now, text[text.index("@@ ") + 3:]))
        # The ptys: whatever QEMU wrote before it ended.
        for line in self.lines.values():
            line.read(time.monotonic())


class Qmp:
    """The QEMU monitor on the unix socket this harness asked QEMU to listen on."""

    def __init__(self, path):
        deadline = time.monotonic() + 20
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX)
                self.sock.connect(path)
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.buffer = b""
        self.events = []
        self.receive(time.monotonic() + 10)  # the greeting
        self.execute("qmp_capabilities")

    def receive(self, deadline):
        while b"\n" not in self.buffer:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return None
            self.sock.settimeout(remaining)
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                return None
            if not data:
                return None
            self.buffer += data
        text, _, self.buffer = self.buffer.partition(b"\n")
        return json.loads(text)

    def execute(self, command, **arguments):
        self.sock.sendall(json.dumps({"execute": command, "arguments": arguments}).encode() + b"\n")
        deadline = time.monotonic() + 10
        while True:
            reply = self.receive(deadline)
            if reply is None:
                return {"error": "no reply from QEMU"}
            if "event" in reply:
                self.events.append(reply)
            else:
                return reply

    def wait_event(self, name, timeout):
        deadline = time.monotonic() + timeout
        while not any(e["event"] == name for e in self.events):
            reply = self.receive(deadline)
            if reply is None:
                return False
            if "event" in reply:
                self.events.append(reply)
        self.events = [e for e in self.events if e["event"] != name]
        return True


def drive(guest, timeout, actions):
    """Answers the guest's pull and plug requests until QEMU ends or the time is up."""
    try:
        qmp = Qmp(guest.qmp_path)
    except OSError as error:
        qmp = None
        actions.append((time.monotonic(), f"QMP connection error: {error}"))
    deadline = guest.started + timeout
    while guest.process.poll() is None:
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            guest.process.kill()
            actions.append((time.monotonic(), f"timeout: QEMU killed after {timeout} s"))
            break
        try:
            _, marker = guest.markers.get(timeout=min(remaining, 0.5))
        except queue.Empty:
            continue
        if qmp is None:
            continue
        if marker == "pull":
            reply = qmp.execute("device_del", id="ftdi")
            gone = qmp.wait_event("DEVICE_DELETED", 20)
            actions.append((time.monotonic(), f"device_del ftdi: {reply}, DEVICE_DELETED: {gone}"))
        elif marker == "plug":
            reply = qmp.execute("device_add", driver="usb-serial", id="ftdi", bus="xhci.0",
                                chardev="u1")
            actions.append((time.monotonic(), f"device_add usb-serial ftdi on u1: {reply}"))
    guest.process.wait()
    guest.reader.join(5)


# --- Judging -----------------------------------------------------------------------------------

def bursts_of(chunks):
    bursts = []
    last = None
    for t, data, _ in chunks:
        if last is None or t - last >= BURST_GAP:
            bursts.append([t, b""])
        bursts[-1][1] += data
        last = t
    return bursts


def split_merged(bursts, pattern):
    """A guest held back by the loaded host's software emulation hands two ticks' bytes to the
    pty at once. A burst of whole copies of the pattern is that many ticks: returns the bursts
    with those split and how many bursts were merged ones."""
    split, merged = [], 0
    for t, data in bursts:
        copies = len(data) // len(pattern)
        if copies > 1 and data == pattern * copies:
            merged += 1
            split += [[t, pattern] for _ in range(copies)]
        else:
            split.append([t, data])
    return split, merged


def median_interval_ms(bursts):
    gaps = [(b[0] - a[0]) * 1000 for a, b in zip(bursts, bursts[1:])]
    return statistics.median(gaps) if gaps else None


class Judge:
    def __init__(self, guest, lines, actions):
        self.guest = guest
        self.lines = lines
        self.actions = actions
        self.markers = [(t, text[text.index("@@ ") + 3:]) for t, text in guest.console
                        if "@@ " in text]
        self.passed = []
        self.failed = []
        self.figures = []

    def check(self, ok, name, detail, context=None):
        (self.passed if ok else self.failed).append((name, detail, context))
        return ok

    def trace_between(self, start, end, event):
        return [(t, text) for t, text in self.guest.trace if start <= t < end and event in text]

    def show_bytes(self, line, start, end, origin):
        shown = [f"{t - origin:+8.3f} s {data!r} (pty rate {speed})"
                 for t, data, speed in line.between(start, end)]
        return "\n".join(shown[:60] + ([f"... {len(shown) - 60} more"] if len(shown) > 60 else []))

    def context(self, line, start, end, origin, traces=()):
        text = [f"host bytes on {line.port} ({line.path}), times from the run's start marker:",
                self.show_bytes(line, start, end, origin) or "(none)",
                f"pty termios now: rate {line.speed()}"]
        if traces:
            shown = [f"{t - origin:+8.3f} s {x}" for t, x in traces]
            text += ["line settings in QEMU's trace:"] + shown[:20] + (
                [f"... {len(shown) - 20} more"] if len(shown) > 20 else [])
        return "\n".join(text)

    def run(self, case, port, index, pattern, start, stop, inner):
        line = self.lines[port]
        rate = RATES[index]
        ftdi = port.startswith("ttyUSB")
        name = f"{case}: {port} at index {index} ({rate} bit/s)"
        pulled = next((t for t, m in inner if m == "pull"), None)
        end = pulled if pulled is not None else stop
        chunks = line.between(start, end + STOP_GRACE)
        bursts, merged = split_merged(bursts_of(chunks), pattern.encode())
        settings = [x for x in self.trace_between(start - 0.5, stop + 1.0, "")
                    if re.search(SETTINGS_EVENTS, x[1])]
        context = self.context(line, start - 0.5, stop + 1.0, start, settings)
        if not self.check(bool(bursts), f"{name}: bursts",
                          f"{len(bursts)} bursts" if bursts else "no bytes reached the host",
                          context):
            return
        self.check(merged <= max(1, len(bursts) // 10), f"{name}: ticks arriving together",
                   f"{merged} of {len(bursts)} bursts held two ticks or more", context)
        wrong = [b for b in bursts if b[1] != pattern.encode()]
        self.check(not wrong, f"{name}: burst contents",
                   f"expected {pattern!r} each, {len(wrong)} of {len(bursts)} differ "
                   f"(first {wrong[0][1]!r})" if wrong else f"{len(bursts)} x {pattern!r}", context)
        speeds = sorted({s for _, _, s in chunks})
        self.check(speeds == [rate], f"{name}: pty rate",
                   f"expected {rate}, termios showed {speeds}", context)
        # The line settings as the driver programmed the emulated chip.
        first = bursts[0][0]
        if ftdi:
            bauds = self.trace_between(start, first, "usb_serial_set_baud")
            datas = self.trace_between(start, first, "usb_serial_set_data")
            baud_ok = bool(bauds) and re.search(rf"baud rate {rate}$", bauds[-1][1])
            data_ok = bool(datas) and re.search(r"parity E, data bits 8, stop bits 2", datas[-1][1])
            seen = (f"{bauds[-1][1] if bauds else 'no set_baud'} / "
                    f"{datas[-1][1] if datas else 'no set_data'}")
            self.check(bool(baud_ok and data_ok), f"{name}: settings in QEMU's FTDI",
                       f"expected baud {rate}, parity E, 8 data, 2 stop; trace: {seen}", context)
        else:
            params = self.trace_between(start, first, "serial_update_parameters")
            want = f"baudrate={rate} parity='E' data=8 stop=2"
            seen = params[-1][1] if params else "no serial_update_parameters"
            self.check(want in seen, f"{name}: settings in QEMU's 16550",
                       f"expected {want}; trace: {seen}", context)
        # Cadence.
        seconds = end - start
        median = median_interval_ms(bursts)
        median = median and round(median, 1)
        if ftdi:
            expected = max(TICK_MS, len(pattern) * CHAR_BITS * 1000 / rate + REPORT_GRACE_MS)
            low, high = expected - 15, expected + 35
        else:
            expected, low, high = TICK_MS, TICK_MS - 10, TICK_MS + 10
        count_expected = seconds * 1000 / expected
        self.figures.append(f"{name}: {len(bursts)} bursts in {seconds:.2f} s, median interval "
                            f"{median} ms "
                            f"(expected {expected:.0f})")
        self.check(median is not None and low <= median <= high, f"{name}: cadence",
                   f"median interval {median} ms, expected {low:.0f} ... {high:.0f} ms", context)
        if pulled is None and "change" not in [m.split()[0] for _, m in inner]:
            slack = 2 if not ftdi else 3
            self.check(abs(len(bursts) - count_expected) <= slack, f"{name}: burst count",
                       f"{len(bursts)} bursts in {seconds:.2f} s, expected {count_expected:.1f} "
                       f"± {slack}", context)
        # The line state the guest read, against what the host received meanwhile.
        counts = {m.split()[1]: (t, int(m.split("tx=")[1])) for t, m in inner
                  if m.startswith("icount ")}
        if counts:
            (t0, tx0), (t1, tx1) = counts.get("begin", (0, 0)), counts.get("end", (0, 0))
            received = sum(len(d) for _, d, _ in line.between(t0, t1))
            self.figures.append(f"{name}: TIOCGICOUNT tx grew by {tx1 - tx0}, host received "
                                f"{received} bytes meanwhile")
            self.check("begin" in counts and "end" in counts and tx1 > tx0
                       and abs((tx1 - tx0) - received) <= len(pattern),
                       f"{name}: transmit counter", f"tx grew by {tx1 - tx0}, host received "
                       f"{received} (within {len(pattern)})", context)
        # A rate the adapter cannot make, chosen during the run: the run goes on at this rate.
        for t, marker in inner:
            if marker.startswith("change "):
                after = [b for b in bursts if b[0] > t + 0.2]
                later = [s for c_t, _, s in chunks if c_t > t]
                event = "usb_serial_set_baud" if ftdi else "serial_update_parameters"
                programmed = [x for _, x in self.trace_between(t, end, event)]
                self.figures.append(f"{name}: line settings programmed after the change: "
                                    f"{programmed or 'none'}")
                kept = not programmed or re.search(rf"baud(rate=| rate ){rate}\b", programmed[-1])
                self.check(bool(kept),
                           f"{name}: the driver keeps {rate} bit/s after the refused index",
                           f"last programmed: {programmed[-1] if programmed else 'none'}", context)
                after_median = median_interval_ms(after)
                after_median = after_median and round(after_median, 1)
                self.figures.append(f"{name}: after choosing index {marker.split()[1]}: "
                                    f"{len(after)} bursts, median {after_median} ms, pty rate "
                                    f"{sorted(set(later))}")
                self.check(len(after) >= (end - t - 0.2) * 1000 / expected - 3
                           and set(later) == {rate}
                           and after_median is not None and low <= after_median <= high,
                           f"{name}: run goes on after index {marker.split()[1]} was refused",
                           f"{len(after)} bursts after the change at the old rate {rate} "
                           f"(pty rates {sorted(set(later))}, median {after_median} ms)",
                           context)

    def judge(self):
        allowed = {port: [] for port in self.lines}
        runs = set()
        seen = set()
        case = "before the first case"
        for i, (start, marker) in enumerate(self.markers):
            words = marker.split()
            if not words:
                continue
            seen.add(words[0])
            if words[0] == "case":
                case = words[1]
            if words[0] == "fail":
                self.check(False, "guest: " + marker[5:], "the guest program saw this")
            elif words[0] == "ok":
                self.check(True, "guest: " + marker[3:], "")
            elif words[0] == "run" and words[-1] == "start":
                port, index, pattern = words[1], int(words[2]), words[3]
                rest = self.markers[i + 1:]
                ends = [j for j, (_, m) in enumerate(rest) if m == "stop"]
                if not ends:
                    self.check(False, f"{port} run at index {index}", "no stop marker")
                    continue
                stop = rest[ends[0]][0]
                inner = rest[:ends[0]]
                runs.add((port, index))
                allowed[port].append((start, stop + STOP_GRACE))
                self.run(case, port, index, pattern, start, stop, inner)
            elif words[0] == "refuse" and words[-1] == "start":
                port = words[1]
                end = self.markers[i + 1][0] if i + 1 < len(self.markers) else start + 1
                got = self.lines[port].between(start, end)
                self.check(not got, f"{port}: nothing written at refused index {words[2]}",
                           f"{sum(len(d) for _, d, _ in got)} bytes reached the host",
                           self.context(self.lines[port], start, end, start))
        # Bytes outside every run: after a STOP, at a refused rate, before the first START.
        for port, line in self.lines.items():
            stray = [c for c in line.chunks
                     if not any(a <= c[0] < b for a, b in allowed[port])]
            where = ""
            if stray:
                before = [m for m in self.markers if m[0] <= stray[0][0]]
                origin, label = before[-1] if before else (self.guest.started, "boot")
                where = (f" (first {stray[0][0] - origin:+.3f} s after '@@ {label}')\n"
                         + self.show_bytes(line, stray[0][0] - 0.01, stray[-1][0] + 0.01, origin))
            self.check(not stray, f"{port}: nothing outside the runs",
                       f"{sum(len(d) for _, d, _ in stray)} stray bytes{where}")
        wanted = {("ttyS1", i) for i in range(5)} | {("ttyUSB0", i) for i in range(1, 5)}
        self.check(wanted <= runs, "every rate each adapter makes was run",
                   f"missing {sorted(wanted - runs)}" if wanted - runs else "all")
        for step in ("ports", "icount", "refuse", "change", "pull", "plug", "done"):
            self.check(step in seen, f"guest step '{step}' reached",
                       "" if step in seen else "never printed")
        exits = [m for _, m in self.markers if m.startswith("exit ")]
        self.check(exits == ["exit 0"], "guest program's exit status",
                   exits[-1] if exits else "none")
        for t, action in self.actions:
            self.check("error" not in action and "timeout" not in action
                       and "DEVICE_DELETED: False" not in action, action.split(":")[0],
                       action[action.index(":") + 2:])



def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--guest", required=True, help="the guest program (driver_guest)")
    parser.add_argument("--cache", required=True, help="where the kernel package is kept")
    parser.add_argument("--timeout", type=float, default=480, help="seconds before QEMU is killed")
    parser.add_argument("--memory", type=int, default=1536, help="guest RAM, MiB")
    args = parser.parse_args()
    began = time.monotonic()
    guest_program = Path(args.guest).resolve()
    if not os.access(guest_program, os.X_OK):
        sys.exit(f"{guest_program}: no such program (build the release tree first)")
    # The guest lays its own filesystems over these, so the program must live elsewhere.
    if re.search(r"\s", str(guest_program)) or any(
            guest_program.is_relative_to(d) for d in ("/tmp", "/run", "/dev", "/proc", "/sys")):
        sys.exit(f"{guest_program}: the guest cannot reach a program under this path")
    cache = Path(args.cache).resolve()
    cache.mkdir(parents=True, exist_ok=True)
    kernel, moddir = fetch_kernel(cache)
    modules = build_initramfs(moddir, cache / "initramfs.cpio")
    log(f"Kernel {kernel.name}, initramfs modules: {' '.join(modules)}")

    lines = {"ttyS1": Line("ttyS1"), "ttyUSB0": Line("ttyUSB0")}
    actions = []
    with tempfile.TemporaryDirectory(prefix="tavrix-drivers-") as workdir:
        guest = Guest(kernel, cache / "initramfs.cpio", guest_program, lines, Path(workdir),
                      args.memory)
        try:
            drive(guest, args.timeout, actions)
        finally:
            if guest.process.poll() is None:
                guest.process.kill()
    judge = Judge(guest, lines, actions)
    judge.judge()

    log("\nFigures:")
    for figure in judge.figures:
        log("  " + figure)
    log(f"\n{len(judge.passed)} checks passed, {len(judge.failed)} failed:")
    for name, detail, _ in judge.passed:
        log(f"  ok    {name}" + (f": {detail}" if detail else ""))
    for name, detail, context in judge.failed:
        log(f"  FAIL  {name}: {detail}")
        if context:
            log("        " + context.replace("\n", "\n        "))
    if judge.failed:
        log("\nQEMU's stderr (trace and messages), last lines:")
        for t, text in guest.trace[-40:]:
            log(f"  [{t - guest.started:7.2f}] {text}")
        log("Guest console, last lines:")
        for t, text in guest.console[-40:]:
            log(f"  [{t - guest.started:7.2f}] {text}")
    log(f"Real-driver stage: {time.monotonic() - began:.0f} s")
    return 1 if judge.failed else 0


if __name__ == "__main__":
    sys.exit(main())
