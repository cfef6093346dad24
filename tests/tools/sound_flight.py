#!/usr/bin/env python3
"""The real corvel program heard in flight: headless, on the virtual clock, with an input
recording, through the capture backend (CORVEL_AUDIO_CAPTURE).

    sound_flight.py engine-and-guns --corvel build/bin/corvel --data build/bin --work DIR
        Demo mission 1 (the player's plane alone on the airstrip) flown twice with the same
        recording: fire held, then the throttle opened. The captures are byte-identical; the
        engine's pitch (zero crossings of the low band) rises from the idle rate to 1.3 / 0.7
        of it with the throttle; the gun is heard as 10 shots a second exactly while fire is
        held; the player's own sounds are centred; nothing clips for more than a few samples.
    sound_flight.py sides --corvel ... --data ... --work DIR
        A test-only mission written into the copy: the player's plane on a hilltop take-off
        point and an AA gun 300 units to the start's right, firing at it. The right channel
        is louder than the left while the gun sounds (the engine is centred: the frames
        without the gun have equal sides); the mirrored mission (the start turned round)
        gives the opposite.

The mission is reached by the clicks of the end-to-end scenario of demo mission 1
(tests/e2e/mission1.input: its lines up to "play:1" and from "key escape" on, so a change of
the pages' layout is made there once). The copies have no music.ini (no music: muted, the
music would still leave a difference of a sample value between the sides) and a map without
its ambient loops (wind, forest, water), so what is heard is the engine and the guns.
"""
import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, 'tests', 'e2e'))
sys.path.insert(0, HERE)
from corvel_run import record  # noqa: E402  (the end-to-end runner's script format)
from sound_run import MAX_CLIPPED_RUN, fail, longest_clipped_run, rms  # noqa: E402

RATE = 22050
MISSION_ROUTE = os.path.join(SOURCE, 'tests', 'e2e', 'mission1.input')

# The Camel's engine loop: a 147-sample period (150 Hz) played at 0.7 + 0.6 x throttle of its
# rate, so 105 Hz at idle and 195 Hz at full throttle.
IDLE_HZ = 150.0 * 0.7
FULL_TO_IDLE = 1.3 / 0.7
# The Vickers loop: one shot every 2205 samples.
SHOTS_PER_SECOND = 10.0

FRAME_LIMIT = 6000
FIRE_POLLS = 100
FLIGHT = """
wait 150        # on the airstrip at idle
hold space %d   # fire
wait 40
hold w 60       # the throttle fully open
wait 80
""" % FIRE_POLLS


def scenario(flight):
    """The route to demo mission 1 and back out of it, with FLIGHT in between."""
    lines = open(MISSION_ROUTE).read().splitlines()
    play = next(i for i, line in enumerate(lines) if 'play:1' in line)
    escape = next(i for i, line in enumerate(lines)
                  if line.split('#')[0].split() == ['key', 'escape'])
    return '\n'.join(lines[:play + 1] + ['wait 50  # loading'] + flight.splitlines() +
                     lines[escape:]) + '\n'


def prepare(data, folder):
    """A copy of the demo program directory: the sources' aerovant.ini and characters.ini, no
    music.ini (so no music), the map without its ambient loops, its own registry and lock
    folders."""
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(data, folder, ignore=shutil.ignore_patterns(
        'corvel', 'corvel-*', 'ormiclog.txt', 'TavrinErrorLog.txt'))
    for name in ('aerovant.ini', 'characters.ini'):
        shutil.copyfile(os.path.join(SOURCE, 'data', 'files', name), os.path.join(folder, name))
    os.remove(os.path.join(folder, 'music.ini'))
    drop_section(os.path.join(folder, 'maps', 'demo', 'map.ini'), 'sound')
    for sub in ('config', 'locks'):
        os.makedirs(os.path.join(folder, '.run', sub), exist_ok=True)
    os.chmod(os.path.join(folder, '.run', 'locks'), 0o700)


def drop_section(path, name):
    kept, dropping = [], False
    for line in open(path, errors='replace'):
        stripped = line.strip()
        if stripped.startswith('[') and stripped.endswith(']'):
            dropping = stripped[1:-1].lower() == name
        if not dropping:
            kept.append(line)
    with open(path, 'w') as f:
        f.writelines(kept)


