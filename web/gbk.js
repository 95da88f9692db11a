// Text between the page (Unicode) and the game (GBK bytes, as its files and
// its clipboard hold them). The browser decodes GBK itself; the way back is a
// table built once from that decoder.
//
//   gbk.decode(bytes)            // -> string
//   gbk.encode("第1关")          // -> {bytes, missing: [characters GBK lacks]}
//   gbk.fromFile(bytes)          // a code file in UTF-8 (BOM or not) or GBK -> {bytes, missing, wasUtf8}
"use strict";
const gbk = (() => {
  let table = null;
  function build() {
    table = new Map();
    const decoder = new TextDecoder("gbk");
    table.set("\u20AC", [0x80]);
    for (let lead = 0x81; lead <= 0xFE; lead++) {
      for (let trail = 0x40; trail <= 0xFE; trail++) {
        if (trail === 0x7F) continue;
        const text = decoder.decode(Uint8Array.of(lead, trail));
        if (text.length === 1 && text !== "\uFFFD" && !table.has(text)) table.set(text, [lead, trail]);
      }
    }
  }

  const decode = (bytes) => new TextDecoder("gbk").decode(bytes);

  // Characters GBK lacks become "?" and are listed once each.
  function encode(text) {
    if (!table) build();
    const out = [], missing = [];
    for (const ch of text) {
      const code = ch.codePointAt(0);
      if (code < 0x80) out.push(code);
      else if (table.has(ch)) out.push(...table.get(ch));
      else {
        out.push(0x3F);
        if (!missing.includes(ch)) missing.push(ch);
      }
    }
    return { bytes: Uint8Array.from(out), missing };
  }

  // A file that decodes as UTF-8 and is not plain ASCII came from an editor
  // that writes UTF-8 (as the judge reads it); anything else is the game's GBK.
  function fromFile(bytes) {
    let body = bytes;
    const bom = bytes[0] === 0xEF && bytes[1] === 0xBB && bytes[2] === 0xBF;
    if (bom) body = bytes.subarray(3);
    let text = null;
    try { text = new TextDecoder("utf-8", { fatal: true }).decode(body); } catch (e) { text = null; }
    if (text === null || (!bom && !/[^\x00-\x7F]/.test(text))) return { bytes: body, missing: [], wasUtf8: false };
    return { ...encode(text), wasUtf8: true };
  }

  return { decode, encode, fromFile };
})();
if (typeof module !== "undefined") module.exports = gbk;
