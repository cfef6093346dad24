#!/usr/bin/env python3
"""Runs the real corvel program end to end on a copy of the demo data.

The program runs headless on the virtual clock with an input recording made from a small
script (see record() below), under an outer wall-clock limit; its frames, settings and logs
are then checked. Used by the corvel.e2e.* ctest entries and by hand:

    corvel_run.py --corvel build/bin/corvel --data build/bin --work /tmp/run SCENARIO.input
"""
import argparse
import os
import shutil
import socket
import struct
import subprocess
import sys
import re
import threading
import zlib

# Device ids: the input driver is number 1; its keyboard is device 1 and its mouse device 2.
KEYBOARD = 0x101
MOUSE = 0x102
KEY_RELEASED, KEY_PRESSED = 16, 17
MOUSE_X, MOUSE_Y, MOUSE_BUTTON1 = 48, 49, 65
MOUSE_PRESSED, MOUSE_RELEASED = 35, 36
END_OF_BATCH, END_OF_SIDE_RECORDS = 2, 1

KEYS = {
    'escape': 0x80, 'return': 0xAB, 'backspace': 0xA8, 'tab': 0xA9, 'space': 0x20,
    'up': 0x93, 'down': 0x94, 'left': 0x95, 'right': 0x96, 'lshift': 0xAC, 'lalt': 0xB0,
    'f8': 0x88, 'f9': 0x89,
}


def key_code(name):
    if name in KEYS:
        return KEYS[name]
    if len(name) == 1:
        return ord(name.lower())
    raise ValueError('unknown key ' + name)


# Platform key names (SDL's) of the characters `type` can type; letters and digits are their
# own names, capitals are typed with Shift held.
TYPED_KEYS = {' ': 'Space', '.': 'Period', '-': 'Minus'}


def typed_key(character):
    if character.isascii() and character.isalnum():
        return character.upper()
    if character in TYPED_KEYS:
        return TYPED_KEYS[character]
    raise ValueError('cannot type %r' % character)


