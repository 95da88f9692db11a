// The level code files as a zip and back. Written archives are store-only,
// their names GBK bytes as the game's files (so Windows shows them and
// asmquest-judge grade reads them); archives from other tools may be deflated
// (the browser's DecompressionStream) and name their files in UTF-8 (flag bit 11).
"use strict";
const codeZip = (() => {
  const crcTable = new Uint32Array(256).map((_, n) => {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  function crc32(bytes) {
    let c = 0xFFFFFFFF;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xFF] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
  }

  // 第N关代码.txt: the only names written, so their four characters are all the GBK needed.
  const gbkOf = { "第": [0xB5, 0xDA], "关": [0xB9, 0xD8], "代": [0xB4, 0xFA], "码": [0xC2, 0xEB] };
  const codeName = /^第(\d+)关代码\.txt$/;
  function gbkName(name) {
    const out = [];
    for (const ch of name) out.push(...(gbkOf[ch] || [ch.charCodeAt(0)]));
    return Uint8Array.from(out);
  }

  // entries: [{name, data: Uint8Array}] -> the zip's bytes.
  function write(entries, when = new Date()) {
    const time = (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1);
    const date = ((when.getFullYear() - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate();
    const parts = [], central = [];
    let offset = 0;
    for (const { name, data } of entries) {
      const nameBytes = gbkName(name), crc = crc32(data);
      const local = new DataView(new ArrayBuffer(30));
      local.setUint32(0, 0x04034B50, true);
      local.setUint16(4, 20, true);
      local.setUint16(10, time, true);
      local.setUint16(12, date, true);
      local.setUint32(14, crc, true);
      local.setUint32(18, data.length, true);
      local.setUint32(22, data.length, true);
      local.setUint16(26, nameBytes.length, true);
      const head = new DataView(new ArrayBuffer(46));
      head.setUint32(0, 0x02014B50, true);
      head.setUint16(4, 20, true); // made by MS-DOS: names in the system's code page
      head.setUint16(6, 20, true);
      head.setUint16(12, time, true);
      head.setUint16(14, date, true);
      head.setUint32(16, crc, true);
      head.setUint32(20, data.length, true);
      head.setUint32(24, data.length, true);
      head.setUint16(28, nameBytes.length, true);
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

  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate-raw"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // The zip's files as [{name, data}]; names decoded to text, folders dropped.
  async function read(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let end = bytes.length - 22;
    while (end >= 0 && view.getUint32(end, true) !== 0x06054B50) end--;
    if (end < 0) throw new Error("不是zip文件");
    const count = view.getUint16(end + 10, true);
    let at = view.getUint32(end + 16, true);
    const files = [];
    for (let i = 0; i < count; i++) {
      if (view.getUint32(at, true) !== 0x02014B50) throw new Error("zip文件已损坏");
      const flags = view.getUint16(at + 8, true), method = view.getUint16(at + 10, true);
      const size = view.getUint32(at + 20, true);
      const nameLength = view.getUint16(at + 28, true), extra = view.getUint16(at + 30, true);
      const comment = view.getUint16(at + 32, true), local = view.getUint32(at + 42, true);
      const name = new TextDecoder(flags & 0x800 ? "utf-8" : "gbk").decode(bytes.subarray(at + 46, at + 46 + nameLength));
      at += 46 + nameLength + extra + comment;
      if (name.endsWith("/")) continue;
      const start = local + 30 + view.getUint16(local + 26, true) + view.getUint16(local + 28, true);
      const raw = bytes.subarray(start, start + size);
      if (method === 0) files.push({ name, data: raw.slice() });
      else if (method === 8) files.push({ name, data: await inflate(raw) });
      else throw new Error("不支持的压缩方式：" + name);
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

  return { write, read, crc32, codeName, toCrLf, fromCrLf };
})();
