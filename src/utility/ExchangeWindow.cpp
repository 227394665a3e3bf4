#include "ExchangeWindow.h"

#include "ExchangePanel.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

ExchangeWindow::ExchangeWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Import / Export"));
    setLightBlueBackground(this);
    setClientSize(this, 6255, 4215);
    // The frame and its controls as the database utility lays them out.
    exchangePanel =
        makeFrame(this, QStringLiteral("exchangePanel"), QStringLiteral("Import / Export"), 120, 120, 6015, 3435);
    exchange = new ExchangePanel(exchangePanel, context);
    cmdClose = makeButton(this, QStringLiteral("cmdClose"), QStringLiteral("&Close"),
                          QStringLiteral(" Close Import / Export "), 4920, 3690, 1215, 390);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    setTabOrder(exchange->cmdImport, exchange->cboEncoding);
    setTabOrder(exchange->cboEncoding, exchange->cmdExportJson);
    setTabOrder(exchange->cmdExportJson, exchange->cmdExportCsv);
    setTabOrder(exchange->cmdExportCsv, exchange->cmdExportProtected);
    setTabOrder(exchange->cmdExportProtected, exchange->cmdExportKeePassXc);
    setTabOrder(exchange->cmdExportKeePassXc, cmdClose);
    centerOnScreen(this);
}
