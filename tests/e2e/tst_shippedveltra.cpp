#include <pendanthome.h>
#include <pendantoptions.h>
#include <pendantsession.h>
#include <pendantwindow.h>
#include <nabuSkald/pluginloader.h>
#include <veltrademo.h>

#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>

#include "pagereading.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kSetAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kReboot = QStringLiteral("system.controller.reboot");

bool linkUp()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

// Every visible text of a card's table that its label cannot show whole once scrolled into
// view, and not elided with the whole text as tool tip either.
QStringList clippedTexts(QWidget *card, QScrollArea *scroll)
{
    QStringList clipped;
    auto *grid = card->findChild<QGridLayout *>(QStringLiteral("tableLayout"));
    for (int i = 0; grid && i < grid->count(); ++i) {
        QWidget *widget = grid->itemAt(i)->widget();
        if (!widget || !widget->isVisible())
            continue;
        QList<QLabel *> labels = widget->findChildren<QLabel *>();
        if (auto *label = qobject_cast<QLabel *>(widget))
            labels.prepend(label);
        for (QLabel *label : labels) {
            const QString text = label->text();
            if (!label->isVisible() || text.isEmpty() || label->toolTip() == text)
                continue;
            const int needed = label->fontMetrics().horizontalAdvance(text);
            scroll->ensureWidgetVisible(label, 0, 0);
            const int shown = label->visibleRegion().boundingRect().width();
            if (shown < needed)
                clipped << QStringLiteral("%1 (%2 of %3 px)").arg(text).arg(shown).arg(needed);
        }
    }
    return clipped;
}

} // namespace

// The built plug-in library as the pendant emulator runs it: loaded from the plug-in folder,
// its module made through the host's module factory and driven through its lifecycle, on the
// simulated controller, with the stand-in external programs in its work folder. The tests only
// find widgets by their object names and press them.
class tst_ShippedVeltra : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void informationShowsEveryStep();
    void wholeCalibrationWithAutomaticApply();
    void cleanupTestCase();

private:
    QWidget *card(const char *name) const { return pageCard(m_page, name); }
    template <typename T>
    T *find(const char *card, const char *name) const
    {
        return cardChild<T>(m_page, card, name);
    }
    void openTab(const char *button, int index);

    QTemporaryDir m_home;
    QString m_previousDir;
    std::unique_ptr<PendantSession> m_session;
    QWidget *m_page = nullptr;
};

void tst_ShippedVeltra::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_previousDir = QDir::currentPath();
    PendantOptions options = PendantOptions::fromArguments({QStringLiteral("pendant")});
    options.home = m_home.filePath(QStringLiteral("home"));
    options.pluginDir = QStringLiteral(VELTRA_PLUGIN_DIR);
    options.toolsDir = QStringLiteral(TOOLS_DIR);
    options.robotModel = QStringLiteral("SR6-900");
    options.rebootDelayMs = 300;
    m_session.reset(new PendantSession(options));
    QVERIFY(m_session->start());
    QVERIFY(m_session->loader()->moduleNames().contains(QStringLiteral("Veltra")));
    QTRY_VERIFY_WITH_TIMEOUT(linkUp(), 5000);

    PendantWindow *window = m_session->window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QString nav;
    for (const auto &entry : window->navigationEntries()) {
        QVERIFY(window->showNavigation(entry.second));
        if (VeltraDemo::findPage(window->centerArea()->currentWidget())) {
            nav = entry.second;
            break;
        }
    }
    QVERIFY2(!nav.isEmpty(), "no navigation entry shows the Veltra page");
    m_page = VeltraDemo::findPage(window->centerArea()->currentWidget());
}

void tst_ShippedVeltra::openTab(const char *button, int index)
{
    auto *tab = m_page->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(tab);
    QTest::mouseClick(tab, Qt::LeftButton);
    QCOMPARE(m_page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(),
             index);
    QTest::qWait(50); // layouts settle
}

// Every usage step and every line of the other cards can be read: as the emulator comes up, on
// the tab its page opens with, and in wider windows.
void tst_ShippedVeltra::informationShowsEveryStep()
{
    QCOMPARE(m_page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"))->currentIndex(),
             0);
    PendantWindow *window = m_session->window();
    const QSize initial = window->size();
    for (const int width : {initial.width(), initial.width() + 150, initial.width() + 400}) {
        window->setFixedSize(width, initial.height());
        QTest::qWait(100);
        for (const char *name : {"usageLabel", "modeIntroLabel", "versionValueLabel"}) {
            auto *label = find<QLabel>("infoWidget", name);
            QVERIFY(label && label->isVisible());
            window->centerScroll()->ensureWidgetVisible(label, 0, 0);
            const int needed = label->heightForWidth(label->contentsRect().width());
            const QRect shown = label->visibleRegion().boundingRect();
            QVERIFY2(shown.height() >= needed && shown.width() == label->width(),
                     qPrintable(QStringLiteral("%1 at window width %2 shows %3 of %4 px")
                                    .arg(name)
                                    .arg(window->width())
                                    .arg(shown.height())
                                    .arg(needed)));
        }
    }
    QVERIFY(find<QLabel>("infoWidget", "usageLabel")->text().contains(QStringLiteral("步骤 5")));
    window->setFixedSize(initial);
}

