#include "ui/qt/dialog_host.h"

#include <QDir>
#include <QFileDialog>

namespace quarnet {
namespace {

class QtDialogs : public DialogHost {
 public:
  std::optional<QString> ChooseFile(QWidget* owner, const FileDialogSpec& request) override {
    QFileDialog dialog(owner);
    SetUpFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
  }

  int RunModal(QDialog& dialog) override { return dialog.exec(); }
};

}  // namespace

DialogHost& RealDialogs() {
  static QtDialogs dialogs;
  return dialogs;
}

QStringList ConvertFilter(std::string_view filter) {
  const QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
  QStringList filters;
  // Pairs of description and patterns, up to the first empty description.
  for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    filters << parts[i] + " (" + patterns + ")";
  }
  return filters;
}

void SetUpFileDialog(QFileDialog& dialog, const FileDialogSpec& request) {
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // Always set: Qt would open the folder that it stored in an earlier run.
  dialog.setDirectory(request.folder.isEmpty() ? QDir::currentPath() : request.folder);
  dialog.setNameFilters(ConvertFilter(LoadResString(ShownId(request.filterId, request.language))));
  // The descriptions already show their patterns.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.save);
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.name.isEmpty()) dialog.selectFile(request.name);
  // Qt's own dialog, whose texts follow the program's language (a desktop's
  // native dialog speaks the desktop's).
  dialog.setOption(QFileDialog::DontUseNativeDialog);
}

}  // namespace quarnet
