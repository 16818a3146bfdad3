// Where the studio's files come from and go: the demo that manifest.json names (its sources, or
// its package with the music), a folder or package dropped or picked, a folder opened through the
// File System Access API (saved into in place), and downloads.

async function fetchBytes(name) {
  const response = await fetch(name);
  if (!response.ok) throw new Error("cannot fetch " + name + " (HTTP " + response.status + ")");
  return new Uint8Array(await response.arrayBuffer());
}

// {files, title} of the demo the page was served with, or null when there is no manifest.
export async function openManifest() {
  const response = await fetch("manifest.json", {cache: "no-cache"});
  if (!response.ok) return null;
  const manifest = await response.json();
  const files = {};
  let title = manifest.title || (manifest.package || "demo").replace(/\.?dpk$/i, "");
  if (manifest.sources) {
    const folder = manifest.sources.folder.replace(/\/?$/, "/");
    await Promise.all(manifest.sources.files.map(async (name) => { files[name] = await fetchBytes(folder + name); }));
  } else if (manifest.package) {
    files[manifest.package] = await fetchBytes(manifest.package);
  }
  if (manifest.music && !(manifest.music in files)) {
    try {
      files[manifest.music] = await fetchBytes(manifest.music);
    } catch (e) { /* the timeline says the music is missing */ }
  }
  return {files, title};
}

function withoutTop(path) {
  const i = path.indexOf("/");
  return i < 0 ? path : path.slice(i + 1);
}

function entryFiles(entry, prefix, out) {
  return new Promise((resolve, reject) => {
    if (entry.isFile) {
      entry.file((f) => { out.push([prefix + f.name, f]); resolve(); }, reject);
      return;
    }
    const reader = entry.createReader(), all = [];
    const more = () => reader.readEntries((batch) => {
      if (!batch.length) {
        Promise.all(all.map((e) => entryFiles(e, prefix + entry.name + "/", out))).then(resolve, reject);
        return;
      }
      all.push(...batch);
      more();
    }, reject);
    more();
  });
}

// Files picked (an <input>'s files, with their folder paths) or dropped (a DataTransferItemList):
// {files, title}. A dropped folder's own name is the title and left out of the names.
export async function openDropped(items) {
  const found = [];
  let title = null;
  if (items instanceof DataTransferItemList) {
    const entries = [...items].map((i) => i.webkitGetAsEntry && i.webkitGetAsEntry()).filter(Boolean);
    for (const e of entries) {
      if (e.isDirectory && entries.length === 1) {
        title = e.name;
        const inside = [];
        await entryFiles(e, "", inside);
        for (const [path, f] of inside) found.push([withoutTop(path), f]);
      } else {
        await entryFiles(e, "", found);
      }
    }
  } else {
    for (const f of items) {
      const path = f.webkitRelativePath || f.name;
      if (f.webkitRelativePath) title = title || path.split("/")[0];
      found.push([f.webkitRelativePath ? withoutTop(path) : path, f]);
    }
  }
  const files = {};
  for (const [name, f] of found) {
    if (name.split("/").some((part) => part.startsWith("."))) continue; // hidden files and folders
    files[name] = new Uint8Array(await f.arrayBuffer());
  }
  return {files, title};
}

async function handleFiles(dir, prefix, files) {
  for await (const [name, handle] of dir.entries()) {
    if (name.startsWith(".")) continue;
    if (handle.kind === "directory") await handleFiles(handle, prefix + name + "/", files);
    else files[prefix + name] = new Uint8Array(await (await handle.getFile()).arrayBuffer());
  }
}

// A folder opened through the File System Access API: {files, title, handle}.
export async function openPicked(handle) {
  const files = {};
  await handleFiles(handle, "", files);
  return {files, title: handle.name, handle};
}

// Writes the documents [[name, text]] into the folder opened in place.
export async function saveInPlace(handle, documents) {
  if (!handle) throw new Error("open a folder with Open folder… first: this browser then saves into it");
  if ((await handle.requestPermission({mode: "readwrite"})) !== "granted") throw new Error("the browser did not allow writing into the folder");
  for (const [name, text] of documents) {
    const writable = await (await handle.getFileHandle(name, {create: true})).createWritable();
    await writable.write(text);
    await writable.close();
  }
}

export function saveBlob(blob, name) {
  const a = document.createElement("a");
  a.href = URL.createObjectURL(blob);
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(a.href), 60000);
}