def record(script, key_frame_offset=0):
    """Turns a script into an input recording, one batch per poll of the program, and a key
    script of platform key events (CORVEL_KEY_SCRIPT) for the steps that type: the window's
    key messages (text entry reads their key-ups) come from the platform, not from Input.

    wait N          N polls without input
    click X Y       pointer to (X, Y) in one poll, button 1 down in the next, up in the next
    key K           key K down in one poll and up in the next
    down K / up K   key K down, or up, in one poll
    hold K N        key K down, N polls, key K up
    point X Y       pointer to (X, Y) in one poll, no button
    nudge DX DY     pointer moved by (DX, DY) in one poll
    press / release mouse button 1 down, or up, in one poll
    type TEXT       TEXT typed as platform key events, a key a frame (capitals with Shift)
    tap NAME        the platform key NAME (SDL's name: Return, Backspace, ...) down, then up

    A platform key event for poll P is given after frame P + key_frame_offset is shown; the
    typing steps take one poll a frame, so the steps after them wait for the typing.
    Returns the recording and the key script.
    """
    polls = []
    keys = []

    def platform_key(action, name):
        keys.append('%d %s %s' % (len(polls) + key_frame_offset, action, name))

    def poll(*events):
        polls.append(list(events))

    for number, line in enumerate(script.splitlines(), 1):
        words = line.split('#', 1)[0].split()
        if not words:
            continue
        op, args = words[0], words[1:]
        try:
            if op == 'wait':
                for _ in range(int(args[0])):
                    poll()
            elif op in ('click', 'point'):
                x, y = int(args[0]), int(args[1])
                # The pointer is clamped to the screen: far up-left first, then to the spot.
                poll((MOUSE, MOUSE_X, -4000), (MOUSE, MOUSE_Y, -4000),
                     (MOUSE, MOUSE_X, x - 1), (MOUSE, MOUSE_Y, y - 1))
                if op == 'click':
                    poll((MOUSE, MOUSE_BUTTON1, MOUSE_PRESSED))
                    poll((MOUSE, MOUSE_BUTTON1, MOUSE_RELEASED))
            elif op == 'nudge':
                poll((MOUSE, MOUSE_X, int(args[0])), (MOUSE, MOUSE_Y, int(args[1])))
            elif op in ('press', 'release'):
                poll((MOUSE, MOUSE_BUTTON1, MOUSE_PRESSED if op == 'press' else MOUSE_RELEASED))
            elif op == 'key':
                poll((KEYBOARD, KEY_PRESSED, key_code(args[0])))
                poll((KEYBOARD, KEY_RELEASED, key_code(args[0])))
            elif op in ('down', 'up'):
                poll((KEYBOARD, KEY_PRESSED if op == 'down' else KEY_RELEASED, key_code(args[0])))
            elif op == 'type':
                text = line.split('#', 1)[0].strip()[len('type'):].strip()
                for character in text:
                    name = typed_key(character)
                    shifted = character.isupper()
                    if shifted:
                        platform_key('down', 'Left Shift')
                        poll()
                    platform_key('down', name)
                    poll()
                    platform_key('up', name)
                    poll()
                    if shifted:
                        platform_key('up', 'Left Shift')
                        poll()
            elif op == 'tap':
                name = ' '.join(args)
                if not name:
                    raise ValueError('tap needs a key name')
                platform_key('down', name)
                poll()
                platform_key('up', name)
                poll()
            elif op == 'hold':
                poll((KEYBOARD, KEY_PRESSED, key_code(args[0])))
                for _ in range(int(args[1])):
                    poll()
                poll((KEYBOARD, KEY_RELEASED, key_code(args[0])))
            else:
                raise ValueError('unknown step ' + op)
        except (IndexError, ValueError) as error:
            raise SystemExit('script line %d: %s' % (number, error))
    out = bytearray()
    for events in polls:
        for source, code, value in events:
            out += struct.pack('<HHII', source, code, 0, value & 0xFFFFFFFF)
        out += struct.pack('<HHII', 0, END_OF_BATCH, 0, 0)
        out += struct.pack('<HHII', 0, END_OF_SIDE_RECORDS, 0, 0)
    return bytes(out), ''.join(k + '\n' for k in keys)


