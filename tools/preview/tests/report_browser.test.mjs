// The night report opened in a real browser: Debian's Chromium, headless, driven by
// playwright-core. The report is made here by the preview (NIGHTGLASS_PREVIEW, the program to
// run) for the example settings with one vehicle section switched on and a value that does not
// read. Screenshots go to NIGHTGLASS_SCREENSHOTS (default: a scratch folder), and the test says
// where.
//   NIGHTGLASS_PREVIEW=build/linux/nightglass-preview node --test tools/preview/tests/
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { chromium } from "playwright-core";

const here = path.dirname(fileURLToPath(import.meta.url));
const preview = process.env.NIGHTGLASS_PREVIEW;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "nightglass-report-test-"));
const shots = process.env.NIGHTGLASS_SCREENSHOTS || scratch;
let context, page, requests, errors, findingLine;

before(async () => {
  assert.ok(preview, "NIGHTGLASS_PREVIEW must name the preview program");
  const example = fs.readFileSync(path.join(here, "../../../examples/Nightglass.ini"), "latin1");
  const settings = example.replace(/^\[Veh_off_Taxi\]/m, "[Veh_Taxi]") + "\n[ShootingStars]\nSpeed = fast\n";
  findingLine = settings.split("\n").length - 1;
  const folder = path.join(scratch, "game");
  fs.mkdirSync(folder);
  fs.writeFileSync(path.join(folder, "Nightglass.ini"), settings, "latin1");
  execFileSync(preview, ["--settings", folder, "--report", path.join(scratch, "night.html"),
    "--clip", "3@20", "--sheet=20:00-02:00/120"], { stdio: ["ignore", "ignore", "pipe"] });

  fs.mkdirSync(shots, { recursive: true });
  context = await chromium.launchPersistentContext(path.join(scratch, "profile"), {
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    viewport: { width: 1280, height: 900 },
  });
  page = context.pages()[0] || (await context.newPage());
  requests = [];
  errors = [];
  page.on("request", (request) => requests.push(request.url()));
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });
  await page.goto(pathToFileURL(path.join(scratch, "night.html")).href);
  await page.waitForFunction(() => document.getElementById("still").complete &&
    document.getElementById("still").naturalWidth > 0);
});

after(async () => {
  if (context) await context.close();
  console.log("screenshots of the report: " + shots);
  if (!process.env.NIGHTGLASS_SCREENSHOTS) console.log("(a scratch folder, removed by the system)");
});

const same = (a, b) => Buffer.compare(a, b) === 0;

test("the page needs nothing but itself and runs without errors", async () => {
  await page.screenshot({ path: path.join(shots, "report.png"), fullPage: true });
  const outside = requests.filter((url) => !url.startsWith("file:") && !url.startsWith("data:"));
  assert.deepEqual(outside, []);
  assert.deepEqual(errors, []);
});

test("the clip plays, its frames change, and pause holds one", async () => {
  const clip = page.locator("#clip-stage");
  await clip.scrollIntoViewIfNeeded();
  await page.waitForFunction(() => document.getElementById("clip").naturalWidth > 0);
  const first = await clip.screenshot();
  await page.waitForTimeout(450);
  const later = await clip.screenshot({ path: path.join(shots, "clip.png") });
  assert.ok(!same(first, later), "two moments of the clip look the same");
  await page.click("#play");
  assert.equal(await page.textContent("#play"), "Play");
  const held = await clip.screenshot();
  await page.waitForTimeout(450);
  assert.ok(same(held, await clip.screenshot()), "the paused clip still moves");
  await page.click("#play");
  assert.equal(await page.textContent("#play"), "Pause");
});

test("the clock slider changes the picture", async () => {
  const picture = page.locator("#sheet-picture");
  await picture.scrollIntoViewIfNeeded();
  assert.equal(await page.textContent("#clock-out"), "20:00");
  const before = await picture.screenshot();
  await page.locator("#clock").fill("3");
  assert.equal(await page.textContent("#clock-out"), "02:00");
  await page.waitForFunction(() => document.getElementById("sheet-picture").complete);
  const after = await picture.screenshot({ path: path.join(shots, "slider.png") });
  assert.ok(!same(before, after), "the picture stays as it was");
  // The timeline's cursor follows the slider.
  assert.equal(await page.locator("#timeline svg line.cursor").count(), 1);
});

test("a feature's toggle shows its items alone", async () => {
  const stage = page.locator("#stage");
  await stage.scrollIntoViewIfNeeded();
  const everything = await stage.screenshot();
  await page.getByRole("button", { name: "vehicle lights: model 1201" }).click();
  assert.match(await page.textContent("#stage-caption"), /model 1201 alone/);
  assert.ok(await page.isVisible("#layer"));
  const alone = await stage.screenshot({ path: path.join(shots, "vehicle-alone.png") });
  assert.ok(!same(everything, alone));
  await page.getByRole("button", { name: "everything" }).click();
  // The switched-off sections say why they show nothing.
  assert.match(await page.textContent("#why"), /model 1202 shows nothing.*Veh_off_Patrol/s);
});

test("a finding is shown beside its line, and under it on a phone", async () => {
  const line = page.locator(`#settings-lines li[data-line="${findingLine}"]`);
  await line.scrollIntoViewIfNeeded();
  assert.match(await line.locator("code").textContent(), /Speed = fast/);
  const finding = line.locator(".finding.error");
  assert.match(await finding.textContent(), /"Speed" = "fast" is not a number/);
  await line.screenshot({ path: path.join(shots, "finding.png") });
  const code = await line.locator("code").boundingBox();
  let box = await finding.boundingBox();
  assert.ok(box.x >= code.x + code.width - 1, "the finding is not to the right of its line");
  assert.ok(box.y < code.y + code.height && box.y + box.height > code.y, "not level with its line");

  await page.setViewportSize({ width: 390, height: 844 });
  await page.screenshot({ path: path.join(shots, "phone.png") });
  const overflow = await page.evaluate(() =>
    document.documentElement.scrollWidth - document.documentElement.clientWidth);
  assert.ok(overflow <= 0, `the page is ${overflow} px wider than a phone`);
  box = await finding.boundingBox();
  const narrowCode = await line.locator("code").boundingBox();
  assert.ok(box.y >= narrowCode.y + narrowCode.height - 1, "on a phone the finding goes under its line");
  await page.setViewportSize({ width: 1280, height: 900 });
});
