// Load on `camctl serve`: live view viewers plus a client polling the settings, against an
// emulated camera. Prints the frame rate alone and under load, and the polling figures.
// Usage: node bench/serve_load.mjs CAMCTL [SECONDS] [VIEWERS] [POLLS_PER_SECOND]
import { spawn } from 'node:child_process';

const [camctl, seconds = '60', viewerCount = '10', pollRate = '20'] = process.argv.slice(2);
const boundary = Buffer.from('--camctlframe\r\n');

function startServer() {
  const child = spawn(camctl, ['--emulate', 'Alto II', '--json', 'serve', '--listen', '127.0.0.1:0'],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      if (out.includes('\n')) resolve({ child, origin: new URL(JSON.parse(out.split('\n')[0]).url).origin });
    });
    child.on('exit', (code) => reject(new Error('camctl serve exited with ' + code)));
  });
}

// Counts the frames one viewer receives until `stopAt`.
async function view(origin, stopAt) {
  const controller = new AbortController();
  const response = await fetch(origin + '/api/liveview', { signal: controller.signal });
  if (response.status !== 200) throw new Error('live view: HTTP ' + response.status);
  let frames = 0;
  let started = 0;
  let tail = Buffer.alloc(0);
  const reader = response.body.getReader();
  try {
    while (Date.now() < stopAt) {
      const { value, done } = await reader.read();
      if (done) throw new Error('live view stream ended early');
      const data = Buffer.concat([tail, Buffer.from(value)]);
      for (let at = data.indexOf(boundary); at >= 0; at = data.indexOf(boundary, at + 1)) {
        if (started === 0) started = Date.now();
        frames += 1;
      }
      tail = data.subarray(Math.max(0, data.length - boundary.length + 1));
    }
  } finally {
    controller.abort();
  }
  return { frames: frames - 1, seconds: (Date.now() - started) / 1000 };
}

async function poll(origin, stopAt, rate) {
  const latencies = [];
  let failures = 0;
  const pending = [];
  const interval = 1000 / rate;
  for (let next = Date.now(); next < stopAt; next += interval) {
    await new Promise((r) => setTimeout(r, Math.max(0, next - Date.now())));
    const start = performance.now();
    pending.push(fetch(origin + '/api/settings')
      .then(async (response) => {
        const body = await response.json();
        if (response.status !== 200 || !Array.isArray(body.settings) ||
            body.settings.some((s) => s.error)) failures += 1;
        latencies.push(performance.now() - start);
      })
      .catch(() => { failures += 1; }));
  }
  await Promise.all(pending);
  latencies.sort((a, b) => a - b);
  const at = (q) => latencies[Math.min(latencies.length - 1, Math.floor(q * latencies.length))];
  return { requests: pending.length, failures, p50: at(0.5), p99: at(0.99), max: latencies.at(-1) };
}

const fps = (r) => r.frames / r.seconds;
const server = await startServer();
try {
  const alone = await view(server.origin, Date.now() + 10000);
  console.log(`one viewer alone: ${fps(alone).toFixed(1)} frames/s`);
  const stopAt = Date.now() + Number(seconds) * 1000;
  const viewers = Array.from({ length: Number(viewerCount) }, () => view(server.origin, stopAt));
  const [polls, ...results] = await Promise.all([poll(server.origin, stopAt, Number(pollRate)), ...viewers]);
  const rates = results.map(fps);
  console.log(`${viewerCount} viewers for ${seconds} s: ${Math.min(...rates).toFixed(1)} to ` +
    `${Math.max(...rates).toFixed(1)} frames/s each (mean ${(rates.reduce((a, b) => a + b) / rates.length).toFixed(1)})`);
  console.log(`settings polled at ${pollRate}/s: ${polls.requests} requests, ${polls.failures} failed, ` +
    `latency p50 ${polls.p50.toFixed(1)} ms, p99 ${polls.p99.toFixed(1)} ms, max ${polls.max.toFixed(1)} ms`);
  process.exitCode = polls.failures === 0 && Math.min(...rates) >= 0.9 * fps(alone) ? 0 : 1;
} finally {
  server.child.kill('SIGINT');
}
