// firefox.mjs: Debian's Firefox ESR over WebDriver BiDi through puppeteer-core, headless, its
// sound into whatever PulseAudio server the environment names. The driver verbs are driver.mjs's.
import puppeteer from 'puppeteer-core';
import { openTab } from './driver.mjs';

export async function launch({ env, folder }) {
  const start = () => puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.SHOW_FIREFOX ?? '/usr/bin/firefox-esr',
    headless: true,
    env,
    userDataDir: folder,
    // A call Firefox never answers fails the test within a minute rather than three.
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
  // and a new Firefox starts in a second or two.
  let browser = null;
  const press = async (page, chord) => {  // chords as "Control+Equal": modifiers held around the key
    const keys = chord.split('+');
    for (const key of keys.slice(0, -1)) await page.keyboard.down(key);
    await page.keyboard.press(keys[keys.length - 1]);
    for (const key of keys.slice(0, -1).reverse()) await page.keyboard.up(key);
  };
  return {
    async open(url) {
      await browser?.close();
      browser = await start();
      return openTab(browser, url, press);
    },
    close: () => browser?.close(),
  };
}
