// The page's zip reader and writer (web/code_zip.js) under node: every input
// is read as a zip, and also taken apart into files that are zipped and read
// back. A read either gives files within the page's limits or refuses with a
// ZipRefusal (one Chinese sentence); it never throws anything else, never
// takes longer than a few seconds, never grows the heap without bound. A
// round trip gives back what was zipped (names and bytes), or refuses names
// that would leave the folder.
//
//   node fuzz/code_zip_fuzz.mjs replay PATH...               # files or folders, each once
//   node fuzz/code_zip_fuzz.mjs fuzz SECONDS CORPUS [CRASHES] # mutates the corpus, keeps failing inputs
import fs from "node:fs";
import path from "node:path";
import { createRequire } from "node:module";
import { fileURLToPath } from "node:url";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..");
const require = createRequire(import.meta.url);
const codeZip = require(path.join(root, "web/code_zip.js"));

const timeLimitMs = 5000;
const heapLimit = 768 << 20;

function withTimeout(promise) {
  let timer;
  return Promise.race([promise, new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`hang: no answer within ${timeLimitMs} ms`)), timeLimitMs);
  })]).finally(() => clearTimeout(timer));
}

const escapes = (name) => /^[\\/]/.test(name) || /^[A-Za-z]:/.test(name) || name.split(/[\\/]/).some((p) => p === "..");

async function readChecked(bytes) {
  try {
    const files = await withTimeout(codeZip.read(bytes));
    let total = 0;
    for (const { name, data } of files) {
      if (typeof name !== "string" || !(data instanceof Uint8Array)) throw new Error("a file without a name or bytes");
      if (escapes(name)) throw new Error("a name leaving the folder was read: " + name);
      if (data.length > codeZip.limits.fileBytes) throw new Error("a file over the size limit was read");
      total += data.length;
    }
    if (total > codeZip.limits.totalBytes) throw new Error("files over the total limit were read");
    return { files };
  } catch (e) {
    if (e instanceof codeZip.ZipRefusal) {
      if (!/[\u4e00-\u9fff]/.test(e.message) || !e.message.includes("没有导入任何文件"))
        throw new Error("a refusal without its Chinese sentence: " + e.message);
      return { refused: e.message };
    }
    throw e;
  }
}

// Files made from the bytes: names from an alphabet with Chinese, folders and dots.
const alphabet = ["第", "关", "代", "码", ".", "txt", "1", "_", "作业/", "a", "é", "😀", "..", "/", "\\", "C:"];
function filesOf(bytes) {
  const files = [];
  let at = 0;
  while (at + 3 <= bytes.length && files.length < 16) {
    const nameParts = bytes[at] % 6, length = bytes[at + 1] | ((bytes[at + 2] & 0x0F) << 8);
    at += 3;
    let name = "";
    for (let i = 0; i < nameParts && at < bytes.length; i++) name += alphabet[bytes[at++] % alphabet.length];
    files.push({ name, data: bytes.slice(at, at + length) });
    at += length;
  }
  return files;
}

async function roundTrip(bytes) {
  const files = filesOf(bytes);
  const zip = new Uint8Array(await codeZip.write(files, new Date(2024, 4, 6, 12, 30, 8)).arrayBuffer());
  const read = await readChecked(zip);
  if (files.some((f) => escapes(f.name))) {
    if (!read.refused) throw new Error("a name leaving the folder was not refused");
    return;
  }
  if (read.refused) throw new Error("a zip of our own was refused: " + read.refused);
  const expected = files.filter((f) => !f.name.endsWith("/"));
  const same = read.files.length === expected.length && read.files.every((f, i) =>
    f.name === expected[i].name && Buffer.compare(Buffer.from(f.data), Buffer.from(expected[i].data)) === 0);
  if (!same) throw new Error("the round trip changed the files");
}

async function one(bytes) {
  await readChecked(bytes);
  await roundTrip(bytes);
  const heap = process.memoryUsage().heapUsed;
  if (heap > heapLimit) throw new Error(`heap grew to ${heap >> 20} MB`);
}

