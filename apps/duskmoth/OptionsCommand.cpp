#include "apps/duskmoth/OptionsCommand.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

#include "apps/duskmoth/DocumentEdit.h"
#include "apps/duskmoth/InterruptRequest.h"
#include "host/app/App.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

namespace {

// Standard input a line at a time, waited for in short steps so that Ctrl-C
// ends it (as the end of input does) even while nothing is typed. Lines
// read from a pipe or a file are shown after their prompt as a terminal
// shows what is typed: the output reads as the session it was.
class InterruptibleInput : public std::streambuf {
public:
  explicit InterruptibleInput(const std::atomic<bool>& stop) : stop_(stop), echo_(!isatty(STDIN_FILENO)) {}

protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    line_.clear();
    char c = 0;
    while (line_.empty() || line_.back() != '\n') {
      if (!WaitForInput()) break;
      const ssize_t n = ::read(STDIN_FILENO, &c, 1);  // a byte at a time: what follows the line stays unread
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      line_ += c;
    }
    if (line_.empty()) return traits_type::eof();
    if (echo_) KavraApp().Print(L"%s", TK_wString::FromUtf8(line_.back() == '\n' ? line_ : line_ + '\n').c_str());
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(*gptr());
  }

private:
  // False once Ctrl-C was pressed.
  bool WaitForInput() const {
    for (;;) {
      if (stop_.load()) return false;
      pollfd in{STDIN_FILENO, POLLIN, 0};
      if (::poll(&in, 1, 100) != 0) return !stop_.load();
    }
  }

  const std::atomic<bool>& stop_;
  const bool echo_;
  std::string line_;
};

// The application's command input while it lives.
class CommandInput {
public:
  explicit CommandInput(const std::atomic<bool>& stop) : buffer_(stop), stream_(&buffer_) {
    old_ = KavraApp().SetCommandInput(&stream_);
  }
  ~CommandInput() { KavraApp().SetCommandInput(old_); }
  CommandInput(const CommandInput&) = delete;
  CommandInput& operator=(const CommandInput&) = delete;

private:
  InterruptibleInput buffer_;
  std::istream stream_;
  std::istream* old_ = nullptr;
};

}  // namespace

int RunOptions(const std::filesystem::path& document, std::ostream& out, std::ostream& err) {
  const InterruptRequest interrupt;
  return EditDocument(document, out, err, [&](CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
    const std::unique_ptr<CKavraStackedDialogPage> page = plugin.CreateRenderPropertiesPage(doc, nullptr);
    if (!page) {
      err << "duskmoth: the render plug-in has no properties page\n";
      return EditResult::failed;
    }
    const CommandInput input(interrupt.Flag());
    // The form writes each accepted change to the document at once.
    return page->RunCommandLineForm(doc) == KvCommandResult::success ? EditResult::changed : EditResult::unchanged;
  });
}
