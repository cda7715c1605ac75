#include "apps/duskmoth/MemoryWatch.h"

#include <cwctype>

#include "apps/duskmoth/CommandLine.h"
#include "host/app/Localize.h"
#include "host/toolkit/String.h"

void MemoryWatch::EnterStatus(const std::wstring& status) {
  // The worker's last word after a failure is not where memory ran out.
  if (status == KvLocalizeString(L"Aborted").str()) return;
  std::wstring phase = status.substr(0, status.find(L"..."));
  while (!phase.empty() && std::iswspace(phase.back())) phase.pop_back();
  if (phase.empty()) return;
  for (wchar_t& c : phase) c = wchar_t(std::towlower(wint_t(c)));
  phase_ = TK_wString(phase).ToUtf8();
}

int MemoryWatch::Report(std::ostream& err) const {
  err << "duskmoth: out of memory while " << phase_ << '\n';
  return ParseOutcome::kFailed;
}
