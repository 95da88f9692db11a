// The game's files as a zip and back. Written archives are store-only, their
// names UTF-8 with the flag that says so (bit 11), which Python, Info-ZIP's
// unzip, macOS and Windows 10's Explorer read. Archives from other tools may be
// deflated (the DecompressionStream of the browser or of node) and may name
// their files in GBK (no flag), as Chinese Windows writes them.
//
// Reading is bounded, since a zip comes from anywhere: a refused archive
// throws a ZipRefusal with one Chinese sentence and yields no file at all.
"use strict";
const codeZip = (() => {
  const limits = {
    fileBytes: 1 << 20,   // one inflated file
    totalBytes: 64 << 20, // every inflated file together
    entries: 1000,        // a class's worth of levels many times over
  };

  class ZipRefusal extends Error {}
  const refuse = (text) => { throw new ZipRefusal(text); };

  const crcTable = new Uint32Array(256).map((_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  function crc32(bytes) {
    let c = 0xFFFFFFFF;
    for (let i = 0; i < bytes.length; i++) c = crcTable[(c ^ bytes[i]) & 0xFF] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
  }

  const codeName = /^第(\d+)关代码\.txt$/;
  const utf8Flag = 0x800;

  // entries: [{name, data: Uint8Array}] -> the zip's bytes (a Blob).
  function write(entries, when = new Date()) {
    const time = (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1);
    const date = ((when.getFullYear() - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate();
    const parts = [], central = [];
    let offset = 0;
    for (const { name, data } of entries) {
      const nameBytes = new TextEncoder().encode(name), crc = crc32(data);
      const local = new DataView(new ArrayBuffer(30));
      local.setUint32(0, 0x04034B50, true);
      local.setUint16(4, 20, true);
      local.setUint16(6, utf8Flag, true);
      local.setUint16(10, time, true);
      local.setUint16(12, date, true);
      local.setUint32(14, crc, true);
      local.setUint32(18, data.length, true);
      local.setUint32(22, data.length, true);
      local.setUint16(26, nameBytes.length, true);
      const head = new DataView(new ArrayBuffer(46));
      head.setUint32(0, 0x02014B50, true);
      head.setUint16(4, 0x0314, true); // made by Unix: no unzip takes the names for a DOS code page
      head.setUint16(6, 20, true);
      head.setUint16(8, utf8Flag, true);
      head.setUint16(12, time, true);
      head.setUint16(14, date, true);
      head.setUint32(16, crc, true);
      head.setUint32(20, data.length, true);
      head.setUint32(24, data.length, true);
      head.setUint16(28, nameBytes.length, true);
      head.setUint32(38, 0o100644 << 16 >>> 0, true); // a plain file, rw-r--r--
      head.setUint32(42, offset, true);
      parts.push(new Uint8Array(local.buffer), nameBytes, data);
      central.push(new Uint8Array(head.buffer), nameBytes);
      offset += 30 + nameBytes.length + data.length;
    }
    const centralSize = central.reduce((n, p) => n + p.length, 0);
    const end = new DataView(new ArrayBuffer(22));
    end.setUint32(0, 0x06054B50, true);
    end.setUint16(8, entries.length, true);
    end.setUint16(10, entries.length, true);
    end.setUint32(12, centralSize, true);
    end.setUint32(16, offset, true);
    return new Blob([...parts, ...central, new Uint8Array(end.buffer)], { type: "application/zip" });
  }

  const tooLarge = (name, total) => (total
    ? `zip文件里的文件解压后一共超过${limits.totalBytes >> 20}MB，没有导入任何文件。`
    : `zip文件里的${name}解压后超过${limits.fileBytes >> 20}MB，没有导入任何文件。`);

  // Inflates at most cap bytes: a bomb is stopped when it passes the cap, not after.
  async function inflate(raw, cap, name, total) {
    const reader = new Blob([raw]).stream().pipeThrough(new DecompressionStream("deflate-raw")).getReader();
    const chunks = [];
    let length = 0;
    try {
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        length += value.length;
        if (length > cap) {
          reader.cancel().catch(() => {});
          refuse(tooLarge(name, total + length > limits.totalBytes));
        }
        chunks.push(value);
      }
    } catch (e) {
      if (e instanceof ZipRefusal) throw e;
      refuse(`zip文件里的${name}已损坏（无法解压），没有导入任何文件。`);
    }
    const out = new Uint8Array(length);
    let at = 0;
    for (const c of chunks) out.set(c, at), at += c.length;
    return out;
  }

  // A name that could land outside the folder it is unpacked into.
  function escapes(name) {
    return /^[\\/]/.test(name) || /^[A-Za-z]:/.test(name) || name.split(/[\\/]/).some((p) => p === "..");
  }

  // The zip's files as [{name, data}], names decoded to text, folders dropped.
  // Only the files wanted(name) are inflated and checked (CRC, size); every
  // name is checked. Throws a ZipRefusal for anything damaged or hostile.
  async function read(bytes, wanted = () => true) {
    const broken = "zip文件不完整或已损坏，没有导入任何文件。";
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const u16 = (at) => (at >= 0 && at + 2 <= bytes.length ? view.getUint16(at, true) : refuse(broken));
    const u32 = (at) => (at >= 0 && at + 4 <= bytes.length ? view.getUint32(at, true) : refuse(broken));
    // The end record sits in the last 22 + 65535 bytes (its comment at most).
    let end = bytes.length - 22;
    const first = Math.max(0, bytes.length - 22 - 0xFFFF);
    while (end >= first && view.getUint32(end, true) !== 0x06054B50) end--;
    if (end < first) refuse("这不是zip文件（或已损坏），没有导入任何文件。");
    const count = u16(end + 10);
    if (count > limits.entries || u16(end + 8) > limits.entries)
      refuse(`zip文件里的文件超过${limits.entries}个，没有导入任何文件。`);
    if (u32(end + 16) === 0xFFFFFFFF || count === 0xFFFF) refuse("不支持zip64格式的文件，没有导入任何文件。");
    let at = u32(end + 16);
    const files = [];
    let total = 0;
    for (let i = 0; i < count; i++) {
      if (u32(at) !== 0x02014B50) refuse(broken);
      const flags = u16(at + 8), method = u16(at + 10), crc = u32(at + 16);
      const packed = u32(at + 20), size = u32(at + 24);
      const nameLength = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32), local = u32(at + 42);
      if (at + 46 + nameLength > bytes.length) refuse(broken);
      const name = new TextDecoder(flags & utf8Flag ? "utf-8" : "gbk").decode(bytes.subarray(at + 46, at + 46 + nameLength));
      at += 46 + nameLength + extra + comment;
      if (escapes(name)) refuse(`zip文件里有指向别处的名字（${name.slice(0, 60)}），没有导入任何文件。`);
      if (name.endsWith("/") || !wanted(name)) continue;
      if (flags & 1) refuse(`zip文件里的${name}已加密，没有导入任何文件。`);
      if (method !== 0 && method !== 8) refuse(`zip文件里的${name}用了不支持的压缩方式，没有导入任何文件。`);
      const cap = Math.min(limits.fileBytes, limits.totalBytes - total);
      if (size > cap) refuse(tooLarge(name, size <= limits.fileBytes));
      if (u32(local) !== 0x04034B50) refuse(broken);
      const start = local + 30 + u16(local + 26) + u16(local + 28);
      if (start + packed > bytes.length) refuse(broken);
      const raw = bytes.subarray(start, start + packed);
      const data = method === 0 ? raw.slice() : await inflate(raw, cap, name, total);
      if (data.length !== size || crc32(data) !== crc)
        refuse(`zip文件里的${name}校验不符（已损坏），没有导入任何文件。`);
      total += data.length;
      files.push({ name, data });
    }
    return files;
  }

  // "\n" -> "\r\n" as Windows writes text, and back.
  function toCrLf(data) {
    const out = [];
    data.forEach((b, i) => {
      if (b === 10 && (i === 0 || data[i - 1] !== 13)) out.push(13);
      out.push(b);
    });
    return Uint8Array.from(out);
  }
  const fromCrLf = (data) => data.filter((b, i) => !(b === 13 && data[i + 1] === 10));

  return { write, read, crc32, codeName, toCrLf, fromCrLf, limits, ZipRefusal };
})();
if (typeof module !== "undefined") module.exports = codeZip;
