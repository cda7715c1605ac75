// The plug-in object: identity, load and unload, document data and the two
// render commands.

#include "plugin/RenderSystemPlugIn.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <new>
#include <string>

#include "engine/RenderSession.h"
#include "host/platform/InParts.h"
#include "host/app/App.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/Localize.h"
#include "host/sdk/CommandContext.h"
#include "host/sdk/SdkRender.h"
#include "shadows/PixelFormatCatalogue.h"
#include "ui/MaterialDialog.h"
#include "ui/RenderFrame.h"
#include "ui/RenderPropertiesPage.h"

namespace {

// The module's build date and time, as in "Mar 31 2006 10:48:53".
TK_wString BuildDateText() {
  const std::string text = __DATE__ " " __TIME__;
  return TK_wString(std::wstring(text.begin(), text.end()));
}

// Seconds the call took.
template <typename Call> double TimeSpent(Call call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Static construction registers the object with the host, which finds it
// there when it loads the module.
CRenderSystemPlugIn the_plugin;

}  // namespace

CRenderSystemPlugIn& ThePlugIn() { return the_plugin; }

CRenderSystemPlugIn::CRenderSystemPlugIn() : m_version(BuildDateText()) {}

CRenderSystemPlugIn::~CRenderSystemPlugIn() { m_render_user_data.reset(); }

void CRenderSystemPlugIn::PlugInID(TK_UUID& id) const {
  id = TK_UUID::FromString("1706366F-99F0-40D5-AAE1-41131FD6B2F5").value_or(TK_UUID{});
}

TK_wString CRenderSystemPlugIn::PlugInName() const { return KvLocalizeString(L"DuskMoth Render"); }

TK_wString CRenderSystemPlugIn::PlugInVersion() const { return m_version; }

int CRenderSystemPlugIn::OnLoadPlugIn() {
  const TK_wString format = KvLocalizeString(L"Loading %s, version %s\n");
  KavraApp().Print(format.c_str(), PlugInName().c_str(), PlugInVersion().c_str());
  m_watcher.Register();
  m_watcher.Enable(true);
  if (CKavraDoc* doc = KavraApp().ActiveDoc()) m_watcher.OnNewDocument(*doc);
  // The pixel-format catalogue waits for the first shadow map: a render
  // without one never brings up OpenGL.
  return 1;
}

void CRenderSystemPlugIn::OnUnloadPlugIn() {
  m_watcher.Enable(false);
  m_watcher.UnRegister();
}

bool CRenderSystemPlugIn::HasDocumentData(const CKavraDoc&) const { return true; }

bool CRenderSystemPlugIn::WriteDocumentData(const CKavraDoc&, TK_BinaryArchive& archive,
                                            const CKavraFileWriteOptions&) {
  return GetRenderUserData().Write(archive);
}

bool CRenderSystemPlugIn::ReadDocumentData(CKavraDoc&, TK_BinaryArchive& archive, const CKavraFileReadOptions&) {
  return GetRenderUserData().Read(archive);
}

CDMRenderUserData& CRenderSystemPlugIn::GetRenderUserData() const {
  if (!m_render_user_data) m_render_user_data = std::make_unique<CDMRenderUserData>();
  return *m_render_user_data;
}

CDMRenderUserData CRenderSystemPlugIn::RenderSettingsFor(const CKavraCommandContext& context) const {
  // A copy, so that the option never reaches the record saved with documents.
  CDMRenderUserData settings = GetRenderUserData();
  if (const std::optional<TK_wString> option = context.Option(L"favor-memory")) {
    if (option->str() == L"1") settings.m_favor_memory = true;
    else if (option->str() == L"0") settings.m_favor_memory = false;
  }
  return settings;
}

KvCommandResult CRenderSystemPlugIn::RenderResult(int code) {
  if (code == CKavraSdkRender::render_completed) return KvCommandResult::success;
  if (code == CKavraSdkRender::render_cancelled) return KvCommandResult::cancel;
  return KvCommandResult::failure;
}

KvCommandResult CRenderSystemPlugIn::RenderWindowResult(int code) {
  return code == CKavraSdkRender::render_completed ? KvCommandResult::success : KvCommandResult::failure;
}

void CRenderSystemPlugIn::PrepareSession(CRenderSession& session, const CKavraCommandContext& context, bool flag) {
  // The program's --threads: a whole number from 1 on; anything else keeps the default.
  if (const std::optional<TK_wString> option = context.Option(L"threads")) {
    const std::wstring& text = option->str();
    if (!text.empty() && text.size() <= 3 && std::all_of(text.begin(), text.end(), ::iswdigit))
      session.SetThreadCount(std::min(std::stoi(text), kMaxThreads));
  }
  // The program's --alpha: the image keeps each pixel's coverage.
  if (const std::optional<TK_wString> option = context.Option(L"alpha")) session.SetCoverage(option->str() == L"1");
  // The program's share of the rows when several processes render one image.
  if (const std::optional<TK_wString> option = context.Option(L"rows"))
    if (const std::optional<RowShare> share = RowShare::FromOption(option->str())) session.SetRowShare(*share);
  session.SetSceneChangeFlagsClearer([this] { m_watcher.MarkAllChanged(false); });
  session.SetRenderFrameFactory([](CKavraDoc& doc) { return std::make_unique<CRenderFrame>(doc); });
  session.SetRendering(true);
  session.SetHandlerFlag(flag ? 1 : 0);
}

void CRenderSystemPlugIn::ExplainMissingShadows(const CKavraDoc& doc) {
  if (m_explained_missing_shadows || doc.Properties().RenderSettings().m_shadow_level == 0) return;
  const CKavraLightTable& lights = doc.LightTable();
  bool casts = false;
  for (int i = 0; i < lights.Count() && !casts; ++i) {
    const TK_Light& light = lights[i].Light();
    casts = !lights.IsDeleted(i) && light.IsEnabled() && light.IsSpotLight() && light.ShadowIntensity() != 0.0;
  }
  // Probing OpenGL costs time and memory: only a scene with a shadow caster asks.
  if (!casts) return;
  try {
    if (FindPixelFormat(kGenericBitmap).format_index != 0) return;
  } catch (const std::bad_alloc&) {
    return;  // without the memory to look, the shadow maps' render says that memory ran out
  }
  m_explained_missing_shadows = true;
  KavraApp().Print(L"%s\n", KvLocalizeString(L"No shadows: offscreen OpenGL is not available on this machine, so "
                                              L"spot lights cast none").c_str());
}

void CRenderSystemPlugIn::ReportRender(const CRenderSession& session, CKavraCommandContext& context,
                                       double opengl_start) {
  KvRenderReport& report = context.Report();
  session.ReportTo(report);
  // Starting OpenGL is a shadow maps' cost too, paid by the first render that may want them.
  if (report.shadow_maps_drawing) *report.shadow_maps_drawing += opengl_start;
}

void CRenderSystemPlugIn::PrintReturnCode(int code) {
  KavraApp().Print(L"%s\n", CKavraSdkRender::RenderReturnCodesToString(code).c_str());
}

KvCommandResult CRenderSystemPlugIn::Render(CKavraCommandContext& context, bool flag) {
  KavraApp().Wait(0);
  const CDMRenderUserData settings = RenderSettingsFor(context);
  int code = CKavraSdkRender::render_failed;
  {
    CRenderSession session(context.Document(), this, settings);
    PrepareSession(session, context, flag);
    const double opengl_start = TimeSpent([&] { ExplainMissingShadows(context.Document()); });
    code = session.CKavraSdkRender::Render(context, SIZE{0, 0}, PlugInName().c_str(), kRenderWindowResource);
    if (code == CKavraSdkRender::render_completed) ReportRender(session, context, opengl_start);
    session.SetRendering(false);
    PrintReturnCode(code);
  }
  return RenderResult(code);
}

KvCommandResult CRenderSystemPlugIn::RenderWindow(CKavraCommandContext& context, bool flag, const CKavraView* view,
                                                  const RECT& rect) {
  const CDMRenderUserData settings = RenderSettingsFor(context);
  int code = CKavraSdkRender::render_failed;
  {
    CRenderSession session(context.Document(), this, settings);
    PrepareSession(session, context, flag);
    const double opengl_start = TimeSpent([&] { ExplainMissingShadows(context.Document()); });
    code = session.CKavraSdkRender::RenderWindow(context, view, rect);
    if (code == CKavraSdkRender::render_completed) ReportRender(session, context, opengl_start);
    session.SetRendering(false);
    PrintReturnCode(code);
  }
  return RenderWindowResult(code);
}

bool CRenderSystemPlugIn::OnEditMaterial(HWND, TK_Material& material) {
  TK_UUID id;
  PlugInID(id);
  return CMaterialDialog::EditMaterial(material, id);
}

std::unique_ptr<CKavraStackedDialogPage> CRenderSystemPlugIn::CreateRenderPropertiesPage(CKavraDoc& doc, HWND) {
  return std::make_unique<CRenderPropertiesPage>(doc, *this);
}

bool CRenderSystemPlugIn::DisplayHelp(HWND, int topic) { return KavraApp().DoHelp(topic); }
