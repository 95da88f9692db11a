// The page's side of the game: xterm.js as its terminal, the bytes between them
// (Module.asmquestBridge, used by src/console/web_console.cpp), progress in
// IndexedDB, the code buttons, and window.asmquest for tests and screen readers.
"use strict";
var Module = window.Module || {};
(() => {
  const home = "/asmquest"; // the game's working directory, kept in IndexedDB
  const smallest = { columns: 161, rows: 33 };

  const term = new Terminal({
    fontFamily: "'Noto Sans Mono CJK SC', 'Sarasa Mono SC', 'Microsoft YaHei Mono', 'PingFang SC', " +
      "'DejaVu Sans Mono', Consolas, Menlo, monospace",
    fontSize: 14, lineHeight: 1, letterSpacing: 0, cursorBlink: false, scrollback: 0,
    allowProposedApi: true, macOptionIsMeta: true, customGlyphs: true,
    // The Windows console's sixteen colours, which the game's attributes name.
    theme: {
      background: "#000000", foreground: "#c0c0c0", cursor: "#c0c0c0",
      black: "#000000", red: "#800000", green: "#008000", yellow: "#808000",
      blue: "#000080", magenta: "#800080", cyan: "#008080", white: "#c0c0c0",
      brightBlack: "#808080", brightRed: "#ff0000", brightGreen: "#00ff00", brightYellow: "#ffff00",
      brightBlue: "#0000ff", brightMagenta: "#ff00ff", brightCyan: "#00ffff", brightWhite: "#ffffff",
    },
  });
  const fit = new FitAddon.FitAddon();
  term.loadAddon(fit);
  term.open(document.getElementById("game"));
  // Drawn cell by cell on a canvas, so a Chinese character takes exactly two
  // columns whatever its font's advance (the DOM renderer lets text runs drift).
  term.loadAddon(new CanvasAddon.CanvasAddon());

  // xterm.js makes a cell as wide as the font's advance rounded down (in device
  // pixels) plus the letter spacing: the spacing that makes the cell at least as
  // wide as a letter, and two cells as wide as a Chinese character.
  const ruler = document.createElement("canvas").getContext("2d");
  function spacingFor(size) {
    const scale = devicePixelRatio || 1;
    ruler.font = `${size * scale}px ${term.options.fontFamily}`;
    const letter = Math.max(...["W", "M", "@", "_"].map((c) => ruler.measureText(c).width));
    const han = Math.max(...["关", "让", "码", "囗"].map((c) => ruler.measureText(c).width));
    const needed = Math.ceil(Math.max(letter, han / 2) - 0.01);
    return Math.max(0, needed - Math.floor(ruler.measureText("W").width));
  }
  // The largest font that still gives the game its 161 x 33 cells; below the
  // smallest readable one the page asks for a bigger window instead.
  const tooSmall = document.getElementById("too-small");
  function layout() {
    let fits = false;
    for (let size = 24; size >= 7 && !fits; size--) {
      term.options.fontSize = size;
      term.options.letterSpacing = spacingFor(size);
      const d = fit.proposeDimensions();
      fits = d && d.cols >= smallest.columns && d.rows >= smallest.rows;
    }
    fit.fit();
    tooSmall.hidden = fits;
  }
  layout();
  addEventListener("resize", layout);
  document.fonts && document.fonts.ready.then(layout);
  term.focus();
  document.addEventListener("mousedown", (e) => {
    if (!e.target.closest("header, #too-small, #help")) setTimeout(() => term.focus());
  });
  // Keys the game uses stay with it rather than the browser (help, reload, find, menus).
  addEventListener("keydown", (e) => {
    if (e.target.closest && e.target.closest("header, #too-small, #help")) {
      // From the page's own buttons Escape (or F6) goes back to the game.
      if (e.key === "Escape" || e.key === "F6") {
        e.preventDefault();
        document.getElementById("help").hidden = true;
        term.focus();
      }
      return;
    }
    if (/^F([1-9]|10)$/.test(e.key) || (e.ctrlKey && /^[acvzxsyf]$/i.test(e.key))) e.preventDefault();
  });

  // What goes to the game, in order: typed bytes ({bytes}) and pastes ({paste}:
  // GBK bytes, null while the system clipboard is still being read).
  const input = [];
  const encoder = new TextEncoder();
  term.onData((text) => input.push({ bytes: encoder.encode(text) }));
  term.onBinary((text) => input.push({ bytes: Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xFF) }));
  const ctrlV = () => Uint8Array.of(0x16);

  // A paste is one edit in the game: its text becomes the game's clipboard and
  // a Ctrl+V pastes it (line breaks kept, one undo step).
  function pasteItem(text, item = { paste: null }) {
    const clean = text.replace(/\r\n?/g, "\n").replace(/[\x00-\x08\x0B-\x1F\x7F]/g, "");
    const { bytes, missing } = gbk.encode(clean);
    if (missing.length) status("粘贴的文字里有GBK没有的字符（" + missing.slice(0, 8).join("") + "），已换成?。");
    if (bytes.length) item.paste = bytes;
    else delete item.paste, item.bytes = new Uint8Array(0);
    return item;
  }
  function pasteFromSystem() {
    const item = { paste: null };
    input.push(item);
    const gameClipboard = () => { if (item.paste === null) delete item.paste, item.bytes = ctrlV(); };
    setTimeout(gameClipboard, 2000); // a clipboard that never answers
    if (!navigator.clipboard || !navigator.clipboard.readText) return gameClipboard();
    navigator.clipboard.readText().then((text) => (text ? pasteItem(text, item) : gameClipboard()), gameClipboard);
  }
  // The browser's paste (its menu, a phone's long press) comes here rather than to xterm.js.
  addEventListener("paste", (e) => {
    if (e.target.closest && e.target.closest("header, #too-small, #help")) return;
    e.preventDefault();
    e.stopImmediatePropagation();
    const text = e.clipboardData ? e.clipboardData.getData("text/plain") : "";
    if (text) input.push(pasteItem(text));
  }, true);
  // After the game has copied (Ctrl+C, Ctrl+X), its clipboard goes to the system one as Unicode.
  function mirrorCopy() {
    if (!Module._asmquestCopies) return;
    const before = Module._asmquestCopies();
    let tries = 0;
    const look = () => {
      if (Module._asmquestCopies() === before) return ++tries < 80 && setTimeout(look, 25);
      const text = gbk.decode(gameText(Module._asmquestTakeClipboard()));
      if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(text).catch(() => {});
    };
    setTimeout(look, 25);
  }
  term.attachCustomKeyEventHandler((e) => {
    if (e.type !== "keydown" || !e.ctrlKey || e.altKey || e.metaKey) return true;
    const key = e.key.toLowerCase();
    if (key === "v") {
      e.preventDefault();
      pasteFromSystem();
      return false;
    }
    if (key === "c" || key === "x") mirrorCopy();
    return true;
  });
  // GBK bytes the game left for the page (asmquestText), length given.
  const gameText = (length) => HEAPU8.slice(Module._asmquestText(), Module._asmquestText() + length);

  let running = true;
  Module.asmquestBridge = {
    write(bytes) {
      Module.asmquestStarted = true;
      if (running) term.write(bytes);
    },
    takeInput(capacity) {
      if (!input.length || !input[0].bytes) return new Uint8Array(0);
      let first = input.shift().bytes;
      if (first.length > capacity) {
        input.unshift({ bytes: first.subarray(capacity) });
        first = first.subarray(0, capacity);
      }
      return first;
    },
    pasteLength: () => (input.length && input[0].paste ? input[0].paste.length : -1),
    takePaste: () => input.shift().paste,
    columns: () => term.cols,
    rows: () => term.rows,
    quit() {
      running = false;
      term.write("\x1b[?1003l\x1b[?1006l\x1b[0m\x1b[2J\x1b[H游戏已结束。刷新页面可继续。\r\n");
    },
  };

  // Saves go to IndexedDB after each one (the game saves by writing a file
  // and renaming it over the old one); one flush at a time, the last one always follows.
  let syncing = null, again = false;
  function flushFiles() {
    if (syncing) { again = true; return syncing; }
    syncing = new Promise((resolve) => FS.syncfs(false, (error) => {
      if (error) status("保存到浏览器失败：" + error);
      resolve();
    })).then(() => {
      syncing = null;
      if (again) { again = false; return flushFiles(); }
    });
    return syncing;
  }
  Module.preRun = [() => {
    FS.mkdir(home);
    FS.mount(IDBFS, {}, home);
    FS.chdir(home);
    addRunDependency("asmquest-files");
    FS.syncfs(true, (error) => {
      if (error) status("读取浏览器里的进度失败：" + error);
      removeRunDependency("asmquest-files");
    });
    const rename = FS.rename;
    FS.rename = function (from, to) {
      const result = rename.apply(this, arguments);
      flushFiles();
      return result;
    };
  }];
  Module.print = (text) => console.log(text);
  Module.printErr = (text) => console.warn(text);

  function status(text) { document.getElementById("status").textContent = text; }

  const levels = home + "/levels", customLevels = home + "/custom-levels";
  const progressNames = ["上次关卡.bin", "最高关卡.bin", "布局.txt"];
  const isCode = (name) => /代码\.txt$/.test(name);
  const isLevel = (name) => /\.toml$/i.test(name);
  const baseName = (name) => name.split(/[\\/]/).pop();
  const levelOrder = (name) => { const m = name.match(codeZip.codeName); return m ? +m[1] : 1e9; };
  function readFolder(folder, wanted) {
    let names = [];
    try { names = FS.readdir(folder); } catch (e) { return []; }
    return names.filter(wanted).sort((a, b) => levelOrder(a) - levelOrder(b) || (a < b ? -1 : 1))
      .map((name) => ({ name, data: FS.readFile(folder + "/" + name) }));
  }
  // Every level's code (CR LF, as on Windows), the progress files and the teachers' levels.
  function codeFiles() {
    return readFolder(levels, isCode).map(({ name, data }) => ({ name, data: codeZip.toCrLf(data) }));
  }
  function exportedFiles() {
    return [...codeFiles(), ...readFolder(levels, (n) => progressNames.includes(n)),
      ...readFolder(customLevels, isLevel).map(({ name, data }) => ({ name: "custom-levels/" + name, data }))];
  }

  function exportCode() {
    const files = exportedFiles();
    if (!files.length) return status("还没有保存的代码。"), null;
    const zip = codeZip.write(files);
    const link = document.createElement("a");
    link.href = URL.createObjectURL(zip);
    link.download = "汇编闯关代码.zip";
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    status("已导出" + codeFiles().length + "个代码文件和进度。");
    return zip;
  }

  // Last and highest level of a progress (2 bytes each, little endian); 0 when missing.
  const levelNumber = (data) => (data && data.length >= 2 ? data[0] | (data[1] << 8) : 0);
  function storedFile(path) { try { return FS.readFile(path); } catch (e) { return null; } }

  // Zips, code files (第N关代码.txt, UTF-8 or GBK), teachers' levels (.toml);
  // everything is read and checked before anything is written, then the page
  // reloads so the game reads them as at a start. Returns the files taken.
  async function importCode(fileList) {
    const code = new Map(), custom = new Map(), progress = new Map(), notes = [];
    const wanted = (name) => isCode(baseName(name)) || isLevel(name) || progressNames.includes(baseName(name));
    for (const file of Array.from(fileList)) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const entries = /\.zip$/i.test(file.name) ? await codeZip.read(bytes, wanted) : [{ name: file.name, data: bytes }];
      for (const { name, data } of entries) {
        const base = baseName(name);
        if (isLevel(base)) custom.set(base, data);
        else if (progressNames.includes(base)) progress.set(base, data);
        else if (isCode(base)) {
          const text = gbk.fromFile(data);
          if (text.missing.length) notes.push(`${base}里有GBK没有的字符（${text.missing.slice(0, 8).join("")}），已换成?`);
          code.set(base, codeZip.fromCrLf(text.bytes));
        }
      }
    }
    if (!code.size && !custom.size && !progress.size)
      return status("没有找到代码文件（第N关代码.txt）、关卡文件（.toml）或进度。"), 0;
    // Progress that would go back asks first; refused, the page's own stays.
    if (progress.size) {
      const here = [levelNumber(storedFile(levels + "/上次关卡.bin")), levelNumber(storedFile(levels + "/最高关卡.bin"))];
      const there = [levelNumber(progress.get("上次关卡.bin")), levelNumber(progress.get("最高关卡.bin"))];
      if ((there[0] && there[0] < here[0]) || (there[1] && there[1] < here[1])) {
        const keep = !confirm(`导入的进度（上次第${there[0]}关，最高第${there[1]}关）比这里的` +
          `（上次第${here[0]}关，最高第${here[1]}关）低。用导入的进度替换这里的吗？\n（取消：只导入代码和关卡，保留这里的进度）`);
        if (keep) progress.clear();
      }
    }
    const makeFolder = (f) => { try { FS.mkdir(f); } catch (e) { /* already there */ } };
    makeFolder(levels);
    for (const [name, data] of code) FS.writeFile(levels + "/" + name, data);
    for (const [name, data] of progress) FS.writeFile(levels + "/" + name, data);
    if (custom.size) makeFolder(customLevels);
    for (const [name, data] of custom) FS.writeFile(customLevels + "/" + name, data);
    await flushFiles();
    const taken = [code.size && `${code.size}个代码文件`, custom.size && `${custom.size}个关卡文件`,
      progress.size && "进度"].filter(Boolean).join("、");
    status("已导入" + taken + "。" + notes.join("；"));
    setTimeout(() => location.reload(), notes.length ? 3000 : 300);
    return code.size + custom.size + progress.size;
  }

  document.getElementById("export").onclick = () => { exportCode(); term.focus(); };
  const picker = document.getElementById("import-file");
  document.getElementById("import").onclick = () => picker.click();
  // The game has the keys again after every import, a cancelled one too.
  picker.addEventListener("cancel", () => term.focus());
  picker.onchange = () => {
    const files = Array.from(picker.files); // the list empties with the picker
    picker.value = "";
    term.focus();
    importCode(files).catch((e) => status(e instanceof codeZip.ZipRefusal ? e.message : "导入失败：" + e.message));
  };
  document.getElementById("fullscreen").onclick = () => {
    const page = document.documentElement;
    (page.requestFullscreen ? page.requestFullscreen() : Promise.reject()).catch(() =>
      status("这个浏览器不能全屏：请缩小页面（Ctrl+减号）或把手机横过来。"));
  };
  const help = document.getElementById("help");
  document.getElementById("help-link").onclick = (e) => {
    e.preventDefault();
    help.hidden = !help.hidden;
    if (help.hidden) term.focus();
  };

  // The screen as lines of text: the game's own cells once it runs (frames as
  // '+', '-' and '|', which the page draws as lines), xterm.js's before.
  function screenText() {
    if (Module.asmquestStarted && Module._asmquestTakeScreen)
      return new TextDecoder().decode(gameText(Module._asmquestTakeScreen())).split("\n").slice(0, -1);
    const buffer = term.buffer.active, lines = [];
    for (let y = 0; y < term.rows; y++) {
      const line = buffer.getLine(buffer.viewportY + y);
      lines.push(line ? line.translateToString(false) : "");
    }
    return lines;
  }

  // Screen readers hear what changed, not the screen: the console panel's new
  // lines (a failure report among them), the level's text when the level
  // changes, and the passes so far at most every few seconds.
  const reader = document.getElementById("screen-reader");
  const said = [];
  function say(text) {
    if (!text.trim()) return;
    said.push(text);
    const line = document.createElement("p");
    line.textContent = text;
    reader.append(line);
    while (reader.childNodes.length > 20) reader.firstChild.remove();
  }
  let linesRead = 0, levelRead = 0, passesRead = 0, passesAt = 0;
  setInterval(() => {
    if (!running || !Module._asmquestConsoleLinesEnded || !Module.asmquestStarted) return;
    const ended = Module._asmquestConsoleLinesEnded();
    if (ended > linesRead) {
      const text = gbk.decode(gameText(Module._asmquestTakeConsoleLines(linesRead)));
      linesRead = ended;
      text.split("\n").forEach(say);
    }
    const level = Module._asmquestLevel();
    if (level && level !== levelRead) {
      levelRead = level;
      // The goal, not the whole lesson: the text up to its first section after 目标.
      const text = gbk.decode(gameText(Module._asmquestTakeLevelText())).split(/知识点：|提示：|词典：|操作步骤：/)[0];
      say(`第${level}关。` + text.replace(/\s+/g, " ").trim());
    }
    const passes = Module._asmquestPassCount();
    if (passes !== passesRead && Date.now() - passesAt >= 3000) {
      passesRead = passes, passesAt = Date.now();
      if (passes) say(`已通过${passes}次。`);
    }
  }, 500);

  window.asmquest = {
    screenText,
    said,
    terminal: term,
    codeFiles,
    exportCode,
    importCode,
    flushFiles: () => flushFiles(),
    stats: () => ({
      steps: Module._asmquestSteps(),
      lastFrameMs: Module._asmquestLastFrameMicros() / 1000,
      longestFrameMs: Module._asmquestLongestFrameMicros() / 1000,
      meanFrameMs: Module._asmquestMeanFrameMicros() / 1000,
    }),
    resetFrameTimes: () => Module._asmquestResetFrameTimes(),
  };
})();
