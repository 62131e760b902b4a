// The camctl page: live view, settings, capture and the gallery over the server's JSON API.
'use strict';

const $ = (id) => document.getElementById(id);
const state = { liveOn: false, images: new Map(), messageTimer: 0 };

// The token came in the address; the server keeps it in a cookie, so drop it from the bar.
if (location.search.includes('token=')) {
  history.replaceState(null, '', location.pathname);
}

function showMessage(text, isError) {
  const box = $('message');
  box.textContent = text;
  box.classList.toggle('error', Boolean(isError));
  box.hidden = false;
  clearTimeout(state.messageTimer);
  state.messageTimer = setTimeout(() => { box.hidden = true; }, isError ? 6000 : 2500);
}

async function api(method, path, body) {
  const options = { method, headers: {} };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  const data = await response.json().catch(() => ({}));
  if (!response.ok) {
    const error = data.error || {};
    throw new Error((error.code ? error.code + ': ' : '') + (error.message || response.statusText));
  }
  return data;
}

function formatBytes(bytes) {
  const units = ['B', 'KiB', 'MiB', 'GiB', 'TiB'];
  let value = bytes;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit += 1;
  }
  return (unit === 0 ? value : value.toFixed(1)) + ' ' + units[unit];
}

// ---- camera, battery and card space ----

async function refreshCamera() {
  try {
    const camera = await api('GET', '/api/camera');
    $('model').textContent = camera.model;
    $('battery').textContent = 'Battery ' + camera.battery + '%';
    const cards = camera.storages.filter((s) => s.available);
    $('storage').textContent = cards.length === 0
      ? 'No card'
      : cards.map((s) => formatBytes(s.freeBytes) + ' free · ' + s.freeImages + ' shots').join(' | ');
    setConnected(camera.connected);
  } catch (error) {
    setConnected(false);
  }
}

function setConnected(connected) {
  const banner = $('banner');
  banner.textContent = 'Camera disconnected';
  banner.hidden = connected;
  for (const button of document.querySelectorAll('main button')) {
    button.disabled = !connected;
  }
}

// ---- live view and click-to-focus ----

function setLiveView(on) {
  state.liveOn = on;
  const img = $('liveview');
  if (on) {
    img.src = '/api/liveview?t=' + Date.now();
  } else {
    img.removeAttribute('src');
  }
  $('liveoff').hidden = on;
  $('liveview-toggle').textContent = on ? 'Stop live view' : 'Start live view';
}

// The stream ends when the camera leaves or the server restarts it; open a new one.
$('liveview').addEventListener('error', () => {
  if (state.liveOn) {
    setTimeout(() => { if (state.liveOn) setLiveView(true); }, 1500);
  }
});

$('liveview-toggle').addEventListener('click', () => setLiveView(!state.liveOn));

$('liveframe').addEventListener('click', async (event) => {
  const frame = $('liveframe').getBoundingClientRect();
  const x = Math.min(1, Math.max(0, (event.clientX - frame.left) / frame.width));
  const y = Math.min(1, Math.max(0, (event.clientY - frame.top) / frame.height));
  const marker = $('focuspoint');
  marker.style.left = (x * 100) + '%';
  marker.style.top = (y * 100) + '%';
  marker.classList.remove('failed');
  marker.hidden = false;
  try {
    await api('POST', '/api/focus', { point: { x, y } });
    showMessage('Focused');
  } catch (error) {
    marker.classList.add('failed');
    showMessage('Focus failed: ' + error.message, true);
  }
});

// ---- settings ----

function settingControl(setting) {
  if (setting.error) {
    const output = document.createElement('output');
    output.textContent = setting.error.message || setting.error.code;
    return output;
  }
  const accepted = setting.accepted || [];
  if (!setting.writable || accepted.length === 0) {
    const output = document.createElement('output');
    output.textContent = setting.value === null ? '–' : setting.value;
    return output;
  }
  const select = document.createElement('select');
  select.dataset.setting = setting.name;
  // Only what the camera accepts now is offered; the current value is shown even if it is not
  // among them, so the control never lies about the camera.
  const values = accepted.includes(setting.value) || setting.value === null
    ? accepted : [setting.value, ...accepted];
  for (const value of values) {
    const option = document.createElement('option');
    option.value = value;
    option.textContent = value;
    option.disabled = !accepted.includes(value);
    select.append(option);
  }
  select.value = setting.value;
  select.addEventListener('change', () => writeSetting(setting.name, select.value));
  return select;
}

async function refreshSettings() {
  let data;
  try {
    data = await api('GET', '/api/settings');
  } catch (error) {
    return;
  }
  const form = $('settings');
  const focused = document.activeElement && document.activeElement.dataset
    ? document.activeElement.dataset.setting : undefined;
  form.replaceChildren();
  for (const setting of data.settings) {
    const label = document.createElement('label');
    label.textContent = setting.name;
    const control = settingControl(setting);
    control.id = 'setting-' + setting.name;
    label.htmlFor = control.id;
    form.append(label, control);
  }
  if (focused) {
    const again = form.querySelector('[data-setting="' + CSS.escape(focused) + '"]');
    if (again) again.focus();
  }
}

