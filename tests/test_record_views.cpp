// The grids and the notes list at any length of text, size of table and size of
// view: they settle after a resize, show the rows of the window they hold and
// keep the current record selected and in view.
#include "Fakes.h"
#include "Helpers.h"
#include "ProgramDirectory.h"
#include "app/MainWindow.h"
#include "platform/Look.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "sections/RemindersPanel.h"
#include "store/BinderModel.h"

#include <QApplication>
#include <QListView>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

namespace {

// Counts the resizes a widget receives.
class ResizeCounter : public QObject {
public:
    explicit ResizeCounter(QWidget* watched) : QObject(watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            ++count;
        return false;
    }
};

struct Shown {
    QString panelButton;
    QString table;
    QStringList fields; // the first one is shown in the view's first column
};

QString randomText(QRandomGenerator& random, int length) {
    static const QString alphabet =
        QStringLiteral("abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789 éèßøÅ日本語текст-_.,'");
    QString text;
    for (int i = 0; i < length; ++i)
        text += alphabet.at(random.bounded(int(alphabet.size())));
    return text;
}

// Mostly short titles, now and then one far wider than any view.
int randomLength(QRandomGenerator& random) {
    switch (random.bounded(4)) {
    case 0:
        return random.bounded(4);
    case 1:
        return random.bounded(60, 200);
    default:
        return random.bounded(4, 30);
    }
}

} // namespace

class RecordViewsTest : public QObject {
    Q_OBJECT

    quint32 m_seed = 0;

    QAbstractItemView* viewOf(MainWindow* main, const QString& table) {
        if (table == QLatin1String("Notes"))
            return main->PicNotes->DBList1;
        if (table == QLatin1String("account"))
            return main->PicPassword->DBGrid1;
        return main->Pictodo->DBGrid2;
    }

    DataBinder* binderOf(MainWindow* main, const QString& table) {
        if (table == QLatin1String("Notes"))
            return main->DatNotes;
        if (table == QLatin1String("account"))
            return main->DatPassword;
        return main->DatReminders;
    }

