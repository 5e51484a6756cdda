// Compares two traces (JSON Lines) byte for byte; on a difference, names the first
// line that differs by its frame number (or what else it is) and the first field in it.
import { readFileSync } from 'node:fs';

// The first path (like "entities[0][2]") where two parsed values differ, or null.
function firstDifference(a, b, path) {
  if (typeof a !== typeof b || Array.isArray(a) !== Array.isArray(b) || (a === null) !== (b === null))
    return path || '(whole line)';
  if (a === null || typeof a !== 'object') return Object.is(a, b) ? null : path || '(whole line)';
  if (Array.isArray(a)) {
    for (let i = 0; i < Math.max(a.length, b.length); i++) {
      if (i >= a.length || i >= b.length) return `${path}[${i}] (length ${a.length} against ${b.length})`;
      const found = firstDifference(a[i], b[i], `${path}[${i}]`);
      if (found) return found;
    }
    return null;
  }
  const keysA = Object.keys(a), keysB = Object.keys(b);
  for (let i = 0; i < Math.max(keysA.length, keysB.length); i++) {
    if (keysA[i] !== keysB[i]) return `${path ? path + '.' : ''}${keysA[i] ?? keysB[i]} (key order or presence)`;
    const key = keysA[i];
    const found = firstDifference(a[key], b[key], path ? `${path}.${key}` : key);
    if (found) return found;
  }
  return null;
}

function describeLine(text) {
  try {
    const value = JSON.parse(text);
    if ('frame' in value) return `frame ${value.frame}${value.closing ? ' (closing)' : ''}`;
    return Object.keys(value)[0] + ' line';
  } catch {
    return 'an unreadable line';
  }
}

// null when the two texts are the same bytes, else one sentence saying where they part.
export function traceDifference(expectedText, actualText) {
  if (expectedText === actualText) return null;
  const lines = (text) => (text.endsWith('\n') ? text.slice(0, -1) : text).split('\n');
  const expected = lines(expectedText), actual = lines(actualText);
  for (let i = 0; i < Math.max(expected.length, actual.length); i++) {
    if (expected[i] === actual[i]) continue;
    if (expected[i] === undefined) return `line ${i + 1}: an extra line, ${describeLine(actual[i])}`;
    if (actual[i] === undefined) return `line ${i + 1}: ${describeLine(expected[i])} is missing`;
    if (describeLine(expected[i]) !== describeLine(actual[i]))
      return `line ${i + 1}: expected ${describeLine(expected[i])}, got ${describeLine(actual[i])}: ${actual[i].slice(0, 200)}`;
    let a, b, field;
    try {
      a = JSON.parse(expected[i]);
      b = JSON.parse(actual[i]);
      field = firstDifference(a, b, '');
    } catch {
      return `line ${i + 1}: not JSON: ${actual[i].slice(0, 200)}`;
    }
    if (field === null) return `line ${i + 1}, ${describeLine(expected[i])}: the same values printed differently`;
    const shown = (v) => JSON.stringify(field.split(/[.[\]]/).filter(Boolean).reduce((o, k) => o?.[k], v));
    return `line ${i + 1}, ${describeLine(expected[i])}, field ${field}: expected ${shown(a)}, got ${shown(b)}`;
  }
  return 'the same lines but different bytes (the last line\'s end)';
}

export function traceFileDifference(expectedPath, actualPath) {
  return traceDifference(readFileSync(expectedPath, 'latin1'), readFileSync(actualPath, 'latin1'));
}
