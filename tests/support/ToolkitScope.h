#pragma once
// The application's window toolkit for one test: the given one (headless by
// default) while the scope lives, the previous one again afterwards. Windows
// the toolkit made must be gone before the scope goes.

#include <memory>

#include "host/app/App.h"
#include "host/platform/HeadlessToolkit.h"

struct ToolkitScope {
  explicit ToolkitScope(std::unique_ptr<KvWindowToolkit> made = std::make_unique<KvHeadlessToolkit>())
      : headless(dynamic_cast<KvHeadlessToolkit*>(made.get())), previous(KavraApp().SetWindowToolkit(std::move(made))) {}
  ~ToolkitScope() { KavraApp().SetWindowToolkit(std::move(previous)); }
  ToolkitScope(const ToolkitScope&) = delete;
  ToolkitScope& operator=(const ToolkitScope&) = delete;

  KvHeadlessToolkit* headless;  // null for another toolkit
  std::unique_ptr<KvWindowToolkit> previous;
};
