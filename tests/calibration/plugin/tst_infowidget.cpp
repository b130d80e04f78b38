#include "common/calibrationstate.h"
#include "pages/infocardframe.h"
#include "pages/infowidget.h"
#include "pages/versioninfo.h"

#include <calibration/veltratesthelpers.h>
#include <support/guitestmain.h>
#include <support/temporarycurrentdir.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(VersionInfo)

// The information page and the version lookups behind it. The logo resource is compiled into
// this test; the page itself has no other way to reach it.
class tst_InfoWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void pluginVersionFile_data();
    void pluginVersionFile();
    void pluginVersionBesideTheBinary();
    void fileNameVersion_data();
    void fileNameVersion();
    void fileNameVersionIgnoresLinks();
    void collectedVersions_data();
    void collectedVersions();
    void emptyWorkFolderLooksNowhere();
    void html_data();
    void html();

    void pageContents();
    void logo_data();
    void logo();
    void cardRepaintsOnlyOnTitleChange_data();
    void cardRepaintsOnlyOnTitleChange();
    void instanceIsSingleAndMoves();
};

namespace {

const char childVersionVariable[] = "TST_INFOWIDGET_EXPECTED_PLUGIN_VERSION";

QString notFound()
{
    return QStringLiteral("未找到程序，Veltra可能无法运行");
}

// Empty files at paths relative to `root`, parent folders made as needed.
bool makeFiles(const QString &root, const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!veltratest::writeFile(QDir(root).filePath(path), QByteArray()))
            return false;
    }
    return true;
}

template <typename T>
T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

class PaintCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void tst_InfoWidget::initTestCase()
{
    if (qEnvironmentVariableIsSet(childVersionVariable))
        return;
    // The plug-in version is looked up beside the binary that holds the code: this test.
    const QString besideBinary = QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("Veltra.json"));
    QVERIFY2(!QFile::exists(besideBinary), qPrintable(besideBinary));
}

void tst_InfoWidget::cleanup()
{
    common::workFolder.clear();
}

void tst_InfoWidget::pluginVersionFile_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("version");

    QTest::newRow("no file") << false << QByteArray() << QString();
    QTest::newRow("version") << true
                             << QByteArray(R"({"name": "x", "client_plugin": )"
                                           R"({"id": 3, "version": "2.4.1-rc"}})")
                             << QStringLiteral("2.4.1-rc");
    QTest::newRow("no client_plugin") << true << QByteArray(R"({"version": "1.0"})") << QString();
    QTest::newRow("no version") << true << QByteArray(R"({"client_plugin": {"name": "1.0"}})")
                                << QString();
    QTest::newRow("number version") << true << QByteArray(R"({"client_plugin": {"version": 1.5}})")
                                    << QString();
    QTest::newRow("client_plugin a string")
        << true << QByteArray(R"({"client_plugin": "1.0"})") << QString();
    QTest::newRow("broken") << true << QByteArray(R"({"client_plugin": {"version": "1.0"})")
                            << QString();
    QTest::newRow("top-level array")
        << true << QByteArray(R"([{"client_plugin": {"version": "1.0"}}])") << QString();
    QTest::newRow("empty file") << true << QByteArray() << QString();
}

void tst_InfoWidget::pluginVersionFile()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, contents);
    QFETCH(QString, version);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (present)
        QVERIFY(veltratest::writeFile(dir.filePath(QStringLiteral("Veltra.json")), contents));
    QCOMPARE(readPluginVersionFile(dir.path()), version);
}

// A copy of this test beside its own "Veltra.json" reads that file, not the one in its current
// directory. Nothing is left in the build tree.
void tst_InfoWidget::pluginVersionBesideTheBinary()
{
    if (qEnvironmentVariableIsSet(childVersionVariable)) {
        QCOMPARE(readPluginVersion(), qEnvironmentVariable(childVersionVariable));
        return;
    }

    support::TemporaryCurrentDir current;
    QVERIFY(current.isValid());
    QVERIFY(veltratest::writeFile(current.filePath(QStringLiteral("Veltra.json")),
                      R"({"client_plugin": {"version": "0.0.1-current-dir"}})"));
    // Also when this test was started by a name relative to the directory it has left.
    QCOMPARE(readPluginVersion(), QString());

    QTemporaryDir copyDir;
    QVERIFY(copyDir.isValid());
    const QString copy =
        copyDir.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(veltratest::writeFile(copyDir.filePath(QStringLiteral("Veltra.json")),
                      R"({"client_plugin": {"version": "7.6.5-beside"}})"));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(childVersionVariable), QStringLiteral("7.6.5-beside"));
