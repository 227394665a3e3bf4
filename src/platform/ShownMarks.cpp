#include "ShownMarks.h"

#include <QApplication>
#include <QEvent>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace {

class ShownMarks : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || m_marked.contains(widget->objectName()))
            return false;
        m_marked.insert(widget->objectName());
        // The paint and the flush to the screen end before queued work runs.
        QTimer::singleShot(0, this, [name = widget->objectName().toUtf8()] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            std::printf("shown %s %lld\n", name.constData(),
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            std::fflush(stdout);
        });
        return false;
    }

private:
    QSet<QString> m_marked;
};

} // namespace

void installShownMarks(QApplication& app) {
    if (qEnvironmentVariableIsEmpty("QUILLMERE_SHOWN_MARKS"))
        return;
    app.installEventFilter(new ShownMarks(&app));
}
