#!/usr/bin/python3
"""A network device's command line for the shell tests.

Login and password prompts, an "enable" step, a "--More--" pager that erases itself with
backspaces or with cursor positioning (ESC [24;1H), and "show running-config" printing the
configuration file given. Every byte received is appended to the byte log. A slow device pauses
once in the middle of a line of its second page (--pause), or right after the text that line
begins with (--pause-after), or --pager-pause seconds before its second pager prompt or right
after that prompt's erasing (--pager-pause-at); an odd one numbers its prompt with the
commands it ran and shows another pager text (--numbered-prompt, --pager); a busy one takes a
while after each prompt before it echoes what was typed ahead (--typing-delay); a lenient one
takes "configure terminal" without privileges (--lenient); a trickling one follows its
configuration with numbered lines for ever, one each --trickle seconds (--flood: as fast as the
connection takes them). In configuration
mode a line beginning with "bogus" is rejected ("% Invalid input ...") and "shutdown" brings a
console message.

Modes: --stdio (behind a telnet server, on its terminal), --raw (a TCP server on 127.0.0.1) and
--rlogin (a TCP server speaking RFC 1282 before the conversation); --stream sends lines for
ever. The servers handle one
connection at a time, write their port to --port-file and run until killed.

Devices whose output arrives in pieces: --pauses names a file of "line position" pairs, before
which byte of a configuration line's text and its CR LF the device is silent for --pause-length
seconds; --piece sends all output in pieces of that many bytes, --piece-pause seconds apart.
--same-line-password answers a password with no line break, so the prompt follows on the
question's line; --prompt replaces both prompts by one text ("$ "); --accept-once (raw) serves
one connection and then refuses every other.

Faulty devices: --cut-after ends the connection after that many configuration lines;
--close-at-login ends it at once once logged in, --mute-after-login never answers a command;
--login-refusal and --enable-refusal are the words of a refused password (--refusal-asks-again:
the login question comes again instead of the close); --enabled-login logs in with privileges;
--no-echo echoes nothing, not even the line break of a command; --prompt-pause pauses inside
every prompt once a listing was shown; --close-at-start sends --farewell (when given) and ends the
connection before anything else; --cut-at-config-line ends it when that many lines were typed in
configuration mode (the first is the line that enters a context). --prompt may hold "{clock}"
(the time of day) and "{count}" (the prompts shown so far), which change with each line break;
--ignore-empty takes an empty line in silence (no echo, no new prompt); --enable-words are shown
before the privileged prompt of a granted enable step; --empty-listing answers the backup command
with the prompt alone. --overrides names a file of "option value" lines read for every
connection, which replace the options given.
"""
import argparse
import fcntl
import os
import socket
import sys
import time
import termios
import tty

PROMPT_USER = "Router>"
PROMPT_ENABLED = "Router#"
PAGER = " --More-- "


class Closed(Exception):
    pass


class Channel:
    def __init__(self, read, write, log_path, piece=0, piece_pause=0.0):
        self._read = read
        self._write = write
        self._piece = piece
        self._piece_pause = piece_pause
        self._log = open(log_path, "ab", buffering=0) if log_path else None
        self._pending = b""
        self.on_bytes = None  # filter of received bytes (rlogin window-size messages)

    def send(self, text):
        data = text.encode("latin-1")
        if not self._piece:
            self._write(data)
            return
        for start in range(0, len(data), self._piece):
            self._write(data[start:start + self._piece])
            if self._piece_pause:
                time.sleep(self._piece_pause)

    def byte(self):
        while not self._pending:
            data = self._read()
            if not data:
                raise Closed()
            if self._log:
                self._log.write(data)
            if self.on_bytes:
                data = self.on_bytes(data)
            self._pending += data
        b, self._pending = self._pending[:1], self._pending[1:]
        return b[0]

    def read_line(self, echo, newline=True):
        line = ""
        while True:
            c = self.byte()
            if c in (13, 10):
                # CR NUL and CR LF end one line.
                if c == 13 and self._pending[:1] in (b"\0", b"\n"):
                    self._pending = self._pending[1:]
                if newline:
                    self.send("\r\n")
                return line
            if c == 0:
                continue
            if c in (8, 127):
                if line:
                    line = line[:-1]
                    if echo:
                        self.send("\b \b")
                continue
            line += chr(c)
            if echo:
                self.send(chr(c))


