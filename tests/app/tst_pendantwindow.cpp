#include "pendantoptions.h"
#include "pendantsession.h"
#include "pendantwindow.h"

#include <nabuSkald/centerwidget.h>
#include <nabusrv/vantor.h>
#include <nabuCore/moduleobject.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>


namespace {

bool isControl(const QWidget *widget)
{
    return qobject_cast<const QAbstractButton *>(widget) || qobject_cast<const QLineEdit *>(widget)
           || qobject_cast<const QComboBox *>(widget)
           || qobject_cast<const QAbstractSpinBox *>(widget)
           || qobject_cast<const QAbstractItemView *>(widget);
}

QString describe(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    const auto *label = qobject_cast<const QLabel *>(widget);
    const QString text = button ? button->text() : label ? label->text() : QString();
    return QStringLiteral("%1 \"%2\" %3").arg(widget->metaObject()->className(),
                                              widget->objectName(), text.left(30));
}

// Inside a scrolled view of its own (a list's or a table's cells): that view is the control.
bool insideInnerView(const QWidget *widget, const QWidget *window, const QScrollArea *outer)
{
    for (const QWidget *w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
        const auto *area = qobject_cast<const QAbstractScrollArea *>(w);
        if (area && area != outer)
            return true;
        if (qobject_cast<const QComboBox *>(w) || qobject_cast<const QScrollBar *>(w))
            return true;
    }
    return false;
}

} // namespace

// The emulator on a pendant's screen: the window keeps its size whatever the page, and every
// control of every page and tab can be scrolled into view.
class tst_PendantWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyControlIsReachableAtPendantSizes();

private:
    // Controls that cannot be brought into the window, and texts cut by their room.
    QStringList unreachable(PendantWindow *window) const;
    QStringList clipped(PendantWindow *window) const;
    // Widgets outside the scrolled page that stick out of their parent: cut off for good.
    QStringList cutOff(PendantWindow *window) const;
};

QStringList tst_PendantWindow::unreachable(PendantWindow *window) const
{
    QScrollArea *scroll = window->centerScroll();
    const QWidget *side = window->findChild<QWidget *>(QStringLiteral("sidePanel"));
    const auto *splitter = window->findChild<QSplitter *>(QStringLiteral("sideSplitter"));
    const bool folded = splitter->sizes().value(1) == 0;
    QStringList found;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!isControl(widget) || !widget->isVisible() || !widget->isEnabled()
            || insideInnerView(widget, window, scroll))
            continue;
        // A side panel folded away is reached by dragging its splitter handle.
        if (folded && side->isAncestorOf(widget))
            continue;
        QRect room = window->rect();
        if (scroll->isAncestorOf(widget)) {
            // ensureWidgetVisible() shows only the text cursor of an input; the whole
            // control is wanted.
            scroll->ensureWidgetVisible(widget, 0, 0);
            const QRect inPage(widget->mapTo(scroll->widget(), QPoint()), widget->size());
            scroll->ensureVisible(inPage.center().x(), inPage.center().y(),
                                  inPage.width() / 2 + 1, inPage.height() / 2 + 1);
            // One wider than the room shows from its start.
            scroll->ensureVisible(inPage.left(), inPage.top(), 1, 1);
            room = QRect(scroll->viewport()->mapTo(window, QPoint()), scroll->viewport()->size());
        }
        const QRect place(widget->mapTo(window, QPoint()), widget->size());
        // A control larger than the room must at least show its start.
        const bool fits = place.width() <= room.width() && place.height() <= room.height();
        if (fits ? !room.contains(place) : !room.contains(place.topLeft()))
            found << describe(widget) + QStringLiteral(" at %1,%2 %3x%4")
                                            .arg(place.x())
                                            .arg(place.y())
                                            .arg(place.width())
                                            .arg(place.height());
    }
    return found;
}

