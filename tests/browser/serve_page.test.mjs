// The camctl serve page in headless Chromium against an emulated camera: live view, settings,
// capture, gallery, download, unplug and return, and the token on a non-loopback address.
// Prints "browser: N passed, M failed" for scripts/test.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const camctl = process.env.CAMCTL || path.join(here, '../../build/bin/camctl');
const screenshotDir = process.env.SCREENSHOT_DIR;  // set to refresh the pictures in docs/
const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--no-first-run', '--disable-background-networking', '--disable-component-update',
  '--disable-sync'];
const cardFile = 'QRN_0001.JPG';

// Starts `camctl serve` on an emulated camera (without a card: pictures reach the host through
// the camera's buffer); resolves with its printed address.
function startServer(listen, extraControls = [], { noCard = false } = {}) {
  const controls = ['timescale=0.01', ...(noCard ? [] : [`file=DCIM/100QUORN/${cardFile}:250000`]),
    ...extraControls];
  const args = ['--emulate', 'Alto II', ...(noCard ? ['--emulate-no-card'] : []),
    ...controls.flatMap((c) => ['--emulate-with', c]), '--json', 'serve', '--listen', listen];
  const child = spawn(camctl, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  let errors = '';
  child.stderr.on('data', (chunk) => { errors += chunk; });
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('camctl serve did not start: ' + errors)), 20000);
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const line = out.split('\n')[0];
      if (out.includes('\n')) {
        clearTimeout(timer);
        const ready = JSON.parse(line);
        resolve({ child, url: ready.url, token: ready.token, origin: new URL(ready.url).origin });
      }
    });
    child.on('exit', (code) => reject(new Error(`camctl serve exited (${code}): ${errors}`)));
  });
}

function stopServer(server) {
  return new Promise((resolve) => {
    if (server.child.exitCode !== null) return resolve();
    const timer = setTimeout(() => server.child.kill('SIGKILL'), 10000);
    server.child.on('exit', () => { clearTimeout(timer); resolve(); });
    server.child.kill('SIGINT');
  });
}

async function api(server, pathname) {
  const response = await fetch(server.origin + pathname);
  assert.equal(response.status, 200, pathname);
  return response.json();
}

async function until(what, check, timeoutMs = 30000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error('timed out waiting for ' + what);
    await new Promise((r) => setTimeout(r, 200));
  }
}

async function launch(viewport) {
  const profile = mkdtempSync(path.join(tmpdir(), 'camctl-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true, args: chromiumArgs, viewport,
    acceptDownloads: true,
  });
  return {
    context,
    page: context.pages()[0] || await context.newPage(),
    close: async () => { await context.close(); rmSync(profile, { recursive: true, force: true }); },
  };
}

const tests = [];
const test = (name, body) => tests.push({ name, body });

let main;  // one server and browser for the tests that share them
let browser;

test('the page loads with the camera, battery, card space and settings', async () => {
  const { page } = browser;
  await page.goto(main.url);
  await page.waitForSelector('select[data-setting="ISO"]');
  assert.match(await page.textContent('#model'), /Alto II/);
  assert.match(await page.textContent('#battery'), /\d+%/);
  assert.match(await page.textContent('#storage'), /free/);
  assert.equal(await page.isVisible('#banner'), false);
});

test('live view frames arrive and change', async () => {
  const { page } = browser;
  await until('a live view frame', () => page.$eval('#liveview', (img) => img.naturalWidth > 0));
  const first = await page.locator('#liveview').screenshot();
  const changed = await until('a different frame', async () => {
    await new Promise((r) => setTimeout(r, 300));
    const next = await page.locator('#liveview').screenshot();
    return !next.equals(first);
  });
  assert.ok(changed);
});

test('click-to-focus sends the point', async () => {
  const { page } = browser;
  await page.click('#liveframe', { position: { x: 40, y: 30 } });
  await page.waitForSelector('#focuspoint:not([hidden]):not(.failed)');
  await until('the focus message', async () => /Focused/.test(await page.textContent('#message')));
});

test('a setting changed on the page reads back through the API', async () => {
  const { page } = browser;
  const options = await page.$$eval('select[data-setting="ISO"] option:not([disabled])',
    (list) => list.map((o) => o.value));
  const current = await page.$eval('select[data-setting="ISO"]', (s) => s.value);
  const wanted = options.find((v) => v !== current && v !== 'Auto');
  await page.selectOption('select[data-setting="ISO"]', wanted);
  await until('ISO ' + wanted + ' on the camera', async () => {
    const { settings } = await api(main, '/api/settings');
    return settings.find((s) => s.name === 'ISO').value === wanted;
  });
});

test('a capture adds its thumbnail to the gallery', async () => {
  const { page } = browser;
  await page.waitForSelector('#gallery li');
  const before = await page.$$eval('#gallery li', (items) => items.length);
  await page.click('#capture');
  await until('a new thumbnail', async () =>
    (await page.$$eval('#gallery li', (items) => items.length)) > before);
  await until('the thumbnail picture', () =>
    page.$eval('#gallery li:first-child img', (img) => img.complete && img.naturalWidth > 0));
});

