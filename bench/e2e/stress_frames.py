#!/usr/bin/env python3
"""Stress frame benchmark: the real corvel program flies a synthetic mission on the demo map,
headless at 640 x 480 on the software device, on the virtual clock, with N objects in the
game's master list for N = 500, 1500 and 3000, and prints the median and 95th percentile in
milliseconds per stage (stage_table.py) over 600 frames, a column per N, so that a stage whose
cost grows faster than N shows; also the live objects and planes per frame and the update per
live plane, since the planes alive (most of the update's work) do not stay in proportion to N
as the fighting goes on.

The full mission has 1200 ground objects (the player's take-off point, hangars, tents,
ammunition dumps and pickups spread over the map), 100 AA guns and 100 planes (the player, idle
on the strip, and two sides of AI planes engaging each other; the guns fire at the allies). A
run with N below that has the same mix scaled down to N objects; above it the master list is
padded with empty entries, as a long game leaves them (CORVEL_MASTER_LIST_HOLES), up to N.

On the virtual clock every time query moves the clock by a millisecond, and every ground
object asks for the time when it is updated and drawn, so each stress frame is the game's
longest step (0.1 s of game time, six fixed weapon steps) at every N; the demo missions run at
about 0.05 s a frame.

    stress_frames.py --corvel build-release/bin/corvel [--data build-release/bin] [--n 500,1500]
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
RUNNER = os.path.join(SOURCE, 'tests', 'e2e', 'corvel_run.py')
sys.path.insert(0, HERE)
import stage_table  # noqa: E402

GROUND, GUNS, PLANES = 1200, 100, 100
GROUND_KINDS = ['hangar', 'tent', 'tent', 'ammodump', 'tent', 'hangar', 'ammodump', 'tent',
                'tent', 'ammodump', 'tent', 'hangar', 'tent', 'tent', 'ammodump', 'tent',
                'tent', 'ammodump', 'rocketpickup', 'healthpickup']
STRIP = (2115.0, 1800.0)  # the player's start on the airstrip


def ground_height(x, z):
    """The demo map's height field as tools/demodata/demo_map.cpp builds it (the map's cells
    interpolate it linearly, so an object may stand a unit or two off its surface)."""
    origin, size, lowest, highest = 100.0, 4000.0, 100.0, 800.0

    def smoothstep(e0, e1, v):
        t = min(max((v - e0) / (e1 - e0), 0.0), 1.0)
        return t * t * (3 - 2 * t)
    lx, lz = x - origin, z - origin
    h = (260 + 170 * math.sin(lx * 0.0021) * math.cos(lz * 0.0017) +
         90 * math.sin(lx * 0.0053 + lz * 0.0031) + 60 * math.cos(lz * 0.0045))
    h += 280 * (1 - smoothstep(0, 600, min(lx, lz, size - lx, size - lz)))
    h = min(max(h, lowest + 40), highest)
    strip = math.hypot(max(0.0, abs(x - 2115) - 60), max(0.0, 1750 - z, z - 2750))
    h += (220 - h) * (1 - smoothstep(0, 250, strip))
    lake = math.hypot(x - 1100, z - 3000)
    h += (lowest - h) * (1 - smoothstep(450 + 50, 450 + 300, lake))
    return min(max(h, lowest), highest)


def grid(count, x0, z0, x1, z1, keep=lambda x, z: True):
    """`count` points on a square grid over the box, skipping those `keep` refuses."""
    side = int(math.ceil(math.sqrt(count * 1.6))) + 1
    points = []
    for i in range(side * side):
        x = x0 + (x1 - x0) * ((i % side) + 0.5) / side
        z = z0 + (z1 - z0) * ((i // side) + 0.5) / side
        if keep(x, z):
            points.append((x, z))
    if len(points) < count:
        raise SystemExit('the grid holds only %d of %d places' % (len(points), count))
    step = len(points) / count
    return [points[int(i * step)] for i in range(count)]


def away_from_strip(distance):
    return lambda x, z: math.hypot(x - STRIP[0], z - STRIP[1]) > distance


def entry(out, section, name, ident, pos, groups, at=(0, 0, 1), extra=()):
    right = (at[2], 0, -at[0])
    out += ['[%s]' % section, 'name=' + name, 'id=%d' % ident,
            'pos=%.1f %.1f %.1f' % pos, 'up=0 1 0', 'at=%g %g %g' % at,
            'right=%g %g %g' % right, 'groups=%d' % groups]
    out += list(extra) + ['']


def stress_mission(objects):
    """The mission text with `objects` objects in the mix of the full mission."""
    share = min(1.0, objects / float(GROUND + GUNS + PLANES))
    ground = max(1, int(round(GROUND * share)))
    guns = int(round(GUNS * share))
    planes = max(1, objects - ground - guns) if share < 1.0 else PLANES
    out = ['# Stress mission: %d ground objects, %d AA guns, %d planes.' % (ground, guns, planes),
           '[map]', 'map=demo', 'offset=0 0 0', 'safeheight=70', '',
           # The ground targets stand until the end: the mission runs until it is abandoned.
           '[mission]', 'Group7=-100', 'timelimit=3600', '',
           '[archetypes]',
           'ground=takeoffpoint hangar tent ammodump rocketpickup healthpickup',
           'vehicle=aagun', 'air=tavrincamel fokkertriplane', '']
    ident = 1
    entry(out, 'ground0', 'takeoffpoint', ident, (STRIP[0], 220.0, STRIP[1]), 2)
    places = grid(ground - 1, 250, 250, 3950, 3950, away_from_strip(150))
    for i, (x, z) in enumerate(places, 1):
        ident += 1
        kind = GROUND_KINDS[i % len(GROUND_KINDS)]
        groups = 2 if kind.endswith('pickup') else 128
        entry(out, 'ground%d' % i, kind, ident, (x, ground_height(x, z), z), groups)
    # The guns shoot at the allied side; none reaches the strip.
    for i, (x, z) in enumerate(grid(guns, 300, 300, 3900, 3900, away_from_strip(700))
                               if guns else []):
        ident += 1
        entry(out, 'vehicle%d' % i, 'aagun', ident, (x, ground_height(x, z), z), 512,
              at=(0, 0, -1), extra=['targetgroup=8', 'angle=1.57', 'range=400'])
    # The player idles on the strip (allied side); the AI planes come in two sides that
    # engage each other, the guns stand too far from the strip to reach it.
    entry(out, 'air0', 'tavrincamel', 1500, (STRIP[0], 222.0, STRIP[1]), 258,
          extra=['player='])
    out += ['[air0goal0]', 'type=16', '']
    places = grid(planes - 1, 600, 600, 3600, 3600) if planes > 1 else []
    for i, (x, z) in enumerate(places, 1):
        allied = i % 2 == 1
        y = 550.0 + (i * 37) % 200
        pos = (x, y, z)
        entry(out, 'air%d' % i, 'tavrincamel' if allied else 'fokkertriplane', 2000 + i, pos,
              256 if allied else 512, at=(0, 0, 1) if allied else (0, 0, -1))
        out += ['[air%dgoal0]' % i, 'type=256', 'pos=%.1f %.1f %.1f' % pos, '',
                '[air%dgoal1]' % i, 'type=112', 'targetid=%d' % (-9 if allied else -8), '']
    return '\n'.join(out) + '\n', ground + guns + planes


SCRIPT = """wait 300        # the title screen, then the start command's page (choose a mission)
click 316 278   # choose mission: Back (to the roster)
wait 30
click 316 282   # roster: Start Campaign
wait 30
click 250 120   # choose mission: allied mission 1 (the stress mission)
wait 30
click 316 78    # mission 1: Fly the mission (play:1)
wait 760        # loading, then %d frames and more of the mission
key escape      # the pause page
wait 30
click 316 74    # pause: Abandon the mission
wait 400        # the result frames, then the defeat page
click 316 150   # defeat: Main menu
wait 30
click 316 110   # main: Quit
wait 30
""" % (stage_table.FRAMES + stage_table.WARM_UP)


def fly(corvel, data, objects, work):
    os.makedirs(work)
    mission, real = stress_mission(objects)
    mission_path = os.path.join(work, 'stress.ini')
    script_path = os.path.join(work, 'stress.input')
    with open(mission_path, 'w') as f:
        f.write(mission)
    with open(script_path, 'w') as f:
        f.write(SCRIPT)
    # The master list also holds the viewport's camera.
    holes = max(0, objects - real - 1)
    command = [sys.executable, RUNNER, '--corvel', corvel, '--data', data,
               '--work', os.path.join(work, 'run'), '--frames', '6000', '--timeout', '1200',
               '--stage-log', '--copy', 'missions/1/mission.ini=' + mission_path,
               '--env', 'CORVEL_MASTER_LIST_HOLES=%d' % holes, script_path]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit('the stress mission with %d objects did not fly:\n%s%s'
                         % (objects, run.stdout, run.stderr))
    frames, order = stage_table.read_frames(os.path.join(work, 'run', 'stages.txt'))
    if len(frames) < stage_table.FRAMES:
        raise SystemExit('the stress mission with %d objects flew only %d frames'
                         % (objects, len(frames)))
    return frames, order


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', help='the generated demo data (default: beside corvel)')
    parser.add_argument('--n', default='500,1500,3000', help='master-list sizes')
    parser.add_argument('--write-mission', metavar='N=FILE',
                        help='only write the mission of N objects to FILE')
    options = parser.parse_args()
    if options.write_mission:
        n, path = options.write_mission.split('=', 1)
        with open(path, 'w') as f:
            f.write(stress_mission(int(n))[0])
        return 0
    data = options.data or os.path.dirname(os.path.abspath(options.corvel))
    columns = []
    with tempfile.TemporaryDirectory() as scratch:
        for n in map(int, options.n.split(',')):
            frames, order = fly(os.path.abspath(options.corvel), data, n,
                                os.path.join(scratch, str(n)))
            columns.append(('N = %d' % n, frames, order))
    stage_table.print_table('Stress mission frames, 640 x 480, software device, %d frames'
                            % stage_table.FRAMES, columns)
    return 0


if __name__ == '__main__':
    sys.exit(main())