QStringList tst_PendantWindow::cutOff(PendantWindow *window) const
{
    QStringList found;
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        QWidget *parent = widget->parentWidget();
        if (!widget->isVisible() || !parent || widget->isWindow()
            || insideInnerView(widget, window, nullptr))
            continue;
        // A splitter moves a part folded to nothing out of sight; it is opened by its handle.
        const auto *splitter = qobject_cast<const QSplitter *>(parent);
        if (splitter && splitter->sizes().value(splitter->indexOf(widget)) == 0)
            continue;
        if (!parent->rect().contains(widget->geometry()))
            found << describe(widget) + QStringLiteral(" %1x%2 at %3,%4 in %5 of %6x%7")
                                            .arg(widget->width())
                                            .arg(widget->height())
                                            .arg(widget->x())
                                            .arg(widget->y())
                                            .arg(describe(parent))
                                            .arg(parent->width())
                                            .arg(parent->height());
    }
    return found;
}

QStringList tst_PendantWindow::clipped(PendantWindow *window) const
{
    QStringList found;
    const QList<QLabel *> labels = window->centerArea()->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!label->isVisible() || label->wordWrap() || label->text().isEmpty()
            || !label->pixmap(Qt::ReturnByValue).isNull())
            continue;
        const QSize needed = label->minimumSizeHint();
        if (label->width() < needed.width() || label->height() < needed.height())
            found << describe(label) + QStringLiteral(" %1x%2 of %3x%4")
                                           .arg(label->width())
                                           .arg(label->height())
                                           .arg(needed.width())
                                           .arg(needed.height());
    }
    return found;
}

void tst_PendantWindow::everyControlIsReachableAtPendantSizes()
{
    // One window per process (the plug-ins register once); CTest runs this at each size.
    const QString size = qEnvironmentVariable("PENDANT_TEST_SIZE", QStringLiteral("1280x800"));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
         QStringLiteral("--plugins"), QStringLiteral(SHIPPED_PLUGIN_DIR), QStringLiteral("--size"),
         size});
    QVERIFY2(options.ok, qPrintable(options.error));
    {
        PendantSession session(options);
        QVERIFY(session.start());
        PendantWindow *window = session.window();
        QCOMPARE(window->size(), options.windowSize);
        QTRY_VERIFY(sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false));
        const auto entries = window->navigationEntries();
        QVERIFY(entries.size() >= 5);

        QStringList problems;
        int views = 0;
        const auto check = [&](const QString &where) {
            // Layouts settle in posted events, a level at a time.
            QTest::qWait(100);
            ++views;
            if (window->size() != options.windowSize)
                problems << where + QStringLiteral(": the window became %1x%2")
                                        .arg(window->width())
                                        .arg(window->height());
            for (const QString &problem : unreachable(window))
                problems << where + QStringLiteral(": unreachable ") + problem;
            for (const QString &problem : clipped(window))
                problems << where + QStringLiteral(": clipped ") + problem;
            for (const QString &problem : cutOff(window))
                problems << where + QStringLiteral(": cut off ") + problem;
        };
        const auto visitTabs = [&](QWidget *within, const QString &where) {
            // Tabs as tab widgets, or as stacks switched by buttons.
            for (QTabWidget *tabs : within->findChildren<QTabWidget *>()) {
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    check(QStringLiteral("%1 tab %2").arg(where).arg(i));
                }
                tabs->setCurrentIndex(0);
            }
            for (QStackedWidget *stack : within->findChildren<QStackedWidget *>()) {
                for (int i = 0; i < stack->count(); ++i) {
                    stack->setCurrentIndex(i);
                    check(QStringLiteral("%1 %2 %3").arg(where, stack->objectName()).arg(i));
                }
                stack->setCurrentIndex(0);
            }
        };
        for (const auto &entry : entries) {
            QVERIFY(window->showNavigation(entry.second));
            check(entry.second);
            visitTabs(window->centerArea()->currentWidget(), entry.second);
        }
        visitTabs(window->findChild<QWidget *>(QStringLiteral("sidePanel")),
                  QStringLiteral("side panel"));
        QVERIFY2(problems.isEmpty(), qPrintable(size + QStringLiteral(":\n")
                                                + problems.join(QLatin1Char('\n'))));
        // Every page was looked at, the three Veltra tabs and the side panel's two among them.
        QVERIFY(views >= entries.size() + 5);
    }
    QDir::setCurrent(previous);
}

QTEST_MAIN(tst_PendantWindow)
#include "tst_pendantwindow.moc"
