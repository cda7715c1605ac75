#pragma once
// Archive layouts of the scene records that a document stores and the
// toolkit types do not write themselves: meshes, lights and views. Readers
// check every count against the bytes that remain before allocating, build
// the record through its setters (so non-finite values are refused) and
// change nothing unless the whole record was read. A mesh that reads may
// still be invalid (faces past its vertices): callers check IsValid().

#include "host/app/View.h"
#include "host/toolkit/BinaryArchive.h"
#include "host/toolkit/Light.h"
#include "host/toolkit/Mesh.h"

// Mesh: int vertex count, int face count, byte flags (1 vertex normals,
// 2 texture coordinates, 4 face normals), vertices (3 floats each), faces
// (4 ints each), then the arrays the flags name, in that order.
bool KvWriteMesh(TK_BinaryArchive& archive, const TK_Mesh& mesh);
bool KvReadMesh(TK_BinaryArchive& archive, TK_Mesh& mesh);

// Light: int style, bool enabled, location, direction, length and width
// (3 doubles each), colour diffuse, doubles intensity, shadow intensity,
// spot half-angle, spot exponent, three attenuation coefficients, string name.
bool KvWriteLight(TK_BinaryArchive& archive, const TK_Light& light);
bool KvReadLight(TK_BinaryArchive& archive, TK_Light& light);

// View: string name, int projection, camera location, direction and up
// (3 doubles each), frustum (6 doubles), screen port (6 doubles), string
// wallpaper file, bool grey wallpaper, ints width and height.
bool KvWriteView(TK_BinaryArchive& archive, const CKavraView& view);
bool KvReadView(TK_BinaryArchive& archive, CKavraView& view);
