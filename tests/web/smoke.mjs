// smoke.mjs: the web page in a real browser (Debian's headless Chromium through
// playwright-core), driven with real keyboard and mouse events: the first
// frame, an example's pixels against the headless frame of the same circuit,
// an R-C chain drawn with keys and a value typed, a transient window filling,
// the unsaved-changes question, saves arriving as downloads (read back by
// veltocli), a file opened through the file chooser, copy and paste, a PNG
// capture, a setting kept across a reload. Any page error or console error
// fails it. Also reports the time to the first frame and a frame pass of a
// 200-wire circuit; with VELTO_SCREENSHOTS set, the README's picture of the
// page goes there.
//
//   node tests/web/smoke.mjs BUILDWEB SOURCE FRAMESHOT VELTOCLI
// BUILDWEB the built page's folder, SOURCE the source tree, FRAMESHOT and
// VELTOCLI the native tools; CHROMIUM names the browser (/usr/bin/chromium).
import { chromium } from 'playwright-core';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join } from 'node:path';

const [buildweb, source, frameshot, veltocli] = process.argv.slice(2);
const lattice = join(source, 'tests', 'data', 'lattice200.vsm');
const tmp = mkdtempSync(join(tmpdir(), 'velto-web-'));
let failures = 0;
const check = (ok, what) => {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
};

// === the page on 127.0.0.1 ===
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.data': 'application/octet-stream' };
const server = createServer((req, res) => {
  const name = new URL(req.url, 'http://x').pathname.replace(/^\/+/, '') || 'index.html';
  try {
    const body = readFileSync(join(buildweb, name.replace(/\.\./g, '')));
    res.writeHead(200, { 'Content-Type': types[extname(name)] || 'application/octet-stream' });
    res.end(body);
  } catch {
    res.writeHead(404).end();
  }
});
await new Promise(done => server.listen(0, '127.0.0.1', done));
const base = `http://127.0.0.1:${server.address().port}/index.html`;

const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
const context = await browser.newContext({ viewport: { width: 800, height: 620 }, acceptDownloads: true });
await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: new URL(base).origin });
const page = await context.newPage();
const errors = [];
let step = 'start';  // the part of the run an error came in
page.on("pageerror", e => errors.push(`page error in ${step}: ${e.message} ${process.env.VELTO_STACK ? e.stack : ""}`));
page.on('console', m => { if (m.type() === 'error') errors.push(`console in ${step}: ${m.text()}`); });
const answers = [];  // prompt texts (or true / false for confirm), in order
const alerts = [];
page.on('dialog', async d => {
  if (d.type() === 'alert') { alerts.push(d.message()); return d.accept(); }
  const a = answers.shift();
  if (a === false) return d.dismiss();
  return d.accept(typeof a === 'string' ? a : undefined);
});

// === helpers ===
let origin = { x: 0, y: 0 };
const pause = ms => page.waitForTimeout(ms);
// the mouse to canvas pixel (x, y), then a pass or two: the program reads the
// mouse once a pass, as a user's hand gives it time to
const at = async (x, y) => { await page.mouse.move(origin.x + x, origin.y + y); await pause(60); };
const press = async key => { await page.keyboard.press(key); await pause(60); };
const title = () => page.title();
const waitTitle = async (re, what) => {
  try { await page.waitForFunction(r => new RegExp(r).test(document.title), re.source, { timeout: 5000 }); } catch {}
  check(re.test(await title()), `${what} (title "${await title()}")`);
};
const canvasPixels = () => page.evaluate(() => {
  const c = document.getElementById('canvas');
  return { w: c.width, h: c.height, data: Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data) };
});
async function start(query) {
  await page.goto(base + query);
  await page.waitForFunction(() => window.Module && Module.velFirstFrame, null, { timeout: 10000 });
  const box = await page.locator('#canvas').boundingBox();
  origin = { x: box.x, y: box.y };
  await pause(300);
}
async function download(action, what) {
  const [d] = await Promise.all([page.waitForEvent('download', { timeout: 5000 }), action()]);
  const path = join(tmp, d.suggestedFilename());
  await d.saveAs(path);
  check(true, `${what}: a download of ${d.suggestedFilename()}`);
  return path;
}
const wiresof = text => (text.match(/^\d+,\d+,\d+,[A-Z],/gm) || []).map(l => l.split(',')[3]).join('');