def erase_pager(channel, style, pager):
    back = "\x1b[%dD" % len(pager)
    if style == "ansi":
        channel.send("\x1b[24;1H" + " " * len(pager) + "\x1b[24;1H")
    elif style == "left":
        channel.send(back + " " * len(pager) + back)
    elif style == "left-only":
        channel.send(back)
    elif style == "erase-line":
        channel.send("\x1b[2K\r")
    elif style == "erase-line-only":
        channel.send("\x1b[2K")
    elif style == "left-clear":
        channel.send(back + "\x1b[K")
    elif style == "cr":
        channel.send("\r" + " " * len(pager) + "\r")
    else:
        channel.send("\b" * len(pager) + " " * len(pager) + "\b" * len(pager))


def load_pauses(path):
    pauses = {}
    if path:
        with open(path) as source:
            for entry in source.read().split("\n"):
                if entry.strip():
                    index, position = entry.split()
                    pauses.setdefault(int(index), set()).add(int(position))
    return pauses


def send_with_pauses(channel, text, positions, length):
    """The text, silent for length seconds before each of the byte positions given."""
    start = 0
    for position in sorted(positions):
        if 0 <= position <= len(text):
            channel.send(text[start:position])
            time.sleep(length)
            start = position
    channel.send(text[start:])


def show_config(channel, config, page, args):
    pager = getattr(args, "pager", PAGER)
    pause = getattr(args, "pause", 0.0)
    pause_after = getattr(args, "pause_after", "")
    pauses = load_pauses(getattr(args, "pauses", ""))
    pause_at = page + page // 2 if page else len(config) // 2
    shown = 0
    for index, line in enumerate(config):
        if pause and shown == pause_at:
            half = len(pause_after) if pause_after and line.startswith(pause_after) else len(line) // 2
            channel.send(line[:half])
            time.sleep(pause)
            line = line[half:]
        send_with_pauses(channel, line + "\r\n", pauses.get(index, ()), getattr(args, "pause_length", 0.0))
        shown += 1
        if shown == getattr(args, "cut_after", -1):
            raise Closed()
        if page and shown % page == 0 and shown < len(config):
            second = shown == 2 * page
            pager_pause = getattr(args, "pager_pause", 0.0) if second else 0.0
            where = getattr(args, "pager_pause_at", "before")
            if where == "before":
                time.sleep(pager_pause)
            channel.send(pager)
            key = channel.byte()
            erase_pager(channel, args.erase, pager)
            if where == "after":
                time.sleep(pager_pause)
            if key in (ord("q"), 3):
                return
    while getattr(args, "flood", False):
        # As fast as the connection takes it: blocks of numbered lines.
        block = "".join("! flooded line %d\r\n" % (shown + i + 1) for i in range(1000))
        shown += 1000
        channel.send(block)
    trickle = getattr(args, "trickle", 0.0)
    while trickle:
        shown += 1
        channel.send("! trickled line %d\r\n" % shown)
        time.sleep(trickle)


def load_config(path):
    with open(path, encoding="latin-1") as source:
        config = source.read().split("\n")
    if config and config[-1] == "":
        config.pop()
    return config


def with_overrides(args):
    """The options, with those the overrides file names replaced (typed as the option is)."""
    overrides = getattr(args, "overrides", "")
    if not overrides or not os.path.exists(overrides):
        return args
    args = argparse.Namespace(**vars(args))
    with open(overrides) as source:
        for entry in source.read().split("\n"):
            name, _, value = entry.partition(" ")
            if not name:
                continue
            kind = type(getattr(args, name))
            setattr(args, name, value in ("1", "true") if kind is bool else kind(value))
    return args


def conversation(channel, args):
    # Read for every connection, so that tests may change the configuration between scans.
    args = with_overrides(args)
    config = load_config(args.config)
    if getattr(args, "close_at_start", False):
        if getattr(args, "farewell", ""):
            channel.send(args.farewell + "\r\n")
        return
    if args.no_login:  # the SSH server logged in a user with privileges already
        with logged_in_session(args.session_marker):
            if not getattr(args, "close_at_login", False):
                serve_commands(channel, args, config, PROMPT_ENABLED)
        return
    channel.send("\r\n\r\nUser Access Verification\r\n\r\n")
    for attempt in range(3):
        channel.send("Username: ")
        user = channel.read_line(echo=True)
        channel.send("Password: ")
        password = channel.read_line(echo=False, newline=not args.same_line_password)
        if user == args.user and password == args.password:
            break
        channel.send(args.login_refusal + "\r\n\r\n")
        if not args.refusal_asks_again:
            return
    else:
        return
    with logged_in_session(args.session_marker):
        if not args.close_at_login:
            serve_commands(channel, args, config, PROMPT_ENABLED if args.enabled_login else PROMPT_USER)


