#pragma once
// KvQtDialogScript: a user played from a script in a scripted run of the Qt
// toolkit. The script holds a part per modal dialog, in the order the dialogs
// open, parts separated by a line "---"; a dialog's part acts on its real
// widgets once it is shown, one line after the other:
//   type ID TEXT               the edit's text selected, TEXT typed key by key, then Tab
//   click ID                   a button, check box or radio button clicked
//   select ID INDEX            the drop-down list's item INDEX (from 0) picked
//   spin ID +1|-1 [HELD_MS]    an arrow clicked, counted as held HELD_MS
//   colour ID R G B            the colour button clicked, R G B (0-255) chosen
//   file PATH                  the next open-file dialog answers PATH
//   screenshot PATH            a picture of the dialog (PNG, BMP, JPEG or TGA by extension)
// Blank lines and lines starting with '#' are skipped. A line that cannot be
// played is a fault: the first is kept, naming its line, and its dialog and
// every dialog after it are cancelled. A dialog left open by its lines, a
// dialog beyond the last part, and a colour or file dialog without an answer
// are closed as cancelled, so that a scripted run never waits for a user.
// The toolkit owns the script.

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "host/platform/WinTypes.h"

class KvQtDialog;

class KvQtDialogScript {
public:
  explicit KvQtDialogScript(const std::vector<std::string>& lines);

  // Plays the next part on the dialog just shown, then closes what is left open.
  void Play(KvQtDialog& dialog);
  // The answers of the colour or file dialog opening now; none cancels it.
  std::optional<COLORREF> TakeColour();
  std::optional<std::filesystem::path> TakeFile();
  // The first fault ("script line 4: ..."), empty while there is none.
  const std::string& Fault() const { return fault_; }

private:
  struct Line {
    int number;
    std::string text;
  };
  // Why the line cannot be played; empty when it was.
  std::string PlayLine(KvQtDialog& dialog, const std::string& text);
  void Fail(int line, const std::string& why);

  std::deque<std::vector<Line>> parts_;
  int line_ = 0;  // the line being played
  std::optional<COLORREF> colour_;
  struct File {
    int line;
    std::filesystem::path path;
  };
  std::deque<File> files_;
  std::string fault_;
};
