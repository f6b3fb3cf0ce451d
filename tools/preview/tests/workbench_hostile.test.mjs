// Requests that the workbench must not trust, sent over raw sockets: a foreign Host header, paths
// outside its own (../, absolute, percent-encoded), a request of 1 MB, 200 connections at once.
// Each is refused or answered, nothing of the file system comes back, the server keeps serving, and
// its memory stays bounded (measured where /proc tells it).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import net from "node:net";
import { spawnSync } from "node:child_process";
import { startWorkbench, endWorkbench, removeScratch, platform, residentKiB, command }
  from "./workbench_server.mjs";

let server, host;

before(async () => {
  server = await startWorkbench();
  host = `127.0.0.1:${server.port}`;
});
after(async () => {
  if (server) {
    await endWorkbench(server);
    removeScratch(server);
  }
});

// Sends `request` (a string or a Buffer) and resolves to the status code of the answer, or 0 when
// the server closed the connection without one; gives up after `ms`.
function send(request, ms = 60000) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(server.port, "127.0.0.1");
    let answer = "";
    const timer = setTimeout(() => {
      socket.destroy();
      reject(new Error("no answer in time to " + String(request).slice(0, 40)));
    }, ms);
    socket.on("connect", () => socket.write(request));
    socket.on("data", (chunk) => { answer += chunk.toString("latin1"); });
    socket.on("error", () => {});  // a reset while the request is still being sent
    socket.on("close", () => {
      clearTimeout(timer);
      const match = answer.match(/^HTTP\/1\.[01] (\d{3})/);
      resolve({ status: match ? Number(match[1]) : 0, answer });
    });
  });
}
// Opens a connection that sends nothing; resolves when the server has closed it, or after `ms`.
function idle(ms) {
  return new Promise((resolve) => {
    const socket = net.connect(server.port, "127.0.0.1");
    const timer = setTimeout(() => { socket.destroy(); resolve(false); }, ms);
    socket.on("error", () => {});
    socket.on("close", () => { clearTimeout(timer); resolve(true); });
  });
}
const get = (target, headers = `Host: ${host}\r\n`) =>
  send(`GET ${target} HTTP/1.1\r\n${headers}Connection: close\r\n\r\n`);

async function stillServes() {
  const { status, answer } = await get("/api/state");
  assert.equal(status, 200, "the server no longer answers its own state");
  assert.match(answer, /"version":/);
}

test("a request for another host, or with no host, is refused", async () => {
  for (const headers of ["Host: evil.example\r\n", `Host: evil.example:${server.port}\r\n`,
    "Host: 127.0.0.1\r\n", "Host: 127.0.0.1:1\r\n", `Host: 127.0.0.2:${server.port}\r\n`, ""]) {
    for (const target of ["/", "/api/state", "/api/part/settings"]) {
      const { status } = await get(target, headers);
      assert.ok(status === 403 || status === 400,
        `${JSON.stringify(headers)} ${target}: ${status}`);
    }
  }
  // Its own names pass, localhost in any case.
  assert.equal((await get("/api/state", `Host: LocalHost:${server.port}\r\n`)).status, 200);
});

test("paths outside its own are not found, and nothing of the file system comes back", async () => {
  const targets = ["/../../../../etc/passwd", "/..%2f..%2f..%2fetc%2fpasswd",
    "/%2e%2e/%2e%2e/etc/passwd", "//etc/passwd", "/etc/passwd", "/C:/Windows/win.ini",
    "/C:%5cWindows%5cwin.ini", "/game/Nightglass.ini", "/Nightglass.ini",
    "/api/part/../../Nightglass.ini", "/api/part/..%2fsettings", "/api/part/settings%00",
    "/api/part/settings/../../x", "/api/part/Settings", "/api/parts", "/%00", "/index.html",
    `http://evil.example/etc/passwd`, "*"];
  for (const target of targets) {
    const { status, answer } = await get(target);
    assert.ok([400, 403, 404].includes(status), `${target}: ${status}`);
    assert.doesNotMatch(answer, /root:|\[MoonSettings\]|\[fonts\]/, `${target} answered a file`);
  }
  // A view asked for without the page's own header, or from another site, changes nothing.
  const post = (headers) => send(`POST /api/view?camera=sky HTTP/1.1\r\nHost: ${host}\r\n` +
    `${headers}Content-Length: 0\r\nConnection: close\r\n\r\n`);
  assert.equal((await post("")).status, 403);
  const crossSite = await post("X-Nightglass-Workbench: 1\r\nSec-Fetch-Site: cross-site\r\n");
  assert.equal(crossSite.status, 403);
  assert.match((await get("/api/state")).answer, /"camera":"city"/);
  await stillServes();
});

