#pragma once
// Which camera a render looks through: a view of the document picked by
// name, and the command line's camera put into the active view for this
// render only. Functions on the document the command renders; the document
// owns its views.

#include <ostream>
#include <string>

#include "apps/duskmoth/CommandLine.h"
#include "host/toolkit/BoundingBox.h"

class CKavraDoc;

// The box around every object's render meshes; invalid without any.
TK_BoundingBox SceneBox(const CKavraDoc& doc);

// Makes the view named `name` the active one. False, with one line on err
// naming `subject` and the views there are, when the document has none of
// that name.
bool ChooseView(CKavraDoc& doc, const std::string& name, const std::string& subject, std::ostream& err);

// Puts the options' camera into the active view (a document without views
// gets one of 640 x 480 pixels). Location and target move and turn the
// camera: its up direction stays unless the new direction runs along it,
// when the old viewing direction becomes up (the camera tilts as a person
// looking up or down would). The angle is the half-angle of the narrower
// side, as SetCameraAngle takes it; a parallel view shows at the target
// (else at the scene's centre) as much as a perspective view of that angle
// would. Near and far fit the
// scene's box. Nothing changes when the options name no camera.
void OverrideCamera(CKavraDoc& doc, const RenderOptions& options);
