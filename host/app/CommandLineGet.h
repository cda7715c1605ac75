#pragma once
// The host's command-line getters. A prompt line lists the options with
// their current values, as in
//   Render options ( Resolution  Antialiasing=Normal  UseOffLights=No ):
// and the answer, read as one line from the application's command input,
// names an option (or a unique beginning of its name, in any letter case),
// sets one with Name=Value, or is empty (nothing). A list or number option
// named alone asks for its value on a line of its own; a toggle named alone
// flips. Esc on a line, or the end of the input (Ctrl-D), cancels. Prompts
// and complaints go to the application's output. The caller owns a getter
// and the values its options point at.

#include <optional>
#include <string>
#include <vector>

#include "host/toolkit/Color.h"
#include "host/toolkit/String.h"

enum class KvGetResult { cancel, nothing, option, colour, string };

// A getter's shared part: the prompt and what else an answer may be.
class CKavraGet {
public:
  void SetCommandPrompt(const TK_wString& prompt) { prompt_ = prompt; }
  // An empty answer ends the getter with nothing (otherwise it asks again).
  void AcceptNothing(bool accept) { accept_nothing_ = accept; }
  // An answer that is no option ends it with a string (otherwise it complains).
  void AcceptString(bool accept) { accept_string_ = accept; }
  // The answer that ended the getter with a string.
  const TK_wString& String() const { return string_; }

protected:
  // One line of the command input after printing `prompt`: none to cancel.
  static std::optional<std::wstring> Ask(const std::wstring& prompt);

  TK_wString prompt_;
  bool accept_nothing_ = false;
  bool accept_string_ = false;
  TK_wString string_;
};

// One option of a prompt.
struct KvCommandOption {
  enum class Kind { plain, number, list, toggle };
  Kind kind = Kind::plain;
  TK_wString name;
  int index = 0;  // its position among the prompt's options, from 1
  // number: the value, whether it is whole, its own prompt and limits.
  double* number = nullptr;
  bool integer = false;
  TK_wString number_prompt;
  std::optional<double> lower, upper;
  // list: the values and the current one.
  std::vector<TK_wString> values;
  int current = 0;
  // toggle: its two values' names and the value.
  TK_wString off, on;
  bool* toggle = nullptr;
};

class CKavraGetOption : public CKavraGet {
public:
  // Each answers the option's position (1, 2, ...).
  int AddCommandOption(const TK_wString& name);
  int AddCommandOptionNumber(const TK_wString& name, double* value, const TK_wString& prompt, bool integer,
                             std::optional<double> lower = {}, std::optional<double> upper = {});
  int AddCommandOptionList(const TK_wString& name, std::vector<TK_wString> values, int current);
  int AddCommandOptionToggle(const TK_wString& name, const TK_wString& off, const TK_wString& on, bool* value);
  void ClearCommandOptions() { options_.clear(); }

  // Asks until the answer is an option, nothing (when accepted), a string
  // (when accepted) or a cancel. A value set by the answer is stored in the
  // option (the list's current value, the toggle's and number's variables).
  KvGetResult GetOption();
  // The option the last GetOption answered; null before one.
  const KvCommandOption* Option() const { return chosen_ < 0 ? nullptr : &options_[std::size_t(chosen_)]; }

private:
  std::wstring PromptLine() const;
  // The option whose name is `word` or begins with it (a single one); -1.
  int Find(const std::wstring& word) const;
  // Sets the option from a typed value; false (with a complaint) when it does not fit.
  bool SetValue(KvCommandOption& option, const std::wstring& value);
  // Asks for a list's or number's value on its own line: true when set,
  // false to go back to the prompt, none to cancel.
  std::optional<bool> AskValue(KvCommandOption& option);

  std::vector<KvCommandOption> options_;
  int chosen_ = -1;
};

class CKavraGetColor : public CKavraGet {
public:
  void SetDefaultColor(const TK_Color& colour) { colour_ = colour; }
  // The default shown between angle brackets.
  void SetDefaultString(const TK_wString& text) { default_ = text; }
  // A colour typed as "R,G,B", "R G B" or "RGB(R, G, B)", each 0 to 255.
  KvGetResult GetColor();
  const TK_Color& Color() const { return colour_; }

private:
  TK_Color colour_;
  TK_wString default_;
};