test("1 MB requests are refused, 200 connections at once answered or refused, memory bounded",
  async () => {
  const before = residentKiB(server.child.pid);
  const mega = "x".repeat(1 << 20);
  const large = [
    `GET /${mega} HTTP/1.1\r\nHost: ${host}\r\n\r\n`,
    `GET / HTTP/1.1\r\nHost: ${host}\r\nX-Large: ${mega}\r\n\r\n`,
    `GET / HTTP/1.1\r\nHost: ${host}\r\n` + "X-Many: 1\r\n".repeat(1 << 16) + "\r\n",
    `POST /api/view HTTP/1.1\r\nHost: ${host}\r\nX-Nightglass-Workbench: 1\r\n` +
      `Content-Length: ${mega.length}\r\n\r\n${mega}`,
  ];
  for (const request of large) {
    const { status } = await send(request);
    assert.ok(status === 0 || (status >= 400 && status < 500) || status === 200,
      `1 MB request: ${status}`);
  }
  await stillServes();

  // 200 at once: 100 that ask for the page's state and 100 that send nothing at all.
  const asking = Array.from({ length: 100 }, () => get("/api/state"));
  const holding = Array.from({ length: 100 }, () => idle(60000));
  const start = performance.now();
  const answers = await Promise.all(asking);
  const served = Math.round(performance.now() - start);
  for (const { status } of answers) assert.ok([200, 0, 503].includes(status), `${status}`);
  const whileHeld = performance.now();
  await stillServes();
  const late = Math.round(performance.now() - whileHeld);
  assert.ok((await Promise.all(holding)).every(Boolean), "idle connections are held open for 60 s");
  await stillServes();
  const afterKiB = residentKiB(server.child.pid);
  const answered = answers.filter(({ status }) => status === 200).length;
  console.log(`workbench (${platform()}): 200 connections at once: ${answered} of 100 requests ` +
    "answered " +
    `in ${served} ms, a request among 100 idle connections in ${late} ms; resident memory ` +
    (before === null ? "not measured here" : `${Math.round(before / 1024)} MiB before, ` +
      `${Math.round(afterKiB / 1024)} MiB after the 1 MB requests and the 200 connections`));
  assert.ok(late < 10000, `a request among 100 idle connections took ${late} ms`);
  if (before !== null)
    assert.ok(afterKiB - before < 64 * 1024, `memory grew by ${afterKiB - before} KiB`);
});

test("a port in use is refused with a clear message; the workbench there keeps serving",
  async () => {
  const [program, ...words] = command();
  const second = spawnSync(program, [...words, "--serve", "--no-open",
    "--port", String(server.port), "--settings", "game"],
  { cwd: server.scratch, encoding: "latin1", timeout: 60000 });
  assert.equal(second.status, 1, second.stdout + second.stderr);
  assert.match(second.stderr,
    new RegExp(`cannot listen on 127\\.0\\.0\\.1:${server.port}: the port is in use.*--port N`));
  await stillServes();
});

// Ctrl-C is the browser test's; here the terminal closing and a request to end, each sent while the
// first render is still under way. Wine maps neither to a console event.
test("the terminal closing (SIGHUP) and a request to end (SIGTERM) end it cleanly mid-render",
  { skip: platform() !== "Linux" && "Wine turns these signals into no console event" },
  async () => {
    for (const signal of ["SIGHUP", "SIGTERM"]) {
      const other = await startWorkbench();
      other.child.kill(signal);
      let timer;
      const ended = await Promise.race([other.ended,
        new Promise((resolve) => { timer = setTimeout(() => resolve(null), 20000); })]);
      clearTimeout(timer);
      await endWorkbench(other);
      removeScratch(other);
      assert.ok(ended, `${signal}: still running after 20 s`);
      assert.equal(ended.code, 0, `${signal}: ${other.output()}`);
      assert.match(other.output(), /the workbench has ended/);
    }
  });
