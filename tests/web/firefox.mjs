// firefox.mjs: Debian's Firefox ESR over WebDriver BiDi through puppeteer-core, headless, its
// sound into whatever PulseAudio server the environment names. The driver verbs are driver.mjs's.
import puppeteer from 'puppeteer-core';
import { openTab } from './driver.mjs';

export async function launch({ env, folder }) {
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.SHOW_FIREFOX ?? '/usr/bin/firefox-esr',
    headless: true,
    env,
    userDataDir: folder,
    // A call Firefox never answers (now and then a key press, on a loaded machine) fails the
    // test within a minute rather than three.
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
  return {
    // Chords as "Control+Equal": the modifiers held around the last key.
    open: (url) => openTab(browser, url, async (page, chord) => {
      const keys = chord.split('+');
      for (const key of keys.slice(0, -1)) await page.keyboard.down(key);
      await page.keyboard.press(keys[keys.length - 1]);
      for (const key of keys.slice(0, -1).reverse()) await page.keyboard.up(key);
    }),
    close: () => browser.close(),
  };
}
