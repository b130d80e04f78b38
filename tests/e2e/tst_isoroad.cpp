#include "common/common.h"
#include "interface/interfacemanager.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"

#include <calibration/iso/isotesthelpers.h>
#include <sim/controller/simulatedcontroller.h>
#include <support/fakeprogram.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <memory>

using support::FakeProgram;
using tessel::tesselInterface;

namespace {

using isotest::Poses;

// Distinct per model, with fractions that the 'g' format keeps.
Poses posesOf(double base)
{
    Poses poses;
    for (int k = 1; k <= 5; ++k)
        poses.append({base + 10.5 * k, -150.25 + k, 500.125, 180.0, 0.5 * k, -179.5});
    return poses;
}

QJsonObject entry(const QString &model, const Poses &poses)
{
    return {{"robots", QJsonArray{model}}, {"iso_poses", isotest::isoPosesJson(poses)}};
}

bool writeJson(const QString &path, const QJsonObject &object)
{
    return isotest::writeFile(path, QJsonDocument(object).toJson());
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(isotest::readFile(path)).object();
}

struct Figures
{
    double accuracy, repeatability, rms, stdDev;
};

const Figures kFigures[5] = {{0.1234, 0.0101, 0.1111, 0.0011},
                             {0.2345, 0.0202, 0.2222, 0.0022},
                             {0.3456, 0.0303, 0.3333, 0.0033},
                             {0.4567, 0.0404, 0.4444, 0.0044},
                             {0.5678, 0.0505, 0.5555, 0.0055}};

} // namespace

class tst_IsoRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeIsoTest();
    void cleanupTestCase();

private:
    QPushButton *runButton(const char *name) const
    {
        return displayisowidget::instance()->findChild<QPushButton *>(name);
    }
    QString progress(const char *name) const
    {
        return displayisowidget::instance()->findChild<QLabel *>(name)->text();
    }

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    std::unique_ptr<QStackedWidget> m_stack;
    support::SimHost *m_host = nullptr;
};

// The ISO tab as the main page lays it out and wires it, made before the controller link comes
// up, as at the pendant's start; the work folder as a calibration left it.
void tst_IsoRoad::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    common::workFolder = m_dir->filePath("work");
    // The later entry also lists SR7-800: only the first match counts.
    const QJsonArray configs{entry("SR6-900", posesOf(300.0)), entry("SR7-800", posesOf(400.0)),
                             entry("SR7-800", posesOf(900.0))};
    QVERIFY(writeJson(common::workFolder + "/iso/default_iso_poses.json", {{"configs", configs}}));
    const QJsonObject request{
        {"file_type", "calib_info"},
        {"mode", "normal"},
        {"robot_profile", QJsonObject{{"ip", "192.168.1.10"}, {"serial_number", "SN-ISO-7"},
                                      {"robot_name", "SR7-800"}, {"model_type", 3}}},
        {"algorithm_constraints", QJsonArray()}};
    QVERIFY(writeJson(common::workFolder + "/calibInfo.json", request));
    QVERIFY(writeJson(common::workFolder + "/optimized_dh.json", {{"status", 1}}));
    QVERIFY(QDir().mkpath(common::workFolder + "/iso/collectisoposes"));
    QVERIFY(QDir().mkpath(common::workFolder + "/iso/scripts"));

    tesselInterface();
    m_host = new support::SimHost(this);
    // The setup page's part on every link-up: record the identity, then tell the ISO card.
    connect(&tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect, this, [] {
        common::robotType = tesselInterface().getRobotType();
        setupisowidget::instance()->handleNetworkConnected();
    });

    m_stack.reset(new QStackedWidget);
    m_stack->addWidget(new QWidget(m_stack.get()));
    m_stack->addWidget(new QWidget(m_stack.get()));
    auto *tab2 = new QWidget(m_stack.get());
    auto *row = new QHBoxLayout(tab2);
    auto *leftFrame = new QFrame(tab2);
    auto *rightFrame = new QFrame(tab2);
    (new QVBoxLayout(leftFrame))->addWidget(setupisowidget::instance(leftFrame));
    (new QVBoxLayout(rightFrame))->addWidget(displayisowidget::instance(rightFrame));
    row->addWidget(leftFrame, 1);
    row->addWidget(rightFrame, 1);
    m_stack->addWidget(tab2);
    connect(m_stack.get(), &QStackedWidget::currentChanged, this, [](int index) {
        if (index == 2)
            setupisowidget::instance()->loadDefaultIsoPoses();
    });
    m_stack->resize(1200, 600);
    m_stack->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_stack.get()));
}