def fly(corvel, folder, script, capture):
    """One run of the program on the copy; the capture's samples (interleaved) and the
    per-frame marks."""
    recording = os.path.join(folder, '.run', 'input.rec')
    with open(recording, 'wb') as f:
        events, _ = record(script)
        f.write(events)
    env = dict(os.environ)
    env.update({'CORVEL_HEADLESS': '1', 'CORVEL_VIRTUAL_CLOCK': '1', 'CORVEL_PROGRAM_DIR': folder,
                'CORVEL_INPUT_PLAYBACK': recording, 'CORVEL_AUDIO_CAPTURE': capture,
                'XDG_CONFIG_HOME': os.path.join(folder, '.run', 'config'),
                'XDG_RUNTIME_DIR': os.path.join(folder, '.run', 'locks')})
    result = subprocess.run([corvel, '--frames', str(FRAME_LIMIT)], env=env, timeout=300,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        fail('corvel exited with %d:\n%s' % (result.returncode, result.stdout.decode()))
    log = os.path.join(folder, 'TavrinErrorLog.txt')
    if os.path.exists(log) and open(log, errors='replace').read():
        fail('the error log is not empty:\n' + open(log, errors='replace').read())
    debug_log = os.path.join(folder, 'ormiclog.txt')
    if os.path.exists(debug_log):
        fail('ormiclog.txt was written:\n' + open(debug_log, errors='replace').read())
    marks = [int(line) for line in open(capture + '.frames')]
    if len(marks) >= FRAME_LIMIT:
        fail('the program ran to its frame limit (the route to the mission missed?)')
    with wave.open(capture) as w:
        count = w.getnframes()
        samples = struct.unpack('<%dh' % (count * 2), w.readframes(count))
    return samples, marks


def flight_frames(samples, marks):
    """The frames (first, last) of the longest run of frames loud with the engine."""
    best, start, previous = (0, -1), None, 0
    for frame, mark in enumerate(marks + [None]):
        loud = mark is not None and mark > previous and rms(samples[2 * previous:2 * mark:2]) > 300
        if loud and start is None:
            start = frame
        if not loud and start is not None:
            if frame - start > best[1] - best[0]:
                best = (start, frame - 1)
            start = None
        previous = mark if mark is not None else previous
    if best[1] - best[0] < 100:
        fail('no stretch of engine sound in the capture')
    return best


def one_pole(signal, hz):
    a = 1 - math.exp(-2 * math.pi * hz / RATE)
    y, out = 0.0, []
    for x in signal:
        y += a * (x - y)
        out.append(y)
    return out


def crossing_rate(low, first, last):
    """Zero crossings a second of the low band between two sample positions."""
    count = sum(1 for i in range(first + 1, last) if (low[i - 1] < 0) != (low[i] < 0))
    return count * RATE / float(last - first)


SHOT_BLOCK = 147  # 6.7 ms: a shot period is 15 blocks


def shot_onsets(samples, first, last):
    """Sample positions where the high band's envelope rises past twice its median over the
    surrounding 0.4 s (the limiter moves the level of everything while the gun sounds)."""
    left = samples[2 * first:2 * last:2]
    high = [x - y for x, y in zip(left, one_pole(left, 1500))]
    envelope = [rms(high[i:i + SHOT_BLOCK]) for i in range(0, len(high) - SHOT_BLOCK, SHOT_BLOCK)]
    onsets, quiet_until, span = [], 0, 30
    for k in range(span, len(envelope) - span):
        threshold = 2 * sorted(envelope[k - span:k + span + 1])[span]
        if envelope[k] > threshold and envelope[k - 1] <= threshold and k >= quiet_until:
            onsets.append(first + k * SHOT_BLOCK)
            quiet_until = k + 7  # nothing else within 45 ms of a shot
    return onsets


def frame_of(marks, position):
    return next((f for f, m in enumerate(marks) if m > position), len(marks))


def engine_and_guns(args):
    script = scenario(FLIGHT)
    captures = []
    for n in (1, 2):
        folder = os.path.join(args.work, 'flight%d' % n)
        prepare(args.data, folder)
        capture = os.path.join(args.work, 'flight%d.wav' % n)
        samples, marks = fly(args.corvel, folder, script, capture)
        captures.append(capture)
    first, second = (open(f, 'rb').read() for f in captures)
    if first != second:
        fail('two runs wrote different captures (%d and %d bytes)' % (len(first), len(second)))

    begin, end = flight_frames(samples, marks)
    a, b = marks[begin], marks[end - 10]  # the last frames fade with the pause page
    if samples[2 * a:2 * b:2] != samples[2 * a + 1:2 * b:2]:
        fail("the player's own sounds are not centred (left and right differ in flight)")
    clipped = longest_clipped_run(samples)
    if clipped > MAX_CLIPPED_RUN:
        fail('%d samples in a row are clipped' % clipped)

    # The gun: shots 0.1 s apart exactly while fire is held (one poll a frame), none else.
    onsets = shot_onsets(samples, a, b)
    if len(onsets) < 10:
        fail('no gun heard in flight (%d shots)' % len(onsets))
    gun_first, gun_last = frame_of(marks, onsets[0]), frame_of(marks, onsets[-1])
    rate = (len(onsets) - 1) * RATE / float(onsets[-1] - onsets[0])
    if not FIRE_POLLS - 10 <= gun_last - gun_first <= FIRE_POLLS + 2:
        fail('shots from frame %d to %d; fire was held for %d frames'
             % (gun_first, gun_last, FIRE_POLLS))
    if abs(rate - SHOTS_PER_SECOND) > 0.5:
        fail('%.2f shots a second while fire was held' % rate)

    # The engine: the low band's crossings over 10-frame windows, idle before the fire,
    # then rising with the throttle to 1.3 / 0.7 of idle.
    low = one_pole(one_pole(samples[0::2], 300), 300)
    windows = [(f, crossing_rate(low, marks[f], marks[f + 10]))
               for f in range(begin + 5, end - 20, 10)]
    idle = [r for f, r in windows if f + 10 < gun_first]
    after = [r for f, r in windows if f > gun_last + 5]
    if not idle or len(after) < 8:
        fail('too few windows before (%d) or after (%d) the fire' % (len(idle), len(after)))
    idle_rate, full_rate = sorted(idle)[len(idle) // 2], max(after[-3:])
    if abs(idle_rate / (2 * IDLE_HZ) - 1) > 0.05:
        fail('idle engine at %.0f crossings a second, not %.0f' % (idle_rate, 2 * IDLE_HZ))
    if abs(full_rate / idle_rate / FULL_TO_IDLE - 1) > 0.04:
        fail('full throttle at %.2f times the idle pitch, not %.2f'
             % (full_rate / idle_rate, FULL_TO_IDLE))
    if any(later < earlier * 0.97 for earlier, later in zip(after, after[1:])):
        fail('the pitch fell while the throttle only rose: %s' % ['%.0f' % r for r in after])
    print('flight: frames %d-%d, identical runs, centred, longest clipped run %d; %d shots at '
          '%.2f a second over frames %d-%d; engine %.0f -> %.0f crossings a second (x%.2f)'
          % (begin, end, clipped, len(onsets), rate, gun_first, gun_last, idle_rate, full_rate,
             full_rate / idle_rate))


# The test-only mission: a flat hilltop (ground 438) and, 300 units across, the airstrip
# (ground 220), so the gun sees the plane above its minimum elevation. An engine camera's
# right row points to the screen's left: a start facing +z (right row +x) has the gun at -x on
# its screen right; the start turned round has it on the left. The player flies the game's
# default plane from the take-off point (the mission has no entry of the chosen plane type),
# which is in the players' group 1 only: the gun's target group.
START = (2450.0, 2650.0)
GUN = (START[0] - 300.0, START[1])


def sides_mission(facing):
    at = '0 0 %d' % facing
    right = '%d 0 0' % facing
    return """# Test only: the player's plane alone on a hilltop, an AA gun 300 units across.
[music]
track=1

[map]
map=demo
offset=0 0 0
safeheight=70

[mission]
Group7=-100
timelimit=600

[archetypes]
ground=takeoffpoint
air=tavrincamel
vehicle=aagun

[ground0]
name=takeoffpoint
id=1
pos=%g 500 %g
up=0 1 0
at=%s
right=%s
groups=2

[vehicle0]
name=aagun
id=30
pos=%g 300 %g
up=0 1 0
at=1 0 0
right=0 0 -1
groups=640
targetgroup=1
angle=6.2
range=1000
""" % (START[0], START[1], at, right, GUN[0], GUN[1])


def sides(args):
    levels = {}
    for name, facing in (('right', 1), ('left', -1)):
        folder = os.path.join(args.work, 'sides-' + name)
        prepare(args.data, folder)
        with open(os.path.join(folder, 'missions', '1', 'mission.ini'), 'w') as f:
            f.write(sides_mission(facing))
        capture = os.path.join(args.work, 'sides-%s.wav' % name)
        samples, marks = fly(args.corvel, folder, scenario('wait 300'), capture)
        clipped = longest_clipped_run(samples)
        if clipped > MAX_CLIPPED_RUN:
            fail('%s: %d samples in a row are clipped' % (name, clipped))
        begin, end = flight_frames(samples, marks)
        # The frames in which the gun sounds are the ones whose sides differ (the engine is
        # centred: the frames without the gun have equal sides).
        left, right, gun_frames, plain_frames = [], [], 0, 0
        for f in range(begin + 1, end - 10):
            l = samples[2 * marks[f - 1]:2 * marks[f]:2]
            r = samples[2 * marks[f - 1] + 1:2 * marks[f]:2]
            if l == r:
                plain_frames += 1
                continue
            gun_frames += 1
            left += l
            right += r
        if gun_frames < (end - begin) // 4 or plain_frames == 0:
            fail('%s: the gun sounds in %d of %d flight frames, equal sides in %d'
                 % (name, gun_frames, end - begin, plain_frames))
        side = rms([b - a for a, b in zip(left, right)])
        if side < 50:
            fail('%s: the gun is hardly heard (the sides differ by RMS %.0f)' % (name, side))
        levels[name] = (rms(left), rms(right), gun_frames)
    (l1, r1, n1), (l2, r2, n2) = levels['right'], levels['left']
    print('sides: gun on the right: left %.0f right %.0f (%d frames); on the left: left %.0f '
          'right %.0f (%d frames)' % (l1, r1, n1, l2, r2, n2))
    # The engine, centred and much louder at the listener than the gun 300 units off, is in
    # both sides alike: whatever one side has more of is the gun's.
    if not r1 > l1:
        fail('the gun on the right is not louder on the right')
    if not l2 > r2:
        fail('the gun on the left is not louder on the left')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('mode', choices=('engine-and-guns', 'sides'))
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', required=True)
    parser.add_argument('--work', required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    (engine_and_guns if args.mode == 'engine-and-guns' else sides)(args)


if __name__ == '__main__':
    main()
