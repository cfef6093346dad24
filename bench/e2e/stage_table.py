"""Stage logs of whole-program runs (CORVEL_STAGE_LOG) and the per-stage tables the frame
benchmarks print. A log has one "frame stage microseconds" line per stage; the mission loop's
stages ("Input", "Game update", "Draw Profile", "Show") frame the game's own ("Object
Update", ..., "World Render", ...): a stage logged up to "Game update" is update, one after it
up to "Draw Profile" is render. Lines "frame # name count" are counts of the frame (its live
objects and live planes), kept apart from the stages; the table gives the update per live
plane from them, the figure that shows whether the update grows faster than what it moves."""
import os

FRAMES, WARM_UP = 600, 10
COUNT = '# '
PER_PLANE = 'update/plane (us)'
NOT_MS = ('live objects', 'live planes', PER_PLANE)


def read_frames(path, frames=FRAMES, warm_up=WARM_UP):
    """The stage times (ms) of `frames` frames after `warm_up`, as dicts (a count is there
    too, under its name with the "# " prefix, as a number), and the stage names in their order
    within a frame (no counts)."""
    by_frame, order = {}, []
    for line in open(path):
        frame, rest = line.split(' ', 1)
        stage, value = rest.rsplit(' ', 1)
        stages = by_frame.setdefault(int(frame), {})
        if stage.startswith(COUNT):
            stages[stage] = int(value)
            continue
        stages[stage] = stages.get(stage, 0.0) + int(value) / 1000.0
        if stage not in order:
            order.append(stage)
    chosen = [by_frame[f] for f in sorted(by_frame) if f >= warm_up][:frames]
    return chosen, order


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * (len(ordered) - 1) + 0.5))]


def rows(frames, order):
    """(name, per-frame values) for every stage in order, then the update alone, update plus
    render and the whole frame; when the log has them, the live objects and planes and the
    update per live plane in microseconds."""
    update_end = order.index('Game update') if 'Game update' in order else -1
    render_end = order.index('Draw Profile') if 'Draw Profile' in order else len(order) - 1
    update = order[:update_end + 1]
    render = order[update_end + 1:render_end + 1]
    out = [(stage, [f.get(stage, 0.0) for f in frames]) for stage in order]
    update_only = [sum(f.get(s, 0.0) for s in update) for f in frames]
    out.append(('update only', update_only))
    out.append(('update + render', [sum(f.get(s, 0.0) for s in update + render)
                                    for f in frames]))
    out.append(('whole frame', [sum(f.get(s, 0.0) for s in order) for f in frames]))
    objects, planes = COUNT + 'live objects', COUNT + 'live planes'
    if frames and all(objects in f and planes in f for f in frames):
        out.append(('live objects', [f[objects] for f in frames]))
        out.append(('live planes', [f[planes] for f in frames]))
        out.append((PER_PLANE, [1000.0 * u / f[planes] if f[planes] else 0.0
                                for u, f in zip(update_only, frames)]))
    return out


def print_table(title, columns):
    """columns: (heading, frames, order) per run; one row per stage, median and p95 (ms) in
    each run's column."""
    print(title)
    order = []
    for _, frames, stages in columns:
        for stage in stages:
            if stage not in order:
                order.append(stage)
    tables = [dict(rows(frames, order)) for _, frames, _ in columns]
    names = [name for name, _ in rows(columns[0][1], order)]
    print('%-24s' % 'stage (ms)' + ''.join('%20s' % heading for heading, _, _ in columns))
    print('%-24s' % '' + ''.join('%10s%10s' % ('median', 'p95') for _ in columns))
    for name in names:
        cell = '%10.1f%10.1f' if name in NOT_MS else '%10.3f%10.3f'
        cells = ''.join(cell % (percentile(t[name], 0.5), percentile(t[name], 0.95))
                        if name in t else '%20s' % '-' for t in tables)
        print('%-24s%s' % (name, cells))
    print("('Game update' and 'Draw Profile' are what the update and the render take after the "
          "game's own stages.)")
    if PER_PLANE in names:
        print("('live objects' and 'live planes' are counts, '%s' the frame's update over "
              "its live planes.)" % PER_PLANE)
    print()
