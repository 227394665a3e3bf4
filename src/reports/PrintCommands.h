#pragma once

#include "ReportEngine.h"

#include <QObject>

struct AppContext;
class QWidget;

// The five print buttons: each hands its own layout file to the report engine
// and shows the result in a print preview.
class PrintCommands : public QObject {
    Q_OBJECT
public:
    PrintCommands(AppContext& context, QWidget* mainWindow);
    // Prints through the layout file of that name: the data folder's, else the delivered one.
    void print(const QString& layoutFile);

    ReportEngine CrystalReport1;

private:
    AppContext& m_context;
};
