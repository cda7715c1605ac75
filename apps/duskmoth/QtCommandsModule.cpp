// The entry of duskmoth_qt.so, the module of the commands that show windows.
#include "apps/duskmoth/MaterialCommand.h"
#include "apps/duskmoth/PropertiesCommand.h"
#include "apps/duskmoth/QtCommands.h"
#include "apps/duskmoth/WindowCommand.h"

extern "C" int DuskMothRunQtCommand(const CommandLine& line, std::ostream& out, std::ostream& err) {
  switch (line.command) {
    case CommandLine::Command::window: return RunWindow(line.window, err);
    case CommandLine::Command::material: return RunMaterial(line.dialog, out, err);
    case CommandLine::Command::properties: return RunProperties(line.dialog, out, err);
    default: return ParseOutcome::kUsage;
  }
}
