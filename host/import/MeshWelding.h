#pragma once
// What is left to do to a mesh as model readers hand it over, where each
// face may bring its own copies of its corners: smooth normals for a mesh
// read without any, and welding, which makes vertices alike in every
// attribute one. Free functions on a toolkit mesh of triangles whose face
// indices are all in range.

#include "host/toolkit/Mesh.h"

namespace mesh_welding {

// Gives every vertex the unit sum of the normals around its position. A
// vertex brings the unit normal of its face (the unit sum of its faces'
// normals when several share it). Positions closer than 1e-4 of the mesh's
// diagonal count as one, so that seams a writer rounded apart shade
// smoothly; the groups are claimed in vertex order, each position taking
// the normal of the first group that reaches it. A position with no
// non-degenerate face gets a zero normal.
void SmoothNormals(TK_Mesh& mesh);

// Makes vertices equal in position, normal and texture coordinates one (0
// and -0 alike) and drops vertices that no face uses. The vertices keep the
// order of their first index; the faces are renumbered, face normals stay.
void Weld(TK_Mesh& mesh);

}  // namespace mesh_welding
