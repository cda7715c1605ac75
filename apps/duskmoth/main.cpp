// duskmoth: the command-line host program: render a scene, show it rendering
// in a window, import it into a document, describe it, or edit a document's
// render settings in the plug-in's dialogs or at its prompt. Exit status: 0
// done, 1 failed (one line on stderr per fault, naming the file), 2 bad usage.
// The command runs in a child process, so that a fault in a library ends in
// a message too (FaultGuard).
#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "apps/duskmoth/CommandLine.h"
#include "apps/duskmoth/FaultGuard.h"
#include "apps/duskmoth/ImportCommand.h"
#include "apps/duskmoth/InfoCommand.h"
#include "apps/duskmoth/OptionsCommand.h"
#include "apps/duskmoth/QtCommands.h"
#include "apps/duskmoth/RenderCommand.h"

namespace {

// What a command works on, as its messages name it.
std::string Subject(const CommandLine& line) {
  const auto scene = [](const RenderOptions& render) {
    return render.scene ? render.scene->string() : std::string("the demo scene");
  };
  switch (line.command) {
    case CommandLine::Command::render: return scene(line.render);
    case CommandLine::Command::window: return scene(line.window.render);
    case CommandLine::Command::import:
    case CommandLine::Command::info: return line.input.string();
    default: return line.dialog.document.string();
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Under an address-space limit (ulimit -v) each thread's own malloc arena
  // would reserve 64 MB of it: the threads share one, so that the limit
  // measures memory used. The pixel path allocates nothing, so they never wait.
  if (rlimit limit{}; getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) mallopt(M_ARENA_MAX, 1);
  // Arrays of a megabyte and more (meshes, the index, images) are mapped
  // and unmapped whole. By default the threshold rises to the largest block
  // freed, and the import's arrays, once freed, would stay in the heap
  // through the render.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  // The heap grows 64 MiB at a time and keeps as much when blocks are freed:
  // set-up makes and frees arrays of megabytes one after another (the
  // import's, the render's copies, the index), and those then take pages
  // already in memory from the heap's top instead of mapping fresh ones,
  // each faulted in and cleared anew (a third of the page faults of a
  // 1 M-triangle render, a tenth of its time). Set where the command starts,
  // so that the arguments' few blocks do not grow the heap by as much first.
  CommandLine line;
  const ParseOutcome parsed = ParseCommandLine(argc, argv, line);
  if (!parsed.run) {
    (parsed.exit_code == ParseOutcome::kOk ? std::cout : std::cerr) << parsed.text;
    return parsed.exit_code;
  }
  // Commands report their failures themselves; whatever escapes one still
  // ends the program with a message and status 1, never by a signal.
  const auto command = [&]() -> int {
    mallopt(M_TOP_PAD, 64 << 20);
    try {
      switch (line.command) {
        case CommandLine::Command::render: return RunRender(line.render, std::cerr);
        case CommandLine::Command::window:
        case CommandLine::Command::material:
        case CommandLine::Command::properties: return RunQtCommand(line, std::cout, std::cerr);
        case CommandLine::Command::import: return RunImport(line.input, line.output, std::cout, std::cerr);
        case CommandLine::Command::info: return RunInfo(line.input, std::cout, std::cerr);
        case CommandLine::Command::options: return RunOptions(line.dialog.document, std::cout, std::cerr);
        case CommandLine::Command::none: break;
      }
    } catch (const std::bad_alloc&) {
      std::cerr << "duskmoth: out of memory\n";
      return 1;
    } catch (const std::exception& e) {
      std::cerr << "duskmoth: " << e.what() << "\n";
      return 1;
    }
    return ParseOutcome::kUsage;
  };
  // mpirun counts the processes it started: under it the command runs here.
  if (std::getenv("OMPI_COMM_WORLD_SIZE")) return command();
  return RunGuarded(Subject(line), command, std::cerr);
}
