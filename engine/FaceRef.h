#pragma once
// FaceRef: one triangle of one render mesh, as a pixel cell files it. A
// plain value, in a header of its own so that the cells (BandCells) and the
// index that lists the faces (CScreenProjection) both see it complete.

struct FaceRef {
  int mesh_index = 0;
  int face_index = 0;
};
