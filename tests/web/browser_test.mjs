// Plays the web build in headless Chromium through window.asmquest.screenText(),
// as a student would by keyboard. Arguments: URL WORK_DIR ARTIFACT_DIR JUDGE.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const [url, work, artifacts, judge] = process.argv.slice(2);
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
const { default: puppeteer } = await import(
  path.join(root, "web/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js"));

let failures = 0;
function check(ok, what) {
  console.log((ok ? "ok: " : "FAIL: ") + what);
  if (!ok) failures++;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  headless: true,
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    `--user-data-dir=${path.join(work, "profile")}`],
});
const page = await browser.newPage();
page.on("pageerror", (e) => check(false, "no error on the page: " + e.message));
  // Wide enough for 161 columns at the font that fills 33 rows: frame times at the smallest size.
  await page.setViewport({ width: 1300, height: 900 });
const client = await page.createCDPSession();
await client.send("Browser.setDownloadBehavior", { behavior: "deny" });

const screen = () => page.evaluate(() => window.asmquest.screenText());
async function waitFor(text, what, timeout = 20000) {
  const until = Date.now() + timeout;
  while (Date.now() < until) {
    const lines = await page.evaluate(() => window.asmquest ? window.asmquest.screenText() : []).catch(() => []);
    if (lines.some((l) => l.includes(text))) return console.log("ok: " + what), true;
    await sleep(100);
  }
  check(false, what + ` (no "${text}" after ${timeout} ms)`);
  console.log((await screen().catch(() => [])).map((l) => l.trimEnd()).join("\n"));
  return false;
}

