#include "isotesthelpers.h"

#include "common/common.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"

#include <support/filesizelimit.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/temporarycurrentdir.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

using support::DialogAnswer;
using support::ModalDialogWatcher;

using isotest::isoPosesJson;
using isotest::Poses;
Q_DECLARE_METATYPE(Poses)

namespace {

const QByteArray kPoseFile = R"({
  "configs": [
    "not an entry",
    {"robots": ["SR7-800"]},
    {"robots": ["SR7-800", "SR6-900"],
     "iso_poses": {"point1": [1, 2, 3, 4, 5, 6], "point2": [0.5, -1.25, 1e-7, 7, 8, 9],
                   "point3": [10, 11, 12, 13, 14, 15], "point4": [16, 17, 18, 19, 20, 21],
                   "point5": [123456.7, 22, 23, 24, 25, 26]}},
    {"robots": ["SR6-900"], "iso_poses": 5}
  ]
})";

const Poses kPoses = {{1, 2, 3, 4, 5, 6},
                      {0.5, -1.25, 1e-7, 7, 8, 9},
                      {10, 11, 12, 13, 14, 15},
                      {16, 17, 18, 19, 20, 21},
                      {123456.7, 22, 23, 24, 25, 26}};

} // namespace

class tst_setupisowidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void loadSkippedWithoutIdentity();
    void loadPoses_data();
    void loadPoses();
    void choosingThePoseSource();
    void emptyCustomField();
    void folderDialog();
    void sampleCount();
    void sampleCountOutOfRange_data();
    void sampleCountOutOfRange();
    void customValuesUnderACommaLocale();
    void saveMerges_data();
    void saveMerges();
    void customValueBeyondADoubleIsRefused();
    void saveNamesTheConnectedRobot();
    void saveRefused_data();
    void saveRefused();
    void resetThenSaveWritesNoPoses();
    void failedWriteKeepsTheFile();
    void cleanupTestCase();

private:
    QString poseFile() const { return common::workFolder + "/iso/default_iso_poses.json"; }
    QString calibInfo() const { return common::workFolder + "/calibInfo.json"; }
    QJsonObject savedIsoConfig() const
    {
        return QJsonDocument::fromJson(isotest::readFile(calibInfo()))
            .object()
            .value("iso_config")
            .toObject();
    }
    QLineEdit *customEdit(int row, int column) const
    {
        return qobject_cast<QLineEdit *>(isotest::cell(page, "customizeLayout", row, column));
    }
    QCheckBox *box(const char *name) const { return page->findChild<QCheckBox *>(name); }
    void fillCustom(const QString &text) const
    {
        for (int k = 1; k <= 5; ++k)
            for (int j = 1; j <= 6; ++j)
                QTest::keyClicks(customEdit(k, j), text);
    }
    // A save refused with one box: nothing written, nothing signalled; the box's title and text.
    void saveIsRefused(QString *title, QString *text)
    {
        const QByteArray before = isotest::readFile(calibInfo());
        QSignalSpy saved(page, &setupisowidget::saveAll);
        ModalDialogWatcher watcher;
        QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
        QCOMPARE(watcher.count(), 1);
        *title = watcher.last().windowTitle;
        *text = watcher.last().text;
        QCOMPARE(saved.count(), 0);
        QCOMPARE(isotest::readFile(calibInfo()), before);
    }
    QPushButton *button(QWidget *w, const char *name) const
    {
        return w->findChild<QPushButton *>(name);
    }
    void loadGood()
    {
        QVERIFY(isotest::writeFile(poseFile(), kPoseFile));
        page->loadDefaultIsoPoses();
        QCOMPARE(common::defaultIsoPoses, kPoses);
    }

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    setupisowidget *page = nullptr;
    displayisowidget *display = nullptr;
};

