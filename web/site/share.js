// 共有: the link that reopens the current run on another device, as text and
// as a QR code large enough to scan off a projector, with コピー, and a
// warning when the page's own address is one that only this computer opens.
import qrcode from './qrcode.mjs';

const kLoopback = ['localhost', '127.0.0.1', '[::1]', '::1'];
const kQuietModules = 4;       // the white margin the code needs around it
const kMinModulePixels = 4;    // screen pixels a module, at the least

export function IsLoopback(hostname) {
  return kLoopback.includes(hostname) || /^127\.\d+\.\d+\.\d+$/.test(hostname);
}

// The QR code of `text`, error correction M, drawn on `canvas` with a whole
// number of device pixels a module: at least kMinModulePixels, and as large
// as `sizeCss` CSS pixels allow. Returns the modules a side.
export function DrawCode(canvas, text, sizeCss) {
  const code = qrcode(0, 'M');
  code.addData(text, 'Byte');
  code.make();
  const modules = code.getModuleCount();
  const side = modules + 2 * kQuietModules;
  const ratio = devicePixelRatio || 1;
  const cell = Math.max(kMinModulePixels, Math.floor((sizeCss * ratio) / side));
  canvas.width = side * cell;
  canvas.height = side * cell;
  canvas.style.width = `${(side * cell) / ratio}px`;
  canvas.style.height = `${(side * cell) / ratio}px`;
  const context = canvas.getContext('2d');
  context.fillStyle = 'white';
  context.fillRect(0, 0, canvas.width, canvas.height);
  context.fillStyle = 'black';
  for (let row = 0; row < modules; ++row) {
    for (let col = 0; col < modules; ++col) {
      if (code.isDark(row, col)) {
        context.fillRect((col + kQuietModules) * cell, (row + kQuietModules) * cell, cell, cell);
      }
    }
  }
  canvas.dataset.modules = String(modules);
  canvas.dataset.cell = String(cell);
  return modules;
}

// Loaded at the first press of 共有, which then calls Open().
export class Share {
  // `query()` gives the address parameters of the current run ("?count=…").
  constructor(query) {
    this.box = document.getElementById('shareBox');
    this.linkField = document.getElementById('shareLink');
    this.canvas = document.getElementById('shareCode');
    this.copied = document.getElementById('shareCopied');
    this.query = query;
    document.getElementById('shareCopy').addEventListener('click', () => this.Copy());
    this.linkField.addEventListener('focus', () => this.linkField.select());
    const warning = document.getElementById('shareLoopback');
    if (IsLoopback(location.hostname)) {
      warning.hidden = false;
      warning.textContent = `このアドレス (${location.hostname}) は、このコンピューターの中でしか開けません。` +
        '生徒の端末からは開けないので、教室のネットワークにページを公開してから共有してください' +
        ' (README の「In a classroom」、授業ガイドの「生徒の端末で開く」の手順)。';
    }
  }

  Link() {
    return `${location.origin}${location.pathname}${this.query()}`;
  }

  Open() {
    const link = this.Link();
    this.linkField.value = link;
    this.copied.textContent = '';
    if (!this.box.open) this.box.showModal();
    // As large as the window leaves room for, beside the text and buttons.
    const room = Math.min(innerWidth * 0.8, innerHeight - 260, 640);
    DrawCode(this.canvas, link, Math.max(room, 120));
    this.linkField.focus();
    this.linkField.select();
  }

  // The Clipboard API where the page may use it (a secure context); elsewhere,
  // on plain http over a school network, the link is left selected.
  async Copy() {
    const link = this.linkField.value;
    try {
      if (!window.isSecureContext || !navigator.clipboard) throw new Error('no clipboard');
      await navigator.clipboard.writeText(link);
      this.copied.textContent = 'リンクをコピーしました。';
    } catch {
      this.linkField.focus();
      this.linkField.select();
      this.copied.textContent = 'リンクを選択しました。Ctrl+C (Mac は ⌘C) でコピーしてください。';
    }
  }
}