try {
  // A cold load: nothing cached, nothing stored.
  const loadStart = Date.now();
  await page.goto(url);
  const firstScreen = await waitFor("关卡说明-第1关", "the first screen shows level 1");
  const coldMs = Date.now() - loadStart;
  check(firstScreen && coldMs < 10000, `first screen after a cold load within 10 s (${coldMs} ms)`);
  check(await page.title() === "汇编闯关", "the page is titled 汇编闯关");

  const layout = await page.evaluate(() => {
    const t = window.asmquest.terminal, buffer = t.buffer.active;
    // Every cell of a Chinese character: two columns, the second one empty.
    let wide = 0, wrong = 0;
    for (let y = 0; y < t.rows; y++) {
      const line = buffer.getLine(y);
      for (let x = 0; x < t.cols; x++) {
        const cell = line.getCell(x);
        if (!cell || cell.getCode() < 0x2E80) continue;
        wide++;
        if (cell.getWidth() !== 2 || line.getCell(x + 1).getWidth() !== 0) wrong++;
      }
    }
    const box = document.querySelector("#game .xterm-screen").getBoundingClientRect();
    return { cols: t.cols, rows: t.rows, fontSize: t.options.fontSize, wide, wrong,
      cellWidth: box.width / t.cols, cellHeight: box.height / t.rows,
      hanWidth: (() => { // the font's own advance for a Chinese character, in cells
        const c = document.createElement("canvas").getContext("2d");
        c.font = `${t.options.fontSize}px ${t.options.fontFamily}`;
        return c.measureText("关").width / (box.width / t.cols);
      })() };
  });
  console.log("layout:", JSON.stringify(layout));
  check(layout.cols >= 161 && layout.rows >= 33, `the game has at least 161x33 cells (${layout.cols}x${layout.rows})`);
  check(layout.wide > 50 && layout.wrong === 0, `Chinese characters take two columns (${layout.wide} seen)`);

  // Level 1 by keyboard: the reference solution, F9 compile, F4 fast, F5 run.
  const cell = (x, y) => page.evaluate((x, y) => {
    const t = window.asmquest.terminal, box = document.querySelector("#game .xterm-screen").getBoundingClientRect();
    return [box.left + (x + 0.5) * box.width / t.cols, box.top + (y + 0.5) * box.height / t.rows];
  }, x, y);
  await page.mouse.click(...await cell(30, 15)); // into the editor
  const typeLines = async (lines) => {
    for (const [i, line] of lines.entries()) {
      if (i) await page.keyboard.press("Enter");
      await page.keyboard.type(line);
    }
  };
  const steps = async () => (await page.evaluate(() => window.asmquest.stats())).steps;
  // F9 compile, F4 fast, F5 run: the whole level by keyboard.
  const act = async (key) => {
    await page.keyboard.press(key);
    await sleep(300);
  };

  // The browser's own keys (F5 reload, F1 help, F3 find, Ctrl+A select all...)
  // stay with the game: the page is the same one afterwards.
  await page.evaluate(() => { window.sameLoad = true; });

  // Speed first, on an endless loop: steps per second in fast mode, frame time.
  await typeLines(["label loop", "addi r1 r1 1", "jmp r0 r0 loop"]);
  await waitFor("|jmp r0 r0 loop", "the loop is typed into the editor");
  await act("F9"), await act("F4"), await act("F5");
  for (let waited = 0; waited < 3000 && await steps() === 0; waited += 100) await sleep(100);
  check(await steps() > 0, "F9, F4 and F5 compile and run the program");
  check(await page.evaluate(() => window.sameLoad === true), "F9, F4 and F5 leave the page where it is");
  await sleep(500);
  await page.evaluate(() => window.asmquest.resetFrameTimes());
  const s0 = await page.evaluate(() => window.asmquest.stats());
  const t0 = Date.now();
  await sleep(2000);
  const s1 = await page.evaluate(() => window.asmquest.stats());
  const stepsPerSecond = Math.round((s1.steps - s0.steps) * 1000 / (Date.now() - t0));
  console.log(`speed: ${stepsPerSecond} steps/s in fast mode; frame ${s1.meanFrameMs.toFixed(2)} ms mean, ` +
    `${s1.longestFrameMs.toFixed(2)} ms longest at ${layout.cols}x${layout.rows}`);
  check(stepsPerSecond > 100000, "fast mode runs over 100000 steps a second");
  check(s1.meanFrameMs < 16, `frames take under 16 ms (${s1.meanFrameMs.toFixed(2)} ms mean)`);

  // Level 1 by keyboard: the reference solution in place of the loop, compiled and run (still fast).
  await page.mouse.click(...await cell(30, 15)); // the editor again, in front of the CPU panel
  await page.keyboard.press("End");
  for (let i = 0; i < 40; i++) await page.keyboard.press("Backspace");
  await typeLines(["add r3 r1 r2", "hlt"]);
  await waitFor("|add r3 r1 r2", "the program is typed into the editor");
  await act("F9"), await act("F5");
  const completed = await waitFor("恭喜通过第1关", "level 1 completes with 恭喜通过第1关", 120000);
  await waitFor("关卡说明-第2关", "the level panel moves on to level 2");
  await page.screenshot({ path: path.join(artifacts, "level1-completed.png") });

  // Progress lives in the browser: a reload offers to continue at level 2.
  await page.evaluate(() => window.asmquest.flushFiles());
  await page.reload();
  if (completed) await waitFor("你上次玩到第2关，是否继续？", "after a reload the game offers to continue at level 2");

  // Export: a zip of every level's code file, GBK names, CR LF, read by the judge.
  const exported = Buffer.from(await page.evaluate(async () => {
    const blob = window.asmquest.exportCode();
    return Array.from(new Uint8Array(await blob.arrayBuffer()));
  }));
  const zipPath = path.join(work, "exported.zip");
  fs.writeFileSync(zipPath, exported);
  const student = path.join(work, "class", "student");
  fs.mkdirSync(student, { recursive: true });
  const listing = execFileSync("python3", ["-c", `
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], metadata_encoding="gbk")
assert z.testzip() is None, "CRC"
for info in z.infolist():
    data = z.read(info)
    open(sys.argv[2] + "/" + info.filename, "wb").write(data)
    print(info.filename, info.compress_type, data.count(b"\\r\\n") == data.count(b"\\n"), data.decode("gbk").replace("\\r\\n", "|"))
`, zipPath, student], { encoding: "utf8" });
  console.log("exported:", listing.trim());
  check(/^第1关代码\.txt 0 True add r3 r1 r2\|hlt/m.test(listing), "the zip holds 第1关代码.txt (GBK name, stored, CR LF)");
  if (fs.existsSync(judge)) {
    const csv = path.join(work, "grade.csv");
    execFileSync(judge, ["grade", path.join(work, "class"), "--levels", "1-1", "--csv", csv], { stdio: "ignore" });
    check(fs.readFileSync(csv, "utf8").includes("student,1,completed,287"),
      "asmquest-judge grade completes level 1 from the exported zip");
  } else {
    check(false, "the judge to grade the export is built: " + judge);
  }

  // Import: a deflated zip with UTF-8 names (as other tools write), and the exported one back.
  execFileSync("python3", ["-c", `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("作业/第3关代码.txt", "add r3 r1 r2\\r\\nhlt ;导入\\r\\n".encode("gbk"))
    z.writestr("readme.txt", b"not code")
`, path.join(work, "other.zip")]);
  const upload = async (file) => {
    const picker = await page.$("#import-file");
    await Promise.all([page.waitForNavigation(), picker.uploadFile(file)]);
  };
  await upload(path.join(work, "other.zip"));
  await waitFor("是否继续", "the game starts again after an import");
  const imported = await page.evaluate(() => Array.from(FS.readFile("/asmquest/levels/第3关代码.txt")));
  check(Buffer.from(imported).equals(Buffer.from("add r3 r1 r2\nhlt ;导入\n".replace("导入", "\u0000"))
    .subarray(0, 0)) || Buffer.from(imported).toString("latin1") ===
    Buffer.concat([Buffer.from("add r3 r1 r2\nhlt ;"), Buffer.from([0xB5, 0xBC, 0xC8, 0xEB]), Buffer.from("\n")])
      .toString("latin1"), "a deflated zip with UTF-8 names imports 第3关代码.txt, GBK text, LF lines");
  await upload(zipPath);
  await waitFor("是否继续", "the game starts again after importing the exported zip");
  const again = Buffer.from(await page.evaluate(async () => {
    const blob = window.asmquest.exportCode();
    return Array.from(new Uint8Array(await blob.arrayBuffer()));
  }));
  const names = (b) => execFileSync("python3", ["-c", `
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], metadata_encoding="gbk")
print(sorted((i.filename, z.read(i)) for i in z.infolist()))`, b], { encoding: "utf8" });
  fs.writeFileSync(path.join(work, "again.zip"), again);
  const before = names(zipPath), after = names(path.join(work, "again.zip"));
  check(after.includes(before.slice(1, -2)) && after.includes("第3关代码.txt"),
    "export, import and export again keep every file byte for byte");
} catch (e) {
  check(false, "the test ran to its end: " + (e.stack || e));
} finally {
  await browser.close();
}
console.log(failures ? `${failures} check(s) failed` : "the web build plays in the browser");
process.exit(failures ? 1 : 0);
