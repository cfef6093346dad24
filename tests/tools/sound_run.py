#!/usr/bin/env python3
"""Runs the real corvel program in the menus of the demo data set and checks what it sounds like.

    sound_run.py capture --corvel build/bin/corvel --data build/bin --work DIR [--frames N]
        Two headless runs on the virtual clock with CORVEL_AUDIO_CAPTURE and an input
        recording that moves the pointer onto a link of the first menu page: the captures are
        byte-identical WAV files as long as the clock ran, the menu music is heard from the
        first second, the "Menu.Focus" tick sounds within two frames of the pointer entering
        the link, nothing clips for more than a few samples, and the sound set loads without
        a line in ormiclog.txt.
    sound_run.py sdl --corvel ... --data ... --work DIR [--frames N]
        One run on the real clock through SDL's "disk" audio driver: the file it writes holds
        the menu music.
"""
import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import wave

MAX_CLIPPED_RUN = 4

# The input recording: one batch per poll of the program (the input component's format:
# 12-byte events, each batch closed by an end-of-batch and an end-of-side-records event).
MOUSE, MOUSE_X, MOUSE_Y = 0x102, 48, 49
END_OF_BATCH, END_OF_SIDE_RECORDS = 2, 1
# After the title screen the program shows the page of its start command (choose a mission);
# its "Back" link lies under (316, 278).
FOCUS_POLL, FOCUS_AT = 300, (316, 278)
FOCUS_HZ = 2400  # the focus tick's tone


def focus_recording(path, polls):
    batches = [[] for _ in range(polls)]
    # The pointer is clamped to the screen: far up-left first, then to the spot.
    batches[FOCUS_POLL] = [(MOUSE, MOUSE_X, -4000), (MOUSE, MOUSE_Y, -4000),
                           (MOUSE, MOUSE_X, FOCUS_AT[0] - 1), (MOUSE, MOUSE_Y, FOCUS_AT[1] - 1)]
    out = bytearray()
    for events in batches:
        for source, code, value in events:
            out += struct.pack('<HHII', source, code, 0, value & 0xFFFFFFFF)
        out += struct.pack('<HHII', 0, END_OF_BATCH, 0, 0)
        out += struct.pack('<HHII', 0, END_OF_SIDE_RECORDS, 0, 0)
    with open(path, 'wb') as f:
        f.write(bytes(out))