#ifdef Q_OS_WIN
    // The copy finds the project's libraries where the original finds them.
    environment.insert(QStringLiteral("PATH"),
                       QDir::toNativeSeparators(QCoreApplication::applicationDirPath())
                           + QLatin1Char(';') + environment.value(QStringLiteral("PATH")));
#endif
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(current.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(copy, {QStringLiteral("pluginVersionBesideTheBinary")});
    QVERIFY2(process.waitForFinished(60000), qPrintable(process.errorString()));
    const QByteArray output = process.readAll();
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             output.constData());
    // The child really ran the check.
    QVERIFY2(output.contains("PASS   : tst_InfoWidget::pluginVersionBesideTheBinary()"),
             output.constData());
}

void tst_InfoWidget::fileNameVersion_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("version");

    const QString calib = QStringLiteral("calib-*.exe");
    QTest::newRow("one") << QStringList{QStringLiteral("calib-2.1.0.exe")} << calib
                         << QStringLiteral("calib") << QStringLiteral("2.1.0");
    QTest::newRow("upper case") << QStringList{QStringLiteral("CALIB-3.0.EXE")} << calib
                                << QStringLiteral("calib") << QStringLiteral("3.0");
    QTest::newRow("two") << QStringList{QStringLiteral("calib-1.0.exe"),
                                        QStringLiteral("calib-1.1.exe")}
                         << calib << QStringLiteral("calib") << QString();
    QTest::newRow("none") << QStringList{QStringLiteral("calib-1.0.bat"),
                                         QStringLiteral("calib.exe")}
                          << calib << QStringLiteral("calib") << QString();
    QTest::newRow("folder named like a match")
        << QStringList{QStringLiteral("calib-9.9.exe/inner"), QStringLiteral("calib-1.2.exe")}
        << calib << QStringLiteral("calib") << QStringLiteral("1.2");
    QTest::newRow("nothing between hyphen and suffix")
        << QStringList{QStringLiteral("collectCalibPoses-.exe")}
        << QStringLiteral("collectCalibPoses-*.exe") << QStringLiteral("collectCalibPoses")
        << QString();
    QTest::newRow("name without the prefix")
        << QStringList{QStringLiteral("tool-1.0.exe")} << QStringLiteral("*.exe")
        << QStringLiteral("calib") << QString();
}

void tst_InfoWidget::fileNameVersion()
{
    QFETCH(QStringList, files);
    QFETCH(QString, pattern);
    QFETCH(QString, prefix);
    QFETCH(QString, version);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), files));
    QCOMPARE(versionFromFileName(dir.path(), pattern, prefix), version);
    QCOMPARE(versionFromFileName(dir.filePath(QStringLiteral("absent")), pattern, prefix),
             QString());
}

void tst_InfoWidget::fileNameVersionIgnoresLinks()
{
#ifdef Q_OS_WIN
    QSKIP("Making symbolic links needs extra rights on Windows.");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(makeFiles(dir.path(), {QStringLiteral("calib-1.0.exe")}));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("calib-1.0.exe")),
                        dir.filePath(QStringLiteral("calib-2.0.exe"))));
    QCOMPARE(versionFromFileName(dir.path(), QStringLiteral("calib-*.exe"),
                                 QStringLiteral("calib")),
             QStringLiteral("1.0"));
#endif
}