void tst_setupisowidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    common::workFolder = m_dir->filePath("work");
    common::robotType = "SR6-900";
    QVERIFY(QDir().mkpath(common::workFolder));
    page = setupisowidget::instance();
    display = displayisowidget::instance();
    QCOMPARE(common::isoSampleTimes, 30);
    QCOMPARE(common::reportSavePath, QStringLiteral("D:\\VeltraReport"));
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_setupisowidget::init()
{
    // Back to the default choice and a known file for every case.
    page->resetAll();
    common::robotType = "SR6-900";
    common::reportSavePath = QStringLiteral("D:\\VeltraReport");
    QVERIFY(isotest::writeFile(calibInfo(), "{\n    \"file_type\": \"calib_info\"\n}\n"));
    display->btnsDisable();
}

void tst_setupisowidget::loadSkippedWithoutIdentity()
{
    QVERIFY(isotest::writeFile(poseFile(), kPoseFile));
    page->loadDefaultIsoPoses();
    QVERIFY(common::defaultIsoPoses.isEmpty());
    QVERIFY(common::isoPoses.isEmpty());
    QCOMPARE(isotest::labelText(page, "defaultLayout", 1, 1), QString());
    QVERIFY(isotest::pluginLogText().contains("loadDefaultIsoPoses skipped, connected : false"));

    page->handleNetworkConnected();
    page->loadDefaultIsoPoses();
    QCOMPARE(common::defaultIsoPoses, kPoses);
    QCOMPARE(common::isoPoses, kPoses);
}

void tst_setupisowidget::loadPoses_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error"); // empty: the load succeeds
    QTest::addColumn<Poses>("poses");

    const QByteArray head = R"({"configs": [{"robots": ["SR6-900"], "iso_poses": )";
    QTest::newRow("first match only") << kPoseFile << QString() << kPoses;
    QTest::newRow("no point3")
        << head + R"({"point1": [1,1,1,1,1,1], "point2": [2,2,2,2,2,2],
                      "point4": [4,4,4,4,4,4], "point5": [5,5,5,5,5,5]}}]})"
        << QString()
        << Poses{{1, 1, 1, 1, 1, 1}, {2, 2, 2, 2, 2, 2}, {0, 0, 0, 0, 0, 0}, {4, 4, 4, 4, 4, 4},
                 {5, 5, 5, 5, 5, 5}};
    QTest::newRow("five numbers in an unused point")
        << head + R"({"point1": [1,1,1,1,1,1], "point7": [1,2,3,4,5]}}]})"
        << "Invalid point data for point7: expected 6 elements" << Poses();
    QTest::newRow("seven numbers")
        << head + R"({"point2": [1,2,3,4,5,6,7]}}]})"
        << "Invalid point data for point2: expected 6 elements" << Poses();
    QTest::newRow("pose element not a number")
        << head + R"({"point1": [1,2,3,"4",5,6]}}]})"
        << "Invalid point data for point1: expected numbers" << Poses();
    QTest::newRow("iso_poses not an object")
        << head + R"([1,2,3]}]})"
        << "Invalid JSON structure: 'iso_poses' must be an object" << Poses();
    QTest::newRow("robot name not a string")
        << QByteArray(R"({"configs": [{"robots": [7, "SR6-900"], "iso_poses": {}}]})")
        << "Invalid robot name in config: expected a string" << Poses();
    QTest::newRow("robot not listed")
        << QByteArray(R"({"configs": [{"robots": ["sr6-900"], "iso_poses": {}}]})")
        << "Robot not found in config: SR6-900" << Poses();
    QTest::newRow("configs not an array")
        << QByteArray(R"({"configs": {}})")
        << "Invalid JSON structure: missing 'configs' array" << Poses();
    QTest::newRow("root an array") << QByteArray("[]")
                                   << "Invalid JSON structure: missing 'configs' array" << Poses();
    QTest::newRow("not JSON") << QByteArray("{\"configs\": [") << "JSON parse error: "
                              << Poses();
    QTest::newRow("number out of range")
        << head + R"({"point1": [1e999,1,1,1,1,1]}}]})" << "JSON parse error: " << Poses();
    QTest::newRow("missing file") << QByteArray() << "Failed to open JSON file: " << Poses();
}

