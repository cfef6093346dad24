#!/usr/bin/env python3
"""Runs the real corvel program in the menus of the demo data set and checks what it sounds like.

    sound_run.py capture --corvel build/bin/corvel --data build/bin --work DIR [--frames N]
        Two headless runs on the virtual clock with CORVEL_AUDIO_CAPTURE: the captures are
        byte-identical WAV files as long as the clock ran, the menu music is heard from the
        first second, nothing clips for more than a few samples, and the sound set loads
        without a line in ormiclog.txt.
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
    files = []
    for n in (1, 2):
        folder = prepare(args.data, args.work, 'capture%d' % n)
        path = os.path.join(args.work, 'capture%d.wav' % n)
        run(args.corvel, folder, args.frames,
            {'CORVEL_VIRTUAL_CLOCK': '1', 'CORVEL_AUDIO_CAPTURE': path})
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
    print('capture: %.2f s, first-second RMS %.0f, longest clipped run %d, identical runs'
          % (frames / 22050.0, level, clipped))


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
    parser.add_argument('--frames', type=int, default=150)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    (capture if args.mode == 'capture' else sdl)(args)


if __name__ == '__main__':
    main()