def tone_level(samples, first, last, hz):
    """Goertzel magnitude of one frequency over frames first..last of the left channel."""
    k = 2 * math.cos(2 * math.pi * hz / 22050.0)
    s1 = s2 = 0.0
    for i in range(first, last):
        s1, s2 = samples[2 * i] + k * s1 - s2, s1
    return math.sqrt(max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / max(1, last - first)


def focus_tick_frames(samples, marks):
    """The shown frames whose audio carries the focus tone well above the run's usual level."""
    levels, previous = [], 0
    for frame, mark in enumerate(marks):
        if mark > previous:
            levels.append((frame, tone_level(samples, previous, mark, FOCUS_HZ)))
        previous = mark
    usual = sorted(level for _, level in levels)[len(levels) // 2]
    return [frame for frame, level in levels if level > 20 * max(usual, 1.0)]


def fail(message):
    print('FAIL: ' + message)
    sys.exit(1)


def prepare(data, work, name):
    """A copy of the demo program directory (without the programs) and its own registry."""
    folder = os.path.join(work, name)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(data, folder, ignore=shutil.ignore_patterns(
        'corvel', 'corvel-*', 'ormiclog.txt', '*.pdb'))
    for sub in ('config', 'locks'):
        os.makedirs(os.path.join(folder, '.run', sub), exist_ok=True)
    return folder


def run(corvel, folder, frames, extra):
    env = dict(os.environ)
    env.update({'CORVEL_HEADLESS': '1', 'CORVEL_PROGRAM_DIR': folder,
                'XDG_CONFIG_HOME': os.path.join(folder, '.run', 'config'),
                'XDG_RUNTIME_DIR': os.path.join(folder, '.run', 'locks')})
    env.update(extra)
    result = subprocess.run([corvel, '--frames', str(frames)], env=env, timeout=300,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        fail('corvel exited with %d:\n%s' % (result.returncode, result.stdout.decode()))
    log = os.path.join(folder, 'ormiclog.txt')
    if os.path.exists(log):
        fail('ormiclog.txt was written:\n' + open(log, errors='replace').read())


def rms(samples):
    return math.sqrt(sum(s * s for s in samples) / len(samples)) if samples else 0.0


def longest_clipped_run(samples):
    longest = current = 0
    for s in samples:
        current = current + 1 if s >= 32767 or s <= -32767 else 0
        longest = max(longest, current)
    return longest


def capture(args):
    if args.frames < FOCUS_POLL + 10:
        fail('capture needs at least %d frames' % (FOCUS_POLL + 10))
    files = []
    recording = os.path.join(args.work, 'focus.input')
    focus_recording(recording, args.frames)
    for n in (1, 2):
        folder = prepare(args.data, args.work, 'capture%d' % n)
        path = os.path.join(args.work, 'capture%d.wav' % n)
        run(args.corvel, folder, args.frames,
            {'CORVEL_VIRTUAL_CLOCK': '1', 'CORVEL_AUDIO_CAPTURE': path,
             'CORVEL_INPUT_PLAYBACK': recording})
        files.append(path)
    first, second = (open(f, 'rb').read() for f in files)
    if first != second:
        fail('two runs wrote different captures (%d and %d bytes)' % (len(first), len(second)))
    with wave.open(files[0]) as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (2, 2, 22050):
            fail('capture format %s' % str(w.getparams()))
        frames = w.getnframes()
        samples = struct.unpack('<%dh' % (frames * 2), w.readframes(frames))
    # Each shown frame moves the virtual clock by at least 16 ms.
    if frames < args.frames * 16 * 22050 // 1000:
        fail('%d frames captured for %d shown' % (frames, args.frames))
    level = rms(samples[:2 * 22050])
    if level < 300:
        fail('the first second is silent (RMS %.1f): no menu music' % level)
    clipped = longest_clipped_run(samples)
    if clipped > MAX_CLIPPED_RUN:
        fail('%d samples in a row are clipped' % clipped)
    # Poll n is taken in the frame shown n-th (index n - 1): the tick belongs to that frame's
    # audio or one of the next two, and nowhere else.
    marks = [int(line) for line in open(files[0] + '.frames')]
    ticks = focus_tick_frames(samples, marks)
    entered = FOCUS_POLL - 1
    if not ticks or ticks[0] < entered or ticks[0] > entered + 2:
        fail('focus tick in frames %s; the pointer entered the link in frame %d'
             % (ticks[:10], entered))
    print('capture: %.2f s, first-second RMS %.0f, longest clipped run %d, focus tick in frame'
          ' %d (pointer in %d), identical runs'
          % (frames / 22050.0, level, clipped, ticks[0], entered))


def sdl(args):
    folder = prepare(args.data, args.work, 'sdl')
    path = os.path.join(args.work, 'sdl-disk.raw')
    if os.path.exists(path):
        os.remove(path)
    run(args.corvel, folder, args.frames, {'SDL_AUDIODRIVER': 'disk', 'SDL_DISKAUDIOFILE': path})
    data = open(path, 'rb').read() if os.path.exists(path) else b''
    samples = struct.unpack('<%dh' % (len(data) // 2), data[:len(data) // 2 * 2])
    seconds = len(samples) / 2 / 22050.0
    if seconds < 1.0:
        fail('SDL wrote %.2f s of audio' % seconds)
    level = rms(samples)
    if level < 300:
        fail('the SDL output is silent (RMS %.1f)' % level)
    print('sdl: %.2f s written, RMS %.0f' % (seconds, level))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('mode', choices=('capture', 'sdl'))
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--frames', type=int, default=400,
                        help='frames shown (at least %d for capture)' % (FOCUS_POLL + 10))
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    (capture if args.mode == 'capture' else sdl)(args)


if __name__ == '__main__':
    main()
