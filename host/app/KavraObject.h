#pragma once
// CKavraObject: an object of a document: attributes (name, layer, where its
// material comes from) and the render meshes the host made for it. A value;
// the document owns its objects and hands out stable references.

#include <vector>

#include "host/toolkit/Mesh.h"
#include "host/toolkit/ScnObjectAttributes.h"
#include "host/toolkit/SimpleArray.h"

class CKavraObject {
public:
  // Mesh kinds of the mesh queries; the render meshes are the only kind here.
  enum MeshType : int { render_mesh = 1 };

  CKavraObject() = default;
  explicit CKavraObject(const TK_ScnObjectAttributes& attributes) : attributes_(attributes) {}

  const TK_ScnObjectAttributes& Attributes() const { return attributes_; }
  // For objects not yet in a document; a document changes its objects'
  // attributes with CKavraDoc::ModifyObjectAttributes (which raises events).
  void SetAttributes(const TK_ScnObjectAttributes& attributes) { attributes_ = attributes; }
  const TK_wString& Name() const { return attributes_.Name(); }

  // Whether the object's kind can be rendered at all (meshes, surfaces:
  // yes; curves, annotations: no). An object may be renderable and yet
  // have no render meshes at the moment.
  bool IsRenderable() const { return renderable_; }
  void SetRenderable(bool renderable) { renderable_ = renderable; }

  int RenderMeshCount() const { return int(meshes_.size()); }
  // Null for an index out of range.
  const TK_Mesh* RenderMesh(int index) const;
  // Refuses (false) a mesh that is not valid (TK_Mesh::IsValid): a render
  // mesh must be usable as it is.
  bool AddRenderMesh(TK_Mesh mesh);
  void ClearRenderMeshes() { meshes_.clear(); }

  // The host's render-mesh availability query: true for mesh_type
  // render_mesh when the object is renderable.
  bool IsMeshable(int mesh_type) const { return mesh_type == render_mesh && renderable_; }
  // Fills meshes with pointers to the object's meshes of that type (valid
  // while the object is unchanged) and answers their number.
  int GetMeshes(int mesh_type, TK_SimpleArray<const TK_Mesh*>& meshes) const;

  // Same attributes, renderable flag and meshes.
  bool operator==(const CKavraObject& o) const;

private:
  TK_ScnObjectAttributes attributes_;
  bool renderable_ = true;
  std::vector<TK_Mesh> meshes_;
};
