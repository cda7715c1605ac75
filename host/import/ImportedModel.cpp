#include "host/import/ImportedModel.h"

#include "host/app/Doc.h"

void ImportedModel::AddParts(CKavraDoc& doc, const TK_ScnObjectAttributes& base,
                             const std::function<TK_wString(const Part&)>& name_of) {
  const int first_material = doc.MaterialTable().Count();
  for (TK_Material& m : materials) doc.MaterialTable().Add(std::move(m));
  for (Part& part : parts) {
    TK_ScnObjectAttributes attributes = base;
    attributes.SetName(name_of(part));
    if (part.material >= 0) {
      attributes.SetMaterialSource(TK_ScnObjectAttributes::material_from_object);
      attributes.SetMaterialIndex(first_material + part.material);
    }
    CKavraObject object(attributes);
    object.AddRenderMesh(std::move(part.mesh));
    doc.AddObject(std::move(object));
  }
}
