#pragma once
// The About box: the program icon, its name and version, and OK.

#include <QDialog>

#include "ui/control_set.h"

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    ControlSet& Controls() { return m_controls; }

private:
    ControlSet m_controls;
};
