// Drives the pool page in headless Chromium for tests/bridge/page.sh:
//   node page_driver.js CHROMIUM URL
// then one command a line on standard input: "open URL", or "wait MS KIND ARG":
// waits until the page shows it and prints "ok", or prints "timeout <the
// page's text>". KIND: "text" (the page's text holds ARG), "no" (it does not),
// "high"/"low" (the plot of ARG, "SITE SLOT", ends in its top/bottom quarter,
// read from the canvas's pixels). The page's own errors go to standard error.
"use strict";
const puppeteer = require("puppeteer-core");
const readline = require("readline");
const fs = require("fs");
const path = require("path");

function shows(kind, arg) {
  if (kind === "text" || kind === "no") return document.body.innerText.includes(arg) === (kind === "text");
  const plot = [...document.querySelectorAll("canvas")].find((c) => `${c.dataset.site} ${c.dataset.slot}` === arg);
  if (!plot) return false;
  const column = plot.getContext("2d").getImageData(plot.width - 1, 0, 1, plot.height).data;
  const y = [...Array(plot.height).keys()].find((row) => column[4 * row + 3] > 128);
  return y !== undefined && (kind === "high" ? y < plot.height / 4 : y >= (plot.height * 3) / 4);
}

const [chromium, url] = process.argv.slice(2);
(async () => {
  const profile = fs.mkdtempSync(path.join(process.env.TMP, "chromium-"));
  const browser = await puppeteer.launch({ executablePath: chromium, headless: true, userDataDir: profile,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking", "--disable-sync"] });
  const page = await browser.newPage();
  page.on("pageerror", (e) => console.error(`page error: ${e.message}`));
  await page.goto(url);
  for await (const line of readline.createInterface({ input: process.stdin })) {
    const [, ms, kind, arg] = line.match(/^wait (\d+) (\w+) (.*)$/) || [];
    if (line.startsWith("open ")) await page.goto(line.slice(5)).then(() => console.log("ok"));
    else if (!kind) break;
    else await page.waitForFunction(shows, { timeout: Number(ms), polling: 10 }, kind, arg).then(
      () => console.log("ok"), async () => console.log(`timeout ${JSON.stringify(await page.evaluate(() => document.body.innerText))}`));
  }
  await browser.close();
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
