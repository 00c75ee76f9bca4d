#include "ui/dialog_host.h"

#include <QFileDialog>

#include "ui/strings.h"

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
  dialog.setNameFilters(ConvertFilter(LoadResString(request.filterId)));
  // The descriptions already show their patterns.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.save);
  dialog.setDefaultSuffix(request.defaultSuffix);
}

}  // namespace quarnet
