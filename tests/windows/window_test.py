#!/usr/bin/env python3
"""The Windows program's window under Wine, driven like an operator.

Runs inside a wine-run.sh session on an X server (make test-windows starts both). The program's
one COM port, COM9, is a pseudo-terminal whose master this harness holds; the modem-line library
is preloaded for it. The harness clicks START, STOP, the slider and "+"/"--" at their places in
the window's layout and judges what reaches the master: the pattern once per 100 ms tick at each
rate, or back to back where its line time is longer, with two stop bits (read back through
termios2; a pty drops PARENB, so the parity is read from the DCB that Wine's file trace dumps),
silence after STOP, DTR and RTS raised while running and lowered after it, and the error boxes,
whose text the message box copies to the clipboard on Ctrl+C. A port added to the serial device
map while idle must show in the port list, and go with its value. Wine keeps no COM port to one
opener, so "port in use" is shown by a pty the program may not open (Windows answers a held
port with the same access error). A frequency change during a run must take, or raise the
SetCommState box (Wine 8, which refuses the parity a pty dropped).
"""

import argparse
import fcntl
import os
import re
import statistics
import struct
import subprocess
import sys
import termios
import threading
import time
import tty
from pathlib import Path

CAPTION = "Контроллер управления форсунками Tavrix_v.5"
BOX_CAPTION = "Генератор сигналов"
CLIENT = (622, 549)  # the window's fixed client size
RATES = [110, 300, 600, 1200, 2400]  # frequency index -> line rate, bit/s
START_INDEX = 3
TCGETS2, TERMIOS2_SIZE = 0x802C542A, 44  # struct termios2: four flags, line, 19 cc, two speeds
# Client coordinates of the controls' centres (group box + control, app/MainControls.cpp).
START, STOP = (560, 140), (560, 224)
PLUS, MINUS = (464, 124), (464, 156)
SLIDER_LEFT, SLIDER_RIGHT = (19, 42), (358, 42)  # the slider's groove at its ends
PORT_LIST, PORT_TEXT = (560, 42), "60x20+522+32"  # the port list's centre; its text, as a crop
SERIAL_MAP = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"
RUN_LENGTH = (76, 223)  # the run-length entry
BURST_GAP = 0.05  # bytes closer than this belong to one tick's write

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


class Master:
    """The pty's master side: every chunk read, with its arrival time."""

    def __init__(self):
        self.fd, self.slave = os.openpty()
        tty.setraw(self.fd)
        self.path = os.ttyname(self.slave)
        self.chunks = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            try:
                data = os.read(self.fd, 4096)
            except OSError:
                return
            if not data:
                return
            self.chunks.append((time.monotonic(), data))

    def line(self):
        """The rate and two stop bits as the terminal holds them. Read through termios2, whose
        rate is a number whichever way it was set: Wine 8 sets the B-constant, Wine 10 a number
        (BOTHER), which tcgetattr cannot tell."""
        raw = fcntl.ioctl(self.fd, TCGETS2, bytes(TERMIOS2_SIZE))
        cflag, ospeed = struct.unpack_from("I", raw, 8)[0], struct.unpack_from("I", raw, 40)[0]
        return ospeed, bool(cflag & termios.CSTOPB)

    def settle(self):
        """A pty drops PARENB but keeps the INPCK that Wine sets with it, and Wine then refuses
        every later SetCommState with error 87; a port keeps both, so they are made to agree
        again while the program is idle."""
        attrs = termios.tcgetattr(self.fd)
        attrs[0] &= ~termios.INPCK
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

    def bursts(self, since, until=float("inf")):
        out = []
        for stamp, data in self.chunks:
            if since <= stamp < until:
                if out and stamp - out[-1][2] < BURST_GAP:
                    out[-1] = (out[-1][0], out[-1][1] + data, stamp)
                else:
                    out.append((stamp, data, stamp))
        return [(start, data) for start, data, _ in out]

    def hang_up(self):
        os.close(self.fd)
        os.close(self.slave)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def windows(name):
    return xdotool("search", "--onlyvisible", "--name", f"^{name}$").split()


class Window:
    def __init__(self, timeout):
        deadline = time.monotonic() + timeout
        while not windows(CAPTION):
            if time.monotonic() > deadline:
                sys.exit(f"no window captioned {CAPTION!r} after {timeout} s")
            time.sleep(0.5)
        self.id = windows(CAPTION)[0]
        size = dict(line.split("=") for line in
                    xdotool("getwindowgeometry", "--shell", self.id).split())
        # Without a window manager Wine's X window is the client area.
        check((int(size["WIDTH"]), int(size["HEIGHT"])) == CLIENT, f"client area {size}")
        self.index = START_INDEX

    def click(self, point):
        xdotool("mousemove", "--window", self.id, *point, "click", "1")
        time.sleep(0.3)

    def choose(self, index):
        """The slider moves one step towards a click beside its handle."""
        while self.index != index:
            self.click(SLIDER_LEFT if index < self.index else SLIDER_RIGHT)
            self.index += 1 if index > self.index else -1