    // Fills the table with random texts, deletes some, and gives the first field of what is left.
    QStringList fillTable(const ProgramDirectory& dir, const Shown& shown, QRandomGenerator& random) {
        SQLite::Database db(dir.recordDatabase().toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Transaction transaction(db);
        db.exec(QStringLiteral("DELETE FROM \"%1\"").arg(shown.table).toStdString());
        const int count = random.bounded(3) == 0 ? random.bounded(400) : random.bounded(16);
        QStringList marks;
        for (int i = 0; i < shown.fields.size(); ++i)
            marks << QStringLiteral("?");
        SQLite::Statement insert(
            db, QStringLiteral("INSERT INTO \"%1\" (\"%2\") VALUES (%3)")
                    .arg(shown.table, shown.fields.join(QStringLiteral("\", \"")), marks.join(QStringLiteral(", ")))
                    .toStdString());
        QList<std::pair<qint64, QString>> rows;
        for (int i = 0; i < count; ++i) {
            insert.reset();
            const QString first = randomText(random, randomLength(random));
            insert.bind(1, first.toStdString());
            for (int f = 1; f < shown.fields.size(); ++f)
                insert.bind(f + 1, randomText(random, randomLength(random)).toStdString());
            insert.exec();
            rows.append({db.getLastInsertRowid(), first});
        }
        QStringList kept;
        SQLite::Statement remove(db,
                                 QStringLiteral("DELETE FROM \"%1\" WHERE _key = ?").arg(shown.table).toStdString());
        for (const auto& [key, first] : rows) {
            if (random.bounded(5) == 0) {
                remove.reset();
                remove.bind(1, static_cast<int64_t>(key));
                remove.exec();
            } else {
                kept << first;
            }
        }
        transaction.commit();
        return kept;
    }

    // Lets queued work run until the view stops resizing; false when it never does.
    static bool settle(QAbstractItemView* view) {
        ResizeCounter* counter = new ResizeCounter(view->viewport());
        bool quiet = false;
        for (int round = 0; round < 50 && !quiet; ++round) {
            counter->count = 0;
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            quiet = counter->count == 0;
        }
        delete counter;
        return quiet;
    }

    // The window of rows covers the view, shows the right records, and the current
    // record is selected wherever the window holds it.
    void checkShown(QAbstractItemView* view, DataBinder* binder, const QStringList& texts, const QString& step) {
        const QString where = QStringLiteral("%1 (seed %2)").arg(step).arg(m_seed);
        QVERIFY2(settle(view), qPrintable("never settles: " + where));
        auto* model = qobject_cast<BinderModel*>(view->model());
        QVERIFY(model);
        const qint64 offset = model->windowOffset();
        const int rows = model->rowCount();
        QCOMPARE(binder->RecordCount(), qint64(texts.size()));
        QVERIFY2(offset + rows <= texts.size(), qPrintable(where));
        if (offset + rows < texts.size()) {
            const QRect last = view->visualRect(model->index(rows - 1, 0));
            QVERIFY2(rows > 0 && last.bottom() >= view->viewport()->height() - 1,
                     qPrintable(QStringLiteral("rows stop short of the view's bottom: ") + where));
        }
        for (int r = 0; r < rows; ++r)
            QVERIFY2(model->index(r, 0).data().toString() == texts.at(int(offset + r)),
                     qPrintable(QStringLiteral("row %1 shows another record: ").arg(r) + where));
        const qint64 current = binder->AbsolutePosition();
        if (current >= offset && current < offset + rows) {
            QVERIFY2(view->selectionModel()->isRowSelected(int(current - offset), {}),
                     qPrintable("current record not selected: " + where));
        } else {
            QVERIFY2(!view->selectionModel()->hasSelection(),
                     qPrintable("a record other than the current one is selected: " + where));
        }
    }

    // The current record lies in the rows the view shows whole or in part.
    void checkCurrentInView(QAbstractItemView* view, DataBinder* binder, const QString& step) {
        auto* model = qobject_cast<BinderModel*>(view->model());
        const qint64 row = binder->AbsolutePosition() - model->windowOffset();
        QVERIFY2(row >= 0 && row < model->rowCount(),
                 qPrintable(QStringLiteral("current record out of view after %1 (seed %2)").arg(step).arg(m_seed)));
        const QRect place = view->visualRect(model->index(int(row), 0));
        // A view too low for its header shows no row at all; the first row is still the one in view.
        QVERIFY2(place.top() < std::max(1, view->viewport()->height()),
                 qPrintable(QStringLiteral("current record below the view after %1 (seed %2)").arg(step).arg(m_seed)));
    }

private slots:
    void initTestCase() {
        applyProgramLook(*qApp);
        const QByteArray given = qgetenv("QUILLMERE_SEED");
        m_seed = given.isEmpty() ? QRandomGenerator::global()->generate() : given.toUInt();
        qInfo("random seed %u (set QUILLMERE_SEED to repeat)", m_seed);
    }

    void cleanup() {
        if (QTest::currentTestFailed())
            qWarning("failed with random seed %u (set QUILLMERE_SEED to repeat)", m_seed);
    }

    void notesOpenWithALongSubjectAmongShortOnes() {
        ProgramDirectory dir;
        for (int i = 4; i <= 11; ++i) {
            const QString title = i == 9 ? QStringLiteral("Insurance policy numbers for the house and car")
                                         : QStringLiteral("Note %1").arg(i);
            dir.exec("password.mdb",
                     QStringLiteral("INSERT INTO Notes (Title, Note) VALUES ('%1', 'text')").arg(title));
        }
        FakeContext fake(dir.path());
        MainWindow* main = fake.windows.show<MainWindow>(fake.context);
        QVERIFY(main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        click(main, "cmdNotes");
        QVERIFY(main->PicNotes->isVisible());
        QVERIFY(settle(main->PicNotes->DBList1));
        QCOMPARE(main->PicNotes->DBList1->model()->index(0, 0).data().toString(), QStringLiteral("Welcome"));
        QVERIFY(main->PicNotes->DBList1->selectionModel()->isRowSelected(0, {}));
    }

    void viewsAtRandomSizes_data() {
        QTest::addColumn<QString>("panelButton");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("notes list") << "cmdNotes"
                                    << "Notes" << QStringList{"Title", "Note"};
        QTest::newRow("passwords grid") << "cmdPasswords"
                                        << "account" << QStringList{"Account", "User", "Password"};
        QTest::newRow("reminders grid") << "cmdTodo"
                                        << "Reminder" << QStringList{"Date", "Reminder"};
    }

    void viewsAtRandomSizes() {
        QFETCH(QString, panelButton);
        QFETCH(QString, table);
        QFETCH(QStringList, fields);
        QRandomGenerator random(m_seed ^ qHash(table));
        const QStringList panels{"cmdPasswords", "cmdNotes", "cmdTodo", "cmdPersonal"};
        for (int round = 0; round < 10; ++round) {
            ProgramDirectory dir;
            const QStringList texts = fillTable(dir, {panelButton, table, fields}, random);
            FakeContext fake(dir.path());
            MainWindow* main = fake.windows.show<MainWindow>(fake.context);
            QVERIFY(main);
            QVERIFY(QTest::qWaitForWindowExposed(main));
            for (int i = 0; i < 4; ++i)
                click(main, panels.at(random.bounded(int(panels.size()))));
            click(main, panelButton);
            QAbstractItemView* view = viewOf(main, table);
            DataBinder* binder = binderOf(main, table);
            auto* bar = view->parentWidget()->findChild<QScrollBar*>(view->objectName() + "ScrollBar");
            QVERIFY(bar);
            const QString at = QStringLiteral("round %1, %2 records").arg(round).arg(texts.size());
            checkShown(view, binder, texts, "opening, " + at);

            for (int step = 0; step < 12; ++step) {
                const QString what = QStringLiteral("%1, step %2").arg(at).arg(step);
                switch (random.bounded(5)) {
                case 0:
                    view->resize(random.bounded(30, 700), random.bounded(12, 420));
                    checkShown(view, binder, texts, "resize, " + what);
                    break;
                case 1:
                    bar->setValue(random.bounded(bar->maximum() + 1));
                    checkShown(view, binder, texts, "scrolling, " + what);
                    break;
                case 2: {
                    const Qt::Key keys[] = {Qt::Key_Down,   Qt::Key_Up,  Qt::Key_PageDown,
                                            Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home};
                    QTest::keyClick(view, keys[random.bounded(6)]);
                    checkShown(view, binder, texts, "a key, " + what);
                    if (!texts.isEmpty())
                        checkCurrentInView(view, binder, "a key, " + what);
                    break;
                }
                case 3: {
                    QWheelEvent wheel(QPointF(5, 5), view->viewport()->mapToGlobal(QPointF(5, 5)), {},
                                      {0, random.bounded(2) ? 120 : -120}, Qt::NoButton, Qt::NoModifier,
                                      Qt::NoScrollPhase, false);
                    QApplication::sendEvent(view->viewport(), &wheel);
                    checkShown(view, binder, texts, "the wheel, " + what);
                    break;
                }
                default: {
                    auto* model = qobject_cast<BinderModel*>(view->model());
                    if (model->rowCount() == 0)
                        break;
                    const int row = random.bounded(model->rowCount());
                    const QRect place = view->visualRect(model->index(row, 0));
                    if (place.top() >= view->viewport()->height())
                        break;
                    const qint64 clicked = model->windowOffset() + row;
                    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, place.topLeft() + QPoint(2, 2));
                    checkShown(view, binder, texts, "a click, " + what);
                    QCOMPARE(binder->AbsolutePosition(), clicked);
                    checkCurrentInView(view, binder, "a click, " + what);
                }
                }
                if (QTest::currentTestFailed())
                    return;
            }
            fake.windows.closeAll();
        }
    }
};

QTEST_MAIN(RecordViewsTest)
#include "test_record_views.moc"