void tst_InfoWidget::collectedVersions_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("algorithm"); // empty: missing
    QTest::addColumn<QString>("collector");

    const QString algorithmFolder = QStringLiteral("calib/veltraalgorithm/");
    const QString collectorFolder = QStringLiteral("calib/collectcalibposes/");
    QTest::newRow("one of each")
        << QStringList{algorithmFolder + QStringLiteral("calib-2.1.0.exe"),
                       collectorFolder + QStringLiteral("collectCalibPoses-1.4.exe")}
        << QStringLiteral("2.1.0") << QStringLiteral("1.4");
    QTest::newRow("two optimisers")
        << QStringList{algorithmFolder + QStringLiteral("calib-1.0.exe"),
                       algorithmFolder + QStringLiteral("calib-1.1.exe"),
                       collectorFolder + QStringLiteral("collectCalibPoses-1.4.exe")}
        << QString() << QStringLiteral("1.4");
    QTest::newRow("upper-case optimiser, no collector folder")
        << QStringList{algorithmFolder + QStringLiteral("CALIB-3.0.EXE")}
        << QStringLiteral("3.0") << QString();
    QTest::newRow("collector without version")
        << QStringList{algorithmFolder + QStringLiteral("calib-2.1.0.exe"),
                       collectorFolder + QStringLiteral("collectCalibPoses-.exe")}
        << QStringLiteral("2.1.0") << QString();
    QTest::newRow("programs in each other's folder")
        << QStringList{collectorFolder + QStringLiteral("calib-2.1.0.exe"),
                       algorithmFolder + QStringLiteral("collectCalibPoses-1.4.exe")}
        << QString() << QString();
}

void tst_InfoWidget::collectedVersions()
{
    QFETCH(QStringList, files);
    QFETCH(QString, algorithm);
    QFETCH(QString, collector);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(makeFiles(work.path(), files));
    common::workFolder = work.path();

    const VersionInfo info = collectVersions();
    QCOMPARE(info.title, QStringLiteral("版本"));
    QCOMPARE(info.items.size(), 3);
    const QString names[] = {QStringLiteral("Veltra Plugin Version"),
                             QStringLiteral("Veltra Algorithm Version"),
                             QStringLiteral("posesCollector Version")};
    const QString values[] = {QString(), algorithm, collector};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(info.items[i].name, names[i]);
        QCOMPARE(info.items[i].missing, values[i].isEmpty());
        QCOMPARE(info.items[i].value, values[i].isEmpty() ? notFound() : values[i]);
    }
}

void tst_InfoWidget::emptyWorkFolderLooksNowhere()
{
    // Matching programs relative to the current directory must not be found.
    support::TemporaryCurrentDir current;
    QVERIFY(current.isValid());
    QVERIFY(makeFiles(current.path(),
                      {QStringLiteral("calib/veltraalgorithm/calib-2.1.0.exe"),
                       QStringLiteral("calib/collectcalibposes/collectCalibPoses-1.4.exe")}));
    common::workFolder = QDir::currentPath();
    QCOMPARE(collectVersions().items.at(1).value, QStringLiteral("2.1.0"));

    common::workFolder.clear();
    const VersionInfo info = collectVersions();
    QCOMPARE(info.items.size(), 3);
    for (int i = 1; i < 3; ++i) {
        QVERIFY(info.items[i].missing);
        QCOMPARE(info.items[i].value, notFound());
    }
}

void tst_InfoWidget::html_data()
{
    QTest::addColumn<VersionInfo>("info");
    QTest::addColumn<QString>("html");

    const QString div = QStringLiteral("<div style=\"line-height: 160%;\">");
    const QString red = QStringLiteral("<span style=\"color:#d32f2f;\">");
    QTest::newRow("mixed")
        << VersionInfo{QStringLiteral("版本"),
                       {{QStringLiteral("Veltra Plugin Version"), QStringLiteral("1.2.0"), false},
                        {QStringLiteral("Veltra Algorithm Version"), notFound(), true},
                        {QStringLiteral("posesCollector Version"), QStringLiteral("0.9"), false}}}
        << div + QStringLiteral("Veltra Plugin Version: 1.2.0<br/>") + red
               + QStringLiteral("Veltra Algorithm Version: ") + notFound()
               + QStringLiteral("</span><br/>posesCollector Version: 0.9</div>");
    QTest::newRow("no items") << VersionInfo{QStringLiteral("版本"), {}}
                              << div + QStringLiteral("</div>");
    QTest::newRow("angle brackets unescaped")
        << VersionInfo{QString(), {{QStringLiteral("A"), QStringLiteral("<b>1&2</b>"), false}}}
        << div + QStringLiteral("A: <b>1&2</b></div>");
    QTest::newRow("placeholders substituted once")
        << VersionInfo{QString(), {{QStringLiteral("n%2"), QStringLiteral("v%1"), true}}}
        << div + red + QStringLiteral("n%2: v%1</span></div>");
}

