// firefox.mjs: Debian's Firefox ESR over WebDriver BiDi through puppeteer-core, headless, its
// sound into whatever PulseAudio server the environment names. The driver verbs are driver.mjs's.
import puppeteer from 'puppeteer-core';
import { DriverHang, openTab } from './driver.mjs';

const wait = (ms) => new Promise((done) => setTimeout(done, ms));

export async function launch({ env, folder }) {
  const start = () => puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.SHOW_FIREFOX ?? '/usr/bin/firefox-esr',
    headless: true,
    env,
    userDataDir: folder,
    // Longer than the test's own wait below, so that a call never answered is told by that.
    protocolTimeout: 60000,
    extraPrefsFirefox: {
      // Sound after the click, as a viewer who pressed play has it, and no prompt in the way.
      'media.autoplay.default': 0,
      'media.autoplay.blocking_policy': 0,
      'media.autoplay.block-webaudio': false,
      'media.cubeb.backend': 'pulse',
      'browser.shell.checkDefaultBrowser': false,
      'datareporting.policy.dataSubmissionEnabled': false,
    },
  });
  // A browser of its own for each page: over BiDi, a second tab opened after one was closed now
  // and then got no answer to anything (one run in four, after a page had drawn a hundred frames),
  // and a new Firefox starts in a second or two. A browser that still stops answering is said as
  // a DriverHang, and killed if it does not close. (One that did, one start in ten, was the
  // page's thread locked up inside Firefox by reading outputLatency as the sound started; the
  // clock's own test holds that read back now, so a test begun again cannot hide it.)
  let browser = null;
  const shut = async () => {
    const closing = browser;
    browser = null;
    if (!closing) return;
    const closed = await Promise.race([closing.close().then(() => true, () => false), wait(10000).then(() => false)]);
    if (!closed) closing.process()?.kill('SIGKILL');
  };
  // A call not answered within half a minute by the test's own clock, whatever the driver says
  // or does not say, is a browser that stopped answering.
  const answered = (promise) => {
    let timer;
    const hang = new Promise((_, fail) => {
      timer = setTimeout(() => fail(new DriverHang('Firefox stopped answering for 30 s')), 30000);
    });
    promise.catch(() => {});  // should it fail after the hang was said, nobody waits for it
    return Promise.race([promise, hang]).finally(() => clearTimeout(timer));
  };
  const press = async (page, chord) => {  // chords as "Control+Equal": modifiers held around the key
    const keys = chord.split('+');
    for (const key of keys.slice(0, -1)) await page.keyboard.down(key);
    await page.keyboard.press(keys[keys.length - 1]);
    for (const key of keys.slice(0, -1).reverse()) await page.keyboard.up(key);
  };
  return {
    async open(url) {
      await shut();
      browser = await start();
      const tab = await answered(openTab(browser, url, press));
      return {
        evaluate: (fn, arg) => answered(tab.evaluate(fn, arg)),
        press: (key) => answered(tab.press(key)),
        click: (selector) => answered(tab.click(selector)),
        close: () => answered(tab.close()).catch(shut),
      };
    },
    close: shut,
  };
}
