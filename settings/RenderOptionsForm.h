#pragma once
// The render options on the command line: the document's render settings
// (resolution, antialiasing, shadows, shadow maps, colours and three
// drawing toggles) changed through the host's option prompts, each accepted
// change written to the document at once. The plug-in's own flags are not
// offered here.

#include "host/sdk/CommandContext.h"

class CKavraDoc;

// success when something changed, nothing when the user left without a
// change, cancel when cancelled before any change (or from the resolution
// or colour prompt).
KvCommandResult RunRenderOptionsForm(CKavraDoc& doc);
