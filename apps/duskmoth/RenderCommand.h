#pragma once
// `duskmoth render`: opens or imports the scene (or builds the demo scene),
// puts the command line's overrides into the document's render settings,
// view and camera for this render only, and hands the document to the
// render path.

#include <atomic>
#include <ostream>
#include <string>

#include "apps/duskmoth/CommandLine.h"

class CKavraDoc;
class DemoScene;
class TK_ScnRenderSettings;

// The overrides of the options that are set; a size makes the image size custom.
void ApplyRenderOverrides(const RenderOptions& options, TK_ScnRenderSettings& settings);

// The scene file as messages name it, or "the demo scene".
std::string SceneSubject(const RenderOptions& options);

// Opens the scene the options name, or builds the demo scene (whose maps
// `demo` keeps while the render reads them), with the overrides in place:
// the render settings, the view and the camera. False, with the reason on
// err, when it cannot (a view the document lacks among them); reading a
// model stops (and says nothing) when `stop` is raised.
bool PrepareDocument(const RenderOptions& options, CKavraDoc& doc, DemoScene& demo, std::ostream& err,
                     const std::atomic<bool>* stop = nullptr);

// Renders and writes the image, then says what was written in one line
// (unless quiet; with the phase times and peak memory for --stats).
// Answers the program's exit code.
int RunRender(const RenderOptions& options, std::ostream& err);
