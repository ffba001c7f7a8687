// webkit.mjs: WebKitGTK's MiniBrowser (the engine of Safari and of every iPhone browser) through
// Debian's WebKitWebDriver and selenium-webdriver, on a private Xvfb display, its sound into
// whatever PulseAudio server the environment names. The driver verbs are driver.mjs's.
import { execFileSync, spawn } from 'node:child_process';
import { closeSync, mkdirSync, openSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { createServer } from 'node:net';
import { Builder, By, Key } from 'selenium-webdriver';
import { DriverHang } from './driver.mjs';

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

export async function launch({ env, folder }) {
  const children = [];
  let output = null;
  const stop = () => {
    for (const child of children.reverse()) child.kill();
    if (output !== null) closeSync(output);
  };
  try {
    // A display of its own: Xvfb picks a free number and writes it on the named descriptor.
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                       { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
    children.push(xvfb);
    const display = await new Promise((done, failed) => {
      xvfb.stdio[3].on('data', (text) => done(`:${String(text).trim()}`));
      xvfb.on('exit', (code) => failed(new Error(`Xvfb ended with status ${code}`)));
    });
    // WebKitWebDriver and its session, started again when the session is lost: a MiniBrowser that
    // went away (once in CI's first thirty-four runs, 54 s into a recorded run) leaves a driver
    // that answers every later call with "invalid session id". Its output, the browser's
    // included, is kept in driver.log in the profile's folder, its last lines said at a loss.
    mkdirSync(folder, { recursive: true });
    const logFile = join(folder, 'driver.log');
    output = openSync(logFile, 'a');
    let driver = null, server = null;
    const start = async () => {
      const port = await freePort();
      server = spawn('WebKitWebDriver', [`--port=${port}`],
                     { env: { ...env, DISPLAY: display, NO_AT_BRIDGE: '1' }, stdio: ['ignore', output, output] });
      children.push(server);
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
    };
    const end = async () => {
      const [session, running] = [driver, server];
      driver = server = null;
      await session?.quit().catch(() => {});
      running?.kill();
    };
    // Every call to the driver: a lost session is a browser that stopped answering for good.
    const guard = async (call) => {
      try {
        return await call();
      } catch (error) {
        if (error.name !== 'NoSuchSessionError') throw error;
        await end();
        const said = readFileSync(logFile, 'utf8').trim().split('\n').slice(-5).join(' | ');
        throw new DriverHang(`WebKit's session was lost (${error.message || 'no message'}; the driver's last words: ${said || 'none'})`);
      }
    };
    await start();
    const keyOf = (name) => kKeys[name] ?? name;
    return {
      async open(url) {
        if (!driver) await start();
        await guard(() => driver.get(url));
        return {
          async evaluate(fn, arg) {
            const result = await guard(() => driver.executeAsyncScript(`const done = arguments[arguments.length - 1];
              Promise.resolve().then(() => (${fn})(arguments[0]))
                .then((value) => done({ value }), (error) => done({ error: String(error && error.stack || error) }));`, arg ?? null));
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
              await guard(perform);
            } catch (error) {
              if (error instanceof DriverHang) throw error;
              console.log(`webkit: the driver refused ${chord} (${error.name}: ${error.message || 'no message'}); pressed again`);
              await guard(() => driver.actions().clear());
              await guard(perform);
            }
          },
          click: (selector) => guard(async () => (await driver.findElement(By.css(selector))).click()),
          async close() { if (driver) await guard(() => driver.get('about:blank')); },
        };
      },
      async close() {
        await end();
        stop();
      },
    };
  } catch (error) {
    stop();
    throw error;
  }
}
