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
  // A keyboard's media keys, which playwright does not name, as the browser's own input events.
  const media = { MediaPlayPause: 179, MediaStop: 178 };
  const press = async (page, key) => {
    if (!media[key]) return page.keyboard.press(key);
    const session = await browser.newCDPSession(page);
    for (const type of ['rawKeyDown', 'keyUp']) {
      await session.send('Input.dispatchKeyEvent', { type, key, code: key, windowsVirtualKeyCode: media[key], nativeVirtualKeyCode: media[key] });
    }
    await session.detach();
  };
  return {
    mediaKeys: true,
    offline: (on) => browser.setOffline(on),  // the network gone, for every page and worker
    open: (url) => openTab(browser, url, press),
    close: () => browser.close(),
  };
}
