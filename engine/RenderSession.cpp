#include "engine/RenderSession.h"

#include "engine/AllocationBoundary.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/platform/Messages.h"
#include "host/sdk/SdkRenderFrame.h"
#include "settings/MaterialUserData.h"

CRenderSession::CRenderSession(CKavraDoc& doc, CKavraRenderPlugIn* plugin, const CDMRenderUserData& render_settings)
    : CKavraSdkRender(doc, plugin),
      m_inputs(RenderInputs::Take(doc.Properties().RenderSettings(), render_settings,
                                  KavraApp().AppSettings().DefaultLight())) {}

CRenderSession::~CRenderSession() {
  StopRenderThread();
  if (m_thread) {
    // The worker has not noticed the abort yet. Nothing it reads may go
    // before it ends; it may be sending to a window of this thread meanwhile.
    MsgWaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  m_material_entries.Empty();
  m_mesh_entries.Empty();
  m_main_projection.reset();
  m_notification_window = nullptr;
  m_shadow_maps.Empty();
  m_background_image.reset();
  // The lights, the scene box, the view and the camera follow as members.
}

bool CRenderSession::AddRenderMesh(const CKavraObject&, const TK_Material& material, const TK_Mesh* mesh) {
  if (!mesh) return false;
  return CatchAllocationFailure(false, [&] {
    std::unique_ptr<MaterialEntry> created;
    const MaterialEntry* entry_material = FindMaterialEntry(material, created);
    std::unique_ptr<RenderMeshEntry> entry = RenderMeshEntry::Create(*mesh, entry_material, m_threads);
    if (!entry) return false;
    // Room in both lists first: either both entries go in or neither does,
    // so no mesh entry ever points at a material entry the cache lacks.
    m_mesh_entries.ReserveForAppend();
    if (created) m_material_entries.ReserveForAppend();
    if (created) m_material_entries.Append(std::move(created));
    const TK_BoundingBox box = entry->BoundingBox();
    m_mesh_entries.Append(std::move(entry));
    m_scene_box.Union(box);
    return true;
  });
}

const MaterialEntry* CRenderSession::ResolveMaterial(const TK_Material& material) {
  std::unique_ptr<MaterialEntry> created;
  const MaterialEntry* entry = FindMaterialEntry(material, created);
  if (created) m_material_entries.Append(std::move(created));
  return entry;
}

const MaterialEntry* CRenderSession::FindMaterialEntry(const TK_Material& material,
                                                       std::unique_ptr<MaterialEntry>& created) {
  std::unique_ptr<CRenderMaterial> own;
  CRenderMaterial* candidate = nullptr;
  CDMMaterialUserData* record = CDMMaterialUserData::FromMaterial(material);
  if (record && record->m_material) {
    candidate = record->m_material.get();
    candidate->RefreshFrom(material);
  } else {
    own = std::make_unique<CRenderMaterial>(material);
    candidate = own.get();
  }
  for (const MaterialEntry* entry : m_material_entries)
    if (entry->MatchesMaterial(*candidate)) return entry;  // a material of our own goes with `own`
  created = own ? std::make_unique<MaterialEntry>(std::move(own), Document().Folder())
                : std::make_unique<MaterialEntry>(candidate, Document().Folder());
  return created.get();
}

bool CRenderSession::ClearSceneChangeFlags() {
  if (m_clear_change_flags) m_clear_change_flags();
  return true;
}

bool CRenderSession::AddLight(const CKavraLight& light) {
  return CatchAllocationFailure(false, [&] {
    TK_Light copy = light.Light();
    TK_3dVector direction = copy.Direction();
    if (copy.IsRectangularLight() || copy.IsLinearLight())
      copy.SetLocation(copy.Location() + (copy.Width() + copy.Length()) * 0.5);
    direction.Unitize();  // a zero direction stays zero
    copy.SetDirection(direction);
    return m_lights.Append(copy);
  });
}

std::unique_ptr<CKavraSdkRenderFrame> CRenderSession::CreateRenderFrame(CKavraDoc* doc) {
  if (!doc) return nullptr;
  std::unique_ptr<CKavraSdkRenderFrame> frame =
      CatchAllocationFailure(std::unique_ptr<CKavraSdkRenderFrame>(), [&] {
        return m_frame_factory ? m_frame_factory(*doc) : std::make_unique<CKavraSdkRenderFrame>(*doc);
      });
  if (!frame) return nullptr;
  // An earlier render's window may have left close or cancel requests that
  // would stop this render at once; they can only lead the queue.
  const UINT close_message = KavraSdkRenderCloseRenderFrameMsg();
  const UINT cancel_message = KavraSdkRenderRenderFrameCancelMsg();
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE) &&
         (msg.message == close_message || msg.message == cancel_message))
    PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE);
  return frame;
}

void CRenderSession::StopRenderThread() {
  if (!m_thread) return;
  m_abort = true;
  if (WaitForSingleObject(m_thread, 250) == WAIT_TIMEOUT) return;
  CloseHandle(m_thread);
  m_thread = nullptr;
}

bool CRenderSession::CreateWorkerThread(LPTHREAD_START_ROUTINE procedure, void* parameter) {
  if (m_thread) {
    if (WaitForSingleObject(m_thread, 0) == WAIT_TIMEOUT) return false;
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, CREATE_SUSPENDED, &id);
  if (!thread) return false;
  m_thread = thread;
  m_thread_id = id;
  return true;
}