void tst_setupisowidget::loadPoses()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    QFETCH(Poses, poses);
    page->handleNetworkConnected();
    loadGood();

    QFile::remove(poseFile());
    if (!file.isEmpty())
        QVERIFY(isotest::writeFile(poseFile(), file));
    ModalDialogWatcher watcher;
    page->loadDefaultIsoPoses();

    if (error.isEmpty()) {
        QCOMPARE(watcher.count(), 0);
        QCOMPARE(common::defaultIsoPoses, poses);
        QCOMPARE(common::isoPoses, poses);
        for (int k = 1; k <= 5; ++k)
            for (int j = 1; j <= 6; ++j)
                QCOMPARE(isotest::labelText(page, "defaultLayout", k, j),
                         QString::number(poses[k - 1][j - 1], 'g', 6));
        return;
    }
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("Warning"));
    QCOMPARE(watcher.last().text, QStringLiteral("读取默认ISO参数异常"));
    QVERIFY2(isotest::pluginLogText().contains("Runtime error: " + error), qPrintable(error));
    QVERIFY(isotest::pluginLogText().contains("getDefaultIsoPoses robotname : SR6-900"));
    // The earlier load stays.
    QCOMPARE(common::defaultIsoPoses, kPoses);
    QCOMPARE(common::isoPoses, kPoses);
    QCOMPARE(isotest::labelText(page, "defaultLayout", 5, 1), QStringLiteral("123457"));
}

void tst_setupisowidget::choosingThePoseSource()
{
    page->handleNetworkConnected();
    loadGood();
    QSignalSpy changed(page, &setupisowidget::isChanged);
    display->startBtnEnable();
    common::isoPoses.clear();

    isotest::clickCheckBox(box("defaultCheckBox"));
    QVERIFY(!box("defaultCheckBox")->isChecked());
    QVERIFY(box("customCheckBox")->isChecked());
    QCOMPARE(common::isoPoses, kPoses); // still copied
    QCOMPARE(changed.count(), 1);
    QVERIFY(!button(display, "startISO")->isEnabled());
    QVERIFY(customEdit(1, 1)->isEnabled());

    Poses typed;
    for (int k = 1; k <= 5; ++k) {
        QVector<double> row;
        for (int j = 1; j <= 6; ++j) {
            const QString text = QStringLiteral("%1.%2").arg(k * 10 + j).arg(j);
            QTest::keyClicks(customEdit(k, j), text);
            row.append(text.toDouble());
        }
        typed.append(row);
    }
    QTest::keyClicks(customEdit(3, 3), "e"); // refused by the validator
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(common::isoPoses, typed);
    QCOMPARE(savedIsoConfig().value("iso_poses").toObject(), isoPosesJson(typed));
    QVERIFY(button(display, "startISO")->isEnabled());

    // Back to the defaults through the custom box.
    isotest::clickCheckBox(box("customCheckBox"));
    QVERIFY(box("defaultCheckBox")->isChecked());
    QVERIFY(!customEdit(1, 1)->isEnabled());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(common::isoPoses, typed); // a click on the custom box copies nothing
    QVERIFY(!button(display, "startISO")->isEnabled());
}

void tst_setupisowidget::emptyCustomField()
{
    isotest::clickCheckBox(box("customCheckBox"));
    for (int j = 1; j <= 6; ++j)
        QTest::keyClicks(customEdit(1, j), QString::number(j));
    QString title;
    QString text;
    saveIsRefused(&title, &text);
    QCOMPARE(title, QStringLiteral("Warning"));
    QCOMPARE(common::isoPoses, (Poses{{1, 2, 3, 4, 5, 6}})); // the rows finished so far
}

