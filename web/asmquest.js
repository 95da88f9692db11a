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
    allowProposedApi: true, macOptionIsMeta: true,
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

  // The largest font that still gives the game its 161 x 33 cells.
  function layout() {
    for (let size = 24; size >= 6; size--) {
      term.options.fontSize = size;
      const d = fit.proposeDimensions();
      if (d && d.cols >= smallest.columns && d.rows >= smallest.rows) break;
    }
    fit.fit();
  }
  layout();
  addEventListener("resize", layout);
  term.focus();
  document.addEventListener("mousedown", (e) => {
    if (!e.target.closest("#files")) setTimeout(() => term.focus());
  });
  // Keys the game uses stay with it rather than the browser (help, reload, find, menus).
  addEventListener("keydown", (e) => {
    if (/^F([1-9]|10)$/.test(e.key) || (e.ctrlKey && /^[acvzxsyf]$/i.test(e.key))) e.preventDefault();
  });

  const input = [];
  const encoder = new TextEncoder();
  term.onData((text) => input.push(encoder.encode(text)));
  term.onBinary((text) => input.push(Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xFF)));

  let running = true;
  Module.asmquestBridge = {
    write(bytes) { if (running) term.write(bytes); },
    takeInput(capacity) {
      if (!input.length) return new Uint8Array(0);
      let first = input.shift();
      if (first.length > capacity) {
        input.unshift(first.subarray(capacity));
        first = first.subarray(0, capacity);
      }
      return first;
    },
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

  const levels = home + "/levels";
  function codeFiles() {
    let names = [];
    try { names = FS.readdir(levels); } catch (e) { return []; }
    return names.filter((n) => codeZip.codeName.test(n))
      .sort((a, b) => +a.match(codeZip.codeName)[1] - +b.match(codeZip.codeName)[1])
      .map((name) => ({ name, data: codeZip.toCrLf(FS.readFile(levels + "/" + name)) }));
  }

  function exportCode() {
    const files = codeFiles();
    if (!files.length) return status("还没有保存的代码。"), null;
    const zip = codeZip.write(files);
    const link = document.createElement("a");
    link.href = URL.createObjectURL(zip);
    link.download = "汇编闯关代码.zip";
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    status("已导出" + files.length + "个代码文件。");
    return zip;
  }

  // A zip or single code files; the page reloads so the game reads them as at a start.
  async function importCode(fileList) {
    const found = [];
    for (const file of fileList) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const entries = /\.zip$/i.test(file.name) ? await codeZip.read(bytes) : [{ name: file.name, data: bytes }];
      for (const { name, data } of entries) {
        const base = name.split(/[\\/]/).pop();
        if (codeZip.codeName.test(base)) found.push({ name: base, data: codeZip.fromCrLf(data) });
      }
    }
    if (!found.length) return status("没有找到代码文件（第N关代码.txt）。"), 0;
    try { FS.mkdir(levels); } catch (e) { /* already there */ }
    for (const { name, data } of found) FS.writeFile(levels + "/" + name, data);
    await flushFiles();
    status("已导入" + found.length + "个代码文件。");
    setTimeout(() => location.reload(), 300);
    return found.length;
  }

  document.getElementById("export").onclick = () => { exportCode(); term.focus(); };
  const picker = document.getElementById("import-file");
  document.getElementById("import").onclick = () => picker.click();
  picker.onchange = () => {
    importCode(picker.files).catch((e) => status("导入失败：" + e.message));
    picker.value = "";
  };

  function screenText() {
    const buffer = term.buffer.active, lines = [];
    for (let y = 0; y < term.rows; y++) {
      const line = buffer.getLine(buffer.viewportY + y);
      lines.push(line ? line.translateToString(false) : "");
    }
    return lines;
  }

  // Screen readers hear the screen when it settles.
  const reader = document.getElementById("screen-reader");
  let readerTimer = 0;
  term.onWriteParsed(() => {
    clearTimeout(readerTimer);
    readerTimer = setTimeout(() => { reader.textContent = screenText().join("\n"); }, 500);
  });

  window.asmquest = {
    screenText,
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
