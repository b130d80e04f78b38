// The built calibration plug-in's ISO road, run by the test kit's fixture as a plug-in author
// would run it: loaded by path into the host stand-in on the simulated controller, with the
// stand-in external programs in its work folder, driven by object name.
#include <pendanthome.h>

#include <tessel/testing/pluginfixture.h>

#include "pagereading.h"

#include <QDir>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

class tst_ShippedVeltraIso : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeIsoTest();

private:
    QWidget *card(const char *name) const { return pageCard(m_fixture.page(), name); }
    template <typename T>
    T *find(const char *card, const char *name) const
    {
        return cardChild<T>(m_fixture.page(), card, name);
    }
    void openTab(const char *button, int index);

    QTemporaryDir m_home;
    tessel::testing::PluginFixture m_fixture;
};

void tst_ShippedVeltraIso::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The work folder is in place before the plug-in starts, as the emulator prepares it.
    const QString home = m_home.filePath(QStringLiteral("home"));
    const QString previous = QDir::currentPath();
    QString error;
    QVERIFY2(PendantHome::prepare(home, &error, QStringLiteral(TOOLS_DIR)), qPrintable(error));
    // The settings are saved into the request file a calibration set-up leaves there.
    QFile request(QDir(home).filePath(PendantHome::workFolder() + QStringLiteral("/calibInfo.json")));
    QVERIFY(request.open(QIODevice::WriteOnly));
    request.close();
    QDir::setCurrent(previous);
    m_fixture.setHome(home);
    QVERIFY2(m_fixture.setUp(QStringLiteral(TESSEL_PLUGIN_PATH)),
             qPrintable(m_fixture.errorString()));
    QCOMPARE(m_fixture.pluginName(), QStringLiteral("Veltra"));
}

void tst_ShippedVeltraIso::openTab(const char *button, int index)
{
    auto *tab = m_fixture.findWidget<QPushButton>(QLatin1String(button));
    QVERIFY(tab);
    QTest::mouseClick(tab, Qt::LeftButton);
    QCOMPARE(m_fixture.findWidget<QStackedWidget>(QStringLiteral("stackedWidget"))->currentIndex(),
             index);
}

void tst_ShippedVeltraIso::wholeIsoTest()
{
    openTab("isoNavBtn", 2);
    QWidget *settings = card("setupisowidget");
    QWidget *display = card("displayisowidget");
    QVERIFY(settings && display);
    // The stand-in pose file's first pose of the SR6-900.
    QTRY_COMPARE(cellText(settings, "defaultLayout", 1, 1), QStringLiteral("520"));
    auto *start = find<QPushButton>("displayisowidget", "startISO");
    auto *keep = find<QPushButton>("displayisowidget", "saveReport");
    QVERIFY(!start->isEnabled());

    const QString reports = m_home.filePath(QStringLiteral("reports"));
    QVERIFY(QDir().mkpath(reports));
    m_fixture.typeIntoNextDialog(reports);
    QTest::mouseClick(find<QPushButton>("setupisowidget", "selectPathBtn"), Qt::LeftButton);
    QCOMPARE(m_fixture.messageBoxTexts().size(), 1);
    auto *samples = find<QLineEdit>("setupisowidget", "collectLineEdit");
    samples->selectAll();
    QTest::keyClicks(samples, "2");
    QTest::mouseClick(find<QPushButton>("setupisowidget", "saveBtn"), Qt::LeftButton);
    const QJsonObject config =
        readJson(workFile(QStringLiteral("calibInfo.json")))["iso_config"].toObject();
    QCOMPARE(config["sample_times"].toInt(), 2);
    QCOMPARE(config["save_path"].toString(), reports);
    QCOMPARE(config["iso_poses"].toObject()["point5"].toArray().first().toDouble(), 420.0);
    QVERIFY(start->isEnabled());

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(m_fixture.waitForMessageBoxes(2, 10000));
    QCOMPARE(m_fixture.messageBoxTexts().last(), QStringLiteral("ISO校准完成"));
    QCOMPARE(find<QLabel>("displayisowidget", "label_2")->text(), QStringLiteral("2 / 2"));
    QCOMPARE(start->text(), QStringLiteral("生成报告"));

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(m_fixture.waitForMessageBoxes(3, 10000));
    QCOMPARE(m_fixture.messageBoxTexts().last(), QStringLiteral("报告已生成"));
    QTRY_COMPARE(cellText(display, "gridLayout", 1, 1), QStringLiteral("0.182341"));
    QCOMPARE(cellText(display, "gridLayout", 5, 4), QStringLiteral("0.009718"));
    QVERIFY(keep->isEnabled());

    QTest::mouseClick(keep, Qt::LeftButton);
    QVERIFY(m_fixture.waitForMessageBoxes(4, 10000));
    QCOMPARE(m_fixture.messageBoxTexts().last(), QStringLiteral("报告已保存"));
    const QStringList saved =
        QDir(reports).entryList({QStringLiteral("iso_report_*")}, QDir::Dirs);
    QCOMPARE(saved.size(), 1);
    const QJsonObject copied =
        readJson(QDir(reports).filePath(saved.first() + QStringLiteral("/optimized_dh.json")));
    QCOMPARE(copied["iso_results"].toArray().size(), 5);
    QTRY_COMPARE(cellText(display, "gridLayout", 1, 1), QString());
    QCOMPARE(m_fixture.messageBoxTexts().size(), 4);
}

QTEST_MAIN(tst_ShippedVeltraIso)
#include "tst_shippedveltraiso.moc"