async function writeSetting(name, value) {
  try {
    const result = await api('PUT', '/api/settings', { [name]: value });
    const written = result.settings.find((s) => s.name === name);
    showMessage(name + ': ' + (written ? written.value : value));
  } catch (error) {
    showMessage(name + ': ' + error.message, true);
  }
  // Other settings' accepted values may depend on this one.
  refreshSettings();
}

// ---- capture and movie ----

async function runButton(button, action, doneText) {
  button.disabled = true;
  try {
    await action();
    showMessage(doneText);
  } catch (error) {
    showMessage(error.message, true);
  } finally {
    button.disabled = false;
  }
}

$('capture').addEventListener('click', () =>
  runButton($('capture'), () => api('POST', '/api/capture', { focus: true }), 'Captured'));
$('movie-start').addEventListener('click', () =>
  runButton($('movie-start'), () => api('POST', '/api/movie/start'), 'Recording'));
$('movie-stop').addEventListener('click', () =>
  runButton($('movie-stop'), () => api('POST', '/api/movie/stop'), 'Recording stopped'));

// ---- gallery ----

function galleryItem(image) {
  const item = document.createElement('li');
  item.dataset.id = image.id;
  const thumb = document.createElement('img');
  thumb.alt = image.name;
  thumb.loading = 'lazy';
  if (image.thumbnail) {
    thumb.src = '/api/images/' + encodeURIComponent(image.id) + '/thumbnail';
  }
  const name = document.createElement('div');
  name.className = 'name';
  name.textContent = image.name;
  const size = document.createElement('div');
  size.className = 'size';
  // The camera gives 0 for a size it cannot tell; the download is whole all the same.
  size.textContent = (image.size ? formatBytes(image.size) : 'size unknown')
    + (image.date ? ' · ' + image.date : '');
  const actions = document.createElement('div');
  actions.className = 'actions';
  const download = document.createElement('a');
  download.href = '/api/images/' + encodeURIComponent(image.id) + '/data';
  download.setAttribute('download', '');
  download.textContent = 'Download';
  download.className = 'download';
  const remove = document.createElement('button');
  remove.type = 'button';
  remove.textContent = 'Delete';
  remove.className = 'delete';
  remove.addEventListener('click', async () => {
    const where = image.tether ? ' (kept by the server only)' : ' from the camera';
    if (!confirm('Delete ' + image.name + where + '?')) return;
    try {
      await api('DELETE', '/api/images/' + encodeURIComponent(image.id));
      removeImage(image.id);
      refreshCamera();
    } catch (error) {
      showMessage('Delete failed: ' + error.message, true);
    }
  });
  actions.append(download, remove);
  item.append(thumb, name, size, actions);
  return item;
}

function updateCount() {
  $('image-count').textContent = '(' + state.images.size + ')';
}

function addImage(image) {
  // Pictures on a card and those the server kept from the camera's buffer can be fetched again.
  if (!image || !(image.storage || image.tether) || state.images.has(image.id)) return;
  const item = galleryItem(image);
  state.images.set(image.id, item);
  $('gallery').prepend(item);
  updateCount();
}

function removeImage(id) {
  const item = state.images.get(id);
  if (item) item.remove();
  state.images.delete(id);
  updateCount();
}

async function refreshImages() {
  try {
    const data = await api('GET', '/api/images');
    const present = new Set(data.images.map((image) => image.id));
    for (const id of [...state.images.keys()]) {
      if (!present.has(id)) removeImage(id);
    }
    for (const image of data.images) addImage(image);
  } catch (error) {
    // shown by the banner
  }
}

// ---- events ----

function listenForEvents() {
  const events = new EventSource('/api/events');
  const data = (event) => JSON.parse(event.data);
  events.addEventListener('imageStored', (event) => {
    addImage(data(event).image);
    refreshCamera();
  });
  events.addEventListener('imageAdded', (event) => addImage(data(event).image));
  events.addEventListener('imageFailed', (event) => {
    const failure = data(event);
    showMessage((failure.name ? failure.name + ': ' : '') + failure.message, true);
  });
  events.addEventListener('captureComplete', () => refreshCamera());
  events.addEventListener('captureSettingsChanged', () => refreshSettings());
  events.addEventListener('deviceDisconnected', () => setConnected(false));
  // The server resumes the live view streams still open; the rest is read again.
  events.addEventListener('deviceConnected', () => refreshAll());
  events.addEventListener('open', () => refreshAll());
}

function refreshAll() {
  refreshCamera();
  refreshSettings();
  refreshImages();
}

listenForEvents();
refreshAll();
setLiveView(true);
setInterval(refreshCamera, 10000);
