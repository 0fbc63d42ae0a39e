#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the converter's results keep of what their sources hold.

    survey.py WORK --multiconv PATH [--wine] [--label NAME]

Builds the corpus in WORK/files once (see corpus.py), resizes every file to half its size with
the given multiconv (`/m:r /r:0.5`) into WORK/out-NAME, reads source and result with exiftool and
identify, prints one Markdown table (property | files that have it | kept by the converter) and
writes WORK/survey-NAME.csv with one row per file and property. A property is kept only when the
result holds the same value. With --wine the program is a multiconv.exe run under Wine, in a
prefix of its own that is removed afterwards.
"""

import argparse
import csv
import os
import shutil
import subprocess
import sys
import tempfile

import corpus
import probe

TIMEOUT_SECONDS = 120


class Runner:
    """Starts the converter on one source: natively, or under Wine with Windows paths."""

    def __init__(self, multiconv, wine):
        self.multiconv = os.path.abspath(multiconv)
        self.wine = None
        self.env = dict(os.environ)
        if wine:
            self.wine = ['wine']
            if self._is_64_bit() and os.path.exists('/usr/lib/wine/wine64'):
                self.wine = ['/usr/lib/wine/wine64']
            self.prefix = tempfile.mkdtemp(prefix='survey-wine-')
            self.env.update(WINEPREFIX=self.prefix, WINEDEBUG='-all')
            subprocess.run([*self.wine, 'wineboot', '--init'], env=self.env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # A server that stays up spares each converter Wine's start-up.
            subprocess.run(['wineserver', '-p'], env=self.env, check=False)

    def _is_64_bit(self):
        run = subprocess.run(['file', '-b', self.multiconv], capture_output=True, text=True,
                             check=False)
        return 'x86-64' in run.stdout

    @staticmethod
    def _windows(path):
        return 'Z:' + os.path.abspath(path).replace('/', '\\')

    def convert(self, source, out_folder):
        """The exit status and the error line of one conversion."""
        if self.wine:
            command = [*self.wine, self.multiconv, '/s:' + self._windows(source),
                       '/d:' + self._windows(out_folder)]
        else:
            command = [self.multiconv, '/s:' + source, '/d:' + out_folder]
        try:
            run = subprocess.run([*command, '/m:r', '/r:0.5'], env=self.env, capture_output=True,
                                 text=True, timeout=TIMEOUT_SECONDS, check=False)
        except subprocess.TimeoutExpired:
            return 'timeout', ''
        return run.returncode, run.stderr.strip().replace('\n', ' ')

    def close(self):
        if self.wine:
            subprocess.run(['wineserver', '-k'], env=self.env, check=False)
            shutil.rmtree(self.prefix, ignore_errors=True)


def _shown(value):
    text = repr(value) if not isinstance(value, str) else value
    return text if len(text) <= 200 else text[:197] + '...'


def survey(files, out_folder, runner):
    """Converts every file and compares; the per-file rows and the per-property counts."""
    shutil.rmtree(out_folder, ignore_errors=True)
    os.makedirs(out_folder)
    statuses = {}
    for index, source in enumerate(files, 1):
        statuses[source] = runner.convert(source, out_folder)
        if index % 20 == 0 or index == len(files):
            print(f'{index}/{len(files)} converted', file=sys.stderr, flush=True)

    results = {s: os.path.join(out_folder, os.path.basename(s)) for s in files}
    sources = probe.probe_files(files)
    outputs = probe.probe_files([r for r in results.values() if os.path.exists(r)])
    rows = []
    counts = {name: [0, 0] for name, _read, _show in probe.PROPERTIES}
    for source in files:
        status, message = statuses[source]
        result = outputs.get(results[source])
        for name, read, show in probe.PROPERTIES:
            value = read(sources[source])
            if value is None:
                continue
            got = read(result) if result else None
            if got is None and result and show:
                got = show(result)
            keeps = result is not None and probe.kept(value, read(result))
            counts[name][0] += 1
            counts[name][1] += keeps
            rows.append({'file': os.path.basename(source), 'property': name,
                         'kept': 'yes' if keeps else 'no', 'exit': status,
                         'source': _shown(value), 'result': _shown(got), 'error': message})
    return statuses, rows, counts


def print_table(label, files, statuses, counts):
    converted = sum(1 for status, _message in statuses.values() if status == 0)
    print(f'{label}: {len(files)} files, {converted} converted (exit 0)\n')
    print('| property | files that have it | kept by the converter |')
    print('|---|---|---|')
    for name, (having, keeping) in counts.items():
        print(f'| {name} | {having} | {keeping} |')
    failed = [(os.path.basename(s), st, m) for s, (st, m) in statuses.items() if st != 0]
    if failed:
        print('\nNot converted:')
        for name, status, message in failed:
            print(f'- {name}: exit {status}: {message}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('work', help='work folder: the corpus, the results and the CSV')
    parser.add_argument('--multiconv', required=True, help='the converter to survey')
    parser.add_argument('--wine', action='store_true', help='run a multiconv.exe under Wine')
    parser.add_argument('--label', help='names the result folder and the CSV')
    args = parser.parse_args()

    if args.wine and not os.environ.get('DISPLAY') and not os.environ.get('SURVEY_UNDER_XVFB'):
        # Wine wants a display even for a program without windows: one virtual screen serves
        # the whole run.
        env = dict(os.environ, SURVEY_UNDER_XVFB='1')
        os.execvpe('xvfb-run', ['xvfb-run', '-a', sys.executable, *sys.argv], env)

    work = os.path.abspath(args.work)
    label = args.label or ('wine' if args.wine else 'linux')
    files = corpus.build(work)
    runner = Runner(args.multiconv, args.wine)
    try:
        statuses, rows, counts = survey(files, os.path.join(work, f'out-{label}'), runner)
    finally:
        runner.close()
    with open(os.path.join(work, f'survey-{label}.csv'), 'w', newline='',
              encoding='utf-8') as f:
        writer = csv.DictWriter(f, fieldnames=['file', 'property', 'kept', 'exit', 'source',
                                               'result', 'error'])
        writer.writeheader()
        writer.writerows(rows)
    print_table(label, files, statuses, counts)


if __name__ == '__main__':
    main()
