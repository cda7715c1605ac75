#include "host/app/KavraObject.h"

const TK_Mesh* CKavraObject::RenderMesh(int index) const {
  return index >= 0 && index < RenderMeshCount() ? &meshes_[std::size_t(index)] : nullptr;
}

bool CKavraObject::AddRenderMesh(TK_Mesh mesh) {
  if (!mesh.IsValid()) return false;
  meshes_.push_back(std::move(mesh));
  return true;
}

int CKavraObject::GetMeshes(int mesh_type, TK_SimpleArray<const TK_Mesh*>& meshes) const {
  meshes.Empty();
  if (mesh_type != render_mesh) return 0;
  for (const TK_Mesh& mesh : meshes_)
    if (!meshes.Append(&mesh)) break;
  return meshes.Count();
}

bool CKavraObject::operator==(const CKavraObject& o) const {
  return attributes_ == o.attributes_ && renderable_ == o.renderable_ && meshes_ == o.meshes_;
}
