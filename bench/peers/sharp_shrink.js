#!/usr/bin/env node
// Shrink images in place with sharp, the way a careful script would.
//
// Usage: sharp_shrink.js WIDTH HEIGHT QUALITY IN_FLIGHT FILE...
// sharp is loaded from $KOVI_BENCH_SHARP (the module folder) or the usual paths.
//
// Files that already fit are left alone. Each image (every frame of an animated
// one) is fitted inside the box, never enlarged, saved in its own format with
// all metadata kept beside the original and renamed over it. IN_FLIGHT files are
// handled at a time; libvips threads each one as it likes. Failures are
// reported and the rest go on; the exit status is 1 when any file failed.
'use strict';
const fs = require('fs');
const sharp = require(process.env.KOVI_BENCH_SHARP || 'sharp');

// Savers that take a quality setting; PNG's "quality" would switch on palette
// quantisation, so PNG, GIF and the rest keep their own defaults.
const QUALITY_FORMATS = new Set(['jpeg', 'webp', 'tiff', 'heif', 'jp2', 'jxl']);

async function shrink(path, width, height, quality) {
  const input = sharp(path, { animated: true });
  const meta = await input.metadata();
  const pageHeight = meta.pageHeight || meta.height;
  if (meta.width <= width && pageHeight <= height) return;
  const options = QUALITY_FORMATS.has(meta.format) ? { quality } : {};
  const temporary = `${path}.sharp-tmp`;
  try {
    await input
      .resize(width, height, { fit: 'inside', withoutEnlargement: true })
      .keepMetadata()
      .toFormat(meta.format, options)
      .toFile(temporary);
    fs.renameSync(temporary, path);
  } catch (error) {
    fs.rmSync(temporary, { force: true });
    throw error;
  }
}

async function main() {
  const [width, height, quality, inFlight] = process.argv.slice(2, 6).map(Number);
  const files = process.argv.slice(6);
  if (!(width > 0 && height > 0 && quality > 0 && inFlight > 0)) {
    console.error('usage: sharp_shrink.js WIDTH HEIGHT QUALITY IN_FLIGHT FILE...');
    process.exit(2);
  }
  let next = 0;
  let failed = 0;
  const lane = async () => {
    while (next < files.length) {
      const path = files[next++];
      try {
        await shrink(path, width, height, quality);
      } catch (error) {
        failed++;
        console.error(`sharp: ${path}: ${error.message}`);
      }
    }
  };
  await Promise.all(Array.from({ length: inFlight }, lane));
  process.exit(failed ? 1 : 0);
}

main();
