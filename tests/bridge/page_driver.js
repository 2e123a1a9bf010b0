// Drives the pool page in headless Chromium for tests/bridge/page.sh:
//   node page_driver.js CHROMIUM
// then one command a line on standard input, "MS KIND ARG": "open" loads the
// page ARG; else waits until the page shows it. Prints "ok", or "timeout <the
// page's text>". KIND: "text" (the page's text holds ARG), "no" (it does not),
// "high"/"low" (the plot of ARG, "SITE SLOT", ends in its top/bottom quarter,
// read from the canvas's pixels). The page's own errors go to standard error.
"use strict";
const puppeteer = require("puppeteer-core");

function shows(kind, arg) {
  if (kind === "text" || kind === "no") return document.body.innerText.includes(arg) === (kind === "text");
  const plot = [...document.querySelectorAll("canvas")].find((c) => `${c.dataset.site} ${c.dataset.slot}` === arg);
  if (!plot) return false;
  const column = plot.getContext("2d").getImageData(plot.width - 1, 0, 1, plot.height).data;
  const y = [...Array(plot.height).keys()].find((row) => column[4 * row + 3] > 128);
  return y !== undefined && (kind === "high" ? y < plot.height / 4 : y >= (plot.height * 3) / 4);
}

(async () => {
  const browser = await puppeteer.launch({ executablePath: process.argv[2], headless: true,
    userDataDir: require("fs").mkdtempSync(`${process.env.TMP}/chromium-`),
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking", "--disable-sync"] });
  const page = await browser.newPage();
  page.on("pageerror", (e) => console.error(`page error: ${e.message}`));
  const text = () => page.evaluate(() => document.body.innerText);
  for await (const line of require("readline").createInterface({ input: process.stdin })) {
    const [, ms, kind, arg] = line.match(/^(\d+) (\w+) (.*)$/) || [];
    const done = kind === "open" ? page.goto(arg, { timeout: Number(ms) })
      : page.waitForFunction(shows, { timeout: Number(ms), polling: 10 }, kind, arg);
    await done.then(() => console.log("ok"), async () => console.log(`timeout ${JSON.stringify(await text())}`));
  }
  await browser.close();
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
