// Drives the pool page in headless Chromium for tests/bridge/bridge_sites.sh:
//   node page_driver.js CHROMIUM URL
// then, one command a line on standard input, "wait MILLISECONDS TEXT": waits
// until the page's text holds TEXT and prints "ok <ms it took>", or prints
// "timeout <the page's text>". The page's own errors go to standard error.
"use strict";
const puppeteer = require("puppeteer-core");
const readline = require("readline");
const fs = require("fs");
const os = require("os");
const path = require("path");

const [chromium, url] = process.argv.slice(2);
(async () => {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "orvantis-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
  });
  const page = await browser.newPage();
  page.on("pageerror", (e) => console.error(`page error: ${e.message}`));
  await page.goto(url);
  const text = () => page.evaluate(() => document.body.innerText);
  for await (const line of readline.createInterface({ input: process.stdin })) {
    const [, ms, wanted] = line.match(/^wait (\d+) (.*)$/) || [];
    if (!wanted) break;
    const started = Date.now();
    try {
      await page.waitForFunction((t) => document.body.innerText.includes(t), { timeout: Number(ms), polling: 10 },
                                 wanted);
      console.log(`ok ${Date.now() - started}`);
    } catch {
      console.log(`timeout ${JSON.stringify(await text())}`);
    }
  }
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
