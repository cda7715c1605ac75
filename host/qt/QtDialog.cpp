#include "host/qt/QtDialog.h"

#include <cmath>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "host/qt/QtColourButton.h"
#include "host/qt/QtPictures.h"
#include "host/qt/QtSpinArrows.h"

namespace {

using Kind = KvDialogControl::Kind;

QString ToQString(const TK_wString& text) { return QString::fromStdWString(text.str()); }
TK_wString ToWString(const QString& text) { return TK_wString(text.toStdWString()); }

// Controls a label's mnemonic can lead to, as the Tab key does.
bool TakesFocus(const KvDialogControl& c) {
  return c.visible && c.kind != Kind::label && c.kind != Kind::heading && c.kind != Kind::separator &&
         c.kind != Kind::spin;
}

// What a key press types as characters: Backspace counts (as '\b'); Tab,
// Enter, Escape, Delete and shortcuts are keys, not characters.
std::optional<std::wstring> TypedCharacters(const QKeyEvent& key) {
  if (key.text().isEmpty() || (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) return std::nullopt;
  const std::wstring text = key.text().toStdWString();
  for (wchar_t c : text)
    if (c != L'\b' && (c < 0x20 || c == 0x7f)) return std::nullopt;
  return text;
}

// A group's title: bold, with a line along the bottom of its rectangle.
class Heading : public QLabel {
public:
  Heading(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }

protected:
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(0, height() - 2, width() - 1, height() - 2);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, height() - 1, width() - 1, height() - 1);
  }
};

}  // namespace

class KvQtDialog::Window : public QDialog {
public:
  Window(KvQtDialog& owner, QWidget* parent) : QDialog(parent), owner_(owner) {}

  // Escape and the window's close button: Cancel, which the dialog may refuse.
  void reject() override { owner_.UserCommand(IDCANCEL); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    return edit && owner_.EditEvent(*edit, edit->objectName().toInt(), *event);
  }

  // The window taken down as it is, whatever its dialog says.
  void TakeDown(int result) { QDialog::done(result); }

private:
  KvQtDialog& owner_;
};

KvQtDialog::KvQtDialog(const KvDialogTemplate& dialog, KvDialogEvents& events, ColourChooser choose_colour,
                       QWidget* parent)
    : template_(dialog), events_(events), choose_colour_(std::move(choose_colour)),
      window_(std::make_unique<Window>(*this, parent)) {
  window_->setWindowTitle(ToQString(dialog.caption));
  // Modal to the window it opens over, as the host's dialogs are: the help
  // window it shows stays usable.
  window_->setWindowModality(Qt::WindowModal);
  // The average width as the host measures it: over the 52 letters.
  const QFontMetricsF metrics(window_->font());
  unit_x_ = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4.0;
  unit_y_ = metrics.height() / 8.0;
  window_->setFixedSize(ToPixels(RECT{0, 0, dialog.size.cx, dialog.size.cy}).size());
  std::vector<QWidget*> made;
  for (const KvDialogControl& c : dialog.controls) {
    QWidget* widget = made.emplace_back(MakeControl(c));
    QRect place = ToPixels(c.rect);
    // A drop-down list's rectangle includes the list dropped down.
    if (c.kind == Kind::drop_down_list) place.setHeight(std::min(place.height(), widget->sizeHint().height()));
    widget->setGeometry(place);
    widget->setVisible(c.visible);
    if (c.id > 0) {
      widget->setObjectName(QString::number(c.id));
      controls_.emplace(c.id, widget);
    }
  }
  // A label's mnemonic moves the focus to the next control that takes it.
  for (std::size_t i = 0; i < made.size(); ++i) {
    auto* label = qobject_cast<QLabel*>(made[i]);
    if (!label || !label->text().contains(QLatin1Char('&'))) continue;
    for (std::size_t next = i + 1; next < made.size(); ++next)
      if (TakesFocus(dialog.controls[next])) {
        label->setBuddy(made[next]);
        break;
      }
  }
}

