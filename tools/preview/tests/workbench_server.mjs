// Starts the workbench (nightglass-preview --serve) for the tests and ends it. The program is
// NIGHTGLASS_WORKBENCH, words apart (e.g. "wine build/windows/nightglass-preview.exe"), or else
// NIGHTGLASS_PREVIEW. It runs in a scratch folder with a copy of the example settings in game/.
import { spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
export const example =
  fs.readFileSync(path.join(here, "../../../examples/Nightglass.ini"), "latin1");

export function command() {
  const words = (process.env.NIGHTGLASS_WORKBENCH || process.env.NIGHTGLASS_PREVIEW || "")
    .split(" ").filter(Boolean);
  if (!words.length)
    throw new Error("NIGHTGLASS_WORKBENCH or NIGHTGLASS_PREVIEW must name the preview");
  // Paths of the build are made absolute: the workbench runs in its scratch folder.
  return words.map((word) => (fs.existsSync(word) ? path.resolve(word) : word));
}

export const platform = () =>
  (command().some((word) => word.endsWith(".exe")) ? "Windows, under Wine" : "Linux");

// Starts it with `extra` options and waits for its address. Resolves to { url, port, child,
// folder, file, output(), ended }.
export async function startWorkbench(extra = []) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "nightglass-workbench-test-"));
  const folder = path.join(scratch, "game");
  fs.mkdirSync(folder);
  const file = path.join(folder, "Nightglass.ini");
  fs.writeFileSync(file, example, "latin1");
  const [program, ...words] = command();
  const child = spawn(program, [...words, "--serve", "--no-open", "--port", "0",
    "--settings", "game", "--clip", "1@10", "--sheet=00:00-01:00/60", ...extra],
  { cwd: scratch, stdio: ["ignore", "pipe", "pipe"] });
  let out = "", err = "";
  child.stdout.on("data", (chunk) => { out += chunk; });
  child.stderr.on("data", (chunk) => { err += chunk; });
  const ended =
    new Promise((resolve) => child.on("exit", (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() =>
      reject(new Error("the workbench printed no address in 90 s:\n" + out + err)), 90000);
    const look = () => {
      const match = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (match) { clearTimeout(timer); resolve(match[0]); }
    };
    child.stdout.on("data", look);
    ended.then(({ code }) => {
      clearTimeout(timer);
      reject(new Error(`the workbench ended (${code}):\n${out}${err}`));
    });
  });
  return { url, port: Number(new URL(url).port), child, scratch, folder, file, ended,
    output: () => out + err };
}

// Ends it as Ctrl-C does and waits at most `ms` for it to be gone. Its output pipes are let go:
// a Wine server that the program's wine started keeps them open after the program has ended.
export async function endWorkbench(server, ms = 20000) {
  const release = () => { server.child.stdout.destroy(); server.child.stderr.destroy(); };
  if (server.child.exitCode !== null || server.child.signalCode !== null) {
    release();
    return server.ended;
  }
  server.child.kill("SIGINT");
  let timer;
  const timeout = new Promise((resolve) => { timer = setTimeout(() => resolve(null), ms); });
  const result = await Promise.race([server.ended, timeout]);
  clearTimeout(timer);
  if (result === null) server.child.kill("SIGKILL");
  release();
  return result;
}

// Removes its scratch folder, once it has ended and no browser uses the folder any more.
export function removeScratch(server) {
  fs.rmSync(server.scratch, { recursive: true, force: true });
}

// The resident memory of a process in KiB, from /proc (null where there is none).
export function residentKiB(pid) {
  try {
    const match = fs.readFileSync(`/proc/${pid}/status`, "utf8").match(/^VmRSS:\s+(\d+) kB/m);
    return match ? Number(match[1]) : null;
  } catch {
    return null;
  }
}