def boxes(wait):
    """The error boxes open after `wait` seconds: each one's text (None where it could not be
    copied), and each closed with OK."""
    time.sleep(wait)
    texts = []
    for box in windows(BOX_CAPTION):
        subprocess.run(["xclip", "-selection", "clipboard", "-l", "1"], input=b"")
        xdotool("mousemove", "--window", box, 8, 8, "click", "1")
        xdotool("key", "ctrl+c")
        time.sleep(0.5)
        copied = subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                capture_output=True, text=True).stdout
        # Qt copies the caption, the text and the buttons between rules of dashes.
        lines = [line for line in copied.splitlines() if line and not line.startswith("---")]
        texts.append(lines[1] if len(lines) == 3 and lines[0] == BOX_CAPTION else None)
        xdotool("key", "Return")
        time.sleep(0.3)
        if box in windows(BOX_CAPTION):  # the key went elsewhere: OK is centred at the bottom
            size = dict(line.split("=") for line in
                        xdotool("getwindowgeometry", "--shell", box).split())
            xdotool("mousemove", "--window", box, int(size["WIDTH"]) // 2,
                    int(size["HEIGHT"]) - 20, "click", "1")
        closing = time.monotonic()
        while box in windows(BOX_CAPTION) and time.monotonic() - closing < 10:
            time.sleep(0.1)
        if time.monotonic() - closing > 0.5:
            print(f"      the box {texts[-1]!r} took {time.monotonic() - closing:.1f} s to close")
    return texts


def run_at(window, master, index, trace, shim_log):
    """One run at a frequency chosen while idle: START, two seconds, STOP, one second."""
    rate = RATES[index]
    window.choose(index)
    traced = len(trace.read_bytes())
    master.settle()
    started = time.monotonic()
    window.click(START)
    time.sleep(2.0)
    line = master.line()
    modem_lines = shim_log.read_text().split()[-1:] if shim_log.exists() else []
    window.click(STOP)
    stopped = time.monotonic()
    time.sleep(1.2)
    modem_lines += shim_log.read_text().split()[-1:]
    ticks = master.bursts(started, stopped)
    gaps = [(b[0] - a[0]) * 1000 for a, b in zip(ticks, ticks[1:])]
    median = statistics.median(gaps) if gaps else float("nan")
    check(line == (rate, True), f"{rate} bit/s: the master reads {line} (rate, two stop bits)")
    # A write ends when its bytes are on the line, so where the pattern's line time is longer
    # than the tick (110 and 300 bit/s) the bursts follow each other back to back.
    period = max(100.0, 5 * 12 * 1000 / rate)
    check(len(ticks) >= int(1800 / period) and all(data == b"fffff" for _, data in ticks),
          f"{rate} bit/s: {len(ticks)} ticks, each 'fffff'")
    check(period * 0.95 <= median <= period * 1.05 + 5,
          f"{rate} bit/s: cadence median {median:.1f} ms (period {period:.0f} ms), "
          f"range {min(gaps, default=0):.1f} … {max(gaps, default=0):.1f} ms")
    check(modem_lines == ["6", "0"],
          f"{rate} bit/s: DTR and RTS raised while running, lowered after STOP ({modem_lines})")
    # Wine dumps the DCB that SetCommState is given (and the one GetCommState reads back).
    dcbs = re.findall(rb"dump_dcb size=(\d+) rate=(\d+) fParity=(\d) Parity=(\d) stopbits=(\d)",
                      trace.read_bytes()[traced:])
    check((b"8", str(rate).encode(), b"1", b"2", b"2") in dcbs,
          f"{rate} bit/s: Wine was given 8 bits, even parity, 2 stop bits (DCBs {dcbs})")
    check(not master.bursts(stopped + 0.3), f"{rate} bit/s: silence after STOP")
    return median


