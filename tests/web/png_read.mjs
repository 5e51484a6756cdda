// Reads an 8-bit indexed PNG (as the game writes its frames) into its palette indices and
// RGBA bytes, with Node's own inflate: enough to compare frames with the page's canvas.
import { readFileSync } from 'node:fs';
import { inflateSync } from 'node:zlib';

export function readIndexedPng(path) {
  const file = readFileSync(path);
  let at = 8, width = 0, height = 0, palette = null;
  const data = [];
  while (at < file.length) {
    const length = file.readUInt32BE(at);
    const type = file.toString('latin1', at + 4, at + 8);
    const body = file.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[9] !== 3 || body[12] !== 0) throw new Error(`${path}: not an 8-bit indexed PNG`);
    } else if (type === 'PLTE') palette = body;
    else if (type === 'IDAT') data.push(body);
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const rgba = Buffer.alloc(width * height * 4), indices = Buffer.alloc(width * height);
  let previous = Buffer.alloc(width), row = Buffer.alloc(width);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (width + 1)];
    const line = raw.subarray(y * (width + 1) + 1, (y + 1) * (width + 1));
    for (let x = 0; x < width; x++) {
      const left = x > 0 ? row[x - 1] : 0, up = previous[x], upLeft = x > 0 ? previous[x - 1] : 0;
      let predicted = 0;
      if (filter === 1) predicted = left;
      else if (filter === 2) predicted = up;
      else if (filter === 3) predicted = (left + up) >> 1;
      else if (filter === 4) {
        const p = left + up - upLeft, pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - upLeft);
        predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
      }
      row[x] = (line[x] + predicted) & 0xff;
      const index = row[x];
      indices[y * width + x] = index;
      rgba.set([palette[index * 3], palette[index * 3 + 1], palette[index * 3 + 2], 255], (y * width + x) * 4);
    }
    [previous, row] = [row, previous];
  }
  return { width, height, rgba, indices };
}
