#include "host/qt/QtImageFileDialog.h"

#include <system_error>

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "host/platform/KavraDib.h"
#include "host/qt/QtPictures.h"

namespace {

// The formats the host's bitmaps read, as the dialog offers them.
const char* const kFilters[] = {
    "Images (*.png *.jpg *.jpeg *.bmp *.tga *.gif *.psd *.hdr)",
    "PNG image (*.png)", "JPEG image (*.jpg *.jpeg)", "BMP image (*.bmp)", "TGA image (*.tga)",
    "GIF image (*.gif)", "Photoshop image (*.psd)", "HDR image (*.hdr)", "All files (*)",
};

QString ToQString(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

KvQtImageFileDialog::KvQtImageFileDialog(QWidget* parent, const std::filesystem::path& folder,
                                         const std::filesystem::path& name)
    : QFileDialog(parent, QStringLiteral("Open")), preview_(new QLabel(this)) {
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptOpen);
  setFileMode(QFileDialog::ExistingFile);
  QStringList filters;
  for (const char* filter : kFilters) filters << QString::fromLatin1(filter);
  setNameFilters(filters);

  preview_->setFixedSize(kPreviewSide + 8, kPreviewSide + 8);
  preview_->setAlignment(Qt::AlignCenter);
  preview_->setFrameShape(QFrame::StyledPanel);
  // Qt's own dialog lays itself out in a grid: the preview takes a column of its own.
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(preview_, 1, grid->columnCount(), 3, 1);
  // Room for the list's columns beside the preview.
  resize(kPreviewSide * 5, kPreviewSide * 5 / 2);
  connect(this, &QFileDialog::currentChanged, this, &KvQtImageFileDialog::ShowPreview);
  if (auto* typed = findChild<QLineEdit*>()) {
    connect(typed, &QLineEdit::textChanged, this,
            [this](const QString& text) { ShowPreview(text.isEmpty() ? text : directory().absoluteFilePath(text)); });
  }

  std::error_code ec;
  const std::filesystem::path start = name.has_parent_path() && std::filesystem::is_directory(name.parent_path(), ec)
                                          ? name.parent_path()
                                          : folder;
  if (!start.empty()) setDirectory(ToQString(start));
  if (!name.empty()) selectFile(ToQString(name.filename()));
}

QPixmap KvQtImageFileDialog::Preview() const { return preview_->pixmap(); }

void KvQtImageFileDialog::ShowPreview(const QString& file) {
  std::error_code ec;
  const std::filesystem::path path = file.toStdString();
  CKavraDib image;
  // Only plain files are read: a FIFO or a folder never blocks the dialog.
  if (file.isEmpty() || !std::filesystem::is_regular_file(path, ec) || !image.ReadFromFile(TK_wString::FromUtf8(path.string()))) {
    preview_->clear();
    return;
  }
  QImage picture = ToQImage(image);
  if (picture.width() > kPreviewSide || picture.height() > kPreviewSide)
    picture = picture.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  preview_->setPixmap(QPixmap::fromImage(picture));
}