void tst_InfoWidget::html()
{
    QFETCH(VersionInfo, info);
    QFETCH(QString, html);
    QCOMPARE(versionsToHtml(info), html);
}

void tst_InfoWidget::pageContents()
{
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QVERIFY(makeFiles(work.path(),
                      {QStringLiteral("calib/veltraalgorithm/calib-2.1.0.exe"),
                       QStringLiteral("calib/collectcalibposes/collectCalibPoses-1.4.exe")}));
    common::workFolder = work.path();
    const std::unique_ptr<infoWidget> page(infoWidget::instance());
    QVERIFY(page);
    QCOMPARE(page->objectName(), QStringLiteral("infoWidget"));

    auto *versions = child<QLabel>(page.get(), "versionValueLabel");
    QVERIFY(versions);
    // No "Veltra.json" beside this test: the plug-in line is red.
    QCOMPARE(versions->text(),
             QStringLiteral("<div style=\"line-height: 160%;\"><span style=\"color:#d32f2f;\">"
                            "Veltra Plugin Version: 未找到程序，Veltra可能无法运行</span><br/>"
                            "Veltra Algorithm Version: 2.1.0<br/>"
                            "posesCollector Version: 1.4</div>"));

    auto *usage = child<QLabel>(page.get(), "usageLabel");
    QVERIFY(usage);
    const QString paragraph =
        QStringLiteral("<p style=\"margin: 0 0 8px 0; line-height: 160%;\"><b>");
    QCOMPARE(usage->text(),
             paragraph + QStringLiteral("步骤 1</b> 连接机器人并配置标定参数，例如 SN、型号和轴数。</p>")
                 + paragraph + QStringLiteral("步骤 2</b> 配置标定选项，选择需要优化的 DH 参数。</p>")
                 + paragraph
                 + QStringLiteral("步骤 3</b> 启动标定流程，等待外部标定程序执行并返回结果。</p>")
                 + paragraph + QStringLiteral("步骤 4</b> 确认优化后的 DH 参数，并写入机器人控制器。</p>")
                 + paragraph
                 + QStringLiteral("步骤 5</b> 切换到 ISO 页面，执行位姿精度与重复性验证。</p>"));

    auto *modes = child<QLabel>(page.get(), "modeIntroLabel");
    QVERIFY(modes);
    QCOMPARE(modes->text(),
             QStringLiteral("<div style=\"line-height: 160%;\">"
                            "普通模式： 标定后的参数和零点只写入`精度补充`开启后的参数<br/>"
                            "生产模式： 参数同时写入`精度补充`和`精度补充关闭`后的参数<br/>"
                            "自动模式： 无需人工审核,插件自动判断结果是否满足要求,并写入参数<br/>"
                            "</div>"));

    const struct
    {
        const char *card;
        const char *titleLabel;
        QString title;
    } cards[] = {{"usageCard", "usageTitleLabel", QStringLiteral("使用步骤")},
                 {"modeIntroCard", "modeIntroTitleLabel", QStringLiteral("模式介绍")},
                 {"versionCard", "versionTitleLabel", QStringLiteral("版本")}};
    for (const auto &expected : cards) {
        auto *card = child<InfoCardFrame>(page.get(), expected.card);
        auto *titleLabel = child<QLabel>(page.get(), expected.titleLabel);
        QVERIFY2(card && titleLabel, expected.card);
        QCOMPARE(card->title(), expected.title);
        QCOMPARE(titleLabel->text(), expected.title);
        QVERIFY2(titleLabel->isHidden(), expected.titleLabel);
        QCOMPARE(card->styleSheet(), QStringLiteral("background-color: #ffffff;"));
        QVERIFY(card->layout());
        QCOMPARE(card->layout()->contentsMargins(), QMargins(12, 32, 12, 12));
    }
}

