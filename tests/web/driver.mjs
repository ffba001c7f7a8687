// driver.mjs: the browser test's few verbs, the same in every engine: open a page, evaluate a
// function with an argument in it, press a key (chords as "Control+Equal"), click, set the seek
// bar, wait for a condition, close. One file per engine (chromium.mjs, firefox.mjs, webkit.mjs)
// launches it and answers the first four; the rest are made of those here.
export const kEngines = ['chromium', 'firefox', 'webkit'];

const wait = (ms) => new Promise((done) => setTimeout(done, ms));

// The browser stopped answering the driver for good: a test may start again in a fresh one (and
// says so, since a page that locks up its browser looks the same from here).
export class DriverHang extends Error {}

// Launches `engine` with `env` (its sound server), its profile in `folder`.
export async function launch(engine, { env, folder }) {
  const { launch: start } = await import(`./${engine}.mjs`);
  const browser = await start({ env, folder });
  return {
    engine,
    mediaKeys: !!browser.mediaKeys,  // the engine's driver presses a keyboard's media keys
    offline: browser.offline,        // and takes the network away (on) and gives it back
    async open(url) {
      const page = await browser.open(url);
      return {
        ...page,
        // The seek bar dragged to `value`, as the page hears a drag: focus, value, 'input'.
        seek: (value) => page.evaluate((value) => {
          const bar = document.getElementById('seek');
          bar.focus();
          bar.value = String(value);
          bar.dispatchEvent(new Event('input', { bubbles: true }));
        }, value),
        // Until `condition(arg)` in the page is true, polled; an error names `what` after `ms`.
        // WebKitWebDriver once answered such a poll, a second after the page was opened, with
        // "Could not parse script result" (a poll only reads, so it is asked again).
        async waitFor(condition, arg, ms = 15000, what = String(condition)) {
          let unread = null;
          for (const end = Date.now() + ms; ; await wait(50)) {
            try {
              if (await page.evaluate(condition, arg)) return;
              unread = null;
            } catch (error) {
              if (!/Could not parse script result/.test(error.message)) throw error;
              unread = error.message;
            }
            if (Date.now() > end) throw new Error(`waited ${ms} ms for ${what}${unread ? ` (the driver answered: ${unread})` : ''}`);
          }
        },
      };
    },
    close: () => browser.close(),
  };
}

// A new tab at `url` of a playwright or puppeteer browser (alike in all used here), with the
// engine's way to `press` a key.
export async function openTab(browser, url, press) {
  const page = await browser.newPage();
  await page.goto(url);
  return {
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    press: (key) => press(page, key),
    click: (selector) => page.click(selector),
    close: () => page.close(),
  };
}
