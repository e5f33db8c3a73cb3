// node's standard streams count as terminals to the program only where they
// are ones, so that the progress line goes to terminals alone, as on the
// desktop.
if (typeof process === 'object') {
  Module['onRuntimeInitialized'] = () => {
    for (const fd of [0, 1, 2]) {
      if (FS.streams[fd]) FS.streams[fd].tty = require('tty').isatty(fd);
    }
  };
}