KvQtDialog::~KvQtDialog() {
  // Taking the widgets down moves the focus: no event reaches the dialog now.
  ended_ = true;
}

QWidget* KvQtDialog::MakeControl(const KvDialogControl& c) {
  QWidget* parent = window_.get();
  const int id = c.id;
  switch (c.kind) {
    case Kind::label: return new QLabel(ToQString(c.text), parent);
    case Kind::heading: return new Heading(ToQString(c.text), parent);
    case Kind::separator: {
      auto* line = new QFrame(parent);
      line->setFrameShape(QFrame::HLine);
      line->setFrameShadow(QFrame::Sunken);
      return line;
    }
    case Kind::edit: {
      auto* edit = new QLineEdit(ToQString(c.text), parent);
      edit->installEventFilter(window_.get());
      return edit;
    }
    case Kind::check_box: {
      auto* box = new QCheckBox(ToQString(c.text), parent);
      QObject::connect(box, &QCheckBox::clicked, parent, [this, id] { UserCommand(id); });
      return box;
    }
    case Kind::radio_button: {
      auto* radio = new QRadioButton(ToQString(c.text), parent);
      QButtonGroup*& group = groups_[c.group];
      if (!group) group = new QButtonGroup(parent);
      group->addButton(radio);
      QObject::connect(radio, &QRadioButton::clicked, parent, [this, id] { UserCommand(id); });
      return radio;
    }
    case Kind::push_button:
    case Kind::default_button: {
      auto* button = new QPushButton(ToQString(c.text), parent);
      button->setDefault(c.kind == Kind::default_button);
      QObject::connect(button, &QPushButton::clicked, parent, [this, id] { UserCommand(id); });
      return button;
    }
    case Kind::colour_button: {
      auto* button = new KvQtColourButton(parent);
      QObject::connect(button, &QPushButton::clicked, parent, [this, id] { ChooseColour(id); });
      return button;
    }
    case Kind::spin:
      return new KvQtSpinArrows(parent, [this, id](int direction, int held_ms) {
        if (!ended_) events_.OnSpin(id, direction, held_ms);
      });
    case Kind::drop_down_list: {
      auto* list = new QComboBox(parent);
      QObject::connect(list, &QComboBox::activated, parent, [this, id] { UserCommand(id); });
      return list;
    }
  }
  return new QWidget(parent);
}

int KvQtDialog::Run(const std::function<void(KvQtDialog&)>& shown) {
  events_.OnInitDialog(*this);
  if (!ended_) {
    if (shown) QTimer::singleShot(0, window_.get(), [this, &shown] {
        if (!ended_) shown(*this);
      });
    window_->exec();
  }
  if (!ended_) UserCommand(IDCANCEL);  // the window went: as if closed
  return ended_ ? result_ : IDCANCEL;
}

void KvQtDialog::Close() {
  if (!ended_) window_->reject();
  if (ended_) return;
  ended_ = true;
  result_ = IDCANCEL;
  window_->TakeDown(IDCANCEL);
}

void KvQtDialog::UserCommand(int id) {
  if (!ended_) events_.OnCommand(id);
}

void KvQtDialog::ChooseColour(int id) {
  auto* button = dynamic_cast<KvQtColourButton*>(Control(id));
  if (ended_ || !button || !choose_colour_) return;
  if (const std::optional<COLORREF> chosen = choose_colour_(button->Colour(), window_.get())) button->SetColour(*chosen);
}

