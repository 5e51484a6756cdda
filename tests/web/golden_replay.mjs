// Replays one script with mazereplay built for Node and compares its trace with the
// golden one byte for byte, naming the first frame and field that differ.
//   node golden_replay.mjs MAZEREPLAY_JS SCRIPT GOLDEN_TRACE   (from the folder of the levels)
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { traceFileDifference } from './trace_diff.mjs';

const [replay, script, golden] = process.argv.slice(2);
if (!golden) {
  console.error('usage: node golden_replay.mjs MAZEREPLAY_JS SCRIPT GOLDEN_TRACE');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), `maze-golden-${process.pid}-`));
const trace = join(scratch, 'trace.jsonl');
const run = spawnSync(process.execPath, ['--no-experimental-fetch', replay, script, '--trace', trace], {
  encoding: 'utf8',
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
