#!/usr/bin/env python3
"""Two real corvel programs on one relay server: both reach the match, and each receives the
other's plane reports (25), status changes (26) and chat line (44).

    two_clients.py --corvel C --data D --mpserver S --work W SCRIPT_A SCRIPT_B [runner options]

The server runs the relay scenario and finishes the match when a player comes back to the
lobby after a respawn; each program runs under corvel_run.py (its own copy of the data, its
own checks) against the server's port.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corvel_run import TestServer  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--corvel', required=True)
    parser.add_argument('--data', required=True)
    parser.add_argument('--mpserver', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--timeout', type=float, default=240)
    parser.add_argument('--time-scale', type=float, default=1,
                        help='the wall-clock limit is multiplied by this (sanitizer builds)')
    parser.add_argument('script_a')
    parser.add_argument('script_b')
    parser.add_argument('runner_options', nargs=argparse.REMAINDER)
    options = parser.parse_args()

    work = os.path.abspath(options.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    server = TestServer(options.mpserver, ['relay', '--finish-after', '1',
                                           '--disconnect-delay', '3000'])
    runner = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corvel_run.py')
    runs = []
    for name, script in (('a', options.script_a), ('b', options.script_b)):
        command = [sys.executable, runner, '--corvel', options.corvel, '--data', options.data,
                   '--work', os.path.join(work, name), '--timeout', str(options.timeout),
                   '--time-scale', str(options.time_scale)]
        command += options.runner_options + [script, '--', '-client',
                                             '127.0.0.1:%d' % server.port]
        runs.append((name, subprocess.Popen(command, stdout=subprocess.PIPE,
                                            stderr=subprocess.STDOUT, text=True,
                                            errors='replace')))
    failures = []
    for name, run in runs:
        output, _ = run.communicate(timeout=options.timeout * options.time_scale + 60)
        sys.stdout.write(''.join('%s| %s\n' % (name, line) for line in output.splitlines()))
        if run.returncode != 0:
            failures.append('program %s failed (%d)' % (name, run.returncode))
    server.stop()
    with open(os.path.join(work, 'server.log'), 'w') as f:
        f.write('\n'.join(server.lines) + '\n')

    def sent(to, text):
        prefix = 'sent to %d ' % to
        return any(line.startswith(prefix) and text in line for line in server.lines)

    for me, other in ((0, 1), (1, 0)):
        if not sent(me, '25: count=1 e0.') or not any(
                line.startswith('sent to %d 25:' % me) and 'e0.slot=%d' % other in line
                for line in server.lines):
            failures.append('slot %d never received the plane reports of slot %d' % (me, other))
        if not sent(me, '26: slot=%d status=' % other):
            failures.append('slot %d never received the status change of slot %d' % (me, other))
    # Each player's line is typed again and again, and a line typed across the match's start
    # may keep keys of the one before ("hithi"): what counts is that a line of each reached
    # the other.
    def relayed(to, word):
        pattern = re.compile(r'sent to %d 44: text="Aubrey Hale: [a-z]*%s"' % (to, word))
        return any(pattern.match(line) for line in server.lines)

    if not relayed(1, 'hi') or not relayed(0, 'yo'):
        failures.append('the chat lines were not relayed to the other player')
    for failure in failures:
        print('FAIL:', failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