def start_xvfb():
    """A virtual X server of our own (640 x 480 would do; a larger screen leaves room for the
    window manager-less placement); its process and display name."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '800x600x24',
                               '-nolisten', 'tcp'], pass_fds=[write_end],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        number = f.readline().strip()
    if not number:
        server.kill()
        raise SystemExit('Xvfb did not start')
    return server, ':' + number


def write_black_bmp(path, side):
    """A side x side picture of black pixels, 24 bits, uncompressed."""
    row = side * 3
    pixels = bytes(side * row)
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, side, side, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


def write_full_page_link(program, name, link):
    """Replaces a page of the copy by one link over the whole page below a title line, so a
    click anywhere under the title chooses it."""
    path = os.path.join(program, 'Language', 'english', *name.replace('\\', '/').split('/'))
    with open(path, 'w') as f:
        f.write('<html><body bgcolor="#203040"><font face="Liberation Sans" color="#FFFFFF">'
                '%s</font><br><a href="%s"><img width=640 height=440></a></body></html>\n'
                % (name, link))


class TestServer:
    """The multiplayer test server program on an ephemeral loopback port, its printed log
    collected as it runs."""

    def __init__(self, program, words, stop_when=None):
        """stop_when: called with the type of each message the server receives, in order;
        once it answers True the server is due to stop (see stop_when_due())."""
        self.stop_when = stop_when
        self.stop_due = threading.Event()
        self.process = subprocess.Popen([program] + words + ['--port', '0'],
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True, errors='replace')
        first = self.process.stdout.readline()
        match = re.search(r'on port (\d+)', first)
        if not match:
            raise RuntimeError('the test server did not start: ' + first + self.process.stdout.read())
        self.port = int(match.group(1))
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.rstrip('\n'))
            if self.stop_when and not self.stop_due.is_set():
                match = re.match(r'received slot -?\d+ (\d+):', line)
                if match and self.stop_when(int(match.group(1))):
                    self.stop_due.set()

    def stop_when_due(self):
        """Stops the server once its stop condition holds (from a thread of its own: the
        reader cannot wait for itself)."""
        def wait_and_stop():
            self.stop_due.wait()
            self.stop()
        stopper = threading.Thread(target=wait_and_stop, daemon=True)
        stopper.start()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait()
        self.reader.join(5)

    def received(self):
        """(type, fields text) of every message the server received, in order."""
        out = []
        for line in self.lines:
            match = re.match(r'received slot -?\d+ (\d+):(.*)', line)
            if match:
                out.append((int(match.group(1)), match.group(2)))
        return out


def plane_reports_in_match(count):
    """A stop condition: `count` plane reports (25) after the first time sample (29), which
    ends the time sync and starts the match."""
    seen = {'synced': False, 'reports': 0}

    def due(message_type):
        if message_type == 29:
            seen['synced'] = True
        elif message_type == 25 and seen['synced']:
            seen['reports'] += 1
        return seen['reports'] >= count
    return due


def in_order(seen, wanted):
    position = 0
    for item in seen:
        if position < len(wanted) and item == wanted[position]:
            position += 1
    return position == len(wanted)


def check_server(server, options, failures):
    received = server.received()
    types = [t for t, _ in received if t != 25]
    if options.expect_server_order:
        wanted = [int(t) for t in options.expect_server_order.split(',')]
        if not in_order(types, wanted):
            failures.append('the server did not receive %s in order; it received %s'
                            % (wanted, types))
    for text in options.expect_server_text:
        if not any(text in line for line in server.lines):
            failures.append('the server log lacks %r' % text)
    if options.expect_plane_reports:
        serials = [int(m.group(1)) for t, fields in received if t == 25
                   for m in [re.search(r'value=(\d+)', fields)] if m]
        steps = sum(1 for a, b in zip(serials, serials[1:]) if b == (a + 1) % 16)
        if len(serials) < options.expect_plane_reports:
            failures.append('only %d plane reports (25)' % len(serials))
        elif steps < 0.95 * (len(serials) - 1):
            failures.append('the plane reports\' serials do not count on mod 16: %s' % serials[:60])


def port_taken(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        try:
            s.bind(('', port))
        except OSError:
            return True
    return False


def closed_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def read_ppm(path):
    """Width, height and RGB bytes of a binary PPM as the program writes it."""
    with open(path, 'rb') as f:
        data = f.read()
    parts = data.split(b'\n', 4)
    width, height = map(int, parts[2].split())
    return width, height, parts[4]


def ppm_frame_number(path):
    with open(path, 'rb') as f:
        f.readline()
        comment = f.readline().split()
    return int(comment[2]) if comment[:2] == [b'#', b'frame'] else 0


def write_png(ppm_path, png_path):
    width, height, pixels = read_ppm(ppm_path)
    rows = b''.join(b'\0' + pixels[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(png_path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height,
                8, 2, 0, 0, 0)) + chunk(b'IDAT', zlib.compress(rows, 6)) + chunk(b'IEND', b''))


def read_png(path):
    """Width, height and RGB bytes of an 8-bit RGB PNG without interlacing (as write_png makes
    them; every row filter is undone)."""
    with open(path, 'rb') as f:
        data = f.read()
    position, idat, width, height = 8, b'', 0, 0
    while position < len(data):
        length, kind = struct.unpack('>I4s', data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour = struct.unpack('>IIBB', body[:10])
            if depth != 8 or colour != 2:
                raise ValueError('%s: not 8-bit RGB' % path)
        elif kind == b'IDAT':
            idat += body
        position += 12 + length
    raw, stride, rows, previous = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - 3] if x >= 3 else 0
            up, corner = previous[x], previous[x - 3] if x >= 3 else 0
            if kind == 1:
                row[x] = (row[x] + left) & 255
            elif kind == 2:
                row[x] = (row[x] + up) & 255
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[x] = (row[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(row))
        previous = row
    return width, height, b''.join(rows)


def compare_with_reference(ppm_path, png_path):
    """None when the frame matches the reviewed picture: the same size, and at most 0.5% of
    the pixels off by more than 24 in a channel (room for rounding, not for a missing
    picture, text or model); else what differs."""
    width, height, pixels = read_ppm(ppm_path)
    ref_width, ref_height, reference = read_png(png_path)
    if (width, height) != (ref_width, ref_height):
        return 'size %dx%d, reference %dx%d' % (width, height, ref_width, ref_height)
    off = sum(1 for i in range(0, len(pixels), 3)
              if max(abs(pixels[i + c] - reference[i + c]) for c in range(3)) > 24)
    if off > width * height // 200:
        return '%d pixels differ' % off
    return None


def distinct_colours(path):
    width, height, pixels = read_ppm(path)
    return len({pixels[i:i + 3] for i in range(0, width * height * 3, 3 * 7)})


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', required=True, help='the generated demo data (build/bin)')
    parser.add_argument('--work', required=True, help='a scratch directory, emptied first')
    parser.add_argument('--timeout', type=float, default=120, help='wall-clock seconds')
    parser.add_argument('--time-scale', type=float, default=1,
                        help='the wall-clock limit is multiplied by this (a sanitizer build runs '
                             'the program several times slower)')
    parser.add_argument('--frames', type=int, default=100000)
    parser.add_argument('--shots', default='', help='frame numbers to keep, comma-separated')
    parser.add_argument('--expect', action='append', default=[],
                        help='FILE:SECTION.KEY=VALUE an INI file of the program directory must '
                             'hold after the run (FILE:SECTION.KEY>=N: a number of at least N)')
    parser.add_argument('--expect-in-log', action='append', default=[],
                        help='text the error log must hold (else it must be empty)')
    parser.add_argument('--nothing-else-in-log', action='store_true',
                        help='with --expect-in-log: every error-log line must hold one of the '
                             'expected texts')
    parser.add_argument('--expect-near', action='append', default=[],
                        help='FILE:SECTION.KEY=N1 N2 ...: the numbers of an INI value after the '
                             'run, each within 0.5 of the one given')
    parser.add_argument('--windowed', action='store_true', help='use the display, not headless')
    parser.add_argument('--without-ground-objects', action='store_true',
                        help='drop the ground entries from the missions of the copy')
    parser.add_argument('--flight-frame', type=int, action='append', default=[],
                        help='a frame number that must show the game (a 3D view, not a page)')
    parser.add_argument('--reference', action='append', default=[],
                        help='N=FILE.png: frame N must match the reviewed picture')
    parser.add_argument('--stage-log', action='store_true',
                        help='log the wall-clock time of every mission frame stage to '
                             'WORK/stages.txt')
    parser.add_argument('--expect-exit', type=int, default=0,
                        help='the exit code the program must end with (as the shell sees it)')
    parser.add_argument('--black-bmp', action='append', default=[],
                        help='PATH=SIDE: PATH (relative) in the copy becomes a SIDE x SIDE '
                             'black picture')
    parser.add_argument('--copy', action='append', default=[],
                        help='PATH=FILE: FILE replaces PATH (relative) in the copy before the run')
    parser.add_argument('--env', action='append', default=[],
                        help='NAME=VALUE in the program\'s environment (test hooks)')
    parser.add_argument('--ini-set', action='append', default=[],
                        help='FILE:SECTION.KEY=VALUE written into the copy before the run')
    parser.add_argument('--key-frame-offset', type=int, default=0,
                        help='frames shown before the first poll of the input recording (the '
                             'typing steps give their key events after frame poll + offset)')
    parser.add_argument('--page', action='append', default=[],
                        help='NAME=LINK: the page NAME (under Language/english) of the copy '
                             'becomes one full-page link to LINK')
    parser.add_argument('--mpserver', help='the multiplayer test server program')
    parser.add_argument('--server', help='"SCENARIO [OPTIONS]": the test server to run; '
                        '{server_port} in the game\'s words becomes its port')
    parser.add_argument('--stop-server-in-match', type=int, default=0,
                        help='the test server is stopped once it has received this many plane '
                             'reports (25) in the match, after the time sync (29)')
    parser.add_argument('--expect-server-order', default='',
                        help='message types (comma-separated) the server must receive in '
                             'this order (25 aside)')
    parser.add_argument('--expect-server-text', action='append', default=[],
                        help='text a line of the server\'s log must hold')
    parser.add_argument('--expect-plane-reports', type=int, default=0,
                        help='at least this many 25s, their serials counting on mod 16')
    parser.add_argument('--expect-output', action='append', default=[],
                        help='text the program\'s standard output must hold')
    parser.add_argument('--skip-if-port-taken', type=int, default=0,
                        help='a loopback port the run needs free; the run is skipped (77) '
                             'when something listens on it')
    parser.add_argument('script', help='the input script')
    parser.add_argument('args', nargs='*', help="the game's own command-line words")
    options = parser.parse_args()

    if options.skip_if_port_taken and port_taken(options.skip_if_port_taken):
        print('port %d is taken: skipped' % options.skip_if_port_taken)
        return 77
    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    program = os.path.join(work, 'program')
    shutil.copytree(options.data, program, ignore=shutil.ignore_patterns(
        'corvel', 'TavrinErrorLog.txt', 'ormiclog.txt'))
    # The program rewrites these two as it runs (a `./build.sh run` in the build directory
    # too): the run starts from their sources.
    sources = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
        os.path.abspath(__file__)))), 'data', 'files')
    for name in ('aerovant.ini', 'characters.ini'):
        if os.path.exists(os.path.join(sources, name)):
            shutil.copyfile(os.path.join(sources, name), os.path.join(program, name))
    if options.without_ground_objects:
        strip_ground_entries(os.path.join(program, 'missions'))
    for copy in options.copy:
        relative, source = copy.split('=', 1)
        os.makedirs(os.path.dirname(os.path.join(program, relative)), exist_ok=True)
        shutil.copyfile(source, os.path.join(program, relative))
    for picture in options.black_bmp:
        relative, side = picture.split('=', 1)
        write_black_bmp(os.path.join(program, relative), int(side))
    for page in options.page:
        name, link = page.split('=', 1)
        write_full_page_link(program, name, link)
    for change in options.ini_set:
        file_name, rest = change.split(':', 1)
        name, value = rest.split('=', 1)
        section, key = name.rsplit('.', 1)
        set_ini_value(os.path.join(program, file_name), section, key, value)
    for d in ('config', 'locks', 'shots'):
        os.makedirs(os.path.join(work, d))
    os.chmod(os.path.join(work, 'locks'), 0o700)
    with open(options.script) as f:
        recording, key_script = record(f.read(), options.key_frame_offset)
    recording_path = os.path.join(work, 'input.rec')
    with open(recording_path, 'wb') as f:
        f.write(recording)

    env = dict(os.environ)
    references = [(int(r.split('=', 1)[0]), r.split('=', 1)[1]) for r in options.reference]
    shot_list = ','.join(filter(None, [options.shots] + [str(n) for n in options.flight_frame] +
                                [str(n) for n, _ in references]))
    options.shots = shot_list
    env.update(CORVEL_VIRTUAL_CLOCK='1', CORVEL_PROGRAM_DIR=program,
               CORVEL_INPUT_PLAYBACK=recording_path, XDG_CONFIG_HOME=os.path.join(work, 'config'),
               XDG_RUNTIME_DIR=os.path.join(work, 'locks'),
               CORVEL_FRAME_SHOTS=os.path.join(work, 'shots'), CORVEL_FRAME_SHOT_AT=options.shots)
    for variable in options.env:
        name, value = variable.split('=', 1)
        env[name] = value
    if options.stage_log:
        env['CORVEL_STAGE_LOG'] = os.path.join(work, 'stages.txt')
    if key_script:
        env['CORVEL_KEY_SCRIPT'] = os.path.join(work, 'keys.txt')
        with open(env['CORVEL_KEY_SCRIPT'], 'w') as f:
            f.write(key_script)
    xvfb = None
    if options.windowed:
        env.pop('CORVEL_HEADLESS', None)
        xvfb, env['DISPLAY'] = start_xvfb()
        env.pop('WAYLAND_DISPLAY', None)
        env.setdefault('SDL_AUDIODRIVER', 'dummy')  # a window, but no sound card
    else:
        env['CORVEL_HEADLESS'] = '1'
    # "{closed_port}" in the game's words: a loopback port nothing listens on.
    words = [w.replace('{closed_port}', str(closed_port())) if '{closed_port}' in w else w
             for w in options.args]
    server = None
    if options.server:
        stop_when = None
        if options.stop_server_in_match:
            stop_when = plane_reports_in_match(options.stop_server_in_match)
        server = TestServer(options.mpserver, options.server.split(), stop_when)
        words = [w.replace('{server_port}', str(server.port)) for w in words]
        if stop_when:
            server.stop_when_due()
    command = [options.corvel, '--frames', str(options.frames)] + words
    timeout = options.timeout * options.time_scale
    try:
        run = subprocess.run(command, env=env, timeout=timeout, capture_output=True,
                             text=True, errors='replace')
    except subprocess.TimeoutExpired:
        print('corvel did not finish within %g s' % timeout)
        if server:
            server.stop()
            with open(os.path.join(work, 'server.log'), 'w') as f:
                f.write('\n'.join(server.lines) + '\n')
        return 1
    finally:
        if server:
            server.stop()
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    sys.stdout.write(run.stdout)
    sys.stderr.write(run.stderr)

    failures = []
    if server:
        check_server(server, options, failures)
        with open(os.path.join(work, 'server.log'), 'w') as f:
            f.write('\n'.join(server.lines) + '\n')
    for text in options.expect_output:
        if text not in run.stdout:
            failures.append('the program\'s output lacks %r' % text)
    if run.returncode != options.expect_exit:
        failures.append('exit code %d' % run.returncode)
    log_path = os.path.join(program, 'TavrinErrorLog.txt')
    log = open(log_path, errors='replace').read() if os.path.exists(log_path) else None
    if log is None:
        failures.append('no TavrinErrorLog.txt')
    elif options.expect_in_log:
        for text in options.expect_in_log:
            if text not in log:
                failures.append('the error log lacks %r' % text)
        if options.nothing_else_in_log:
            for line in log.splitlines():
                if line.strip() and not any(text in line for text in options.expect_in_log):
                    failures.append('the error log holds %r' % line)
    elif log:
        failures.append('the error log is not empty:\n' + log)
    debug_path = os.path.join(program, 'ormiclog.txt')
    if os.path.exists(debug_path) and '[Fatal]' in open(debug_path, errors='replace').read():
        failures.append('ormiclog.txt has a [Fatal] entry')
    for expectation in options.expect:
        file_name, rest = expectation.split(':', 1)
        name, value = rest.split('=', 1)
        section, key = name.rsplit('.', 1)
        at_least = key.endswith('>')
        key = key.rstrip('>')
        got = read_ini(os.path.join(program, file_name)).get(section.lower(), {}).get(key.lower())
        if at_least:
            if not (got or '').lstrip('-').isdigit() or int(got) < int(value):
                failures.append('%s [%s] %s is %r, not at least %s' % (file_name, section, key,
                                                                       got, value))
        elif got != value:
            failures.append('%s [%s] %s is %r, not %r' % (file_name, section, key, got, value))
    for expectation in options.expect_near:
        file_name, rest = expectation.split(':', 1)
        name, value = rest.split('=', 1)
        section, key = name.rsplit('.', 1)
        got = read_ini(os.path.join(program, file_name)).get(section.lower(), {}).get(key.lower())
        try:
            near = got is not None and len(got.split()) == len(value.split()) and all(
                abs(float(a) - float(b)) <= 0.5 for a, b in zip(got.split(), value.split()))
        except ValueError:
            near = False
        if not near:
            failures.append('%s [%s] %s is %r, not near %r' % (file_name, section, key, got, value))
    last = os.path.join(work, 'shots', 'last.ppm')
    if not os.path.exists(last):
        failures.append('no frame was shown')
    else:
        if distinct_colours(last) < 3:
            failures.append('the last frame is blank')
        if ppm_frame_number(last) >= options.frames:
            failures.append('the program ran to its frame limit instead of ending by itself')
    for shot in filter(None, options.shots.split(',')):
        if not os.path.exists(os.path.join(work, 'shots', 'frame-%s.ppm' % shot)):
            failures.append('frame %s was not shown' % shot)
    for number in options.flight_frame:
        path = os.path.join(work, 'shots', 'frame-%d.ppm' % number)
        # Pages have a few dozen colours; the shaded 3D view has hundreds.
        if os.path.exists(path) and distinct_colours(path) < 150:
            failures.append('frame %d is not a flight frame' % number)
    for number, reference in references:
        path = os.path.join(work, 'shots', 'frame-%d.ppm' % number)
        if os.path.exists(path):
            difference = compare_with_reference(path, reference)
            if difference:
                failures.append('frame %d differs from %s: %s' % (number, reference, difference))
    shots = os.path.join(work, 'shots')
    for name in sorted(os.listdir(shots)):
        if name.endswith('.ppm'):
            write_png(os.path.join(shots, name), os.path.join(shots, name[:-4] + '.png'))
    for failure in failures:
        print('FAIL:', failure)
    return 1 if failures else 0


def strip_ground_entries(missions):
    """Removes the ground and vehicle entries and archetypes from every mission.ini, and the
    [mission] GroupN conditions on groups those entries belonged to (a group's strength is
    its ground objects')."""
    for mission in os.listdir(missions):
        path = os.path.join(missions, mission, 'mission.ini')
        if not os.path.exists(path):
            continue
        lines = open(path, errors='replace').readlines()
        ground_groups, section = 0, ''
        ground_sections = ('[ground', '[vehicle')
        for line in lines:
            stripped = line.strip().lower()
            if stripped.startswith('['):
                section = stripped
            elif stripped.startswith('groups='):
                groups = int(stripped.split('=', 1)[1] or 0)
                if section.startswith(ground_sections):
                    ground_groups |= groups
        kept, skipping = [], False
        for line in lines:
            stripped = line.strip().lower()
            if stripped.startswith('['):
                section = stripped
                skipping = stripped.startswith(ground_sections)
            if skipping or stripped.startswith(('ground=', 'vehicle=')):
                continue
            if section == '[mission]' and stripped.startswith('group') and '=' in stripped:
                number = stripped.split('=', 1)[0][len('group'):]
                if number.isdigit() and ground_groups & (1 << int(number)):
                    continue
            kept.append(line)
        with open(path, 'w') as f:
            f.writelines(kept)


def set_ini_value(path, section, key, value):
    """Sets KEY in [SECTION] of an INI file, adding the key or the section when missing."""
    lines = open(path, errors='replace').readlines() if os.path.exists(path) else []
    current, done, out = None, False, []
    for line in lines:
        stripped = line.strip()
        if stripped.startswith('['):
            if current == section.lower() and not done:
                out.append('%s=%s\n' % (key, value))
                done = True
            current = stripped[1:-1].lower()
        elif current == section.lower() and stripped.split('=', 1)[0].strip().lower() == key.lower():
            if not done:
                out.append('%s=%s\n' % (key, value))
            done = True
            continue
        out.append(line)
    if not done:
        if current != section.lower():
            out.append('\n[%s]\n' % section)
        out.append('%s=%s\n' % (key, value))
    with open(path, 'w') as f:
        f.writelines(out)


def read_ini(path):
    sections, current = {}, None
    if not os.path.exists(path):
        return sections
    for line in open(path, errors='replace'):
        line = line.strip()
        if line.startswith('[') and line.endswith(']'):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif '=' in line and current is not None:
            key, value = line.split('=', 1)
            current[key.strip().lower()] = value.strip()
    return sections


if __name__ == '__main__':
    sys.exit(main())
