#pragma once
// KvQtDialog: a modal dialog in Qt Widgets built from a dialog template,
// each control a widget at its rectangle (dialog units from the dialog
// font), the user's typing, clicks, spins and picks sent as the dialog's
// events; it ends only through EndDialog. The toolkit makes one per modal
// run on its stack; it owns its widgets, the caller the template and events.

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include <QRect>

#include "host/platform/NativeWindows.h"

class QButtonGroup;
class QDialog;
class QEvent;
class QLineEdit;
class QObject;
class QWidget;

class KvQtDialog : public KvDialogWindow {
public:
  // Asked when a colour button is clicked: the new colour, none to keep the old.
  using ColourChooser = std::function<std::optional<COLORREF>(COLORREF current, QWidget* parent)>;

  KvQtDialog(const KvDialogTemplate& dialog, KvDialogEvents& events, ColourChooser choose_colour,
             QWidget* parent = nullptr);
  ~KvQtDialog();
  KvQtDialog(const KvQtDialog&) = delete;
  KvQtDialog& operator=(const KvQtDialog&) = delete;

  // Initialises the controls, then shows the dialog until it ends; `shown`
  // runs once the dialog is on the screen. A dialog whose window goes without
  // EndDialog hears a Cancel. Answers the result.
  int Run(const std::function<void(KvQtDialog&)>& shown = {});
  // Closes the window as the user does (Cancel); one that still does not end
  // is taken down with IDCANCEL.
  void Close();

  TK_wString Text(int id) const override;
  void SetText(int id, const TK_wString& text) override;
  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  bool IsEnabled(int id) const override;
  void Enable(int id, bool enabled) override;
  COLORREF Colour(int id) const override;
  void SetColour(int id, COLORREF colour) override;
  void SetListItems(int id, const std::vector<TK_wString>& items) override;
  int ListSelection(int id) const override;
  void SetListSelection(int id, int index) override;
  TK_wString Caption() const override;
  void SetCaption(const TK_wString& caption) override;
  void SetIcon(const KvIcon& icon) override;
  void EndDialog(int result) override;

  QDialog& Widget() const;
  // The widget of the control `id` (its object name is the id); null for
  // an id the template does not have.
  QWidget* Control(int id) const;
  const KvDialogTemplate& Template() const { return template_; }
  bool Ended() const { return ended_; }
  // A rectangle in dialog units, in the dialog's pixels.
  QRect ToPixels(const RECT& units) const;

private:
  class Window;

  QWidget* MakeControl(const KvDialogControl& control);
  // A click, a pick or a Cancel from the user: the dialog's command.
  void UserCommand(int id);
  void ChooseColour(int id);
  // Key presses and focus changes of an edit; true drops the event.
  bool EditEvent(QLineEdit& edit, int id, QEvent& event);

  const KvDialogTemplate& template_;
  KvDialogEvents& events_;
  ColourChooser choose_colour_;
  double unit_x_ = 1.0, unit_y_ = 1.0;  // pixels per dialog unit
  std::map<int, QWidget*> controls_;     // the window's children, by id
  std::map<int, QButtonGroup*> groups_;  // radio groups, the window's children
  bool ended_ = false;
  int result_ = IDCANCEL;
  std::unique_ptr<Window> window_;  // last: goes first, with every widget
};
