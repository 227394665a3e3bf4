#pragma once

#include <QWidget>

struct AppContext;
class DataBinder;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QToolButton;
class QGroupBox;

// The password section: the account grid and the details of the chosen account.
class PasswordPanel : public QWidget {
    Q_OBJECT
public:
    PasswordPanel(QWidget* parent, AppContext& context, DataBinder& DatPassword);

    QTableView* DBGrid1;
    QGroupBox* jcFrames2;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QPlainTextEdit* Text5;
    QToolButton* cmdAccount;
    QToolButton* cmdWebsite;
    QToolButton* cmdUser;
    QToolButton* cmdPasswrd;
    QToolButton* cmdRemarks;
    QPushButton* cmdNew;
    QPushButton* cmdEdit;
    QPushButton* cmdDelete;
    QPushButton* cmdPrint;

private:
    void openWebsite();
    AppContext& m_context;
};
