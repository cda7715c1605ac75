#include "apps/duskmoth/OptionsCommand.h"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <streambuf>
#include <string>

#include "apps/duskmoth/DocumentEdit.h"
#include "host/app/App.h"
#include "host/sdk/SdkRenderSystemPlugIn.h"

namespace {

// Answers read from a pipe or a file, a line at a time, each shown after
// its prompt as a terminal shows what is typed: the output reads as the
// session it was.
class EchoedAnswers : public std::streambuf {
public:
  explicit EchoedAnswers(std::istream& in) : in_(in) {}

protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!std::getline(in_, line_)) return traits_type::eof();
    KavraApp().Print(L"%s\n", TK_wString::FromUtf8(line_).c_str());
    line_ += '\n';
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(*gptr());
  }

private:
  std::istream& in_;
  std::string line_;
};

// The application's command input while it lives: standard input, echoed
// when it is not a terminal.
class CommandInput {
public:
  CommandInput() : buffer_(std::cin), echoed_(&buffer_) {
    old_ = KavraApp().SetCommandInput(isatty(STDIN_FILENO) ? &std::cin : &echoed_);
  }
  ~CommandInput() { KavraApp().SetCommandInput(old_); }
  CommandInput(const CommandInput&) = delete;
  CommandInput& operator=(const CommandInput&) = delete;

private:
  EchoedAnswers buffer_;
  std::istream echoed_;
  std::istream* old_ = nullptr;
};

}  // namespace

int RunOptions(const std::filesystem::path& document, std::ostream& out, std::ostream& err) {
  return EditDocument(document, out, err, [&](CKavraDoc& doc, CKavraRenderSystemPlugIn& plugin) {
    const std::unique_ptr<CKavraStackedDialogPage> page = plugin.CreateRenderPropertiesPage(doc, nullptr);
    if (!page) {
      err << "duskmoth: the render plug-in has no properties page\n";
      return EditResult::failed;
    }
    const CommandInput input;
    // The form writes each accepted change to the document at once.
    return page->RunCommandLineForm(doc) == KvCommandResult::success ? EditResult::changed : EditResult::unchanged;
  });
}
