#include "pendantlanguage.h"
#include "pendantoptions.h"
#include "pendantsession.h"
#include "pendantwindow.h"
#include "windowinspector.h"

#include <nabuSkald/centerwidget.h>
#include <nabusrv/vantor.h>
#include <nabuCore/moduleobject.h>

#include <QDir>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

// The emulator on a pendant's screen, in one language at one size (CTest runs each pair): the
// window keeps its size whatever the page, and in every state the demo passes through no page
// scrolls sideways, no widget is cut off by its parent, every control can be scrolled into
// view and every text fits its room.
class tst_PendantWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyPageFitsInEveryStateOfTheDemo();
};

void tst_PendantWindow::everyPageFitsInEveryStateOfTheDemo()
{
    // One window per process (the plug-ins register once).
    const QString size = qEnvironmentVariable("PENDANT_TEST_SIZE", QStringLiteral("1280x800"));
    const QString lang = qEnvironmentVariable("PENDANT_TEST_LANG", QStringLiteral("zh"));
    PendantLanguage language;
    QVERIFY(language.apply(lang));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
         QStringLiteral("--plugins"), QStringLiteral(SHIPPED_PLUGIN_DIR), QStringLiteral("--size"),
         size, QStringLiteral("--reboot-delay"), QStringLiteral("300"),
         QStringLiteral("--motion-pace"), QStringLiteral("100"), QStringLiteral("--lang"), lang});
    QVERIFY2(options.ok, qPrintable(options.error));
    const QString where = size + QLatin1Char(' ') + lang;
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
        const auto check = [&](const QString &state) {
            // Layouts settle in posted events, a level at a time.
            QTest::qWait(60);
            ++views;
            if (window->size() != options.windowSize)
                problems << state + QStringLiteral(": the window became %1x%2")
                                        .arg(window->width())
                                        .arg(window->height());
            for (const QString &problem : WindowInspector::problems(window))
                problems << state + QStringLiteral(": ") + problem;
        };
        const auto visitTabs = [&](QWidget *within, const QString &state) {
            // Tabs as tab widgets, or as stacks switched by buttons.
            for (QTabWidget *tabs : within->findChildren<QTabWidget *>()) {
                const int shown = tabs->currentIndex();
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    check(QStringLiteral("%1 tab %2").arg(state).arg(i));
                }
                tabs->setCurrentIndex(shown);
            }
            for (QStackedWidget *stack : within->findChildren<QStackedWidget *>()) {
                const int shown = stack->currentIndex();
                for (int i = 0; i < stack->count(); ++i) {
                    stack->setCurrentIndex(i);
                    check(QStringLiteral("%1 %2 %3").arg(state, stack->objectName()).arg(i));
                }
                stack->setCurrentIndex(shown);
            }
        };
        const auto walk = [&](const QString &state) {
            for (const auto &entry : entries) {
                QVERIFY(window->showNavigation(entry.second));
                check(state + QLatin1Char(' ') + entry.second);
                visitTabs(window->centerArea()->currentWidget(),
                          state + QLatin1Char(' ') + entry.second);
            }
            visitTabs(window->findChild<QWidget *>(QStringLiteral("sidePanel")),
                      state + QStringLiteral(" side panel"));
        };

        walk(QStringLiteral("at start"));
        // Each picture of the demo is a state an operator sees: the calibration result, the
        // report folder chosen, the report saved, the controller rebooting.
        QStringList pictures;
        session.setPictureHook([&](const QString &what) {
            pictures << what;
            // A result waits for the operator's choice: its two buttons are on screen, whole.
            // Looked at first: the walk scrolls every control into view in turn.
            if (what == QLatin1String("veltra-calib-result")) {
                QTest::qWait(60);
                for (const char *name : {"giveUpBtn", "confirmBtn"}) {
                    const auto *button = window->findChild<QPushButton *>(QLatin1String(name));
                    if (!button || button->visibleRegion().boundingRect() != button->rect())
                        problems << QStringLiteral("demo %1: %2 not in view").arg(what, name);
                }
            }
            check(QStringLiteral("demo ") + what);
        });
        QStringList steps;
        connect(&session, &PendantSession::message, this, [&steps](const QString &text) {
            if (text.contains(QLatin1String("step")))
                steps << text;
        });
        bool succeeded = false;
        // Run here rather than by --demo, which would start it on its own once the link is up.
        QVERIFY(!session.runDemo(dir.filePath(QStringLiteral("shots")), &succeeded).isEmpty());
        session.setPictureHook(nullptr);
        // The figures are the demo's own test; here its states count.
        if (!succeeded) {
            for (const QString &step : qAsConst(steps))
                qWarning("%s", qPrintable(step));
        }
        for (const char *state : {"veltra-calib-unlocked", "veltra-calib-result",
                                  "veltra-calib-given-up", "veltra-iso-report-uncalibrated",
                                  "veltra-iso-saved-uncalibrated", "veltra-calib-applied",
                                  "program-editor", "controller-rebooting"})
            QVERIFY2(pictures.contains(QLatin1String(state)),
                     qPrintable(QStringLiteral("no state %1 in %2\n%3")
                                    .arg(QLatin1String(state), pictures.join(QLatin1Char(' ')),
                                         steps.join(QLatin1Char('\n')))));
        walk(QStringLiteral("after the demo"));
        problems.removeDuplicates();
        // One line each: a long message is cut by the test log.
        for (const QString &problem : qAsConst(problems))
            qWarning("%s: %s", qPrintable(where), qPrintable(problem));
        QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("%1: %2 problem(s)")
                                                    .arg(where)
                                                    .arg(problems.size())));
        // Every page was looked at twice, the three Veltra tabs and the side panel's two among
        // them, and the demo's pictures.
        QVERIFY(views >= 2 * (entries.size() + 5) + 10);
    }
    QDir::setCurrent(previous);
}

QTEST_MAIN(tst_PendantWindow)
#include "tst_pendantwindow.moc"
