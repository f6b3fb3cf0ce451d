// The workbench in a real browser: Debian's Chromium, headless, driven by playwright-core, against
// the workbench of a copy of the example settings (see workbench_server.mjs for which program). The
// test saves the file as editors do, in place and through a rename, and measures the time from the
// write to the new picture on the page (printed; the goal is under a second, the test fails only
// past 10 s); a value that does not read shows its finding while the last good picture stays; the
// controls ask for another render; Ctrl-C ends the workbench and the page says so.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { chromium } from "playwright-core";
import { startWorkbench, endWorkbench, removeScratch, example, platform }
  from "./workbench_server.mjs";

const shots = process.env.NIGHTGLASS_SCREENSHOTS;
let server, context, page;
const requests = [], errors = [], times = {};

before(async () => {
  if (shots) fs.mkdirSync(shots, { recursive: true });
  server = await startWorkbench();
  context = await chromium.launchPersistentContext(path.join(server.scratch, "profile"), {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    viewport: { width: 1280, height: 900 },
  });
  page = context.pages()[0] || (await context.newPage());
  page.on("request", (request) => requests.push(request.url()));
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });
});

after(async () => {
  if (context) await context.close();
  if (server) {
    await endWorkbench(server);
    removeScratch(server);
  }
  const shown = Object.entries(times).map(([how, ms]) => `${how} ${ms} ms`).join(", ");
  console.log(`workbench (${platform()}): from the write to the new picture on the page: ${shown}`);
});

const stillSource = () => page.evaluate(() => document.getElementById("still").src);
// Waits until the page shows a picture other than `before`, decoded, and says it is up to date.
async function newPicture(before, timeout = 10000) {
  await page.waitForFunction((old) => {
    const still = document.getElementById("still");
    return still.src !== old && still.complete && still.naturalWidth > 0;
  }, before, { timeout, polling: "raf" });
}
// Waits until the page's status line is of `kind` (current, busy, older, gone).
const shows = (kind, timeout) => page.waitForFunction((k) => document.body.dataset.live === k, kind,
  { timeout });
const current = () => shows("current", 60000);
// The example with the moon tinted `rgb`.
const moon = (rgb) => example.replace(/^Moon_Color = .*$/m, "Moon_Color = " + rgb);

// Saves the file and returns the milliseconds until the page shows the new picture.
async function saveAndWait(write) {
  const before = await stillSource();
  const start = performance.now();
  write();
  await newPicture(before);
  return Math.round(performance.now() - start);
}

test("the page loads, shows the night and needs nothing but its server", async () => {
  await page.goto(server.url);
  await current();
  await page.waitForFunction(() => document.getElementById("still").naturalWidth > 0);
  assert.equal(await page.textContent("h1"), "Nightglass workbench");
  assert.match(await page.textContent("#live-status"), /Up to date/);
  // Every part came: the timeline's plot, the clip, the clock slider's pictures, the findings.
  await page.waitForSelector("#timeline svg");
  assert.ok(await page.evaluate(() =>
    document.getElementById("clip").src.startsWith("data:image/png")));
  assert.equal(await page.textContent("#clock-out"), "00:00");
  assert.ok(await page.locator("#settings-lines li").count() > 100);
  if (shots) await page.screenshot({ path: path.join(shots, "workbench.png"), fullPage: true });
  const outside = requests.filter((url) => !url.startsWith(server.url) && !url.startsWith("data:"));
  assert.deepEqual(outside, []);
  assert.deepEqual(errors, []);
});

test("a file saved in place, then through a rename, shows its new picture", async () => {
  const red = moon("255 0 0").replace(/^Green = 255/m, "Green = 0");
  times["in place"] = await saveAndWait(() => fs.writeFileSync(server.file, red, "latin1"));
  await current();
  assert.match(await page.textContent("#settings-lines"), /Moon_Color = 255 0 0/);

  times["through a rename"] = await saveAndWait(() => {
    const temporary = server.file + ".tmp";
    fs.writeFileSync(temporary, moon("0 0 255"), "latin1");
    fs.renameSync(temporary, server.file);
  });
  await current();
  assert.match(await page.textContent("#settings-lines"), /Moon_Color = 0 0 255/);
});

test("a value that does not read shows its finding while the last good picture stays", async () => {
  const good = await stillSource();
  const bad = moon("0 0 255").replace(/^Moon_Size = .*$/m, "Moon_Size = big");
  const line = bad.split("\n").findIndex((text) => text.startsWith("Moon_Size = big")) + 1;
  fs.writeFileSync(server.file, bad, "latin1");
  const entry = page.locator(`#settings-lines li[data-line="${line}"]`);
  await entry.locator(".finding.error").waitFor({ timeout: 10000 });
  await shows("older", 10000);
  assert.match(await entry.locator(".finding.error").textContent(),
    /"Moon_Size" = "big" is not a number/);
  assert.match(await page.textContent("#live-status"), /Older picture.*1 value that does not read/);
  assert.equal(await stillSource(), good, "the picture of the file without the bad value went");
  if (shots) await page.screenshot({ path: path.join(shots, "workbench-finding.png") });

  // The controls still ask for other views of the last good file.
  await page.selectOption("#ctl-camera", "sky");
  await newPicture(good);
  await shows("older", 30000);
  assert.match(await page.textContent("#moment-line"), /sky camera/);
  await page.selectOption("#ctl-camera", "city");
  await page.waitForFunction(() =>
    /city camera/.test(document.getElementById("moment-line").textContent));
});

test("a file deleted and written anew ends in its picture; another clock is drawn", async () => {
  const before = await stillSource();
  fs.rmSync(server.file);
  fs.writeFileSync(server.file, moon("0 255 0"), "latin1");
  await newPicture(before);
  await current();
  assert.match(await page.textContent("#settings-lines"), /Moon_Color = 0 255 0/);

  const at = await stillSource();
  await page.fill("#ctl-clock", "20:00");
  await page.dispatchEvent("#ctl-clock", "change");
  await newPicture(at);
  await current();
  assert.match(await page.textContent("#moment-clock"), /20:00/);
});

test("Ctrl-C ends the workbench cleanly, and the page says it no longer follows", async () => {
  const ended = await endWorkbench(server);
  assert.ok(ended, "the workbench did not end within 20 s of Ctrl-C");
  assert.equal(ended.code, 0, server.output());
  assert.match(server.output(), /the workbench has ended/);
  await shows("gone", 20000);
  // Its copies of the file are gone with it (the Linux program's are named by its process id).
  if (platform() === "Linux") {
    assert.ok(!fs.existsSync(path.join(os.tmpdir(), "nightglass-workbench-" + server.child.pid)),
      "its temporary folder is left behind");
  }
});
