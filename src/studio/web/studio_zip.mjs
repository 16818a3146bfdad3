// A zip writer of our own: stored entries (the deflate a zip reader expects buys little on models
// and images that are compressed already), CRC-32 by its table, names in UTF-8.

const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

export function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// entries: [[name, Uint8Array]]; a Blob of the archive. Sizes past 4 GiB are refused.
export function zipBlob(entries) {
  const parts = [], central = [];
  let offset = 0;
  const encoder = new TextEncoder();
  for (const [name, data] of entries) {
    if (data.length >= 0xffffffff) throw new Error(name + " is too large for a zip");
    const nameBytes = encoder.encode(name), crc = crc32(data);
    const local = new DataView(new ArrayBuffer(30));
    local.setUint32(0, 0x04034b50, true);
    local.setUint16(4, 20, true);     // version needed
    local.setUint16(6, 0x0800, true); // names in UTF-8
    local.setUint16(8, 0, true);      // stored
    local.setUint16(10, 0, true);     // time
    local.setUint16(12, 0x21, true);  // date: 1980-01-01
    local.setUint32(14, crc, true);
    local.setUint32(18, data.length, true);
    local.setUint32(22, data.length, true);
    local.setUint16(26, nameBytes.length, true);
    local.setUint16(28, 0, true);
    const entry = new DataView(new ArrayBuffer(46));
    entry.setUint32(0, 0x02014b50, true);
    entry.setUint16(4, 20, true);
    entry.setUint16(6, 20, true);
    entry.setUint16(8, 0x0800, true);
    entry.setUint16(10, 0, true);
    entry.setUint16(12, 0, true);
    entry.setUint16(14, 0x21, true);
    entry.setUint32(16, crc, true);
    entry.setUint32(20, data.length, true);
    entry.setUint32(24, data.length, true);
    entry.setUint16(28, nameBytes.length, true);
    entry.setUint32(42, offset, true);
    central.push(entry, nameBytes);
    parts.push(local, nameBytes, data);
    offset += 30 + nameBytes.length + data.length;
    if (offset >= 0xffffffff) throw new Error("the zip would pass 4 GiB");
  }
  let centralSize = 0;
  for (const c of central) centralSize += c.byteLength;
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, entries.length, true);
  end.setUint16(10, entries.length, true);
  end.setUint32(12, centralSize, true);
  end.setUint32(16, offset, true);
  return new Blob([...parts, ...central, end], {type: "application/zip"});
}