test("a download's bytes match the camera's file", async () => {
  const { page } = browser;
  const { images } = await api(main, '/api/images');
  const image = images.find((i) => i.name === cardFile);
  const item = page.locator(`#gallery li[data-id="${image.id}"]`);
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    item.locator('a.download').click(),
  ]);
  assert.equal(download.suggestedFilename(), cardFile);
  const saved = readFileSync(await download.path());
  const direct = Buffer.from(await (await fetch(`${main.origin}/api/images/${image.id}/data`)).arrayBuffer());
  assert.equal(saved.length, image.size);
  assert.ok(saved.equals(direct));
  assert.equal(saved.readUInt16BE(0), 0xffd8);
});

test('delete removes the picture from the page and the camera', async () => {
  const { page } = browser;
  const { images } = await api(main, '/api/images');
  const image = images.find((i) => i.name === cardFile);
  page.once('dialog', (dialog) => dialog.accept());
  await page.locator(`#gallery li[data-id="${image.id}"] button.delete`).click();
  await page.waitForSelector(`#gallery li[data-id="${image.id}"]`, { state: 'detached' });
  const response = await fetch(`${main.origin}/api/images/${image.id}/data`);
  assert.equal(response.status, 404);
});

test('screenshots on a desktop and a phone', async () => {
  for (const [name, viewport] of [['desktop', { width: 1280, height: 860 }],
    ['phone', { width: 390, height: 844 }]]) {
    const { page } = browser;
    await page.setViewportSize(viewport);
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.waitForTimeout(500);
    if (screenshotDir) {
      mkdirSync(screenshotDir, { recursive: true });
      await page.screenshot({ path: path.join(screenshotDir, `serve-${name}.png`) });
    }
    // Nothing sticks out sideways, which on a phone would mean scrolling to reach it.
    const wide = await page.evaluate(() => [...document.querySelectorAll('body *')]
      .filter((e) => e.getBoundingClientRect().right > document.documentElement.clientWidth + 1)
      .map((e) => e.tagName + '#' + e.id + '.' + e.className).slice(0, 5));
    assert.deepEqual(wide, [], `${name}: wider than the screen`);
  }
});

test('an unplugged camera shows on the page, live view resumes when it is back, and a picture '
  + 'from its buffer joins the gallery', async () => {
  const server = await startServer('127.0.0.1:0', ['after=6000:unplug=1', 'after=13000:unplug=0'],
    { noCard: true });
  const other = await launch({ width: 800, height: 700 });
  try {
    await other.page.goto(server.url);
    await other.page.waitForSelector('#banner:not([hidden])', { timeout: 40000 });
    assert.match(await other.page.textContent('#banner'), /disconnected/i);
    await other.page.waitForSelector('#banner[hidden]', { state: 'attached', timeout: 40000 });
    const before = await other.page.locator('#liveview').screenshot();
    await until('a new frame after the camera came back', async () => {
      await new Promise((r) => setTimeout(r, 300));
      return !(await other.page.locator('#liveview').screenshot()).equals(before);
    });
    await other.page.click('#capture');
    await until('the tether picture', () => other.page.$eval('#gallery li:first-child img',
      (img) => img.complete && img.naturalWidth > 0).catch(() => false));
    const id = await other.page.$eval('#gallery li:first-child', (li) => li.dataset.id);
    const saved = Buffer.from(await (await fetch(`${server.origin}/api/images/${id}/data`)).arrayBuffer());
    assert.equal(saved.readUInt16BE(0), 0xffd8);
  } finally {
    await other.close();
    await stopServer(server);
  }
});

test('a request without the token on a non-loopback address is refused', async () => {
  const server = await startServer('127.0.0.2:0');
  const other = await launch({ width: 800, height: 700 });
  try {
    assert.ok(server.token && server.url.includes(server.token));
    const bare = server.origin + '/';
    const refused = await other.page.goto(bare);
    assert.equal(refused.status(), 401);
    assert.equal((await fetch(server.origin + '/api/liveview')).status, 401);
    const allowed = await other.page.goto(server.url);
    assert.equal(allowed.status(), 200);
    // The cookie carries the token on, the streams included.
    await other.page.waitForSelector('select[data-setting="ISO"]');
    await until('a live view frame', () =>
      other.page.$eval('#liveview', (img) => img.naturalWidth > 0));
    assert.equal(new URL(other.page.url()).search, '');
  } finally {
    await other.close();
    await stopServer(server);
  }
});

async function run() {
  let passed = 0;
  let failed = 0;
  try {
    main = await startServer('127.0.0.1:0');
    browser = await launch({ width: 1280, height: 860 });
    for (const { name, body } of tests) {
      try {
        await body();
        passed += 1;
        console.log('ok - ' + name);
      } catch (error) {
        failed += 1;
        console.log('not ok - ' + name + '\n  ' + String(error.stack || error).replace(/\n/g, '\n  '));
      }
    }
  } catch (error) {
    failed += 1;
    console.log('not ok - setup\n  ' + String(error.stack || error));
  } finally {
    if (browser) await browser.close();
    if (main) await stopServer(main);
  }
  console.log(`browser: ${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

// The whole stage is bounded, whatever hangs.
setTimeout(() => {
  console.log('not ok - the browser test did not finish within 150 s');
  console.log('browser: 0 passed, 1 failed');
  process.exit(1);
}, 150000).unref();

run();
