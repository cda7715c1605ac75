#pragma once
// `duskmoth import IN -o OUT.kvd`: opens or imports IN and saves it as a
// document. Answers the program's exit code (0 saved, 1 failed).

#include <filesystem>
#include <ostream>

int RunImport(const std::filesystem::path& in, const std::filesystem::path& out, std::ostream& stdout_stream,
              std::ostream& err);
