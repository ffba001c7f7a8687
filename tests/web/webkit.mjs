// webkit.mjs: WebKitGTK's MiniBrowser (the engine of Safari and of every iPhone browser) through
// Debian's WebKitWebDriver and selenium-webdriver, on a private Xvfb display, its sound into
// whatever PulseAudio server the environment names. The driver verbs are driver.mjs's.
import { spawn } from 'node:child_process';
import { execFileSync } from 'node:child_process';
import { createServer } from 'node:net';
import { Builder, By, Key } from 'selenium-webdriver';

const wait = (ms) => new Promise((done) => setTimeout(done, ms));
const freePort = () => new Promise((done) => {
  const server = createServer().listen(0, '127.0.0.1', () => { const { port } = server.address(); server.close(() => done(port)); });
});
// The MiniBrowser Debian ships in WebKitGTK's library folder.
function miniBrowser() {
  if (process.env.SHOW_MINIBROWSER) return process.env.SHOW_MINIBROWSER;
  const files = execFileSync('sh', ['-c', 'dpkg -L $(dpkg-query -W -f "\\${Package}\\n" "libwebkit2gtk-4*" | head -1)'], { encoding: 'utf8' });
  const found = files.split('\n').find((file) => file.endsWith('/MiniBrowser'));
  if (!found) throw new Error('no MiniBrowser in WebKitGTK\'s package (is libwebkit2gtk-4.1-0 installed?)');
  return found;
}
const kKeys = { Control: Key.CONTROL, Shift: Key.SHIFT, Enter: Key.ENTER, Tab: Key.TAB, Home: Key.HOME, F11: Key.F11,
                ArrowLeft: Key.ARROW_LEFT, ArrowRight: Key.ARROW_RIGHT, Equal: '=', Minus: '-' };

export async function launch({ env }) {
  const children = [];
  const stop = () => { for (const child of children.reverse()) child.kill(); };
  try {
    // A display of its own: Xvfb picks a free number and writes it on the named descriptor.
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                       { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
    children.push(xvfb);
    const display = await new Promise((done, failed) => {
      xvfb.stdio[3].on('data', (text) => done(`:${String(text).trim()}`));
      xvfb.on('exit', (code) => failed(new Error(`Xvfb ended with status ${code}`)));
    });
    const port = await freePort();
    const webDriver = spawn('WebKitWebDriver', [`--port=${port}`],
                            { env: { ...env, DISPLAY: display, NO_AT_BRIDGE: '1' }, stdio: 'ignore' });
    children.push(webDriver);
    let driver;
    for (let tries = 0; !driver; ++tries) {
      try {
        driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
          browserName: 'MiniBrowser',
          'webkitgtk:browserOptions': { binary: miniBrowser(), args: ['--automation'] },
        }).build();
      } catch (error) {
        if (tries > 100) throw error;
        await wait(100);
      }
    }
    await driver.manage().setTimeouts({ script: 300000 });
    const keyOf = (name) => kKeys[name] ?? name;
    return {
      async open(url) {
        await driver.get(url);
        return {
          async evaluate(fn, arg) {
            const result = await driver.executeAsyncScript(`const done = arguments[arguments.length - 1];
              Promise.resolve().then(() => (${fn})(arguments[0]))
                .then((value) => done({ value }), (error) => done({ error: String(error && error.stack || error) }));`, arg ?? null);
            if (result.error) throw new Error(result.error);
            return result.value;
          },
          // WebKitWebDriver once answered one of the browser's own chords with an error and no
          // message, in a clean run: every key is released and the chord pressed once more.
          async press(chord) {
            const keys = chord.split('+').map(keyOf);
            const perform = () => {
              let actions = driver.actions();
              for (const key of keys) actions = actions.keyDown(key);
              for (const key of [...keys].reverse()) actions = actions.keyUp(key);
              return actions.perform();
            };
            try {
              await perform();
            } catch (error) {
              console.log(`webkit: the driver refused ${chord} (${error.name}: ${error.message || 'no message'}); pressed again`);
              await driver.actions().clear();
              await perform();
            }
          },
          click: async (selector) => (await driver.findElement(By.css(selector))).click(),
          close: () => driver.get('about:blank'),
        };
      },
      async close() {
        await driver.quit().catch(() => {});
        stop();
      },
    };
  } catch (error) {
    stop();
    throw error;
  }
}
