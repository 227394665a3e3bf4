#include "ShownMarks.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
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
        if (event->type() == QEvent::KeyPress && watched->isWidgetType() && !m_keyMarked.contains(event)) {
            // The moment the program received the key, once per event (it passes through several filters).
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_keyMarked.insert(event);
                print("key", "Return");
                QTimer::singleShot(0, this, [this, event] { m_keyMarked.remove(event); });
            }
            return false;
        }
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || m_marked.contains(widget->objectName()))
            return false;
        m_marked.insert(widget->objectName());
        // The paint and the flush to the screen end before queued work runs.
        QTimer::singleShot(0, this, [name = widget->objectName().toUtf8()] { print("shown", name); });
        return false;
    }

private:
    static void print(const char* what, const QByteArray& name) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("%s %s %lld\n", what, name.constData(),
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stdout);
    }

    QSet<QString> m_marked;
    QSet<const QEvent*> m_keyMarked;
};

} // namespace

void installShownMarks(QApplication& app) {
    if (qEnvironmentVariableIsEmpty("QUILLMERE_SHOWN_MARKS"))
        return;
    app.installEventFilter(new ShownMarks(&app));
}