bool KvQtDialog::EditEvent(QLineEdit& edit, int id, QEvent& event) {
  if (ended_ || id <= 0 || !edit.isEnabled()) return false;
  if (event.type() == QEvent::FocusOut) {
    // A context menu opening keeps the edit the user's.
    if (static_cast<QFocusEvent&>(event).reason() != Qt::PopupFocusReason) events_.OnKillFocus(id);
    return false;
  }
  if (event.type() != QEvent::KeyPress) return false;
  const std::optional<std::wstring> typed = TypedCharacters(static_cast<QKeyEvent&>(event));
  if (!typed) return false;
  std::wstring accepted;
  for (wchar_t c : *typed)
    if (events_.OnChar(id, c)) accepted += c;
  if (accepted == *typed) return false;  // the edit takes the key as it is
  // Some characters refused: only the others go in.
  if (!accepted.empty()) edit.insert(QString::fromStdWString(accepted));
  return true;
}

QDialog& KvQtDialog::Widget() const { return *window_; }

QWidget* KvQtDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QRect KvQtDialog::ToPixels(const RECT& r) const {
  const auto x = [this](int units) { return int(std::lround(units * unit_x_)); };
  const auto y = [this](int units) { return int(std::lround(units * unit_y_)); };
  return QRect(QPoint(x(r.left), y(r.top)), QPoint(x(r.right) - 1, y(r.bottom) - 1));
}

TK_wString KvQtDialog::Text(int id) const {
  QWidget* widget = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return ToWString(edit->text());
  if (auto* label = qobject_cast<QLabel*>(widget)) return ToWString(label->text());
  if (auto* list = qobject_cast<QComboBox*>(widget)) return ToWString(list->currentText());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return ToWString(button->text());
  return {};
}

void KvQtDialog::SetText(int id, const TK_wString& text) {
  QWidget* widget = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) edit->setText(ToQString(text));
  else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(ToQString(text));
  else if (auto* list = qobject_cast<QComboBox*>(widget)) list->setCurrentText(ToQString(text));
  else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !dynamic_cast<KvQtColourButton*>(button))
    button->setText(ToQString(text));
}

bool KvQtDialog::Checked(int id) const {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  return button && button->isChecked();
}

void KvQtDialog::SetChecked(int id, bool checked) {
  auto* button = qobject_cast<QAbstractButton*>(Control(id));
  if (!button || !button->isCheckable()) return;
  QButtonGroup* group = button->group();
  // An exclusive group keeps its checked button: clearing one is allowed here.
  if (group && !checked) group->setExclusive(false);
  button->setChecked(checked);
  if (group && !checked) group->setExclusive(true);
}

bool KvQtDialog::IsEnabled(int id) const {
  const QWidget* widget = Control(id);
  return !widget || widget->isEnabled();
}

void KvQtDialog::Enable(int id, bool enabled) {
  if (QWidget* widget = Control(id)) widget->setEnabled(enabled);
}

COLORREF KvQtDialog::Colour(int id) const {
  const auto* button = dynamic_cast<const KvQtColourButton*>(Control(id));
  return button ? button->Colour() : 0;
}

void KvQtDialog::SetColour(int id, COLORREF colour) {
  if (auto* button = dynamic_cast<KvQtColourButton*>(Control(id))) button->SetColour(colour);
}

void KvQtDialog::SetListItems(int id, const std::vector<TK_wString>& items) {
  auto* list = qobject_cast<QComboBox*>(Control(id));
  if (!list) return;
  list->clear();
  for (const TK_wString& item : items) list->addItem(ToQString(item));
  list->setCurrentIndex(-1);
}

int KvQtDialog::ListSelection(int id) const {
  const auto* list = qobject_cast<const QComboBox*>(Control(id));
  return list ? list->currentIndex() : -1;
}

void KvQtDialog::SetListSelection(int id, int index) {
  auto* list = qobject_cast<QComboBox*>(Control(id));
  if (list) list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

TK_wString KvQtDialog::Caption() const { return ToWString(window_->windowTitle()); }

void KvQtDialog::SetCaption(const TK_wString& caption) { window_->setWindowTitle(ToQString(caption)); }

void KvQtDialog::SetIcon(const KvIcon& icon) { window_->setWindowIcon(ToQIcon(icon)); }

void KvQtDialog::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  window_->TakeDown(result);
}