void tst_setupisowidget::folderDialog()
{
    QSignalSpy changed(page, &setupisowidget::isChanged);
    auto *pathLabel = page->findChild<QLabel *>("pathLabel");
    display->startBtnEnable();
    {
        ModalDialogWatcher watcher;
        watcher.addAnswer(DialogAnswer::reject());
        QTest::mouseClick(button(page, "selectPathBtn"), Qt::LeftButton);
        QCOMPARE(watcher.count(), 1);
        QCOMPARE(watcher.last().windowTitle, QStringLiteral("选择报告保存目录"));
    }
    QCOMPARE(changed.count(), 1);
    QCOMPARE(common::reportSavePath, QStringLiteral("D:\\VeltraReport"));
    QCOMPARE(pathLabel->text(), QStringLiteral("D:\\VeltraReport"));
    QVERIFY(!button(display, "startISO")->isEnabled());

    const QString folder = m_dir->filePath("reports");
    QVERIFY(QDir().mkpath(folder));
    {
        ModalDialogWatcher watcher;
        watcher.addAnswer(DialogAnswer::type(folder));
        QTest::mouseClick(button(page, "selectPathBtn"), Qt::LeftButton);
        QCOMPARE(watcher.count(), 1);
    }
    QCOMPARE(changed.count(), 2);
    QCOMPARE(common::reportSavePath, folder);
    QCOMPARE(pathLabel->text(), folder);
    QCOMPARE(pathLabel->styleSheet(), QString());
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(savedIsoConfig().value("save_path").toString(), folder);
}

void tst_setupisowidget::sampleCount()
{
    auto *edit = page->findChild<QLineEdit *>("collectLineEdit");
    edit->setFocus();
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), QStringLiteral("3"));
    QCOMPARE(edit->styleSheet(), QString()); // the gray default look goes with the first edit
    QCOMPARE(common::isoSampleTimes, 3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->styleSheet(), QStringLiteral("QLineEdit { border: 2px solid red; }"));
    QCOMPARE(edit->toolTip(), QStringLiteral("请输入 0 到 30 之间的整数"));
    QCOMPARE(common::isoSampleTimes, 0);
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(savedIsoConfig().value("sample_times"), QJsonValue(0));

    QTest::keyClicks(edit, "3");
    QCOMPARE(edit->styleSheet(), QString());
    QCOMPARE(edit->toolTip(), QString());
    QTest::keyClicks(edit, "1"); // out of range: held, but not acceptable
    QCOMPARE(edit->styleSheet(), QStringLiteral("QLineEdit { border: 2px solid red; }"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "0");
    QCOMPARE(edit->styleSheet(), QString());
    QCOMPARE(common::isoSampleTimes, 30);
}

void tst_setupisowidget::sampleCountOutOfRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("31") << "31";
    QTest::newRow("99") << "99";
}

// The validator holds a number above its range while it is being typed; it must not be saved.
void tst_setupisowidget::sampleCountOutOfRange()
{
    QFETCH(QString, typed);
    auto *edit = page->findChild<QLineEdit *>("collectLineEdit");
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    const QByteArray before = isotest::readFile(calibInfo());
    QSignalSpy saved(page, &setupisowidget::saveAll);
    ModalDialogWatcher watcher;
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("Warning"));
    QCOMPARE(watcher.last().text, QStringLiteral("点位采集次数需在 0 到 30 之间"));
    QCOMPARE(watcher.last().icon, QMessageBox::Warning);
    QCOMPARE(saved.count(), 0);
    QCOMPARE(isotest::readFile(calibInfo()), before);

    edit->clear();
    QTest::keyClicks(edit, "30");
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(savedIsoConfig().value("sample_times"), QJsonValue(30));
}