void tst_IsoRoad::wholeIsoTest()
{
    setupisowidget *settings = setupisowidget::instance();
    displayisowidget *run = displayisowidget::instance();
    QCOMPARE(run->parentWidget()->parentWidget(), settings->parentWidget()->parentWidget());
    QPushButton *start = runButton("startISO");
    QPushButton *save = runButton("saveReport");
    QPushButton *giveUp = runButton("giveupBtn");
    support::ModalDialogWatcher watcher;

    // Before the robot's identity is known, showing the tab loads nothing.
    m_stack->setCurrentIndex(2);
    QVERIFY(isotest::pluginLogText().contains("loadDefaultIsoPoses skipped"));
    QCOMPARE(isotest::labelText(settings, "defaultLayout", 1, 1), QString());
    QVERIFY(common::isoPoses.isEmpty());

    // Link up as the second model; the identity comes from the simulated controller.
    QVERIFY(m_host->start("SR7-800"));
    QCOMPARE(m_host->controller()->model().name, QStringLiteral("SR7-800"));
    QTRY_COMPARE(common::robotType, QStringLiteral("SR7-800"));

    // Entering the tab again loads that model's defaults from its first entry.
    m_stack->setCurrentIndex(0);
    m_stack->setCurrentIndex(2);
    const Poses expected = posesOf(400.0);
    QCOMPARE(common::defaultIsoPoses, expected);
    QCOMPARE(common::isoPoses, expected);
    for (int k = 1; k <= 5; ++k)
        for (int j = 1; j <= 6; ++j)
            QCOMPARE(isotest::labelText(settings, "defaultLayout", k, j),
                     QString::number(expected[k - 1][j - 1], 'g', 6));
    QVERIFY(!start->isEnabled());

    // Three samples per point, then save: "iso_config" joins the calibration's members.
    auto *samples = settings->findChild<QLineEdit *>("collectLineEdit");
    samples->selectAll();
    QTest::keyClicks(samples, "3");
    QCOMPARE(common::isoSampleTimes, 3);
    QTest::mouseClick(settings->findChild<QPushButton *>("saveBtn"), Qt::LeftButton);
    const QJsonObject info = readJson(common::workFolder + "/calibInfo.json");
    QCOMPARE(info["robot_profile"].toObject()["serial_number"].toString(),
             QStringLiteral("SN-ISO-7"));
    QCOMPARE(info["file_type"].toString(), QStringLiteral("calib_info"));
    const QJsonObject config = info["iso_config"].toObject();
    QCOMPARE(config["sample_times"].toInt(-1), 3);
    QCOMPARE(config["save_path"].toString(), QStringLiteral("D:\\VeltraReport"));
    QCOMPARE(config["iso_poses"].toObject(), isotest::isoPosesJson(expected));
    QVERIFY(start->isEnabled());
    QCOMPARE(watcher.count(), 0);

    // Start: the collector's rounds show while it runs.
    const QString collectorArgs = m_dir->filePath("collector.args");
    QVERIFY(!FakeProgram(common::workFolder + "/iso/collectisoposes", "collectIsoPoses_v2.1.exe")
                 .recordArguments(collectorArgs)
                 .lineDelay(400)
                 .printLines({"[INFO] collecting 3 rounds", "[ROUND] 1/3", "[ROUND] 2/3",
                              "[ROUND] 3/3"})
                 .write()
                 .isEmpty());
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(start->text(), QStringLiteral("中止运行ISO"));
    QTRY_COMPARE(progress("label_2"), QStringLiteral("1 / 3"));
    QCOMPARE(progress("label"), QStringLiteral("采集进度："));
    QVERIFY(watcher.waitForDialogs(1, 10000));
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("完成"));
    QCOMPARE(watcher.last().text, QStringLiteral("ISO校准完成"));
    QCOMPARE(progress("label_2"), QStringLiteral("3 / 3"));
    QCOMPARE(FakeProgram::readArguments(collectorArgs),
             (QStringList{"--path", common::workFolder}));
    const QString log = isotest::pluginLogText();
    const int round1 = log.indexOf("ISO Round: 1/3");
    QVERIFY(round1 >= 0);
    QVERIFY(round1 < log.indexOf("ISO Round: 2/3"));
    QVERIFY(log.indexOf("ISO Round: 2/3") < log.indexOf("ISO Round: 3/3"));
    QCOMPARE(start->text(), QStringLiteral("生成报告"));

    // The report generator adds "iso_results" to the result file; the table shows them.
    QJsonObject results = readJson(common::workFolder + "/optimized_dh.json");
    QJsonArray rows;
    for (int k = 0; k < 5; ++k)
        rows.append(QJsonObject{{"name", common::isoPointNames[k]},
                                {"Accuracy", kFigures[k].accuracy},
                                {"Repeatability", kFigures[k].repeatability},
                                {"RMS", kFigures[k].rms},
                                {"StdDev", kFigures[k].stdDev}});
    results.insert("iso_results", rows);
    QVERIFY(!FakeProgram(common::workFolder + "/iso/scripts", "isoReportGener.exe")
                 .pause(200)
                 .writeFile(common::workFolder + "/optimized_dh.json",
                            QJsonDocument(results).toJson())
                 .write()
                 .isEmpty());
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!start->isEnabled());
    QVERIFY(watcher.waitForDialogs(2, 10000));
    QCOMPARE(watcher.last().text, QStringLiteral("报告已生成"));
    QCOMPARE(start->text(), QStringLiteral("启动ISO"));
    QVERIFY(!start->isEnabled());
    QVERIFY(save->isEnabled());
    QVERIFY(giveUp->isEnabled());
    for (int k = 1; k <= 5; ++k) {
        const Figures &f = kFigures[k - 1];
        QCOMPARE(isotest::labelText(run, "gridLayout", k, 1), QString::asprintf("%f", f.accuracy));
        QCOMPARE(isotest::labelText(run, "gridLayout", k, 2), QString::asprintf("%f", f.repeatability));
        QCOMPARE(isotest::labelText(run, "gridLayout", k, 3), QString::asprintf("%f", f.rms));
        QCOMPARE(isotest::labelText(run, "gridLayout", k, 4), QString::asprintf("%f", f.stdDev));
    }
    QCOMPARE(isotest::labelText(run, "gridLayout", 3, 1), QStringLiteral("0.345600"));

    // Save the report: the copier runs on the work folder and the table empties.
    const QString copierArgs = m_dir->filePath("copier.args");
    QVERIFY(!FakeProgram(common::workFolder + "/iso/scripts", "copyResults.exe")
                 .recordArguments(copierArgs)
                 .write()
                 .isEmpty());
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(!save->isEnabled());
    QVERIFY(!giveUp->isEnabled());
    QCOMPARE(isotest::labelText(run, "gridLayout", 1, 1), QString());
    QVERIFY(watcher.waitForDialogs(3, 10000));
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("完成"));
    QCOMPARE(watcher.last().text, QStringLiteral("报告已保存"));
    QCOMPARE(FakeProgram::readArguments(copierArgs), (QStringList{"--path", common::workFolder}));
    QVERIFY(!start->isEnabled());
    QVERIFY(!save->isEnabled());
    QCOMPARE(watcher.count(), 3);
}

void tst_IsoRoad::cleanupTestCase()
{
    m_stack.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_IsoRoad)
#include "tst_isoroad.moc"
