#pragma once

#include "platform/AppWindow.h"

class QPlainTextEdit;
class QPushButton;
class QWidget;

// Names the program and its version; shows the licence in place of the picture.
class AboutWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmAbout");
    explicit AboutWindow(AppContext& context);

    QWidget* Picture2;
    QPlainTextEdit* Text1;
    QPushButton* cmdCredit;
    QPushButton* cmdLicense;
    QPushButton* cmdWebsite;
    QPushButton* cmdClose;

    static QString licenceText();
};
