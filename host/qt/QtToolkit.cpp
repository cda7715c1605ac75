#include "host/qt/QtToolkit.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include "host/platform/OruDib.h"
#include "host/qt/QtDialog.h"
#include "host/qt/QtDialogScript.h"
#include "host/qt/QtFrameWindow.h"
#include "host/qt/QtImageFileDialog.h"
#include "host/qt/QtPictures.h"

namespace {

QWidget* WidgetOf(KvFrameWindow* window) {
  auto* frame = dynamic_cast<KvQtFrameWindow*>(window);
  return frame ? &frame->MainWindow() : nullptr;
}

QString ToQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// What a new dialog opens over: the modal dialog on the screen, else the active window.
QWidget* ActiveWindow() {
  QWidget* modal = QApplication::activeModalWidget();
  return modal ? modal : QApplication::activeWindow();
}

// Has `answer` act on the dialog once its modal run has shown it.
void AnswerWhenShown(QDialog& dialog, std::function<void()> answer) {
  QTimer::singleShot(0, &dialog, std::move(answer));
}

// The formats the host's bitmaps write, as the dialog offers them.
struct ImageType {
  const char* filter;
  const char* suffix;
};
constexpr ImageType kImageTypes[] = {
    {"PNG image (*.png)", "png"},
    {"BMP image (*.bmp)", "bmp"},
    {"JPEG image (*.jpg *.jpeg)", "jpg"},
    {"TGA image (*.tga)", "tga"},
};

}  // namespace

KvQtToolkit::KvQtToolkit() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw std::logic_error("the Qt window toolkit needs a QApplication");
}

KvQtToolkit::~KvQtToolkit() = default;

std::unique_ptr<KvFrameWindow> KvQtToolkit::CreateFrameWindow(KvFrameEvents& events) {
  return std::make_unique<KvQtFrameWindow>(*this, events);
}

void KvQtToolkit::ProcessEvents() { QCoreApplication::processEvents(); }

int KvQtToolkit::RunModalDialog(const KvDialogTemplate& dialog, KvDialogEvents& events) {
  KvQtDialog shown(
      dialog, events, [this](COLORREF current, QWidget* parent) { return ChooseColour(current, parent); },
      ActiveWindow());
  if (!script_) return shown.Run();
  return shown.Run([this](KvQtDialog& running) { script_->Play(running); });
}

std::optional<COLORREF> KvQtToolkit::ChooseColour(COLORREF current, QWidget* parent) {
  QColorDialog picker(ToQColor(current), parent);
  picker.setOption(QColorDialog::DontUseNativeDialog);
  if (script_) {
    AnswerWhenShown(picker, [this, &picker] {
      const std::optional<COLORREF> answer = script_->TakeColour();
      if (!answer) return picker.reject();
      picker.setCurrentColor(ToQColor(*answer));
      picker.accept();
    });
  }
  if (picker.exec() != QDialog::Accepted) return std::nullopt;
  const QColor chosen = picker.selectedColor();
  return MakeColorRef(std::uint8_t(chosen.red()), std::uint8_t(chosen.green()), std::uint8_t(chosen.blue()));
}

std::optional<std::filesystem::path> KvQtToolkit::AskOpenImagePath(const std::filesystem::path& folder,
                                                                   const std::filesystem::path& name) {
  KvQtImageFileDialog dialog(ActiveWindow(), folder, name);
  if (script_) {
    AnswerWhenShown(dialog, [this, &dialog] {
      const std::optional<std::filesystem::path> answer = script_->TakeFile();
      if (!answer) return dialog.reject();
      dialog.selectFile(ToQString(*answer));
      static_cast<QDialog&>(dialog).accept();  // as the Open button does
    });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

void KvQtToolkit::SetDialogScript(const std::vector<std::string>& lines) {
  script_ = std::make_unique<KvQtDialogScript>(lines);
}

std::string KvQtToolkit::DialogScriptFault() const { return script_ ? script_->Fault() : std::string(); }

std::optional<std::filesystem::path> KvQtToolkit::AskSaveImagePath(KvFrameWindow* parent,
                                                                   const std::filesystem::path& folder,
                                                                   const std::filesystem::path& name) {
  QFileDialog dialog(WidgetOf(parent), QStringLiteral("Save As"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  QStringList filters;
  for (const ImageType& type : kImageTypes) filters << QString::fromLatin1(type.filter);
  dialog.setNameFilters(filters);
  const auto suffix_of = [](const QString& filter) {
    for (const ImageType& type : kImageTypes)
      if (filter == QLatin1String(type.filter)) return QString::fromLatin1(type.suffix);
    return QString();
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, suffix_of](const QString& filter) { dialog.setDefaultSuffix(suffix_of(filter)); });
  // The suggested name's type is the one chosen at first.
  QString first = filters.front();
  const QString extension = ToQString(name.extension()).toLower();
  for (const QString& filter : filters)
    if (!extension.isEmpty() && filter.contains(QLatin1Char('*') + extension)) first = filter;
  dialog.selectNameFilter(first);
  dialog.setDefaultSuffix(suffix_of(first));
  if (!folder.empty()) dialog.setDirectory(ToQString(folder));
  dialog.selectFile(ToQString(name));
  if (script_) AnswerWhenShown(dialog, [&dialog] { dialog.reject(); });  // a script has no save answers
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

bool KvQtToolkit::CopyImageToClipboard(const COruDib& image) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const QImage copy = ToQImage(image);
  if (!clipboard || copy.isNull()) return false;
  clipboard->setImage(copy);
  return true;
}

bool KvQtToolkit::PrintImage(KvFrameWindow* parent, const COruDib& image) {
  const QImage picture = ToQImage(image);
  if (picture.isNull()) return false;
  QPrinter printer(QPrinter::HighResolution);
  if (!print_file_.empty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(ToQString(print_file_));
  } else {
    QPrintDialog dialog(&printer, WidgetOf(parent));
    if (dialog.exec() != QDialog::Accepted) return false;
  }
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const QRect page = painter.viewport();
  const QSize size = picture.size().scaled(page.size(), Qt::KeepAspectRatio);
  painter.setViewport(page.x() + (page.width() - size.width()) / 2, page.y() + (page.height() - size.height()) / 2,
                      size.width(), size.height());
  painter.setWindow(picture.rect());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(0, 0, picture);
  return painter.end();
}

int KvQtToolkit::MessageBox(KvFrameWindow* parent, const TK_wString& text, const TK_wString& caption, UINT style) {
  const QMessageBox::Icon icon =
      (style & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::NoIcon;
  QMessageBox box(icon, QString::fromStdWString(caption.str()), QString::fromStdWString(text.str()), QMessageBox::Ok,
                  WidgetOf(parent));
  if (script_) AnswerWhenShown(box, [&box] { box.accept(); });
  box.exec();
  return IDOK;
}

bool KvQtToolkit::ShowHelpPage(const std::filesystem::path& page, const TK_wString& title) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(page, ec)) return false;
  std::ifstream in(page, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) return false;
  if (!help_) {
    help_ = std::make_unique<QDialog>();
    help_text_ = new QTextBrowser(help_.get());
    help_text_->setOpenExternalLinks(true);
    (new QVBoxLayout(help_.get()))->addWidget(help_text_);
    help_->resize(640, 520);
  }
  help_->setWindowTitle(QString::fromStdWString(title.str()));
  help_text_->setSearchPaths({ToQString(page.parent_path())});
  help_text_->setMarkdown(QString::fromStdString(text.str()));
  help_->show();
  help_->raise();
  return true;
}