try {
  // === first frame; an example as the headless frame shows it ===
  step = 'first frame';
  await start('?open=divider.vsm');
  const first = await page.evaluate(() => Module.velFirstFrame);
  console.log(`first frame ${first.toFixed(0)} ms after the page began to load`);
  await waitTitle(/^divider\.vsm - VELTO$/, 'the example named in the address opens');
  const size = await page.evaluate(() => [document.getElementById('canvas').width, document.getElementById('canvas').height]);
  await at(size[0] >> 1, (size[1] >> 1) + 16), await pause(200);  // where the program starts its mouse
  const shot = await canvasPixels();
  const ref = join(tmp, 'ref.raw');
  execFileSync(frameshot, [join(source, 'examples', 'divider.vsm'), String(shot.w), String(shot.h), ref]);
  const raw = readFileSync(ref), w = raw.readUInt32LE(0), h = raw.readUInt32LE(4);
  let differ = 0;
  const dash = v => v === 0xFF5555 || v === 0xAAAAAA || v === 0xFFFFFF;  // wires, bodies and their moving dashes
  for (let i = 0; w === shot.w && h === shot.h && i < w * h; i++) {
    const want = raw.readUInt32LE(8 + 4 * i) & 0xFFFFFF;
    const got = shot.data[4 * i] << 16 | shot.data[4 * i + 1] << 8 | shot.data[4 * i + 2];
    if (got !== want && !(dash(got) && dash(want))) differ++;
  }
  check(w === shot.w && h === shot.h && differ === 0, `the canvas is the headless frame (${w}x${h}, ${differ} pixels differ)`);

  // === an R-C chain drawn with keys, a value typed, saved as a download ===
  step = 'an R-C chain';
  await start('');
  await at(112, 112), await press('r');
  await at(304, 112), await press('c');
  await at(304, 304), await press('\\');  // the chain's end grounded
  await at(208, 112), await page.keyboard.type('4k7', { delay: 40 });
  await at(600, 500), await pause(100);
  await waitTitle(/^\*untitled - VELTO$/, 'drawing marks the circuit changed');
  answers.push('chain');  // typed without its extension, which the program adds
  const chain = await download(() => page.keyboard.press('Control+s'), 'Control+S on an untitled circuit');
  check(/\/chain\.vsm$/.test(chain), `the download is chain.vsm (${chain})`);
  const text = readFileSync(chain, 'latin1');
  check(wiresof(text) === 'RC' && /,R,4K7,/.test(text), `the saved chain holds R 4K7 and C (${wiresof(text)})`);
  const dc = execFileSync(veltocli, ['dc', chain]).toString();
  check(/^node,/m.test(dc), 'veltocli dc reads the downloaded file');
  await waitTitle(/^chain\.vsm - VELTO$/, 'the saved circuit takes its name');

  // === a transient window fills with its trace ===
  step = 'a transient window';
  const white = px => { let n = 0; for (let i = 0; i < px.data.length; i += 4) n += px.data[i] === 255 && px.data[i + 1] === 255 && px.data[i + 2] === 255; return n; };
  await start('?open=rclowpass.vsm');
  const before = white(await canvasPixels());
  await at(432, 80), await page.mouse.down({ button: 'right' }), await pause(60), await page.mouse.up({ button: 'right' });
  await pause(1500);
  const after = white(await canvasPixels());
  check(after > before + 200, `a right click opens a transient window that fills (${before} -> ${after} white pixels)`);
  if (process.env.VELTO_SCREENSHOTS) await page.screenshot({ path: join(process.env.VELTO_SCREENSHOTS, 'browser.png') });

  // === the unsaved-changes question, a page dialog ===
  step = 'the unsaved-changes';
  await at(320, 80), await page.keyboard.type('22', { delay: 40 });
  await at(600, 500);
  await waitTitle(/^\*rclowpass\.vsm/, 'typing a value marks the circuit changed');
  await page.selectOption('#examples', 'divider.vsm');
  await page.waitForSelector('#velask[open]', { timeout: 5000 });
  check(/Save changes to rclowpass\.vsm\?/.test(await page.textContent('#velask .text')), 'opening another circuit asks about the changes');
  await page.click('#velask button:has-text("Don\'t save")');
  await waitTitle(/^divider\.vsm - VELTO$/, '"Don\'t save" goes on to the example');

  // === Control+S of a named circuit downloads it ===
  step = 'Control+S of a named';
  await at(272, 144), await press('3');
  await at(600, 500), await pause(100);
  const saved = await download(() => page.keyboard.press('Control+s'), 'Control+S on a named circuit');
  check(/^node,/m.test(execFileSync(veltocli, ['dc', saved]).toString()), 'veltocli dc reads the saved example');

  // === a file through the file chooser ===
  step = 'a file through';
  const mine = join(tmp, 'mine.vsm');
  writeFileSync(mine, readFileSync(chain));
  const [chooser] = await Promise.all([page.waitForEvent('filechooser', { timeout: 5000 }), page.keyboard.press('Control+o')]);
  await chooser.setFiles(mine);
  await waitTitle(/^mine\.vsm - VELTO$/, 'Control+O opens the file chosen');

  // === copy and paste circuit parts ===
  step = 'copy and paste';
  await at(600, 500);
  await press('Control+a'), await press('Control+c');
  await at(560, 400), await press('Control+v');
  await pause(300);
  const pasted = await download(() => page.keyboard.press('Control+s'), 'Control+S after a paste');
  check(wiresof(readFileSync(pasted, 'latin1')) === 'RCRC', `the pasted copy doubles the circuit (${wiresof(readFileSync(pasted, 'latin1'))})`);

  // === a PNG capture ===
  step = 'a PNG capture';
  answers.push('shot.png');
  const png = await download(() => page.keyboard.press('F12'), 'F12 with a name ending in .png');
  check(readFileSync(png).subarray(0, 8).equals(Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A])), 'the capture is a PNG');

  // === a frame pass of 200 wires ===
  step = 'a frame pass';
  {
    const [c2] = await Promise.all([page.waitForEvent('filechooser', { timeout: 5000 }), page.keyboard.press('Control+o')]);
    await c2.setFiles(lattice);
    await waitTitle(/^lattice200\.vsm - VELTO$/, 'the 200-wire circuit opens');
    await pause(1500);
    const ms = await page.evaluate(() => Module.ccall('webpassms', 'number', [], []));
    console.log(`a pass of the 200-wire circuit in the browser: ${ms.toFixed(3)} ms`);
  }

  // === settings kept from visit to visit ===
  step = 'settings';
  const ini = () => page.evaluate(() => {
    try { return new TextDecoder().decode(FS.readFile('/home/web_user/.config/velto/velto.ini')); } catch { return ''; }
  });
  const grid = /gridmode=(\d)/.exec(await ini());
  await at(600, 500), await press('=');  // the dot grid on or off
  await pause(5600);  // the page stores them every five seconds
  await page.reload();
  await page.waitForFunction(() => window.Module && Module.velFirstFrame, null, { timeout: 10000 });
  const kept = /gridmode=(\d)/.exec(await ini());
  check(kept && (!grid || kept[1] !== grid[1]), `a setting changed is there after a reload (gridmode ${grid && grid[1]} -> ${kept && kept[1]})`);
} catch (e) {
  check(false, `the run went through: ${e.message}`);
}
for (const e of errors) check(false, e);
if (alerts.length) console.log(`alerts: ${alerts.join(' | ')}`);
await browser.close();
server.close();
console.log(failures ? `${failures} check(s) failed` : 'the browser test passed');
process.exit(failures ? 1 : 0);
