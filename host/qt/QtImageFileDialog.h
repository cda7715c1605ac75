#pragma once
// KvQtImageFileDialog: Qt's own (not the native) dialog for opening an image
// file the renderer reads, with a preview beside the file list: a thumbnail
// of the file picked in the list or named in the file name box, read as the
// renderer reads it. The caller owns the dialog; the dialog its widgets.

#include <filesystem>

#include <QFileDialog>
#include <QPixmap>

class QLabel;

class KvQtImageFileDialog : public QFileDialog {
public:
  // The thumbnail's longer side, in pixels.
  static constexpr int kPreviewSide = 160;

  // Starts in the folder of `name` when it names one, else in `folder`,
  // with the file name of `name` filled in.
  KvQtImageFileDialog(QWidget* parent, const std::filesystem::path& folder, const std::filesystem::path& name);

  // The thumbnail shown now; null when the current name is no image.
  QPixmap Preview() const;

private:
  void ShowPreview(const QString& file);

  QLabel* preview_;  // the dialog's child
};
