#!/usr/bin/env -S node --no-warnings
// wasi-host.mjs MODULE [ARGUMENT...]: runs a WASI (preview 1) command module
// with Node.js's WASI, on this process's standard streams, and exits with
// the module's status. Node's own warnings (it calls its WASI experimental)
// would land on the module's standard error, hence --no-warnings.
//
// HELLOWORLD_WASI_TRACE=FILE: appends to FILE a line for every call the
// module makes that names a descriptor, in the form of strace -y, which the
// suite's trace case reads; each descriptor is shown as "N<fd N>":
//   name(N<fd N>) = 0                     every fd_*, path_* and sock_* call
//   fd_write(N<fd N>, "bytes") = written  the bytes asked to be written, as JSON
//   poll_oneoff(fd_read N<fd N>) = 0      each subscription that waits on one
// A call that fails shows "= -1 (errno E)", E being WASI's error number.
import { closeSync, openSync, readFileSync, writeSync } from 'node:fs';
import { WASI } from 'node:wasi';
// The global process, not node:process's named exports: importing those
// reads process.stdout, which makes a pipe on descriptor 1 non-blocking and
// leaves it so for the caller.
const { argv, env, exit } = process;

const [path, ...args] = argv.slice(2);
const { HELLOWORLD_WASI_TRACE: tracePath, ...moduleEnv } = env;
const wasi = new WASI({ version: 'preview1', args: [path, ...args], env: moduleEnv, returnOnExit: true });

let memory; // the module's, once it is instantiated
const view = () => new DataView(memory.buffer);

// What a call names: its descriptor, and for fd_write the bytes its iovecs hold.
const fd = (n) => `${n}<fd ${n}>`;
function described(name, params) {
  if (name === 'poll_oneoff') {
    // 48-byte subscriptions: the event type at 8; for fd_read (1) and fd_write (2),
    // the descriptor at 16.
    const [subscriptions, , count] = params;
    const waits = [];
    for (let i = 0; i < count; ++i) {
      const at = subscriptions + 48 * i;
      const type = view().getUint8(at + 8);
      if (type === 1 || type === 2) {
        waits.push(`${type === 1 ? 'fd_read' : 'fd_write'} ${fd(view().getUint32(at + 16, true))}`);
      }
    }
    return waits;
  }
  if (name === 'fd_write') {
    const [n, iovs, count] = params;
    let bytes = '';
    for (let i = 0; i < count; ++i) {
      const buffer = view().getUint32(iovs + 8 * i, true);
      const length = view().getUint32(iovs + 8 * i + 4, true);
      bytes += Buffer.from(memory.buffer, buffer, length).toString('latin1');
    }
    return [`${fd(n)}, ${JSON.stringify(bytes)}`];
  }
  return /^(fd|path|sock)_/.test(name) ? [fd(params[0])] : [];
}

let imports = { wasi_snapshot_preview1: wasi.wasiImport };
if (tracePath) {
  const trace = openSync(tracePath, 'a');
  const traced = {};
  for (const [name, call] of Object.entries(imports.wasi_snapshot_preview1)) {
    traced[name] = (...params) => {
      const lines = described(name, params);
      const result = call(...params); // proc_exit throws, and names no descriptor
      const written = name === 'fd_write' && result === 0 ? view().getUint32(params[3], true) : 0;
      for (const line of lines) {
        writeSync(trace, `${name}(${line}) = ${result === 0 ? written : `-1 (errno ${result})`}\n`);
      }
      return result;
    };
  }
  imports = { wasi_snapshot_preview1: traced };
  process.on('exit', () => closeSync(trace));
}

const module = await WebAssembly.compile(readFileSync(path));
const instance = await WebAssembly.instantiate(module, imports);
memory = instance.exports.memory;
exit(wasi.start(instance) ?? 0);
