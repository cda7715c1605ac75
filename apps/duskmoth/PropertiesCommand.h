#pragma once
// `duskmoth properties DOC.kvd [--script FILE]`: the render plug-in's page of
// the document properties (its CreateRenderPropertiesPage) shown as a dialog
// in a Qt window. OK applies the page and saves the document, the render
// settings and the plug-in's own flags; Cancel leaves the file as it was. A
// script plays the user.

#include <ostream>

#include "apps/duskmoth/CommandLine.h"

// Answers the program's exit code: 0 saved or cancelled, 1 failed.
int RunProperties(const DialogOptions& options, std::ostream& out, std::ostream& err);
