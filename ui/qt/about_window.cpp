#include "ui/qt/about_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/qt/app_icon.h"
#include "ui/control_ids.h"

namespace quarnet {
namespace {

QLabel* PlainLabel(const char* text) {
  auto* label = new QLabel(text);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

// Icon left, name and copyright to its right, OK at the right edge. Its
// size is fixed, and its title bar has a close button alone: window
// managers then offer no maximise button.
CAboutDlg::CAboutDlg(QWidget* parent, Language language)
    : ControlDialog(parent, language, AboutDialog::kLayout), dialog_(*this, language) {
  auto* icon = new QLabel;
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* text = new QVBoxLayout;
  text->addWidget(PlainLabel(AboutDialog::kNameLine));
  text->addWidget(PlainLabel(AboutDialog::kCopyright));
  text->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(text, 1);
  layout->addWidget(Control(idc::kOk), 0, Qt::AlignTop);
  Bind(dialog_);
  ResizeToTemplate();
  setFixedSize(size());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

}  // namespace quarnet
