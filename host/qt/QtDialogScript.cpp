#include "host/qt/QtDialogScript.h"

#include <sstream>
#include <system_error>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>

#include "host/platform/KavraDib.h"
#include "host/qt/QtDialog.h"
#include "host/qt/QtPictures.h"
#include "host/qt/QtSpinArrows.h"

namespace {

using Kind = KvDialogControl::Kind;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A key pressed and released on the widget, as the keyboard sends it.
void SendKey(QWidget& target, int key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(&target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(&target, &release);
}

// The key that types a character: Qt numbers printable ASCII keys by their
// upper-case character.
int KeyOf(char32_t c) {
  if (c >= U'a' && c <= U'z') return Qt::Key_A + int(c - U'a');
  return c >= 0x20 && c < 0x7f ? int(c) : Qt::Key_unknown;
}

// The user in an edit: its text selected and deleted, the text typed key by
// key, then Tab to the next control, which leaves the edit.
void TypeInto(QLineEdit& edit, const std::string& typed) {
  edit.setFocus(Qt::TabFocusReason);
  edit.selectAll();
  SendKey(edit, Qt::Key_Delete, {});
  for (const char32_t c : QString::fromStdString(typed).toUcs4()) SendKey(edit, KeyOf(c), QString::fromUcs4(&c, 1));
  SendKey(edit, Qt::Key_Tab, QStringLiteral("\t"));
  if (edit.hasFocus()) edit.clearFocus();  // nothing to Tab to
}

// The whole numbers that end a line; why not, when a word is none.
std::string ReadNumbers(std::istream& in, std::vector<int>& numbers) {
  for (std::string word; in >> word;) {
    std::size_t used = 0;
    try {
      numbers.push_back(std::stoi(word, &used));
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != word.size()) return "\"" + word + "\" is not a whole number";
  }
  return {};
}

bool Is(const KvDialogControl& c, std::initializer_list<Kind> kinds) {
  for (Kind k : kinds)
    if (c.kind == k) return true;
  return false;
}

}  // namespace

KvQtDialogScript::KvQtDialogScript(const std::vector<std::string>& lines) {
  parts_.emplace_back();
  int number = 0;
  for (const std::string& raw : lines) {
    const std::string text = Trimmed(raw);
    ++number;
    if (text.empty() || text.front() == '#') continue;
    if (text == "---") parts_.emplace_back();
    else parts_.back().push_back(Line{number, text});
  }
}

void KvQtDialogScript::Play(KvQtDialog& dialog) {
  // The user works in the window: it has the keyboard.
  QApplication::setActiveWindow(&dialog.Widget());
  if (fault_.empty() && !parts_.empty()) {
    const std::vector<Line> part = std::move(parts_.front());
    parts_.pop_front();
    for (const Line& line : part) {
      if (dialog.Ended() || !fault_.empty()) break;
      line_ = line.number;
      if (const std::string why = PlayLine(dialog, line.text); !why.empty()) Fail(line.number, why);
    }
  }
  dialog.Close();
}

std::optional<COLORREF> KvQtDialogScript::TakeColour() { return std::exchange(colour_, std::nullopt); }

std::optional<std::filesystem::path> KvQtDialogScript::TakeFile() {
  if (files_.empty() || !fault_.empty()) return std::nullopt;
  const File file = files_.front();
  files_.pop_front();
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::absolute(file.path, ec);
  if (ec || !std::filesystem::is_regular_file(path, ec)) {
    Fail(file.line, "file: " + file.path.string() + ": no such file");
    return std::nullopt;
  }
  return path;
}

void KvQtDialogScript::Fail(int line, const std::string& why) {
  if (fault_.empty()) fault_ = "script line " + std::to_string(line) + ": " + why;
}

std::string KvQtDialogScript::PlayLine(KvQtDialog& dialog, const std::string& text) {
  std::istringstream in(text);
  std::string verb;
  in >> verb;
  if (verb == "file" || verb == "screenshot") {
    std::string path;
    std::getline(in >> std::ws, path);
    if (path.empty()) return verb + ": the path is missing";
    if (verb == "file") files_.push_back(File{line_, path});
    else if (CKavraDib picture; !ToBitmap(dialog.Widget().grab().toImage(), picture) ||
                                !picture.WriteToFile(TK_wString::FromUtf8(path)))
      return "screenshot: cannot write " + path;
    return {};
  }
  if (verb != "type" && verb != "click" && verb != "select" && verb != "spin" && verb != "colour")
    return "unknown command \"" + verb + "\" (the commands are type, click, select, spin, colour, file and screenshot)";
  int id = 0;
  if (!(in >> id)) return verb + ": the control's number is missing";
  const std::string control_name = "control " + std::to_string(id);
  const KvDialogControl* control = dialog.Template().Find(id);
  QWidget* widget = dialog.Control(id);
  if (!control || !widget)
    return verb + ": the dialog \"" + dialog.Caption().ToUtf8() + "\" has no " + control_name;
  if (widget->isHidden()) return verb + ": " + control_name + " is hidden";
  const auto unless = [&](std::initializer_list<Kind> kinds, const char* what) {
    return Is(*control, kinds) ? std::string() : verb + ": " + control_name + " is not " + what;
  };

  if (verb == "type") {
    if (std::string wrong = unless({Kind::edit}, "an edit"); !wrong.empty()) return wrong;
    std::string typed;
    std::getline(in, typed);
    if (!typed.empty() && typed.front() == ' ') typed.erase(0, 1);
    auto& edit = static_cast<QLineEdit&>(*widget);
    if (edit.isEnabled()) TypeInto(edit, typed);  // a user cannot type into a disabled edit
    return {};
  }

  std::vector<int> numbers;
  if (const std::string wrong = ReadNumbers(in, numbers); !wrong.empty()) return verb + ": " + wrong;
  const auto count = [&](std::size_t lowest, std::size_t highest, const char* form) {
    return numbers.size() >= lowest && numbers.size() <= highest ? std::string() : verb + ": expected " + form;
  };

  if (verb == "click") {
    std::string wrong = unless({Kind::push_button, Kind::default_button, Kind::check_box, Kind::radio_button,
                                Kind::colour_button},
                               "a button");
    if (wrong.empty()) wrong = count(0, 0, "click ID");
    if (!wrong.empty()) return wrong;
    static_cast<QAbstractButton&>(*widget).click();
    return {};
  }
  if (verb == "select") {
    std::string wrong = unless({Kind::drop_down_list}, "a drop-down list");
    if (wrong.empty()) wrong = count(1, 1, "select ID INDEX");
    if (!wrong.empty()) return wrong;
    auto& list = static_cast<QComboBox&>(*widget);
    if (numbers[0] < 0 || numbers[0] >= list.count())
      return "select: the list has no item " + std::to_string(numbers[0]) + " (it has " + std::to_string(list.count()) +
             ", from 0)";
    if (!list.isEnabled()) return {};
    // What a pick in the dropped-down list does (dropping it down for real
    // would grab the keyboard, which an offscreen run cannot).
    list.setCurrentIndex(numbers[0]);
    emit list.activated(numbers[0]);
    emit list.textActivated(list.currentText());
    return {};
  }
  if (verb == "spin") {
    std::string wrong = unless({Kind::spin}, "a spin");
    if (wrong.empty()) wrong = count(1, 2, "spin ID +1|-1 [HELD_MS]");
    if (wrong.empty() && numbers[0] != 1 && numbers[0] != -1) wrong = "spin: the direction is +1 or -1";
    if (wrong.empty() && numbers.size() == 2 && numbers[1] < 0) wrong = "spin: the time held cannot be negative";
    if (!wrong.empty()) return wrong;
    static_cast<KvQtSpinArrows&>(*widget).ClickHeld(numbers[0], numbers.size() == 2 ? numbers[1] : 0);
    return {};
  }
  std::string wrong = unless({Kind::colour_button}, "a colour button");
  if (wrong.empty()) wrong = count(3, 3, "colour ID R G B");
  for (int part : numbers)
    if (wrong.empty() && (part < 0 || part > 255)) wrong = "colour: red, green and blue are 0 to 255";
  if (!wrong.empty()) return wrong;
  colour_ = MakeColorRef(std::uint8_t(numbers[0]), std::uint8_t(numbers[1]), std::uint8_t(numbers[2]));
  static_cast<QAbstractButton&>(*widget).click();
  colour_.reset();  // not taken when the button was disabled
  return {};
}
