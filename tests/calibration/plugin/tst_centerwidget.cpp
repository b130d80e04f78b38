#include "common/calibrationstate.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/infowidget.h"
#include "pages/setupwidget.h"
#include "plugin/centerwidget.h"
#include "records/recordwidget.h"

#include <support/guitestmain.h>
#include <support/temporarycurrentdir.h>

#include <QBoxLayout>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <memory>

namespace {

// The layout of `root`'s tree that holds `widget` itself.
QLayout *layoutHolding(QLayout *root, QWidget *widget)
{
    for (int i = 0; root && i < root->count(); ++i) {
        QLayoutItem *item = root->itemAt(i);
        if (item->widget() == widget)
            return root;
        if (QLayout *found = layoutHolding(item->layout(), widget))
            return found;
    }
    return nullptr;
}

const QString kUnchecked = QStringLiteral(
    "QPushButton {    background-color: #c8d2df;    color: #0f172a;    border: none;"
    "    border-radius: 8px;    padding: 0 18px;}QPushButton:hover {    background-color: "
    "#b7c5d8;}");
const QString kChecked = QStringLiteral(
    "QPushButton {    background-color: #2d5b8a;    color: #ffffff;    border: none;"
    "    border-radius: 8px;    padding: 0 18px;}QPushButton:hover {    background-color: "
    "#356899;}");

} // namespace

class tst_centerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void startState();
    void pagesArePlaced();
    void clickingTheCheckedButtonChangesNothing();
    void isoTabReloadsTheDefaultPosesEachTime();
    void recordsTab();
    void pageSetFromCodeChecksItsButton();
    void closingAResultResetsTheRunCardFirst_data();
    void closingAResultResetsTheRunCardFirst();
    void autoApplySwitchReachesTheResultCard();

private:
    QPushButton *navButton(const char *name) const;
    QStackedWidget *stack() const;
    void expectChecked(const char *checkedName) const;

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    std::unique_ptr<centerWidget> m_page;
    QPointer<displayisowidget> m_earlyPage;
};

QPushButton *tst_centerWidget::navButton(const char *name) const
{
    return m_page->findChild<QPushButton *>(QLatin1String(name));
}

QStackedWidget *tst_centerWidget::stack() const
{
    return m_page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
}

void tst_centerWidget::expectChecked(const char *checkedName) const
{
    for (const char *name : {"infoNavBtn", "calibNavBtn", "isoNavBtn", "recordNavBtn"}) {
        const bool checked = qstrcmp(name, checkedName) == 0;
        QCOMPARE(navButton(name)->isChecked(), checked);
        QCOMPARE(navButton(name)->styleSheet(), checked ? kChecked : kUnchecked);
    }
}

void tst_centerWidget::initTestCase()
{
    m_dir = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_dir->isValid());
    // The main page's fixed work folder, relative here.
    QVERIFY(QDir().mkpath(QStringLiteral("D:/VeltraPemba/iso")));
    QFile poses(QStringLiteral("D:/VeltraPemba/iso/default_iso_poses.json"));
    QVERIFY(poses.open(QIODevice::WriteOnly));
    poses.write(R"({"configs": [{"robots": ["SR6-900"], "iso_poses": {
        "point1": [1, 2, 3, 4, 5, 6], "point2": [7, 8, 9, 10, 11, 12]}}]})");
    poses.close();
    common::robotType = QStringLiteral("SR6-900");

    // Another page's constructor may ask for a page before the main page exists.
    m_earlyPage = displayisowidget::instance();
    QVERIFY(m_earlyPage);
    QVERIFY(!m_earlyPage->parentWidget());

    m_page = std::make_unique<centerWidget>();
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void tst_centerWidget::startState()
{
    QCOMPARE(m_page->objectName(), QStringLiteral("centerWidget"));
    QCOMPARE(stack()->currentIndex(), 0);
    // The three tabs, then the records.
    QCOMPARE(stack()->count(), 4);
    auto *nav = m_page->findChild<QHBoxLayout *>(QStringLiteral("navLayout"));
    QStringList order;
    for (int i = 0; i < nav->count(); ++i) {
        if (QWidget *button = nav->itemAt(i)->widget())
            order << button->objectName();
    }
    QCOMPARE(order, (QStringList{"infoNavBtn", "calibNavBtn", "isoNavBtn", "recordNavBtn"}));
    QCOMPARE(navButton("recordNavBtn")->text(), QStringLiteral("记录"));
    QCOMPARE(navButton("isoNavBtn")->text(), QStringLiteral("Iso"));
    expectChecked("infoNavBtn");
    QCOMPARE(common::workFolder, QStringLiteral("D:/VeltraPemba"));
    for (const char *name : {"infoNavBtn", "calibNavBtn", "isoNavBtn", "recordNavBtn"}) {
        QCOMPARE(navButton(name)->minimumSize(), QSize(92, 40));
        QCOMPARE(navButton(name)->maximumHeight(), 40);
    }
}

