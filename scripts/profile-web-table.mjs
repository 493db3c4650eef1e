// Reads Node.js CPU profiles (.cpuprofile) of the headless timedemo and prints each function's
// own time per frame over the runs, counting only samples taken inside a frame (under
// WinMainFrame or GameFrame), so that start-up and the compiler's work stay out of it.
// Usage: node scripts/profile-web-table.mjs FRAMES TOP PROFILE...
import fs from 'node:fs';

const frames = Number(process.argv[2]);
const top = Number(process.argv[3]);
const files = process.argv.slice(4);
const inFrame = /WinMainFrame|GameFrame/;
const totals = new Map();
let all = 0;
for (const file of files) {
  const profile = JSON.parse(fs.readFileSync(file, 'utf8'));
  const byId = new Map(profile.nodes.map((node) => [node.id, node]));
  const parent = new Map();
  for (const node of profile.nodes) for (const child of node.children || []) parent.set(child, node.id);
  const under = new Map();
  const isUnderFrame = (id) => {
    if (!under.has(id)) {
      let found = false;
      for (let at = id; at !== undefined && !found; at = parent.get(at)) found = inFrame.test(byId.get(at).callFrame.functionName);
      under.set(id, found);
    }
    return under.get(id);
  };
  profile.samples.forEach((id, i) => {
    const time = profile.timeDeltas[i + 1] || 0;
    if (!isUnderFrame(id)) return;
    const name = byId.get(id).callFrame.functionName || '(anonymous)';
    totals.set(name, (totals.get(name) || 0) + time);
    all += time;
  });
}
const perFrame = (microseconds) => (microseconds / files.length / frames).toFixed(2).padStart(7);
for (const [name, time] of [...totals].sort((a, b) => b[1] - a[1]).slice(0, top)) {
  console.log(`${perFrame(time)} us/frame ${(100 * time / all).toFixed(1).padStart(5)}%  ${name.slice(0, 100)}`);
}
console.log(`${perFrame(all)} us/frame in frames, ${files.length} runs`);
