// Runs a WASI (preview 1) program under Node: node wasi-run.mjs PROGRAM.wasm ARGS...
// The host's file system is visible at /, so paths given as arguments work unchanged; the exit
// status is the program's (a trap, such as abort(), exits non-zero).
import { readFile } from "node:fs/promises";
import { WASI } from "node:wasi";

const [program, ...args] = process.argv.slice(2);
const wasi = new WASI({ version: "preview1", args: [program, ...args], preopens: { "/": "/" } });
const module = await WebAssembly.compile(await readFile(program));
const instance = await WebAssembly.instantiate(module, wasi.getImportObject());
process.exitCode = wasi.start(instance);
