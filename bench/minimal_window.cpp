// The baseline for whole-process figures: a Qt program that shows one empty
// window, marked the same way as the program when its first paint is done.
// Return in that window shows a second empty window. With --text the window
// shows one line of text: the fonts' set-up, which any window with text pays
// and an empty one never does, measured on its own.
#include "platform/ShownMarks.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QWidget>

namespace {
class FirstWindow : public QWidget {
protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Return)
            return;
        auto* second = new QWidget;
        second->setObjectName(QStringLiteral("second"));
        second->resize(600, 400);
        second->show();
    }
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installShownMarks(app);
    FirstWindow window;
    window.setObjectName(QStringLiteral("minimal"));
    window.resize(400, 200);
    if (QApplication::arguments().contains(QStringLiteral("--text"))) {
        window.setObjectName(QStringLiteral("minimal_text"));
        auto* line = new QLabel(QStringLiteral("One line of text"), &window);
        line->move(20, 20);
    }
    window.show();
    return app.exec();
}