class logged_in_session:
    """Holds a lock on the marker file while a logged-in session lasts (the telnet server kills
    the process at the end, which gives the lock back); a second session that finds the lock
    taken appends a line to the marker's ".overlaps" file."""

    def __init__(self, marker):
        self._marker = marker
        self._fd = None

    def __enter__(self):
        if self._marker:
            self._fd = os.open(self._marker, os.O_CREAT | os.O_WRONLY, 0o600)
            try:
                fcntl.flock(self._fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except BlockingIOError:
                with open(self._marker + ".overlaps", "a") as out:
                    out.write("overlap at %f\n" % time.time())
        return self

    def __exit__(self, *exc):
        if self._fd is not None:
            os.close(self._fd)
        return False


def serve_commands(channel, args, config, prompt=PROMPT_USER):
    page = args.page
    commands = 0
    prompts = 0
    listed = False
    echo = not getattr(args, "no_echo", False)
    config_lines = 0
    while True:
        prompts += 1
        if getattr(args, "prompt", ""):
            shown = args.prompt.replace("{clock}", time.strftime("%H:%M:%S")).replace("{count}", str(prompts))
        elif getattr(args, "numbered_prompt", False):
            shown = prompt.replace("Router", "Router%d" % commands)
        else:
            shown = prompt
        if listed and getattr(args, "prompt_pause", 0.0):
            channel.send(shown[:4])
            time.sleep(args.prompt_pause)
            shown = shown[4:]
        channel.send(shown)
        time.sleep(getattr(args, "typing_delay", 0.0))
        if getattr(args, "mute_after_login", False):
            while True:
                channel.byte()
        command = channel.read_line(echo=echo, newline=False).strip()
        while not command and getattr(args, "ignore_empty", False):
            command = channel.read_line(echo=echo, newline=False).strip()
        if echo:
            channel.send("\r\n")
        commands += 1 if command else 0
        if command and prompt.startswith("Router(config"):
            config_lines += 1
            if config_lines == getattr(args, "cut_at_config_line", -1):
                raise Closed()
        if command == "enable":
            channel.send("Password: ")
            secret = channel.read_line(echo=False, newline=not getattr(args, "same_line_password", False))
            if secret == args.enable_password:
                prompt = PROMPT_ENABLED
                if getattr(args, "enable_words", ""):
                    channel.send(args.enable_words + "\r\n")
            else:
                channel.send(getattr(args, "enable_refusal", "% Access denied") + "\r\n\r\n")
        elif command == "terminal length 0":
            page = 0
        elif command in ("show running-config", "show run"):
            if prompt != PROMPT_ENABLED:
                channel.send("% Invalid input detected\r\n")
                continue
            if not getattr(args, "empty_listing", False):
                show_config(channel, config, page, args)
            listed = True
        elif command == "configure terminal" and (prompt == PROMPT_ENABLED or getattr(args, "lenient", False)):
            prompt = "Router(config)#"
        elif command == "end" and prompt != PROMPT_USER:
            prompt = PROMPT_ENABLED
        elif command == "shutdown" and prompt != PROMPT_USER:
            channel.send("%LINK-5-CHANGED: Interface changed state to administratively down\r\n")
        elif command.startswith("bogus") and prompt != PROMPT_USER:
            channel.send("           ^\r\n% Invalid input detected at '^' marker.\r\n")
        elif command in ("exit", "quit", "logout"):
            return
        elif command and prompt == PROMPT_USER:
            channel.send("%% Unknown command \"%s\"\r\n" % command)


def serve_stdio(args):
    if os.isatty(0):
        tty.setraw(0, termios.TCSANOW)

    def write_all(data):
        while data:
            data = data[os.write(1, data):]

    channel = Channel(lambda: os.read(0, 4096), write_all, args.log, args.piece, args.piece_pause)
    try:
        conversation(channel, args)
    except (Closed, OSError):
        pass


def rlogin_handshake(connection, channel, fields_path):
    """RFC 1282: four zero-terminated strings (the first empty), one zero byte back, then the
    urgent byte 0x80 that asks for window sizes."""
    fields = []
    current = b""
    while len(fields) < 4:
        c = channel.byte()
        if c == 0:
            fields.append(current.decode("latin-1"))
            current = b""
        else:
            current += bytes([c])
    with open(fields_path, "a") as out:
        out.write("\t".join(fields[1:]) + "\n")
    connection.sendall(b"\0")
    connection.send(b"\x80", socket.MSG_OOB)


def strip_window_sizes(log_path):
    sizes = open(log_path + ".sizes", "a") if log_path else None
    buffered = [b""]

    def filter_bytes(data):
        data = buffered[0] + data
        out = b""
        i = 0
        while i < len(data):
            if data[i:i + 2] == b"\xff\xff" or (data[i:i + 1] == b"\xff" and i + 1 == len(data)):
                if len(data) - i < 12:
                    break
                if data[i + 2:i + 4] == b"ss":
                    rows = int.from_bytes(data[i + 4:i + 6], "big")
                    cols = int.from_bytes(data[i + 6:i + 8], "big")
                    if sizes:
                        sizes.write("%d,%d\n" % (cols, rows))
                        sizes.flush()
                    i += 12
                    continue
            out += data[i:i + 1]
            i += 1
        buffered[0] = data[i:]
        return out

    return filter_bytes


def serve_tcp(args):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(8)
    with open(args.port_file + ".tmp", "w") as out:
        out.write(str(listener.getsockname()[1]))
    os.rename(args.port_file + ".tmp", args.port_file)
    while True:
        connection, _ = listener.accept()
        if args.accept_once:
            listener.close()
            connection.close()
            while True:
                time.sleep(60)
        if args.pause:
            # The pause is the device's own, not one Nagle's rule adds after it.
            connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        channel = Channel(lambda: connection.recv(4096), connection.sendall, args.log, args.piece, args.piece_pause)
        try:
            if args.mode == "stream":
                stream(connection, args.interval)
                continue
            if args.mode == "rlogin":
                rlogin_handshake(connection, channel, (args.log or "/dev/null") + ".handshake")
                channel.on_bytes = strip_window_sizes(args.log)
            conversation(channel, args)
        except (Closed, OSError):
            pass
        finally:
            connection.close()


def stream(connection, interval):
    """A device that never goes quiet: numbered lines until the client goes."""
    number = 0
    while True:
        number += 1
        connection.sendall(("line %d of a never-ending listing\r\n" % number).encode())
        if interval:
            time.sleep(interval)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["stdio", "raw", "rlogin", "stream"], default="stdio")
    parser.add_argument("--user", default="admin")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--enable-password", default="enablepw")
    parser.add_argument("--config", required=True)
    parser.add_argument("--page", type=int, default=23)
    parser.add_argument("--erase", choices=["backspace", "ansi", "left", "left-only", "left-clear", "erase-line",
                                            "erase-line-only", "cr"],
                        default="backspace")
    parser.add_argument("--log", default="")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port-file", default="")
    parser.add_argument("--interval", type=float, default=0.0)
    parser.add_argument("--session-marker", default="")
    parser.add_argument("--no-login", action="store_true")
    parser.add_argument("--pause", type=float, default=0.0)
    parser.add_argument("--pause-after", default="")
    parser.add_argument("--pager-pause", type=float, default=0.0)
    parser.add_argument("--pager-pause-at", choices=["before", "after"], default="before")
    parser.add_argument("--numbered-prompt", action="store_true")
    parser.add_argument("--pager", default=PAGER)
    parser.add_argument("--typing-delay", type=float, default=0.0)
    parser.add_argument("--pauses", default="")
    parser.add_argument("--pause-length", type=float, default=0.0)
    parser.add_argument("--piece", type=int, default=0)
    parser.add_argument("--piece-pause", type=float, default=0.0)
    parser.add_argument("--same-line-password", action="store_true")
    parser.add_argument("--prompt", default="")
    parser.add_argument("--accept-once", action="store_true")
    parser.add_argument("--lenient", action="store_true")
    parser.add_argument("--trickle", type=float, default=0.0)
    parser.add_argument("--cut-after", type=int, default=-1)
    parser.add_argument("--close-at-login", action="store_true")
    parser.add_argument("--mute-after-login", action="store_true")
    parser.add_argument("--login-refusal", default="% Login invalid")
    parser.add_argument("--refusal-asks-again", action="store_true")
    parser.add_argument("--enable-refusal", default="% Access denied")
    parser.add_argument("--no-echo", action="store_true")
    parser.add_argument("--prompt-pause", type=float, default=0.0)
    parser.add_argument("--overrides", default="")
    parser.add_argument("--enabled-login", action="store_true")
    parser.add_argument("--flood", action="store_true")
    parser.add_argument("--close-at-start", action="store_true")
    parser.add_argument("--farewell", default="")
    parser.add_argument("--cut-at-config-line", type=int, default=-1)
    parser.add_argument("--ignore-empty", action="store_true")
    parser.add_argument("--enable-words", default="")
    parser.add_argument("--empty-listing", action="store_true")
    args = parser.parse_args()
    if args.mode == "stdio":
        serve_stdio(args)
    else:
        serve_tcp(args)


if __name__ == "__main__":
    main()
