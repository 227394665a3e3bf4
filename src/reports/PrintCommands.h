#pragma once

#include "ReportEngine.h"

#include <QObject>

struct AppContext;
class PrintPreviewWindow;
class QWidget;

// The five print buttons: each hands its own layout file to the report engine
// and shows the result in a print preview, one preview per layout.
class PrintCommands : public QObject {
    Q_OBJECT
public:
    PrintCommands(AppContext& context, QWidget* mainWindow);
    // Shows the preview of the layout file of that name (the data folder's, else the delivered one),
    // or brings it to the front; null when the report could not run (the user was told why).
    PrintPreviewWindow* print(const QString& layoutFile);

    ReportEngine CrystalReport1;

private:
    AppContext& m_context;
};