// The file takes C-locale numbers: under a comma-decimal locale the fields must neither accept
// a text that is then read as something else nor refuse the point.
void tst_setupisowidget::customValuesUnderACommaLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct Restore {
        QLocale locale;
        ~Restore() { QLocale::setDefault(locale); }
    } restore{before};
    page->resetAll(); // new fields, made under this locale
    isotest::clickCheckBox(box("customCheckBox"));
    fillCustom("1");
    customEdit(1, 1)->clear();
    QTest::keyClicks(customEdit(1, 1), "1,5");
    customEdit(1, 2)->clear();
    QTest::keyClicks(customEdit(1, 2), "2.5");
    QCOMPARE(customEdit(1, 2)->text(), QStringLiteral("2.5"));
    const QString held = customEdit(1, 1)->text();
    QVERIFY2(!held.contains(QLatin1Char(',')), qPrintable(held));

    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    const QJsonArray point1 = savedIsoConfig().value("iso_poses").toObject().value("point1").toArray();
    QCOMPARE(point1.size(), 6);
    QCOMPARE(point1.at(0).toDouble(), held.toDouble());
    QCOMPARE(point1.at(1).toDouble(), 2.5);
}

// Typed digits beyond a double's range read as infinite, which the file would hold as null.
void tst_setupisowidget::customValueBeyondADoubleIsRefused()
{
    page->resetAll();
    isotest::clickCheckBox(box("customCheckBox"));
    fillCustom("1");
    customEdit(2, 3)->clear();
    QTest::keyClicks(customEdit(2, 3), QString(400, QLatin1Char('9')));
    QString title;
    QString text;
    saveIsRefused(&title, &text);
    QCOMPARE(text, QStringLiteral("P2 的第 3 个值超出范围，请输入自定义点位"));
}

void tst_setupisowidget::saveMerges_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QJsonObject>("kept");

    const QJsonObject profile{{"file_type", "calib_info"},
                              {"mode", "product"},
                              {"robot_profile", QJsonObject{{"ip", "10.0.0.2"}}},
                              {"algorithm_constraints", QJsonArray{}}};
    QJsonObject withOld = profile;
    withOld.insert("iso_config", QJsonObject{{"sample_times", 3}, {"extra", true}});
    QTest::newRow("other members") << QJsonDocument(profile).toJson() << profile;
    QTest::newRow("earlier iso_config") << QJsonDocument(withOld).toJson() << profile;
    QTest::newRow("empty file") << QByteArray() << QJsonObject();
    QTest::newRow("top level array") << QByteArray("[1, 2]") << QJsonObject();
}

void tst_setupisowidget::saveMerges()
{
    QFETCH(QByteArray, before);
    QFETCH(QJsonObject, kept);
    page->handleNetworkConnected();
    loadGood();
    QVERIFY(isotest::writeFile(calibInfo(), before));
    QSignalSpy saved(page, &setupisowidget::saveAll);
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(saved.count(), 1);

    const QByteArray text = isotest::readFile(calibInfo());
    QJsonObject expected = kept;
    expected.insert("iso_config", QJsonObject{{"sample_times", common::isoSampleTimes},
                                              {"save_path", "D:\\VeltraReport"},
                                              {"iso_poses", isoPosesJson(kPoses)}});
    QCOMPARE(QJsonDocument::fromJson(text).object(), expected);
    QCOMPARE(text, QJsonDocument(expected).toJson(QJsonDocument::Indented));
}

// A request left by a calibration of another robot: the ISO collector must reach the robot
// the pendant is connected to, so the connection's address and robot replace the old ones.
void tst_setupisowidget::saveNamesTheConnectedRobot()
{
    page->handleNetworkConnected();
    loadGood();
    const QJsonObject stale{{"file_type", "calib_info"},
                            {"mode", "normal"},
                            {"robot_profile", QJsonObject{{"ip", "10.0.0.9:7611"},
                                                          {"robot_name", "SR7-800"},
                                                          {"model_type", 7},
                                                          {"serial_number", "ROBOT-A"}}},
                            {"algorithm_constraints", QJsonArray{}}};
    QVERIFY(isotest::writeFile(calibInfo(), QJsonDocument(stale).toJson()));
    const QString ip = common::robotIP;
    const int modelType = common::modelType;
    common::robotIP = "10.0.0.2:7611";
    common::modelType = 6;
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    common::robotIP = ip;
    common::modelType = modelType;

    const QJsonObject saved = QJsonDocument::fromJson(isotest::readFile(calibInfo())).object();
    QCOMPARE(saved.value("robot_profile").toObject(),
             (QJsonObject{{"ip", "10.0.0.2:7611"},
                          {"robot_name", "SR6-900"},
                          {"model_type", 6},
                          {"serial_number", "ROBOT-A"}}));
    QCOMPARE(saved.value("mode"), QJsonValue("normal"));
    QVERIFY(saved.contains("iso_config"));
}

