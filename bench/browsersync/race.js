// Browsersync with its default settings, proxying the benchmark's page server and watching the page file.
// Only two things are told: not to open a browser (the benchmark starts its own), and, on stdin, when it is
// its turn: "pause" stops its reloads, "resume" starts them again. Prints "ready URL", "paused", "resumed".
// Its own pause() does not stop full-page reloads (only injected CSS), so the turn is switched with the
// "reload on file changes" option (codeSync) that its UI toggles.
const readline = require("readline");
const bs = require("browser-sync").create();

const [target, watched] = process.argv.slice(2);
bs.init({ proxy: target, files: [watched], open: false }, () => {
  console.log(`ready ${bs.getOption("urls").get("local")}`);
});
readline.createInterface({ input: process.stdin }).on("line", (line) => {
  if (line === "pause") {
    bs.instance.setOption("codeSync", false);
    console.log("paused");
  } else if (line === "resume") {
    bs.instance.setOption("codeSync", true);
    console.log("resumed");
  }
});