def port_list_follows_the_map(window, runner, master):
    """COM8 (a link to a pty of the harness's own) added to the serial device map while idle is
    listed within a second, and goes with its value. The list is read with the keyboard: Home
    selects its first item, which is COM8 only while COM8 is listed, and the box shows it."""
    com8, link = Master(), Path(os.environ["WINEPREFIX"], "dosdevices", "com8")
    value = ("/v", r"\Device\TavrixTest8")

    def reg(*args):  # in the program's session, with its ports: no new Wine server
        subprocess.run([runner, "--port", f"COM9={master.path}", "reg", *args, "/f"],
                       check=True, capture_output=True)

    def shown(key):  # the box's text after the key, as pixels
        xdotool("key", key)
        time.sleep(0.3)
        return subprocess.run(["import", "-window", window.id, "-crop", PORT_TEXT, "-depth", "8",
                               "rgb:-"], capture_output=True, check=True).stdout

    window.click(PORT_LIST)
    xdotool("key", "Escape")  # the list closes and keeps the focus
    xdotool("mousemove", "--window", window.id, 616, 4)
    alone = shown("Home")
    reg("add", r"HKLM\Software\Wine\Ports", "/v", "COM8", "/d", com8.path)
    reg("add", SERIAL_MAP, *value, "/d", "COM8")
    link.symlink_to(com8.path)  # after the last Wine start that would refuse a link not given
    time.sleep(1.0)
    listed = shown("Home")
    check(listed != alone and shown("End") == alone, "COM8 in the device map: listed within 1 s")
    link.unlink()
    reg("delete", SERIAL_MAP, *value)
    time.sleep(1.0)
    check(shown("Home") == alone, "COM8 gone from the device map: gone from the list within 1 s")
    reg("delete", r"HKLM\Software\Wine\Ports", "/v", "COM8")
    com8.hang_up()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--shim", required=True, type=Path, help="the modem-line library")
    parser.add_argument("--out", required=True, type=Path, help="trace, logs and screenshot")
    args = parser.parse_args()
    args.out.mkdir(parents=True, exist_ok=True)
    trace, shim_log = args.out / "wine-trace.log", args.out / "modem-lines.log"
    shim_log.unlink(missing_ok=True)

    master = Master()
    env = dict(os.environ, LD_PRELOAD=str(args.shim.resolve()), MODEM_SHIM_PTY=master.path,
               MODEM_SHIM_LOG=str(shim_log.resolve()), WINEDEBUG="fixme-all,+file")
    runner = Path(__file__).resolve().parent / "wine-run.sh"
    launched = time.monotonic()
    with open(trace, "w") as trace_file:
        program = subprocess.Popen([runner, "--port", f"COM9={master.path}", args.exe],
                                   env=env, stdout=trace_file, stderr=trace_file)
    window = Window(timeout=90)
    print(f"window up after {time.monotonic() - launched:.1f} s", flush=True)
    time.sleep(2)
    subprocess.run(["import", "-window", window.id, args.out / "window.png"], check=True)
    port_list_follows_the_map(window, runner, master)

    cadence = {RATES[i]: run_at(window, master, i, trace, shim_log) for i in range(5)}

    # "+" replaces the selected pattern, a second adds, "--" takes one away.
    master.settle()
    window.click(START)
    for button, pattern in ((PLUS, b"f"), (PLUS, b"ff"), (MINUS, b"f")):
        window.click(button)
        since = time.monotonic() + 0.1
        time.sleep(0.6)
        seen = {data for _, data in master.bursts(since)}
        check(seen == {pattern}, f"{'+' if button == PLUS else '--'}: the ticks write {seen}")

    # A frequency change during a run. Wine 8 applies the rate, then refuses the parity the pty
    # dropped; Wine 10 takes the change, as Windows does on a port.
    window.choose(window.index - 1)
    shown = boxes(1.5)
    rate = master.line()[0]
    check(shown == ["Ошибка функции SetCommState."] or (not shown and rate == RATES[window.index]),
          f"frequency change while running: boxes {shown}, master reads {rate} bit/s")
    since = time.monotonic()
    time.sleep(0.5)
    print(f"  and then writes {len(master.bursts(since))} ticks in 0.5 s", flush=True)
    window.click(STOP)
    time.sleep(0.5)

    os.chmod(master.path, 0)
    master.settle()
    window.click(START)
    shown = boxes(2.0)
    check(shown == ["Порт занят другой программой."], f"a refused port: boxes {shown}")
    os.chmod(master.path, 0o620)

    # The adapter pulled during a 4 s run, its modem lines failing as a USB adapter's do: one
    # box, and nothing more up to and past the end of the countdown.
    window.click(RUN_LENGTH)
    xdotool("key", "ctrl+a", "4")
    master.settle()
    window.click(START)
    time.sleep(1.0)
    old_path = master.path
    master.hang_up()
    shown = boxes(3.0)
    check(shown == ["Ошибка записи в порт."], f"the pty gone mid-run: boxes {shown}")
    shown = boxes(2.0)
    check(shown == [], f"no further box past the countdown's end: {shown}")
    # Plugged back: the released pty's number comes again, so COM9 leads to it; a program still
    # holding the old one would get another number. START works at once, so the window is idle.
    master = Master()
    check(master.path == old_path, f"the program let go of the pulled pty ({master.path})")
    master.settle()
    since = time.monotonic()
    window.click(START)
    time.sleep(1.0)
    window.click(STOP)
    check(len(master.bursts(since)) >= 5, "the adapter plugged back takes a new run at once")
    check(boxes(0.5) == [], "and raises no box")

    program.terminate()
    program.wait()
    print("cadence medians, ms: " + ", ".join(f"{r}: {m:.1f}" for r, m in cadence.items()))
    if failures:
        sys.exit(f"{len(failures)} checks failed; Wine's trace is {trace}")


if __name__ == "__main__":
    main()
