#pragma once
// Everything that waits for a person goes through DialogHost: the file
// dialogs, message boxes, the product dialog and the About box. The program
// uses the real dialogs; tests answer them in code.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>

#include "ui/strings.h"

class QFileDialog;
class QWidget;

namespace quarnet {

struct FileDialogSpec {
  bool save = false;      // a save dialog, else an open dialog
  int filterId = 0;       // string ID of a "description|pattern||" filter
  QString defaultSuffix;  // appended to a name typed without extension
  QString folder;         // the folder it opens in; empty: the working directory
  Language language = Language::kChinese;  // of the filter's description
  QString name;  // the file name a save dialog offers; empty: none
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // The full path chosen in a file dialog owned by `owner`, or nothing when
  // the dialog ended with anything but OK.
  virtual std::optional<QString> ChooseFile(QWidget* owner, const FileDialogSpec& request) = 0;
  // Runs `dialog` modally and returns QDialog::Accepted or Rejected.
  virtual int RunModal(QDialog& dialog) = 0;
};

// The real dialogs.
DialogHost& RealDialogs();

// "desc|pattern;pattern|...||" as Qt name filters "desc (pattern pattern)".
QStringList ConvertFilter(std::string_view filter);

// Mode, folder, filters, default suffix and overwrite prompt of a file dialog.
void SetUpFileDialog(QFileDialog& dialog, const FileDialogSpec& request);

}  // namespace quarnet
