// Under Node, mazereplay sees the variables of the process that runs it, as it does
// natively (MAZE_DRAW_THREADS among them); emscripten would start it with its own.
Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  for (const name of Object.keys(process.env)) ENV[name] = process.env[name];
});
