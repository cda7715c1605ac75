#pragma once
// The program runs its command in a child process and waits for it, so
// that a fault in a library it cannot check beforehand (a model reader
// tripping over a damaged file, a graphics driver) ends the child, not the
// program: the program says so in one line naming the input and ends with
// status 1. Signals that ask the program to end reach the child (from the
// terminal, which sends them to both, or handed on when a process sent
// them to the program): the child answers them as it would alone, and a
// signal that ended it (a second Ctrl-C, SIGTERM, a closed pipe) ends the
// program the same way.

#include <functional>
#include <ostream>
#include <string>

// Runs `command` in a child process and answers its exit status. When the
// child ends by a fault, writes "duskmoth: SUBJECT: the program stopped on a
// fault (Segmentation fault) while working on it; the file may be damaged or
// of a kind the program does not read" (or, killed, that it was) and
// answers 1. Runs `command` here when no child can be made.
int RunGuarded(const std::string& subject, const std::function<int()>& command, std::ostream& err);

// What the guard says of a child that ended with wait status `status`:
// empty when it exited or ended by a signal that is not a fault.
std::string FaultText(const std::string& subject, int status);
