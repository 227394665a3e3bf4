#pragma once

#include <QWidget>

struct AppContext;
class DataBinder;
class QGroupBox;
class QPushButton;

// Persons and credit cards side by side, one record each, stepped with Back
// and Next; the bank details of the card lie over the card fields on demand.
class PersonalPanel : public QWidget {
    Q_OBJECT
public:
    PersonalPanel(QWidget* parent, AppContext& context, DataBinder& DatPersonal, DataBinder& DatCCard);

    QGroupBox* jcFrames8;
    QGroupBox* jcFrames9;
    QWidget* PicBank;
    QPushButton* cmdBank;

private:
    void step(DataBinder& binder, bool forward, const QString& endMessage);
    AppContext& m_context;
};