void tst_centerWidget::pagesArePlaced()
{
    const auto placedIn = [this](QWidget *page, const char *frame, const char *layout) {
        auto *parent = m_page->findChild<QWidget *>(QLatin1String(frame));
        QLayout *holder = parent ? layoutHolding(parent->layout(), page) : nullptr;
        return holder && page->parentWidget() == parent
               && holder->objectName() == QLatin1String(layout);
    };
    QVERIFY(placedIn(infoWidget::instance(), "infoPage", "infoPageLayout"));
    QVERIFY(placedIn(setupWidget::instance(), "tab1", "verticalLayout"));
    QVERIFY(placedIn(calibWidget::instance(), "tab1", "verticalLayout"));
    QVERIFY(placedIn(dhparameterWidget::instance(), "tab1Frame", "frameLayout"));
    QVERIFY(placedIn(setupisowidget::instance(), "tab2LeftFrame", "tab2LeftFrameLayout"));
    QVERIFY(placedIn(displayisowidget::instance(), "tab2RightFrame", "tab2RightFrameLayout"));
    QVERIFY(placedIn(recordWidget::instance(), "recordPage", "recordPageLayout"));

    // The page made before the main page is the one placed, and a call without a parent
    // leaves it where it is.
    QCOMPARE(displayisowidget::instance(), m_earlyPage.data());
    QVERIFY(placedIn(m_earlyPage, "tab2RightFrame", "tab2RightFrameLayout"));

    auto *column = qobject_cast<QBoxLayout *>(
        layoutHolding(m_page->findChild<QWidget *>(QStringLiteral("tab1"))->layout(),
                      setupWidget::instance()));
    QVERIFY(column);
    QCOMPARE(column->indexOf(setupWidget::instance()), 0);
    QCOMPARE(column->stretch(0), 3);
    QCOMPARE(column->stretch(1), 1);
    QCOMPARE(column->spacing(), 40);
    QCOMPARE(m_page->findChild<QBoxLayout *>(QStringLiteral("frameLayout"))->contentsMargins(),
             QMargins(10, 20, 20, 20));
}

void tst_centerWidget::clickingTheCheckedButtonChangesNothing()
{
    QSignalSpy changes(stack(), &QStackedWidget::currentChanged);
    QTest::mouseClick(navButton("infoNavBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 0);
    QCOMPARE(changes.count(), 0);
    expectChecked("infoNavBtn");
}

void tst_centerWidget::isoTabReloadsTheDefaultPosesEachTime()
{
    setupisowidget::instance()->handleNetworkConnected();
    common::defaultIsoPoses.clear();
    QTest::mouseClick(navButton("isoNavBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 2);
    expectChecked("isoNavBtn");
    QCOMPARE(common::defaultIsoPoses.size(), 5);
    QCOMPARE(common::defaultIsoPoses.at(1), QVector<double>({7, 8, 9, 10, 11, 12}));

    common::defaultIsoPoses.clear();
    QTest::mouseClick(navButton("calibNavBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 1);
    QVERIFY(common::defaultIsoPoses.isEmpty());
    QTest::mouseClick(navButton("isoNavBtn"), Qt::LeftButton);
    QCOMPARE(common::defaultIsoPoses.size(), 5);
}

void tst_centerWidget::recordsTab()
{
    QTest::mouseClick(navButton("recordNavBtn"), Qt::LeftButton);
    QCOMPARE(stack()->currentIndex(), 3);
    expectChecked("recordNavBtn");
    QVERIFY(recordWidget::instance()->isVisible());
    QTest::mouseClick(navButton("infoNavBtn"), Qt::LeftButton);
    expectChecked("infoNavBtn");
}

void tst_centerWidget::pageSetFromCodeChecksItsButton()
{
    stack()->setCurrentIndex(0);
    expectChecked("infoNavBtn");
    stack()->setCurrentIndex(1);
    expectChecked("calibNavBtn");
}

void tst_centerWidget::closingAResultResetsTheRunCardFirst_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("give up") << false;
    QTest::newRow("confirm") << true;
}

void tst_centerWidget::closingAResultResetsTheRunCardFirst()
{
    QFETCH(bool, confirm);
    auto *runButton =
        calibWidget::instance()->findChild<QPushButton *>(QStringLiteral("runCalibrationBtn"));
    auto *sn = setupWidget::instance()->findChild<QLineEdit *>(QStringLiteral("snLineEdit"));
    QVERIFY(runButton && sn);
    runButton->setText(QStringLiteral("busy"));
    runButton->setEnabled(false);
    sn->setText(QStringLiteral("SN-1"));

    // The setup page clears the serial number as it resets: the run card must be reset by then.
    QString runButtonWhenSetupReset;
    const auto connection = connect(sn, &QLineEdit::textChanged, this, [&] {
        runButtonWhenSetupReset = runButton->text();
    });
    if (confirm)
        emit dhparameterWidget::instance()->confirmBtnSingals();
    else
        emit dhparameterWidget::instance()->giveupBtnSignals();
    disconnect(connection);

    QCOMPARE(runButtonWhenSetupReset, QStringLiteral("启动标定"));
    QVERIFY(runButton->isEnabled());
    QVERIFY(sn->text().isEmpty());
}

void tst_centerWidget::autoApplySwitchReachesTheResultCard()
{
    dhparameterWidget *result = dhparameterWidget::instance();
    emit setupWidget::instance()->autoApplyToggled(true);
    QVERIFY(result->isAutoApplyEnabled());
    emit setupWidget::instance()->autoApplyToggled(false);
    QVERIFY(!result->isAutoApplyEnabled());
}

SUPPORT_GUI_TEST_MAIN(tst_centerWidget)
#include "tst_centerwidget.moc"
