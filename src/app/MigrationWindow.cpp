#include "MigrationWindow.h"

#include "platform/Seams.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Often enough to look alive, seldom enough to leave the work its processor.
constexpr int PollMs = 100;
} // namespace

MigrationWindow::MigrationWindow(AppContext& context, const Migration::Progress& progress)
    : AppWindow(context, Name, nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_progress(progress) {
    setWindowTitle(ProgramTitle);
    message = new QLabel(QStringLiteral("Updating the database for this version of the program.\n"
                                        "This is done once; a large file may take a few minutes."),
                         this);
    message->setObjectName(QStringLiteral("message"));
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    // Moving without a figure until the records to index are counted.
    progressBar->setRange(0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(progressBar);
    setFixedSize(sizeHint().expandedTo(QSize(420, 0)));
    m_poll = new QTimer(this);
    m_poll->setInterval(PollMs);
    connect(m_poll, &QTimer::timeout, this, &MigrationWindow::showProgress);
    m_poll->start();
}

void MigrationWindow::showProgress() {
    const qint64 total = m_progress.total.load();
    if (total <= 0)
        return;
    // In thousandths: the bar's range is an int and a file may hold billions of records.
    progressBar->setRange(0, 1000);
    progressBar->setValue(int(std::min<qint64>(1000, m_progress.done.load() * 1000 / total)));
}

void MigrationWindow::closeEvent(QCloseEvent* event) {
    // Closed by the start-up when the work ends, never by the user halfway.
    if (m_progress.finished.load())
        event->accept();
    else
        event->ignore();
}