void tst_ShippedVeltra::wholeCalibrationWithAutomaticApply()
{
    sim::SimulatedController *controller = m_session->controller();
    const QVector<double> factory = controller->dhParams();
    openTab("calibNavBtn", 1);
    QWidget *setup = card("setupWidget");
    QWidget *result = card("dhparameterWidget");
    QVERIFY(setup && result && card("calibWidget"));
    QTRY_COMPARE(cellText(result, "tableLayout", 7, 0), QStringLiteral("J6"));
    QCOMPARE(cellText(setup, "tableLayout", 3, 1), QString::number(factory[4], 'g', 6));
    QVERIFY(find<QAbstractButton>("setupWidget", "autoApplySwitch")->isChecked());
    controller->clearCalls();

    support::ModalDialogWatcher watcher;
    QTest::keyClicks(find<QLineEdit>("setupWidget", "snLineEdit"), "SN-SHIPPED-1");
    auto *start = find<QPushButton>("calibWidget", "runCalibrationBtn");
    auto *status = find<QLabel>("calibWidget", "calibrationLabel");
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(start->text(), QStringLiteral("取消标定"));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("请检查右侧数据并应用参数"), 15000);
    const QJsonObject file = readJson(workFile(QStringLiteral("optimized_dh.json")));
    const QJsonObject joint2 = file["dh_parameters"].toObject()["joint_2"].toObject();
    // New cells show once the event loop has run: the layout shows them queued.
    QTRY_COMPARE(cellText(result, "tableLayout", 3, 5),
                 QString::number(joint2["alpha"].toDouble(), 'f', 4));
    QCOMPARE(find<QLineEdit>("dhparameterWidget", "averagePosErrorText")->text(),
             QStringLiteral("0.1234"));
    QVERIFY(QFile::exists(workFile(QStringLiteral("results/calib_results/SN-SHIPPED-1.xlsx"))));

    // The gate passed: the write follows by itself, then the controller reboots.
    QTRY_COMPARE_WITH_TIMEOUT(controller->callsOf(kReboot).size(), 1, 6000);
    QStringList writes;
    for (const auto &call : controller->calls())
        if (call.name == kSetAll || call.name == kSetZero || call.name == kReboot)
            writes << call.name;
    QCOMPARE(writes, (QStringList{kSetAll, kSetZero, kReboot}));
    const QJsonArray sent = controller->callsOf(kSetAll).first().payload["DH_params_all"].toArray();
    QCOMPARE(sent.size(), 24);
    QCOMPARE(sent[4].toDouble(), joint2["alpha"].toDouble());
    QCOMPARE(sent[7].toDouble(), factory[7]); // theta stays the controller's
    QCOMPARE(controller->callsOf(kSetZero).first().payload["joint_angle_A"].toArray(),
             file["zero_points"].toArray());
    QCOMPARE(start->text(), QStringLiteral("启动标定"));
    QVERIFY(start->isEnabled());
    QCOMPARE(find<QLineEdit>("setupWidget", "snLineEdit")->text(), QString());
    QCOMPARE(watcher.count(), 0);

    // Back from the reboot, both tables show the new set.
    QTRY_VERIFY_WITH_TIMEOUT(!linkUp(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(linkUp(), 5000);
    QCOMPARE(controller->rebootCount(), 1);
    const QString alpha2 = QString::number(joint2["alpha"].toDouble(), 'g', 6);
    QTRY_COMPARE(cellText(setup, "tableLayout", 3, 1), alpha2);
    QTRY_COMPARE(cellText(result, "tableLayout", 3, 1),
                 QString::number(joint2["alpha"].toDouble(), 'f', 4));

    // Those values are read whole, at the size the emulator's window takes and wider.
    const QSize initial = m_session->window()->size();
    QScrollArea *scroll = m_session->window()->centerScroll();
    for (const int width : {initial.width(), initial.width() + 150, initial.width() + 400}) {
        m_session->window()->setFixedSize(width, initial.height());
        QTest::qWait(100);
        const QStringList clipped = clippedTexts(setup, scroll) + clippedTexts(result, scroll);
        QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("at window width %1: %2")
                                                   .arg(m_session->window()->width())
                                                   .arg(clipped.join(QStringLiteral(", ")))));
    }
    m_session->window()->setFixedSize(initial);
}

void tst_ShippedVeltra::cleanupTestCase()
{
    m_session.reset();
    QDir::setCurrent(m_previousDir);
}

SUPPORT_GUI_TEST_MAIN(tst_ShippedVeltra)
#include "tst_shippedveltra.moc"