function inputsOf(paths) {
  const files = [];
  for (const p of paths) {
    if (!fs.existsSync(p)) continue;
    if (fs.statSync(p).isDirectory()) for (const n of fs.readdirSync(p).sort()) files.push(path.join(p, n));
    else files.push(p);
  }
  return files;
}

// Mutations that reach the reader's corners: header fields set to edge values,
// cuts, copies, splices of two inputs.
const edges = [0, 1, 0x7F, 0x80, 0xFF, 0xFFFF, 0xFFFFFFFF, 0x7FFFFFFF, 46, 30, 22, 1 << 20, (1 << 20) + 1];
function mutate(input, other, random) {
  let bytes = Uint8Array.from(input);
  const pick = (n) => Math.floor(random() * n);
  for (let k = 1 + pick(4); k > 0; k--) {
    const at = bytes.length ? pick(bytes.length) : 0;
    switch (pick(7)) {
    case 0: if (bytes.length) bytes[at] ^= 1 << pick(8); break;
    case 1: if (bytes.length) bytes[at] = [0, 0xFF, 0x7F, 0x80, 0x2E, 0x2F][pick(6)]; break;
    case 2: { // a little-endian field at a signature's offset, or anywhere
      const signatures = [];
      for (let i = 0; i + 4 <= bytes.length; i++) if (bytes[i] === 0x50 && bytes[i + 1] === 0x4B) signatures.push(i);
      const base = signatures.length && random() < 0.8 ? signatures[pick(signatures.length)] + pick(46) : at;
      const value = edges[pick(edges.length)], width = random() < 0.5 ? 2 : 4;
      for (let i = 0; i < width && base + i < bytes.length; i++) bytes[base + i] = (value >>> (8 * i)) & 0xFF;
      break;
    }
    case 3: bytes = bytes.slice(0, at); break;
    case 4: { const n = pick(64); bytes = Uint8Array.from([...bytes.slice(0, at), ...bytes.slice(at, at + n), ...bytes.slice(at)]); break; }
    case 5: bytes = Uint8Array.from([...bytes.slice(0, at), ...other.slice(pick(other.length + 1))]); break;
    default: { const n = pick(32); bytes = Uint8Array.from([...bytes.slice(0, at), ...bytes.slice(Math.min(bytes.length, at + n))]); }
    }
  }
  return bytes;
}

const [mode, ...rest] = process.argv.slice(2);
let findings = 0;
if (mode === "replay") {
  const inputs = inputsOf(rest);
  for (const file of inputs) {
    try {
      await one(new Uint8Array(fs.readFileSync(file)));
    } catch (e) {
      findings++;
      console.log(`FAIL ${file}: ${e.message}`);
    }
  }
  console.log(`replayed ${inputs.length} inputs, ${findings} failed`);
  if (!inputs.length) findings++;
} else if (mode === "fuzz") {
  const [seconds, corpus, crashes = path.join(root, "build-fuzz/crashes/code_zip")] = rest;
  const seeds = inputsOf([corpus]).map((f) => new Uint8Array(fs.readFileSync(f)));
  let state = 0x9E3779B9 ^ Date.now();
  const random = () => ((state = (state * 1664525 + 1013904223) >>> 0) / 2 ** 32);
  const until = Date.now() + seconds * 1000;
  let executions = 0;
  while (Date.now() < until) {
    const input = mutate(seeds[Math.floor(random() * seeds.length)], seeds[Math.floor(random() * seeds.length)], random);
    executions++;
    try {
      await one(input);
    } catch (e) {
      findings++;
      fs.mkdirSync(crashes, { recursive: true });
      const name = path.join(crashes, `crash-${executions}`);
      fs.writeFileSync(name, input);
      console.log(`FAIL ${name}: ${e.message}`);
    }
  }
  console.log(`${executions} executions in ${seconds} s from ${seeds.length} seeds, ${findings} findings`);
} else {
  console.error("usage: code_zip_fuzz.mjs replay PATH... | fuzz SECONDS CORPUS [CRASHES]");
  process.exit(2);
}
process.exit(findings ? 1 : 0);
