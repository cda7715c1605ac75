#include "host/platform/HeadlessToolkit.h"

#include <algorithm>
#include <iostream>

#include "host/platform/BitmapSurface.h"

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Union(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// What a window shows where its view paints no background: white.
constexpr COLORREF kWindowColour = MakeColorRef(255, 255, 255);

}  // namespace

KvHeadlessViewWindow::KvHeadlessViewWindow(const KvHeadlessToolkit& toolkit, SIZE& frame_client, KvViewEvents& events)
    : toolkit_(toolkit), frame_client_(frame_client), events_(events) {}

SIZE KvHeadlessViewWindow::ClientSize() const {
  const int bar = scroll_bars_ ? toolkit_.WindowMetrics().scroll_bar : 0;
  return {std::max(frame_client_.cx - bar, 0), std::max(frame_client_.cy - bar, 0)};
}

void KvHeadlessViewWindow::SetScrollInfo(int bar, int range, int page, int position) {
  bars_[bar == SB_VERT ? 1 : 0] = ScrollBar{range, page, position};
}

void KvHeadlessViewWindow::SetScrollPos(int bar, int position) { bars_[bar == SB_VERT ? 1 : 0].position = position; }

void KvHeadlessViewWindow::Invalidate(const RECT& area, bool erase) {
  const SIZE client = ClientSize();
  const RECT clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, client.cx),
                     std::min(area.bottom, client.cy)};
  if (IsEmpty(clipped)) return;
  invalid_ = Union(invalid_, clipped);
  erase_ = erase_ || erase;
}

void KvHeadlessViewWindow::UpdateWindow() {
  ++repaints_;
  last_repaint_ = invalid_;
  TakeInvalidArea();
}

void KvHeadlessViewWindow::TakeInvalidArea() {
  if (IsEmpty(invalid_)) return;
  pending_ = Union(pending_, invalid_);
  pending_erase_ = pending_erase_ || erase_;
  invalid_ = RECT{};
  erase_ = false;
}

const COruDib& KvHeadlessViewWindow::Screen() {
  const SIZE client = ClientSize();
  if (screen_.Width() != client.cx || screen_.Height() != client.cy) {
    screen_.CreateDib(std::max(client.cx, 1), std::max(client.cy, 1), 32, true, nullptr);
    pending_ = RECT{0, 0, client.cx, client.cy};
    pending_erase_ = true;
  }
  // A look at the screen is the moment the window gets its paint message.
  TakeInvalidArea();
  if (!IsEmpty(pending_)) Paint(pending_, pending_erase_);
  pending_ = RECT{};
  pending_erase_ = false;
  return screen_;
}

void KvHeadlessViewWindow::Paint(const RECT& area, bool erase) {
  if (erase) {
    KvBitmapSurface background(screen_, area);
    if (!events_.OnEraseBackground(background)) background.FillSolid(area, kWindowColour);
  }
  KvBitmapSurface surface(screen_, area);
  events_.OnPaint(surface);
}

KvHeadlessFrameWindow::KvHeadlessFrameWindow(KvHeadlessToolkit& toolkit, KvFrameEvents& events)
    : toolkit_(toolkit), events_(events) {}

KvWindowToolkit& KvHeadlessFrameWindow::Toolkit() const { return toolkit_; }

std::unique_ptr<KvViewWindow> KvHeadlessFrameWindow::CreateViewWindow(KvViewEvents& events) {
  return std::make_unique<KvHeadlessViewWindow>(toolkit_, client_, events);
}

void KvHeadlessFrameWindow::SetWindowSize(SIZE size) {
  const SIZE border = toolkit_.WindowMetrics().border;
  size_ = {std::max(size.cx, border.cx), std::max(size.cy, border.cy)};
  client_ = {size_.cx - border.cx, size_.cy - border.cy};
}

SIZE KvHeadlessFrameWindow::MaximizedWindowSize() const { return toolkit_.WindowMetrics().maximized; }

std::unique_ptr<KvFrameWindow> KvHeadlessToolkit::CreateFrameWindow(KvFrameEvents& events) {
  auto frame = std::make_unique<KvHeadlessFrameWindow>(*this, events);
  frame->SetWindowSize(metrics_.border);
  return frame;
}

int KvHeadlessToolkit::RunModalDialog(const KvDialogTemplate& dialog, KvDialogEvents& events) {
  KvHeadlessDialog::Script script;
  if (!dialog_scripts_.empty()) {
    script = std::move(dialog_scripts_.front());
    dialog_scripts_.pop_front();
  }
  KvHeadlessDialog window(dialog, events);
  return window.Run(script);
}

std::optional<std::filesystem::path> KvHeadlessToolkit::AskOpenImagePath(const std::filesystem::path& folder,
                                                                         const std::filesystem::path& name) {
  last_open_folder_ = folder;
  last_open_name_ = name;
  if (open_answers_.empty()) return std::nullopt;
  std::optional<std::filesystem::path> answer = std::move(open_answers_.front());
  open_answers_.pop_front();
  return answer;
}

std::optional<std::filesystem::path> KvHeadlessToolkit::AskSaveImagePath(KvFrameWindow*,
                                                                         const std::filesystem::path& folder,
                                                                         const std::filesystem::path&) {
  last_save_folder_ = folder;
  if (save_answers_.empty()) return std::nullopt;
  std::optional<std::filesystem::path> answer = std::move(save_answers_.front());
  save_answers_.pop_front();
  return answer;
}

bool KvHeadlessToolkit::CopyImageToClipboard(const COruDib& image) {
  if (clipboard_refuses_ || !image.HasPixels()) return false;
  if (!clipboard_.CreateDib(image.Width(), image.Height(), 32, true, nullptr)) return false;
  return clipboard_.DC().BitBlt(0, 0, image.Width(), image.Height(), &image.DC(), 0, 0, SRCCOPY);
}

int KvHeadlessToolkit::MessageBox(KvFrameWindow*, const TK_wString& text, const TK_wString& caption, UINT style) {
  messages_.push_back({text, caption, style});
  std::cerr << caption.ToUtf8() << ": " << text.ToUtf8() << '\n';
  return IDOK;
}

bool KvHeadlessToolkit::ShowHelpPage(const std::filesystem::path& page, const TK_wString&) {
  help_pages_.push_back(page);
  std::error_code ec;
  return std::filesystem::is_regular_file(page, ec);
}
