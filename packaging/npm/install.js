// Runs once after `npm install`: puts this platform's native binary in place of the sh launcher,
// so that `meterly` on the PATH is the binary itself and a run costs nothing extra. Where install
// scripts are disabled, or anything here fails, the launcher stays and finds the binary each run.
"use strict";
const fs = require("fs");
const path = require("path");

function nativeBinary() {
  const name = `@meterly/${process.platform}-${process.arch}`;
  try {
    return path.join(path.dirname(require.resolve(`${name}/package.json`)), "bin", "meterly");
  } catch {
    return null;
  }
}

function replaceLauncher() {
  const binary = nativeBinary();
  if (!binary || !fs.existsSync(binary)) return;
  const launcher = path.join(__dirname, "bin", "meterly");
  const staged = `${launcher}.${process.pid}`;
  try {
    // A hard link shares the bytes; across file systems (some package stores) it takes a copy.
    try {
      fs.linkSync(binary, staged);
    } catch {
      fs.copyFileSync(binary, staged);
      fs.chmodSync(staged, 0o755);
    }
    // rename keeps the path that npm's link on the PATH points at, and never leaves it missing.
    fs.renameSync(staged, launcher);
  } catch {
    try {
      fs.unlinkSync(staged);
    } catch {}
  }
}

replaceLauncher();
