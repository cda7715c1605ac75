#pragma once
// `duskmoth material DOC.kvd [NAME] [--script FILE]`: the render plug-in's
// material settings dialog (its OnEditMaterial) in a Qt window, on the
// document's material NAME or its first. OK saves the document with the
// edited material and its renderer settings; Cancel leaves the file as it
// was. A script plays the user.

#include <optional>
#include <ostream>
#include <string>

#include "apps/duskmoth/CommandLine.h"
#include "host/app/EventWatcher.h"

// The index of the live material named `name` (the first live one when no
// name is given); -1 when there is none.
int FindMaterial(const CKavraMaterialTable& materials, const std::optional<std::string>& name);

// Answers the program's exit code: 0 saved or cancelled, 1 failed (no
// display, no such material, a fault in the script).
int RunMaterial(const DialogOptions& options, std::ostream& out, std::ostream& err);