void tst_InfoWidget::logo_data()
{
    QTest::addColumn<bool>("embedded");
    QTest::newRow("embedded") << true;
    QTest::newRow("not embedded") << false;
}

void tst_InfoWidget::logo()
{
    QFETCH(bool, embedded);

    const QString path = QStringLiteral(":/logo/LOGO/LOGO.png");
    const QPixmap original(path);
    QVERIFY(!original.isNull());
    // The resource comes back whatever the outcome.
    struct Reregister
    {
        bool active;
        ~Reregister()
        {
            if (active)
                Q_INIT_RESOURCE(veltra);
        }
    } reregister{!embedded};
    if (!embedded) {
        Q_CLEANUP_RESOURCE(veltra);
        QVERIFY(!QFile::exists(path));
    }

    const std::unique_ptr<infoWidget> page(infoWidget::instance());
    auto *label = child<QLabel>(page.get(), "logoLabel");
    QVERIFY(label);
    const QPixmap shown = label->pixmap(Qt::ReturnByValue);
    if (!embedded) {
        QVERIFY(label->isHidden());
        QVERIFY(shown.isNull());
        return;
    }
    QVERIFY(!label->isHidden());
    const QImage expected =
        original.scaled(340, 112, Qt::KeepAspectRatio, Qt::SmoothTransformation).toImage();
    QVERIFY(expected.width() == 340 || expected.height() == 112);
    QCOMPARE(shown.size(), expected.size());
    QCOMPARE(shown.toImage().convertToFormat(expected.format()), expected);
}

void tst_InfoWidget::cardRepaintsOnlyOnTitleChange_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("repaint");

    QTest::newRow("empty to empty") << QString() << QString() << false;
    QTest::newRow("empty to title") << QString() << QStringLiteral("版本") << true;
    QTest::newRow("same title") << QStringLiteral("版本") << QStringLiteral("版本") << false;
    QTest::newRow("other title") << QStringLiteral("版本") << QStringLiteral("模式介绍") << true;
    QTest::newRow("title to empty") << QStringLiteral("版本") << QString() << true;
}

void tst_InfoWidget::cardRepaintsOnlyOnTitleChange()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, repaint);

    InfoCardFrame card;
    QCOMPARE(card.title(), QString());
    card.setTitle(before);
    card.resize(240, 120);
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    PaintCounter counter;
    card.installEventFilter(&counter);
    // Let the paints of showing pass.
    QTest::qWait(50);
    counter.count = 0;

    card.setTitle(after);
    QCOMPARE(card.title(), after);
    if (repaint) {
        QTRY_VERIFY(counter.count > 0);
    } else {
        QTest::qWait(100);
        QCOMPARE(counter.count, 0);
        // The counter does see a repaint that is asked for.
        card.update();
        QTRY_VERIFY(counter.count > 0);
    }
}

void tst_InfoWidget::instanceIsSingleAndMoves()
{
    QPointer<infoWidget> first = infoWidget::instance();
    QVERIFY(first);
    QVERIFY(!first->parentWidget());
    QCOMPARE(infoWidget::instance(), first.data());
    {
        QWidget host;
        QWidget other;
        QCOMPARE(infoWidget::instance(&host), first.data());
        QCOMPARE(first->parentWidget(), &host);
        QCOMPARE(infoWidget::instance(), first.data());
        QCOMPARE(first->parentWidget(), &host);
        QCOMPARE(infoWidget::instance(&other), first.data());
        QCOMPARE(first->parentWidget(), &other);
        QCOMPARE(host.findChildren<infoWidget *>().size(), 0);
    }
    // Destroyed with its parent and forgotten: the next call makes a fresh page.
    QVERIFY(first.isNull());
    const std::unique_ptr<infoWidget> fresh(infoWidget::instance());
    QVERIFY(fresh);
    QVERIFY(!fresh->parentWidget());
    QVERIFY(fresh->findChild<QLabel *>(QStringLiteral("versionValueLabel")));
}

SUPPORT_GUI_TEST_MAIN(tst_InfoWidget)
#include "tst_infowidget.moc"
