#!/usr/bin/env python3
"""Frame benchmark of the demo missions: the real corvel program flies each demo mission
headless at 640 x 480 on the software device, on the virtual clock (so every run flies the
same frames), and the wall-clock time of each stage of every mission frame is logged (the
mission loop's and the game's own, stage_table.py). Prints the median and 95th percentile in
milliseconds per stage over 600 frames (after 10 frames of warm-up), for the update alone
and update plus render, a column per mission.

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
sys.path.insert(0, HERE)
import stage_table  # noqa: E402


def fly(corvel, data, mission, work):
    script = os.path.join(SOURCE, 'tests', 'e2e', 'mission%d.input' % mission)
    command = [sys.executable, RUNNER, '--corvel', corvel, '--data', data, '--work', work,
               '--frames', '6000', '--timeout', '600', '--stage-log',
               '--ini-set=characters.ini:Character1.alliedmissionsc=1 1 0 0 0 0 0 0 0 0']
    if mission == 3:
        command.append('--ini-set=missions/3/mission.ini:mission.Group9=-100')
    run = subprocess.run(command + [script], capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit('mission %d did not fly:\n%s%s' % (mission, run.stdout, run.stderr))
    frames, order = stage_table.read_frames(os.path.join(work, 'stages.txt'))
    if len(frames) < stage_table.FRAMES:
        raise SystemExit('mission %d flew only %d frames' % (mission, len(frames)))
    return frames, order


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', help='the generated demo data (default: beside corvel)')
    parser.add_argument('--missions', default='1,2,3')
    options = parser.parse_args()
    data = options.data or os.path.dirname(os.path.abspath(options.corvel))
    columns = []
    with tempfile.TemporaryDirectory() as scratch:
        for mission in map(int, options.missions.split(',')):
            frames, order = fly(os.path.abspath(options.corvel), data, mission,
                                os.path.join(scratch, str(mission)))
            columns.append(('mission %d' % mission, frames, order))
    stage_table.print_table('Demo mission frames, 640 x 480, software device, %d frames'
                            % stage_table.FRAMES, columns)
    return 0


if __name__ == '__main__':
    sys.exit(main())
