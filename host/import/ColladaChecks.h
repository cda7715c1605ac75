#pragma once
// Checks of a COLLADA (.dae) file made before Assimp 5.2 reads it, for the
// faults it has no check of its own for: a <p> (or <h>) index list holding
// anything but whole numbers is read without end, memory growing until it
// runs out; an <accessor> that reaches past the end of its source array (or
// into one without a count) is read past the array's end; a <polylist>
// without <vcount> crashes it. A function of files.

#include <filesystem>
#include <string>
#include <string_view>

namespace collada_checks {

// False, with the reason, for an index list with anything but blanks and
// digits in it (a comment included), or an accessor whose offset + count x
// stride exceeds the count of the array it names, an array whose count is
// not a whole number, or a <polylist> without <vcount>; also when the file
// cannot be read.
bool Check(const std::filesystem::path& path, std::string& problem);
bool CheckText(std::string_view xml, std::string& problem);

}  // namespace collada_checks
