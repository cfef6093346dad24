#!/usr/bin/env python3
"""Frame benchmark of the demo missions: the real corvel program flies each demo mission
headless at 640 x 480 on the software device, on the virtual clock (so every run flies the
same frames), and the wall-clock time of each mission-loop stage is logged per frame. Prints
the median and 95th percentile in milliseconds per stage over 600 frames (after 10 frames of
warm-up), for the update alone (input + game update) and update plus render.

    mission_frames.py --corvel build-release/bin/corvel [--data build-release/bin]
"""
import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
RUNNER = os.path.join(SOURCE, 'tests', 'e2e', 'corvel_run.py')
FRAMES, WARM_UP = 600, 10
STAGES = ['Input', 'Game update', 'Draw Profile', 'Show']


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * (len(ordered) - 1) + 0.5))]


def fly(corvel, data, mission, work):
    script = os.path.join(SOURCE, 'tests', 'e2e', 'mission%d.input' % mission)
    command = [sys.executable, RUNNER, '--corvel', corvel, '--data', data, '--work', work,
               '--frames', '6000', '--timeout', '600', '--stage-log',
               '--ini-set=characters.ini:Character1.alliedmissionsc=1 1 0 0 0 0 0 0 0 0']
    run = subprocess.run(command + [script], capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit('mission %d did not fly:\n%s%s' % (mission, run.stdout, run.stderr))
    frames = {}
    for line in open(os.path.join(work, 'stages.txt')):
        frame, rest = line.split(' ', 1)
        stage, microseconds = rest.rsplit(' ', 1)
        frames.setdefault(int(frame), {})[stage] = int(microseconds) / 1000.0
    chosen = [frames[f] for f in sorted(frames) if f >= WARM_UP][:FRAMES]
    if len(chosen) < FRAMES:
        raise SystemExit('mission %d flew only %d frames' % (mission, len(chosen) + WARM_UP))
    return chosen


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', help='the generated demo data (default: beside corvel)')
    parser.add_argument('--missions', default='1,2,3')
    options = parser.parse_args()
    data = options.data or os.path.dirname(os.path.abspath(options.corvel))
    print('Mission frames, 640 x 480, software device, %d frames (ms per frame)' % FRAMES)
    print('%-8s %-22s %9s %9s' % ('mission', 'stage', 'median', 'p95'))
    with tempfile.TemporaryDirectory() as scratch:
        for mission in map(int, options.missions.split(',')):
            frames = fly(os.path.abspath(options.corvel), data, mission,
                         os.path.join(scratch, str(mission)))
            rows = [(stage, [f.get(stage, 0.0) for f in frames]) for stage in STAGES]
            rows.append(('update only', [f.get('Input', 0) + f.get('Game update', 0)
                                         for f in frames]))
            rows.append(('update + render', [f.get('Input', 0) + f.get('Game update', 0) +
                                             f.get('Draw Profile', 0) for f in frames]))
            rows.append(('whole frame', [sum(f.values()) for f in frames]))
            for stage, values in rows:
                print('%-8d %-22s %9.3f %9.3f' % (mission, stage, percentile(values, 0.5),
                                                  percentile(values, 0.95)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
