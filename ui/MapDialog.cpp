#include "ui/MapDialog.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>

#include "host/app/App.h"
#include "host/app/Localize.h"
#include "resources/DialogResources.h"
#include "resources/RenderWindowResources.h"

namespace {

constexpr unsigned kMapDialogResource = 6003;
constexpr unsigned kIconResource = 12000;
constexpr int kFileEdit = 6008, kBrowseButton = 6009, kFilterCheck = 6038, kHelpButton = 6042;
// The real-number edits and their spins, in the order of CMapDialog::m_spins.
constexpr int kEdits[4] = {6010, 6012, 6011, 6013};
constexpr int kSpins[4] = {6014, 6026, 6025, 6027};
constexpr double kStep = 0.01, kResolution = 0.0001;
constexpr int kDecimals = 2;

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

}  // namespace

CMapDialog::CMapDialog(const MaterialMap& slot, int kind)
    : CKavraDialog(*LoadDialogResource(kMapDialogResource)),
      m_offset_u(slot.offset_u),
      m_offset_v(slot.offset_v),
      m_tiling_u(slot.tiling_u),
      m_tiling_v(slot.tiling_v),
      m_file_name(slot.file_name),
      m_filter(slot.filter != 0),
      m_kind(kind) {}

TK_wString CMapDialog::KindCaption(int kind) {
  switch (kind) {
    case texture_map: return KvLocalizeString(L"Texture map");
    case specular_map: return KvLocalizeString(L"Specular map");
    case environment_map: return KvLocalizeString(L"Environment map[[0102]]");
    case bump_map: return KvLocalizeString(L"Bump map");
    case transparency_map: return KvLocalizeString(L"Transparency map");
    default: return {};
  }
}

int CMapDialog::DirectoryKind(int kind) {
  if (kind == texture_map || kind == environment_map) return CKavraDirectoryManager::map_bitmap_directory;
  if (kind == bump_map) return CKavraDirectoryManager::map_mask_directory;
  return -1;
}

void CMapDialog::DoDataExchange(KvDataExchange& dx) {
  dx.Text(kFileEdit, m_file_name);
  dx.Check(kFilterCheck, m_filter);
  double* values[4] = {&m_offset_u, &m_offset_v, &m_tiling_u, &m_tiling_v};
  // Before the spins are set up the edits show the plain numbers; after,
  // the spins own the texts and saving reads the numbers they show.
  for (int i = 0; i < 4; ++i) dx.Double(kEdits[i], *values[i]);
}

void CMapDialog::OnInitDialog() {
  CKavraDialog::OnInitDialog();
  KvDialogWindow& window = *Window();
  if (const KvIcon* icon = LoadIconResource(kIconResource)) window.SetIcon(*icon);
  const double values[4] = {m_offset_u, m_offset_v, m_tiling_u, m_tiling_v};
  for (int i = 0; i < 4; ++i) {
    m_spins[i].Setup(window, kEdits[i], kStep, kResolution, kDecimals);
    m_spins[i].SetValue(values[i]);
  }
  const TK_wString kind = KindCaption(m_kind);
  if (!kind.IsEmpty()) window.SetCaption(window.Caption() + TK_wString(L" - ") + kind);
}

void CMapDialog::OnButton(int id) {
  if (id == kBrowseButton) Browse();
  else if (id == kHelpButton) KavraApp().DoHelp(kHelpTopic);
}

CRealSpinCtrl* CMapDialog::SpinOf(int id) {
  for (int i = 0; i < 4; ++i)
    if (id == kEdits[i] || id == kSpins[i]) return &m_spins[i];
  return nullptr;
}

bool CMapDialog::OnChar(int id, wchar_t c) {
  if (!SpinOf(id)) return true;
  return CRealEdit::AcceptChar(Window()->Text(id).str(), c);
}

void CMapDialog::OnKillFocus(int id) {
  if (CRealSpinCtrl* spin = SpinOf(id)) spin->OnKillFocus();
}

void CMapDialog::OnSpin(int id, int direction, int held_ms) {
  if (CRealSpinCtrl* spin = SpinOf(id)) spin->OnSpin(direction, held_ms);
}

void CMapDialog::Browse() {
  CKavraDirectoryManager& directories = KavraApp().DirectoryManager();
  const int directory_kind = DirectoryKind(m_kind);
  const std::filesystem::path folder =
      directory_kind < 0 ? std::filesystem::path() : std::filesystem::path(directories.GetDefaultDirectory(directory_kind).ToUtf8());
  // The name offered is the one last exchanged, not what was typed since.
  const std::optional<std::filesystem::path> chosen =
      KavraApp().WindowToolkit().AskOpenImagePath(folder, std::filesystem::path(m_file_name.ToUtf8()));
  if (!chosen) return;
  const TK_wString name = TK_wString::FromUtf8(chosen->string());
  if (SameIgnoringCase(name.str(), m_file_name.str())) return;
  if (directory_kind >= 0) directories.SetDefaultDirectory(directory_kind, TK_wString::FromUtf8(chosen->parent_path().string()));
  m_file_name = name;
  Window()->SetText(kFileEdit, m_file_name);
}
