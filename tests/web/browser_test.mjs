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
await browser.defaultBrowserContext().overridePermissions(new URL(url).origin,
  ["clipboard-read", "clipboard-write", "clipboard-sanitized-write"]);
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

  // No glyph wider than its cell at any window size: xterm.js rounds the
  // font's advance down to whole device pixels, the page adds the spacing.
  const glyphFit = () => page.evaluate(() => {
    const t = window.asmquest.terminal, cellWidth = t._core._renderService.dimensions.device.cell.width;
    const c = document.createElement("canvas").getContext("2d");
    c.font = `${t.options.fontSize * devicePixelRatio}px ${t.options.fontFamily}`;
    let letter = 0, han = 0;
    for (let code = 0x21; code < 0x7F; code++) letter = Math.max(letter, c.measureText(String.fromCharCode(code)).width);
    const seen = new Set(window.asmquest.screenText().join("").match(/[\u2E80-\uFFEF]/g));
    for (const ch of seen) han = Math.max(han, c.measureText(ch).width);
    return { cellWidth, letter, han, fontSize: t.options.fontSize, cols: t.cols, rows: t.rows,
      tooSmall: !document.getElementById("too-small").hidden };
  });
  for (const [width, height] of [[1300, 900], [1024, 700], [1366, 657], [1280, 800], [1111, 733]]) {
    await page.setViewport({ width, height });
    await sleep(500);
    const f = await glyphFit();
    check(f.letter <= f.cellWidth + 0.01 && f.han <= 2 * f.cellWidth + 0.01 && !f.tooSmall && f.cols >= 161 && f.rows >= 33,
      `at ${width}x${height} no glyph is wider than its cell (font ${f.fontSize} px, cell ${f.cellWidth} px, ` +
      `widest letter ${f.letter.toFixed(2)}, Chinese ${f.han.toFixed(2)}, ${f.cols}x${f.rows})`);
    if (width === 1024) await page.screenshot({ path: path.join(artifacts, "window-1024x700.png") });
  }
  // Too small for 161 x 33 cells: the page says what to do, large, with a full-screen button.
  await page.setViewport({ width: 480, height: 360 });
  await sleep(500);
  const small = await page.evaluate(() => {
    const box = document.getElementById("too-small");
    return { shown: !box.hidden, text: box.innerText, size: parseFloat(getComputedStyle(box).fontSize),
      button: !!box.querySelector("#fullscreen") };
  });
  await page.screenshot({ path: path.join(artifacts, "window-480x360.png") });
  check(small.shown && small.size >= 18 && /放大/.test(small.text) && /横过来/.test(small.text) && small.button,
    `at 480x360 the page asks for a bigger window in ${small.size} px text with a full-screen button`);
  await page.setViewport({ width: 1300, height: 900 });
  await sleep(500);

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

  // Speed first, on an endless loop pasted from the system clipboard (Ctrl+V):
  // one paste with its line breaks, undone by one Ctrl+Z.
  await page.evaluate(() => navigator.clipboard.writeText("label loop\r\naddi r1 r1 1\njmp r0 r0 loop"));
  await page.keyboard.down("Control"), await page.keyboard.press("v"), await page.keyboard.up("Control");
  await waitFor("|jmp r0 r0 loop", "Ctrl+V pastes the system clipboard into the editor");
  const editorRows = async () => (await screen()).filter((l) => /\|(label loop|addi r1 r1 1|jmp r0 r0 loop)/.test(l)).length;
  check(await editorRows() === 3, "the pasted text keeps its three lines");
  await page.keyboard.down("Control"), await page.keyboard.press("z"), await page.keyboard.up("Control");
  await sleep(300);
  check(await editorRows() === 0, "one Ctrl+Z undoes the whole paste");
  await page.keyboard.down("Control"), await page.keyboard.press("y"), await page.keyboard.up("Control");
  await waitFor("|jmp r0 r0 loop", "Ctrl+Y brings it back");
  // The browser's own paste event (its menu, a phone) goes the same way, and Ctrl+Shift+V too.
  await page.evaluate(() => {
    const data = new DataTransfer();
    data.setData("text/plain", " ;粘贴事件");
    document.querySelector(".xterm-helper-textarea").dispatchEvent(
      new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));
  });
  await waitFor("jmp r0 r0 loop ;粘贴事件", "a paste event reaches the editor as Chinese text");
  await page.evaluate(() => navigator.clipboard.writeText(" ;二"));
  await page.keyboard.down("Control"), await page.keyboard.down("Shift"), await page.keyboard.press("V");
  await page.keyboard.up("Shift"), await page.keyboard.up("Control");
  await waitFor("jmp r0 r0 loop ;粘贴事件 ;二", "Ctrl+Shift+V pastes too");
  // Ctrl+A, Ctrl+C: the game's clipboard goes to the system one, as Unicode.
  await page.keyboard.down("Control"), await page.keyboard.press("a"), await page.keyboard.press("c");
  await page.keyboard.up("Control");
  let copied = "";
  for (let i = 0; i < 20 && !copied.includes("loop ;粘贴事件"); i++) {
    await sleep(100);
    copied = await page.evaluate(() => navigator.clipboard.readText());
  }
  check(copied === "label loop\naddi r1 r1 1\njmp r0 r0 loop ;粘贴事件 ;二",
    `Ctrl+C copies the editor's text to the system clipboard (${JSON.stringify(copied)})`);
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
  await page.keyboard.down("Control"), await page.keyboard.press("a"), await page.keyboard.up("Control");
  await page.keyboard.press("Backspace");
  await typeLines(["add r3 r1 r2", "hlt"]);
  await waitFor("|add r3 r1 r2", "the program is typed into the editor");
  await act("F9"), await act("F5");
  const completed = await waitFor("恭喜通过第1关", "level 1 completes with 恭喜通过第1关", 120000);
  await waitFor("关卡说明-第2关", "the level panel moves on to level 2");
  await page.screenshot({ path: path.join(artifacts, "level1-completed.png") });
  // Screen readers are told what changed, in Chinese, not the whole screen.
  await sleep(1500);
  const told = await page.evaluate(() => ({ said: window.asmquest.said.join("\n"),
    region: document.getElementById("screen-reader").textContent }));
  console.log("live region said:", JSON.stringify(told.said.slice(0, 300)), "...", JSON.stringify(told.said.slice(-200)));
  check(/第1关。/.test(told.said) && /第2关。/.test(told.said), "the live region tells the level's text on a level change");
  check(/恭喜通过第1关/.test(told.said), "the live region tells new console lines");
  check(/已通过\d+次。/.test(told.said), "the live region tells the passes so far");
  check(told.region.length < 3000 && !told.region.includes("+-----"),
    `the live region holds what changed, not the screen (${told.region.length} characters)`);
  // The page's buttons are in the Tab order; Escape (and every import) gives the keys back to the game.
  const focusBack = async (what) => check(await page.evaluate(() =>
    document.activeElement && document.activeElement.classList.contains("xterm-helper-textarea")), what);
  check(await page.evaluate(() => ["export", "import", "help-link"].every((id) => document.getElementById(id).tabIndex >= 0)),
    "导出代码, 导入代码 and 帮助 are in the Tab order");
  await page.focus("#import");
  await page.keyboard.press("Escape");
  await focusBack("Escape on a button gives the keys back to the game");
  await page.focus("#import");
  await page.evaluate(() => document.getElementById("import-file").dispatchEvent(new Event("cancel")));
  await focusBack("a cancelled import gives the keys back to the game");

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
  // Plain Python (no encoding given) reads the names: they are UTF-8 with the flag.
  const listing = execFileSync("python3", ["-c", `
import os, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None, "CRC"
for info in z.infolist():
    data = z.read(info)
    target = os.path.join(sys.argv[2], info.filename)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    open(target, "wb").write(data)
    print(info.filename, info.flag_bits & 0x800, info.compress_type, data.count(b"\\r\\n") == data.count(b"\\n"),
          data.decode("gbk").replace("\\r\\n", "|") if info.filename.endswith(".txt") else list(data))
`, zipPath, student], { encoding: "utf8" });
  console.log("exported:", listing.trim());
  check(/^第1关代码\.txt 2048 0 True add r3 r1 r2\|hlt/m.test(listing),
    "the zip holds 第1关代码.txt (UTF-8 name with its flag, stored, CR LF)");
  check(/^上次关卡\.bin 2048 0 \S+ \[2, 0\]$/m.test(listing) && /^最高关卡\.bin 2048 0 \S+ \[2, 0\]$/m.test(listing) &&
    /^布局\.txt /m.test(listing), "the zip carries the progress: last and highest level 2, the layout");
  const unzipped = execFileSync("unzip", ["-Z1", zipPath], { encoding: "utf8", env: { ...process.env, LC_ALL: "C.UTF-8" } });
  check(unzipped.split("\n").includes("第1关代码.txt"), "unzip lists the Chinese names");
  if (fs.existsSync(judge)) {
    const csv = path.join(work, "grade.csv");
    execFileSync(judge, ["grade", path.join(work, "class"), "--levels", "1-1", "--csv", csv], { stdio: "ignore" });
    check(/^student,1,completed,(completed,)?287,/m.test(fs.readFileSync(csv, "utf8")),
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
  const upload = async (...files) => {
    const picker = await page.$("#import-file");
    await Promise.all([page.waitForNavigation({ timeout: 20000 }), picker.uploadFile(...files)]);
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

  // Code files from other editors: UTF-8 with and without a BOM, two at once.
  const fsFile = (name) => page.evaluate((name) => {
    try { return Array.from(FS.readFile(name)); } catch (e) { return null; }
  }, name);
  const utf8Five = path.join(work, "第5关代码.txt"), utf8Six = path.join(work, "第6关代码.txt");
  fs.writeFileSync(utf8Five, Buffer.concat([Buffer.from([0xEF, 0xBB, 0xBF]), Buffer.from("; 中文注释 😀\r\nhlt\r\n")]));
  fs.writeFileSync(utf8Six, Buffer.from("hlt ;完成\n"));
  const picker = await page.$("#import-file");
  const navigated = page.waitForNavigation({ timeout: 20000 });
  await picker.uploadFile(utf8Five, utf8Six);
  const said = await page.waitForFunction(() => document.getElementById("status").textContent.includes("GBK没有的字符"),
    { timeout: 5000 }).then(() => page.$eval("#status", (e) => e.textContent)).catch(() => "");
  check(/已导入2个代码文件/.test(said) && said.includes("😀"), `two UTF-8 files import, the emoji named: ${said}`);
  await navigated;
  await waitFor("是否继续", "the game starts again after importing two code files");
  const five = await fsFile("/asmquest/levels/第5关代码.txt"), six = await fsFile("/asmquest/levels/第6关代码.txt");
  check(five && Buffer.from(five).equals(Buffer.concat([Buffer.from("; "), Buffer.from([0xD6, 0xD0, 0xCE, 0xC4, 0xD7, 0xA2, 0xCA, 0xCD]),
    Buffer.from(" ?\nhlt\n")])), "a UTF-8 file with a BOM becomes GBK text (the emoji a ?)");
  check(six && Buffer.from(six).equals(Buffer.concat([Buffer.from("hlt ;"), Buffer.from([0xCD, 0xEA, 0xB3, 0xC9]), Buffer.from("\n")])),
    "a UTF-8 file without a BOM becomes GBK text");

  // A teacher's levels, a good one and a broken one, listed in 选关; the good one plays.
  const teacher = path.join(work, "teacher");
  fs.mkdirSync(path.join(teacher, "custom-levels"), { recursive: true });
  fs.copyFileSync(path.join(root, "custom-levels", "相等.toml"), path.join(teacher, "custom-levels", "相等.toml"));
  fs.writeFileSync(path.join(teacher, "custom-levels", "坏.toml"),
    'title = "坏"\nreference = "hlt"\npassess = 3\n[check]\nregisters = ["r4"]\n');
  const levelsZip = path.join(work, "levels.zip");
  execFileSync("python3", ["-c", `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.write(sys.argv[2] + "/custom-levels/相等.toml", "custom-levels/相等.toml")
`, levelsZip, teacher]);
  await upload(levelsZip, path.join(teacher, "custom-levels", "坏.toml"));
  await waitFor("是否继续", "the game starts again after importing the teacher's levels");
  await page.keyboard.press("Enter");
  await sleep(500);
  await page.keyboard.press("F3");
  await waitFor("相等", "选关 lists the teacher's level under its title");
  await waitFor("坏      有误", "选关 marks the broken level file");
  // The two files come last in 选关, in the order the folder lists them.
  const listed = await screen();
  const rowOf = (text) => listed.findIndex((l) => l.includes(text));
  await page.keyboard.press("End");
  if (rowOf("相等") < rowOf("坏      有误")) await page.keyboard.press("ArrowUp");
  await page.keyboard.press("Enter");
  await waitFor("关卡说明-相等", "the teacher's level starts");
  await page.mouse.click(...await cell(60, 20));
  await typeLines(["sub r0 r1 r2", "jeq r0 r0 YES", "hlt", "label YES", "addi r4 r0 1", "hlt"]);
  await waitFor("addi r4 r0 1", "its solution is typed");
  await act("F9");
  if (!(await screen()).some((l) => l.includes("速度：快速"))) await act("F4");
  await act("F5");
  await waitFor("恭喜通过「相等」！", "the teacher's level plays to its end in the browser", 120000);
  await page.screenshot({ path: path.join(artifacts, "teacher-level.png") });

  // Progress that would go back is asked about first; refused, the page's own stays.
  const lower = path.join(work, "lower.zip");
  execFileSync("python3", ["-c", `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("上次关卡.bin", bytes([1, 0])); z.writestr("最高关卡.bin", bytes([1, 0]))
    z.writestr("第7关代码.txt", b"hlt\\r\\n")
`, lower]);
  const lastBefore = await fsFile("/asmquest/levels/上次关卡.bin"), highestBefore = await fsFile("/asmquest/levels/最高关卡.bin");
  let asked = "";
  page.once("dialog", (d) => { asked = d.message(); d.dismiss(); });
  await upload(lower);
  await waitFor("是否继续", "the game starts again after importing a lower progress");
  check(/低/.test(asked), `importing a lower progress asks first: ${asked}`);
  const kept = [await fsFile("/asmquest/levels/上次关卡.bin"), await fsFile("/asmquest/levels/最高关卡.bin")];
  check(JSON.stringify(kept) === JSON.stringify([lastBefore, highestBefore]) &&
    (await fsFile("/asmquest/levels/第7关代码.txt")) !== null,
    `refused, the progress stays (${JSON.stringify(kept)}) and the code comes in`);

  // Hostile and broken zips: one Chinese sentence each, nothing written, no reload.
  const hostile = path.join(work, "hostile");
  fs.mkdirSync(hostile);
  execFileSync("python3", ["-c", `
import sys, zipfile, io, struct
d = sys.argv[1] + "/"
def zipped(name, entries, method=zipfile.ZIP_STORED):
    with zipfile.ZipFile(d + name, "w", method) as z:
        for n, data in entries: z.writestr(n, data)
zipped("bomb.zip", [("第1关代码.txt", b"\\0" * (3 << 20))], zipfile.ZIP_DEFLATED)
zipped("total.zip", [("第%d关代码.txt" % i, b" " * ((1 << 20) - 1)) for i in range(1, 70)],
       zipfile.ZIP_DEFLATED)
zipped("many.zip", [("%d.txt" % i, b"") for i in range(10000)])
zipped("dotdot.zip", [("../第1关代码.txt", b"hlt")])
zipped("absolute.zip", [("/tmp/第1关代码.txt", b"hlt")])
zipped("good.zip", [("第1关代码.txt", b"hlt ; the right one\\r\\n"), ("第2关代码.txt", b"hlt\\r\\n")])
good = open(d + "good.zip", "rb").read()
open(d + "truncated.zip", "wb").write(good[:-40])
bad = bytearray(good); bad[bad.find(b"right")] ^= 1
open(d + "crc.zip", "wb").write(bytes(bad))
`, hostile]);
  const snapshot = () => page.evaluate(() => {
    const all = {};
    for (const folder of ["/asmquest/levels", "/asmquest/custom-levels"])
      for (const n of FS.readdir(folder)) if (n[0] !== ".") all[folder + "/" + n] = Array.from(FS.readFile(folder + "/" + n)).join(",");
    return JSON.stringify(all);
  });
  await page.evaluate(() => { window.sameLoad = true; });
  const untouched = await snapshot();
  for (const name of ["bomb.zip", "total.zip", "many.zip", "dotdot.zip", "absolute.zip", "truncated.zip", "crc.zip"]) {
    await page.$eval("#status", (e) => { e.textContent = ""; });
    await (await page.$("#import-file")).uploadFile(path.join(hostile, name));
    const message = await page.waitForFunction(() => document.getElementById("status").textContent, { timeout: 10000 })
      .then((h) => h.jsonValue()).catch(() => "");
    await sleep(500);
    check(/没有导入任何文件。$/.test(message) && await page.evaluate(() => window.sameLoad === true) &&
      await snapshot() === untouched, `${name} is refused, nothing written: ${message}`);
  }

  // Progress travels: the export of this browser, imported in a fresh profile, continues at level 2.
  const fresh = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", `--user-data-dir=${path.join(work, "profile2")}`] });
  try {
    const other = await fresh.newPage();
    await other.setViewport({ width: 1300, height: 900 });
    await other.goto(url);
    const firstThere = async (text) => {
      for (let i = 0; i < 200; i++) {
        if ((await other.evaluate(() => window.asmquest ? window.asmquest.screenText() : []).catch(() => [])).some((l) => l.includes(text))) return true;
        await sleep(100);
      }
      return false;
    };
    check(await firstThere("关卡说明-第1关"), "a fresh profile starts at level 1");
    await Promise.all([other.waitForNavigation({ timeout: 20000 }), (await other.$("#import-file")).uploadFile(zipPath)]);
    check(await firstThere("你上次玩到第2关，是否继续？"), "after importing the export a fresh profile continues at level 2");
  } finally {
    await fresh.close();
  }
} catch (e) {
  check(false, "the test ran to its end: " + (e.stack || e));
} finally {
  await browser.close();
}
console.log(failures ? `${failures} check(s) failed` : "the web build plays in the browser");
process.exit(failures ? 1 : 0);
