// Replays one script with mazereplay built for Node and compares its trace with the
// golden one byte for byte, naming the first frame and field that differ.
//   node golden_replay.mjs MAZEREPLAY_JS SCRIPT GOLDEN_TRACE LEVEL_FILE...
// The level files are played as level1.lvx, level2.lvx ... in that order, as
// scripts/golden.sh lays them out for the native goldens.
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { traceFileDifference } from './trace_diff.mjs';

const [replay, script, golden, ...levels] = process.argv.slice(2);
if (!golden || levels.length === 0) {
  console.error('usage: node golden_replay.mjs MAZEREPLAY_JS SCRIPT GOLDEN_TRACE LEVEL_FILE...');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), `maze-golden-${process.pid}-`));
const trace = join(scratch, 'trace.jsonl');
levels.forEach((level, k) => copyFileSync(level, join(scratch, `level${k + 1}.lvx`)));
const run = spawnSync(process.execPath, ['--no-experimental-fetch', replay, script, '--trace', trace], {
  encoding: 'utf8',
  cwd: scratch,
});
let status = 0;
if (run.status !== 0) {
  console.error(`mazereplay ended with ${run.status ?? run.signal}:\n${run.stdout}${run.stderr}`);
  status = 1;
} else {
  const difference = traceFileDifference(golden, trace);
  if (difference) {
    console.error(`${script}: the trace differs from ${golden} at ${difference}`);
    status = 1;
  } else {
    console.log(`${script}: the same trace as ${golden}`);
  }
}
rmSync(scratch, { recursive: true, force: true });
process.exit(status);
