// What the golden comparison says when two traces part: the first line, its frame and the
// first field that differs.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { traceDifference } from './trace_diff.mjs';

const box = '{"message_box":{"caption":"hold \'yer hourses!","text":"Press ok to start the program"}}';
const frame = (n, tick, x, crc) =>
  `{"frame":${n},"level":1,"tick":${tick},"texts":["WELCOME TO LEVEL 1!"],"entities":[[0,${x},5.5]],"frame_crc32":"${crc}"}`;
const golden = [box, frame(0, 1000, '4.5', 'd07272c3'), frame(1, 1016, '4.5079999998211857', '888bbc31'),
                '{"exit":0,"frames":2}', ''].join('\n');
const changed = (from, to) => golden.replace(from, to);

const cases = [
  { name: 'the same bytes', actual: golden, says: null },
  { name: 'a tick', actual: changed('"tick":1016', '"tick":1017'),
    says: 'line 3, frame 1, field tick: expected 1016, got 1017' },
  { name: 'a frame checksum', actual: changed('d07272c3', 'd07272c4'),
    says: 'line 2, frame 0, field frame_crc32: expected "d07272c3", got "d07272c4"' },
  { name: 'the last bit of a double', actual: changed('4.5079999998211857', '4.5079999998211866'),
    says: 'line 3, frame 1, field entities[0][1]: expected 4.507999999821186, got 4.507999999821187' },
  { name: 'the same double printed otherwise', actual: changed('4.5079999998211857', '4.50799999982118570'),
    says: 'line 3, frame 1: the same values printed differently' },
  { name: 'a line of another kind', actual: changed(box + '\n', ''),
    says: /^line 1: expected message_box line, got frame 0/ },
  { name: 'a missing line', actual: golden.replace('{"exit":0,"frames":2}\n', ''),
    says: 'line 4: exit line is missing' },
  { name: 'an extra line at the end', actual: golden + '{"exit":0}\n', says: 'line 5: an extra line, exit line' },
  { name: 'no end to the last line', actual: golden.slice(0, -1), says: /^the same lines but different bytes/ },
  { name: 'a line that is not JSON', actual: changed('{"exit":0,"frames":2}', '{"exit":0,'),
    says: /^line 4: (expected exit line, got an unreadable line|not JSON)/ },
];

test('trace differences name the first line, frame and field', () => {
  for (const c of cases) {
    const said = traceDifference(golden, c.actual);
    if (c.says instanceof RegExp) assert.match(said ?? '', c.says, c.name);
    else assert.equal(said, c.says, c.name);
  }
});
