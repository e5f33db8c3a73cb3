// The guide's page: a QR code beside each experiment's link, of the link as
// this site serves it, for pupils to scan off the projector.
import { DrawCode } from './share.js';

for (const canvas of document.querySelectorAll('canvas.code')) {
  DrawCode(canvas, new URL(canvas.dataset.link, location.href).href, 160);
}