void tst_setupisowidget::saveRefused_data()
{
    QTest::addColumn<QString>("content"); // null: no file
    QTest::addColumn<QString>("savePath");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("no report folder") << "{}" << "" << "Warning" << "未设置保存路径";
    QTest::newRow("no file") << QString() << "D:\\VeltraReport" << "提示" << "打开文件失败";
    QTest::newRow("not JSON") << "{\"mode\": " << "D:\\VeltraReport" << "提示" << "文件解析失败";
}

void tst_setupisowidget::saveRefused()
{
    QFETCH(QString, content);
    QFETCH(QString, savePath);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFile::remove(calibInfo());
    if (!content.isNull())
        QVERIFY(isotest::writeFile(calibInfo(), content.toUtf8()));
    common::reportSavePath = savePath;
    QSignalSpy saved(page, &setupisowidget::saveAll);
    ModalDialogWatcher watcher;
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, title);
    QCOMPARE(watcher.last().text, text);
    QCOMPARE(saved.count(), 0);
    QCOMPARE(QFile::exists(calibInfo()), !content.isNull());
    if (!content.isNull())
        QCOMPARE(isotest::readFile(calibInfo()), content.toUtf8());
}

void tst_setupisowidget::resetThenSaveWritesNoPoses()
{
    page->handleNetworkConnected();
    loadGood();
    isotest::clickCheckBox(box("customCheckBox"));
    QTest::keyClicks(customEdit(2, 2), "7");
    QTest::mouseClick(button(page, "clearCustomBtn"), Qt::LeftButton);
    QVERIFY(box("defaultCheckBox")->isChecked());
    QVERIFY(!box("customCheckBox")->isChecked());
    QCOMPARE(customEdit(2, 2)->text(), QString());
    QVERIFY(!customEdit(2, 2)->isEnabled());
    QCOMPARE(customEdit(1, 6)->placeholderText(), QStringLiteral("输入值6"));
    QVERIFY(common::isoPoses.isEmpty());
    QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    QCOMPARE(savedIsoConfig().value("iso_poses"), QJsonValue(QJsonObject()));
}

void tst_setupisowidget::failedWriteKeepsTheFile()
{
#ifdef Q_OS_WIN
    QSKIP("no file size limit to make a write fail on this system");
#else
    const QByteArray before = isotest::readFile(calibInfo());
    QVERIFY(before.size() > 16);
    QSignalSpy saved(page, &setupisowidget::saveAll);
    QTest::ignoreMessage(QtWarningMsg,
                         qPrintable("Cannot open file for writing: " + calibInfo()));
    // As root no folder is read-only; a file size limit makes the write itself fail, after the
    // temporary file was opened and partly written.
    bool limitSet = false;
    ModalDialogWatcher watcher;
    {
        support::FileSizeLimit limit(16);
        limitSet = limit.isActive();
        QTest::mouseClick(button(page, "saveBtn"), Qt::LeftButton);
    }
    QVERIFY(limitSet);
    QCOMPARE(saved.count(), 0);
    // The engineer is told why the test cannot start.
    QCOMPARE(watcher.count(), 1);
    QVERIFY2(watcher.last().text.startsWith(QStringLiteral("保存失败：")),
             qPrintable(watcher.last().text));
    QCOMPARE(isotest::readFile(calibInfo()), before);
    QCOMPARE(QDir(common::workFolder).entryList(QDir::Files | QDir::Hidden),
             QStringList{common::calibInfoFileName});
#endif
}

void tst_setupisowidget::cleanupTestCase()
{
    delete page;
    delete display;
    m_dir.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_setupisowidget)
#include "tst_setupisowidget.moc"
