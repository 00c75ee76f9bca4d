// quarnet-screenshots DIR: renders the program's windows to PNG files in
// DIR/zh and DIR/en, one folder per language, each under a drawn title bar
// that shows its caption. Meant to run with QT_QPA_PLATFORM=offscreen.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QRadioButton>
#include <QTextEdit>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "package/job_control.h"
#include "apps/quarnet/demo_package.h"
#include "ui/qt/about_window.h"
#include "ui/qt/package_view_window.h"
#include "ui/qt/app_icon.h"
#include "ui/control_ids.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/progress_window.h"
#include "ui/qt/product_window.h"
#include "ui/qt/app.h"
#include "ui/qt/main_window.h"

namespace quarnet {
namespace {

QImage WithTitleBar(QWidget& window) {
  window.show();
  QCoreApplication::processEvents();
  const QImage content = window.grab().toImage();
  const int bar = window.fontMetrics().height() + 12;
  QImage image(content.width() + 2, content.height() + bar + 1, QImage::Format_ARGB32);
  image.fill(QColor(0x6b, 0x72, 0x7a));
  QPainter painter(&image);
  painter.fillRect(1, 1, content.width(), bar - 1, QColor(0xe8, 0xeb, 0xef));
  const int iconSize = 16;
  painter.drawPixmap(8, (bar - iconSize) / 2, window.windowIcon().pixmap(iconSize));
  painter.setFont(window.font());
  painter.drawText(QRect(8 + iconSize + 6, 0, content.width(), bar), Qt::AlignVCenter, window.windowTitle());
  painter.drawImage(1, bar, content);
  return image;
}

bool Save(QWidget& window, const QDir& dir, const char* name) {
  const QString path = dir.filePath(name);
  if (!WithTitleBar(window).save(path)) {
    std::fprintf(stderr, "quarnet-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// `details`: with the details shown, as after Show Details.
bool SaveBox(CQuarnetDlg& window, const MessageBoxContent& message, const QDir& dir, const char* name,
             bool details = false) {
  const std::unique_ptr<QMessageBox> box = MakeMessageBox(window, message);
  for (QAbstractButton* button : box->buttons()) {
    if (details && box->buttonRole(button) == QMessageBox::ActionRole) button->click();
  }
  // Room for every line of the details.
  for (QTextEdit* text : box->findChildren<QTextEdit*>()) text->setMinimumSize(details ? QSize(520, 250) : QSize());
  return Save(*box, dir, name);
}

// The boxes of a job's outcome: success, a failure with its cause, a cancel.
bool RenderOutcomes(CQuarnetDlg& window, const QDir& dir) {
  ResetJobReport();
  SetVerifiedSummary("Verified: 8 items, 3008-byte header, all checksums; 4 image items identical to the original; "
                     "3 files added",
                     {8, 3008, 4, 3});
  SetOutputPath("/home/tech/out/V200R005C10_site-a.bin");
  bool ok = SaveBox(window, window.Logic().Outcome(kTextRepackSuccess), dir, "outcome-success.png");
  AddWarning("the original package has no product list, so the new package has none", WarningKind::kNoProductList);
  AddWarning("the original package's item 1 (KERNEL): its record says CRC 0x00000000, its bytes have CRC 0x5d0b1f2e; "
             "repacked with its bytes",
             WarningKind::kOriginalCrc);
  ok &= SaveBox(window, window.Logic().Outcome(kTextRepackSuccess), dir, "outcome-warnings.png");
  ResetJobReport();
  SetVerifiedSummary("Verified: 7 items, 2648-byte header, all checksums; 4 image items identical to the original; "
                     "1 file added",
                     {7, 2648, 4, 1});
  SetAgainstOriginal(DemoRepackDiff());
  SetOutputPath("/home/tech/out/V200R005C10_site-a.bin");
  ok &= SaveBox(window, window.Logic().Outcome(kTextRepackSuccess), dir, "outcome-what-changed.png", true);
  ok &= SaveBox(window, window.Logic().CheckQuestion(DemoFindings()), dir, "check-question.png");
  ResetJobReport();
  SetSystemFailure("mkdir /media/tech/USB/.quarnet-job-XXXXXX: Read-only file system", FailureKind::kOutputFolder,
                   "/media/tech/USB", EROFS);
  ok &= SaveBox(window, window.Logic().Outcome(kTextRepackFailed), dir, "outcome-failure.png");
  ResetJobReport();
  SetSystemFailure("rename /home/tech/out: No such file or directory", FailureKind::kOutputFolderMissing,
                   "/home/tech/out", ENOENT);
  ok &= SaveBox(window, window.Logic().Outcome(kTextRepackFailed), dir, "outcome-folder-missing.png");
  ResetJobReport();
  SetFailureReason("cancelled", FailureKind::kCancelled);
  ok &= SaveBox(window, window.Logic().Outcome(kTextRepackFailed), dir, "outcome-cancelled.png");
  ResetJobReport();
  return ok;
}

bool Render(const QDir& dir, Language language) {
  bool ok = true;
  CQuarnetDlg window(nullptr, RealDialogs(), language);
  MainDialogValues& values = window.Logic().values;
  values.originalPackage = "/home/tech/firmware/V200R005C10_orig.bin";
  values.configFile = "/home/tech/site-a/qz_ctree.xml";
  values.newPackage = "/home/tech/out/V200R005C10_site-a.bin";
  window.Logic().UpdateData(false);
  ok &= Save(window, dir, "main-config-file.png");

  values.configPack = "/home/tech/site-a/customize_xml.tar.gz";
  window.Logic().UpdateData(false);
  window.ControlAs<QRadioButton>(idc::kConfigPackRadio)->click();
  ok &= Save(window, dir, "main-config-pack-factory.png");

  window.Select(idc::kUpdateModeCombo, 1);
  window.Logic().OnSelChange(idc::kUpdateModeCombo);
  values.updateScript = "/home/tech/site-a/customize_upgrade.tar.gz";
  window.Logic().UpdateData(false);
  ok &= Save(window, dir, "main-config-pack-normal.png");

  CProductListSelDlg products(&window, language);
  products.SetItemCheck(idc::kVersionsList, 4, true);
  products.Logic().OnCheckChange(idc::kVersionsList);
  ok &= Save(products, dir, "product-selection.png");

  CAboutDlg about(&window, language);
  ok &= Save(about, dir, "about.png");

  // Qt's own texts in the same language.
  QFileDialog open(&window);
  SetUpFileDialog(open, {false, 120, "", dir.absolutePath(), language, {}});
  ok &= Save(open, dir, "open-original-package.png");
  CJobProgressDlg progress(&window, language);
  progress.SetProgress(42, 197);
  ok &= Save(progress, dir, "job-progress.png");
  const PackageViewContent content{PackageViewText(DemoFacts(), values.originalPackage, language),
                                   PackageViewItems(DemoFacts(), language), [](std::size_t) {}};
  CPackageViewDlg view(&window, language, content);
  view.resize(view.sizeHint().expandedTo(QSize(760, 420)));
  ok &= Save(view, dir, "package-view.png");
  return ok && RenderOutcomes(window, dir);
}

int RenderAll(CQuarnetApp& app, const QDir& dir) {
  const std::pair<Language, const char*> languages[] = {{Language::kChinese, "zh"}, {Language::kEnglish, "en"}};
  bool ok = true;
  for (const auto& [language, name] : languages) {
    if (!dir.mkpath(name)) {
      std::fprintf(stderr, "quarnet-screenshots: cannot create %s\n", qPrintable(dir.filePath(name)));
      return 1;
    }
    app.SetLanguage(language);
    ok &= Render(QDir(dir.filePath(name)), language);
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace quarnet

int main(int argc, char** argv) {
  quarnet::CQuarnetApp app(argc, argv);
  if (argc != 2) {
    std::fputs("Usage: quarnet-screenshots DIR\n", stderr);
    return 2;
  }
  return quarnet::RenderAll(app, QDir(QString::fromLocal8Bit(argv[1])));
}
