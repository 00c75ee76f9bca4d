#include "ui/qt/product_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/control_ids.h"

namespace quarnet {
namespace {

QGroupBox* Framing(QGroupBox* group, QWidget* content) {
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(content);
  return group;
}

}  // namespace

// Versions on the left, products (about twice as wide, in columns) on the
// right, the product list below both, OK and Cancel at the bottom right.
CProductListSelDlg::CProductListSelDlg(QWidget* parent, Language language, const ProductInfo* table)
    : ControlDialog(parent, language, ProductDialog::kLayout), dialog_(*this, language, table) {
  auto* products = ControlAs<CheckListBox>(idc::kProductsList);
  products->setFlow(QListView::TopToBottom);
  products->setWrapping(true);
  products->setResizeMode(QListView::Adjust);
  products->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  auto* lists = new QHBoxLayout;
  lists->addWidget(Framing(ControlAs<QGroupBox>(idc::kVersionsGroup), Control(idc::kVersionsList)), 1);
  lists->addWidget(Framing(ControlAs<QGroupBox>(idc::kProductsGroup), products), 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Control(idc::kOk));
  buttons->addWidget(Control(idc::kCancel));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(Control(idc::kProductListEdit));
  layout->addLayout(buttons);
  Bind(dialog_);
  ResizeToTemplate();
}

}  // namespace quarnet
