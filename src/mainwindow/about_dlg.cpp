#include "mainwindow/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/fixed_texts.h"
#include "ui/app_icon.h"

namespace {

using K = ControlKind;

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate t{235,
                                  55,
                                  "宋体",
                                  9,
                                  kAboutTitle,
                                  {
                                      {128, K::Icon, "", "", 11, 17, 21, 20},
                                      {1000, K::Label, kAboutText, kAboutText, 42, 14, 114, 8},
                                      {1, K::Button, "确定", "OK", 178, 7, 50, 14, kDefaultButton},
                                  }};
    return t;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    // The box has one template, the same title in both languages.
    setWindowTitle(QString::fromUtf8(kAboutTitle));
    m_controls.Build(AboutTemplate(), CurrentUiLanguage(), this);
    setFixedSize(m_controls.ClientSize());
    if (auto* icon = m_controls.Item<QLabel>(128)) {
        icon->setPixmap(AppIcon().pixmap(icon->size()));
    }
    if (auto* ok = m_controls.Item<QPushButton>(1)) {
        ok->setAutoDefault(true);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
