#pragma once
// The commands that show windows (window, material, properties) live with
// Qt in a module of their own beside the program, duskmoth_qt.so, loaded
// when one of them runs: every other command starts without loading Qt,
// which takes about a tenth of a small render's time.

#include <ostream>

#include "apps/duskmoth/CommandLine.h"

// Runs the window, material or properties command of `line` from the
// module and answers its exit code; 1, with one line on err, when the
// module cannot be loaded ("duskmoth: PATH: cannot load the window commands (WHY)").
int RunQtCommand(const CommandLine& line, std::ostream& out, std::ostream& err);

// What the module exports under that name: the command's exit code.
extern "C" int DuskMothRunQtCommand(const CommandLine& line, std::ostream& out, std::ostream& err);
