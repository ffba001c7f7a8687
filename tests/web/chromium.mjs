// chromium.mjs: Debian's Chromium through playwright-core, with its sound on (into whatever
// PulseAudio server the environment names). The driver verbs are driver.mjs's.
import { chromium } from 'playwright-core';
import { openTab } from './driver.mjs';

export async function launch({ env, folder }) {
  const browser = await chromium.launchPersistentContext(folder, {
    executablePath: process.env.SHOW_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    env,
    ignoreDefaultArgs: ['--mute-audio'],
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  return {
    open: (url) => openTab(browser, url, (page, key) => page.keyboard.press(key)),
    close: () => browser.close(),
  };
}
