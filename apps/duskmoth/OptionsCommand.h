#pragma once
// `duskmoth options DOC.kvd`: the render plug-in's properties page in its
// command-line form (the render options prompt), answered on standard input:
// a terminal, or a pipe or file whose answers are echoed after their
// prompts. The document is saved when the form answers that it changed
// something; otherwise the file stays as it was. No display needed.

#include <filesystem>
#include <ostream>

// Answers the program's exit code: 0 saved or left alone, 1 failed.
int RunOptions(const std::filesystem::path& document, std::ostream& out, std::ostream& err);
