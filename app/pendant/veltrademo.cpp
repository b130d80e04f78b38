#include "veltrademo.h"

#include "controllerprobe.h"
#include "eventwait.h"
#include "modalanswerer.h"

#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace {

// Time-outs, each well above what the external programs and the simulator take. They catch a
// program that hangs, not a slow one: a loaded machine or a sanitizer build plans the
// calibration's poses ten times slower than the 2 s they take here.
constexpr int kTabMs = 2000;
constexpr int kTableMs = 3000;
constexpr int kCalibrationMs = 180000;
constexpr int kApplyMs = 6000; // the automatic apply waits 2 s after the result
constexpr int kLinkBackExtraMs = 3000;
constexpr int kIsoRoundMs = 400;
constexpr int kIsoExtraMs = 60000;
constexpr int kReportMs = 45000;
constexpr int kCopyMs = 5000;
constexpr int kIdentifyMs = 60000;
constexpr int kPaintMs = 150;

constexpr int kIsoPoints = 5;
constexpr int kPoseValues = 6;
constexpr int kIsoFigures = 4;
constexpr int kFirstJointRow = 2;
constexpr int kResultColumn = 5;
constexpr int kRowButtonColumn = 5;
constexpr int kDHValues = 4;
constexpr int kCardSampleDefault = 30;

// The widget shown in a grid cell: the newest one placed there that is not hidden (pages hide
// what they take out and delete it later; some place new cells over old ones).
QWidget *cellWidget(const QWidget *card, const QString &layout, int row, int column)
{
    const QGridLayout *grid = card ? card->findChild<QGridLayout *>(layout) : nullptr;
    if (!grid)
        return nullptr;
    for (int i = grid->count() - 1; i >= 0; --i) {
        int r = 0;
        int c = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        grid->getItemPosition(i, &r, &c, &rowSpan, &columnSpan);
        QWidget *widget = grid->itemAt(i)->widget();
        if (r == row && c == column && widget && !widget->isHidden())
            return widget;
    }
    return nullptr;
}

QString cellText(const QWidget *card, const QString &layout, int row, int column)
{
    QWidget *widget = cellWidget(card, layout, row, column);
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *label = widget ? widget->findChild<QLabel *>() : nullptr)
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        return edit->text();
    return QString();
}

// The pendant's centre and the plug-in's cards scroll: brings the rows of `widget` into view of
// every area it lies in, so that a picture shows them, from the page's left edge where labels
// start.
void bringIntoView(QWidget *widget)
{
    for (QWidget *w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(w)) {
            area->ensureWidgetVisible(widget);
            area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->minimum());
        }
    }
}

// The check boxes of one joint row of the setup page, alpha to theta; null where one is missing.
QVector<QCheckBox *> rowBoxes(const QWidget *setup, int row)
{
    QVector<QCheckBox *> boxes;
    for (int c = 1; c <= kDHValues; ++c) {
        QWidget *widget = cellWidget(setup, QStringLiteral("tableLayout"), row, c);
        auto *box = qobject_cast<QCheckBox *>(widget);
        boxes.append(box ? box : widget ? widget->findChild<QCheckBox *>() : nullptr);
    }
    return boxes;
}

bool allChecked(const QVector<QCheckBox *> &boxes)
{
    for (const QCheckBox *box : boxes) {
        if (!box || !box->isChecked())
            return false;
    }
    return true;
}

QStringList cellTexts(const QWidget *card, const QString &layout, int firstRow, int lastRow,
                      int firstColumn, int lastColumn)
{
    QStringList texts;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstColumn; c <= lastColumn; ++c)
            texts.append(cellText(card, layout, r, c));
    }
    return texts;
}

bool allFilled(const QStringList &texts)
{
    return !texts.isEmpty() && !texts.contains(QString());
}

bool sameNumber(const QString &shown, const QString &expected)
{
    bool a = false;
    bool b = false;
    const double x = shown.toDouble(&a);
    const double y = expected.toDouble(&b);
    // The setup page shows six significant digits, the result card four decimals.
    return a && b && std::abs(x - y) <= 1e-5 * std::max(1.0, std::abs(y)) + 1e-4;
}

bool linkUp()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

struct RichText
{
    QStringList lines;
    bool red = false;
};

// What a label's rich text says, line by line, and whether any of it is painted red.
RichText readRichText(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    RichText text;
    static const QRegularExpression breaks(QStringLiteral("[\\n\\x{2028}\\x{2029}]"));
    const QStringList lines = document.toPlainText().split(breaks, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            text.lines.append(line.trimmed());
    }
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QBrush brush = it.fragment().charFormat().foreground();
            const QColor &colour = brush.color();
            if (brush.style() != Qt::NoBrush && colour.red() > 150 && colour.green() < 110
                && colour.blue() < 110)
                text.red = true;
        }
    }
    return text;
}

} // namespace

VeltraDemo::VeltraDemo(QWidget *page, ControllerProbe *controller,
                       ModalAnswerer *answerer, Shooter shoot, QObject *parent)
    : QObject(parent)
    , m_page(page)
    , m_controller(controller)
    , m_answerer(answerer)
    , m_shoot(std::move(shoot))
{
}

VeltraDemo::~VeltraDemo() = default;

QWidget *VeltraDemo::findPage(QWidget *root)
{
    if (!root)
        return nullptr;
    auto *info = root->findChild<QPushButton *>(QStringLiteral("infoNavBtn"));
    QWidget *page = info ? info->parentWidget() : nullptr;
    if (!page || !page->findChild<QPushButton *>(QStringLiteral("calibNavBtn"))
        || !page->findChild<QPushButton *>(QStringLiteral("isoNavBtn"))
        || !page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget")))
        return nullptr;
    return page;
}

void VeltraDemo::setSerialNumber(const QString &serialNumber)
{
    m_serialNumber = serialNumber;
}

void VeltraDemo::setReportFolder(const QString &folder)
{
    m_reportFolder = folder;
}

void VeltraDemo::setSampleCount(int samples)
{
    m_samples = samples;
}

void VeltraDemo::setWorkFolder(const QString &folder)
{
    m_workFolder = folder;
}

void VeltraDemo::setControllerAddress(const QString &address)
{
    m_controllerAddress = address;
}

void VeltraDemo::setIdentifyProgram(const QString &path)
{
    m_identifyProgram = path;
}

void VeltraDemo::setRebootWait(int ms)
{
    m_rebootWaitMs = ms;
}

double VeltraDemo::accuracyBefore() const
{
    return m_accuracyBefore;
}

double VeltraDemo::accuracyAfter() const
{
    return m_accuracyAfter;
}

int VeltraDemo::run()
{
    static const char *const names[StepCount] = {
        QT_TR_NOOP("information tab"),
        QT_TR_NOOP("calibration tab"),
        QT_TR_NOOP("parameter choice behind the lock"),
        QT_TR_NOOP("first calibration run"),
        QT_TR_NOOP("giving the first result up"),
        QT_TR_NOOP("ISO test of the uncalibrated robot"),
        QT_TR_NOOP("calibration with the default parameter choice"),
        QT_TR_NOOP("automatic apply and reboot"),
        QT_TR_NOOP("ISO test of the calibrated robot"),
        QT_TR_NOOP("accuracy gain"),
        QT_TR_NOOP("identification with the joints' compliance"),
        QT_TR_NOOP("apply with the compliance and reboot"),
        QT_TR_NOOP("ISO test with the compliance"),
        QT_TR_NOOP("accuracy gain with the compliance"),
        QT_TR_NOOP("compliance taken off"),
        QT_TR_NOOP("records of the applied calibrations"),
        QT_TR_NOOP("restore of the applied calibration"),
        QT_TR_NOOP("ISO test of the restored robot"),
        QT_TR_NOOP("restored accuracy as uncalibrated"),
    };
    int passed = 0;
    for (int i = 0; i < StepCount; ++i) {
        const QString name = tr(names[i]);
        say(tr("Veltra step %1/%2: %3").arg(i + 1).arg(StepCount).arg(name));
        QString detail;
        bool ok = false;
        if (m_page)
            ok = runStep(i, &detail);
        else
            detail = tr("the plug-in's page is gone");
        say((ok ? tr("Veltra step %1/%2 done: %3") : tr("Veltra step %1/%2 failed: %3"))
                .arg(i + 1)
                .arg(StepCount)
                .arg(detail));
        passed += ok ? 1 : 0;
    }
    say(tr("Veltra demo: %1 of %2 steps succeeded").arg(passed).arg(StepCount));
    return passed;
}

bool VeltraDemo::runStep(int index, QString *detail)
{
    switch (index) {
    case 0:
        return showInformation(detail);
    case 1:
        return showCalibrationTab(detail);
    case 2:
        return chooseParameters(detail);
    case 3:
        return runCalibration(false, detail);
    case 4:
        return giveUpResult(detail);
    case 5: {
        const bool ok = runIsoTest(QStringLiteral("uncalibrated"), &m_accuracyBefore, detail);
        m_repeatabilityBefore = isoMean(QStringLiteral("Repeatability"));
        return ok;
    }
    case 6:
        return runCalibration(true, detail);
    case 7:
        return applyResult(detail);
    case 8:
        return runIsoTest(QStringLiteral("calibrated"), &m_accuracyAfter, detail);
    case 9:
        return compareAccuracy(detail);
    case 10:
        return identifyCompliance(detail);
    case 11:
        return applyCompliance(detail);
    case 12:
        return runIsoTest(QStringLiteral("compliance"), &m_accuracyCompliant, detail);
    case 13:
        return compareCompliance(detail);
    case 14:
        return takeComplianceOff(detail);
    case 15:
        return showRecords(detail);
    case 16:
        return restoreCalibration(detail);
    case 17:
        return runIsoTest(QStringLiteral("restored"), &m_accuracyRestored, detail);
    case 18:
        return compareRestored(detail);
    default:
        *detail = tr("no step %1").arg(index + 1);
        return false;
    }
}

bool VeltraDemo::showInformation(QString *detail)
{
    if (!openTab(QStringLiteral("infoNavBtn"), 0, detail))
        return false;
    QWidget *info = card(QStringLiteral("infoWidget"));
    auto *logo = info ? info->findChild<QLabel *>(QStringLiteral("logoLabel")) : nullptr;
    auto *usage = info ? info->findChild<QLabel *>(QStringLiteral("usageLabel")) : nullptr;
    auto *modes = info ? info->findChild<QLabel *>(QStringLiteral("modeIntroLabel")) : nullptr;
    auto *versions = info ? info->findChild<QLabel *>(QStringLiteral("versionValueLabel")) : nullptr;
    if (!logo || !usage || !modes || !versions) {
        *detail = tr("the information page lacks its logo, steps, modes or versions");
        return false;
    }
    QStringList faults;
    if (!logo->isVisible() || logo->pixmap(Qt::ReturnByValue).isNull())
        faults.append(tr("no logo"));
    const RichText steps = readRichText(usage->text());
    const RichText intro = readRichText(modes->text());
    if (steps.lines.isEmpty())
        faults.append(tr("no usage steps"));
    if (intro.lines.isEmpty())
        faults.append(tr("no mode introduction"));
    const RichText shown = readRichText(versions->text());
    if (shown.lines.size() != 3)
        faults.append(tr("%n version line(s) instead of 3", nullptr, shown.lines.size()));
    if (shown.red)
        faults.append(tr("a version is marked missing"));
    const QString listed = shown.lines.join(QStringLiteral("; "));
    if (!shoot(QStringLiteral("veltra-info"), detail))
        return false;
    if (!faults.isEmpty()) {
        *detail = faults.join(QStringLiteral(", ")) + QStringLiteral(" (") + listed
                  + QLatin1Char(')');
        return false;
    }
    *detail = tr("logo, %1 usage steps, %2 modes; versions %3")
                  .arg(steps.lines.size())
                  .arg(intro.lines.size())
                  .arg(listed);
    return true;
}

bool VeltraDemo::showCalibrationTab(QString *detail)
{
    if (!openTab(QStringLiteral("calibNavBtn"), 1, detail))
        return false;
    eventwait::until([this] { return m_controller->axisCount() > 0; }, kTableMs);
    const int axes = m_controller->axisCount();
    m_factoryDh = controllerDh();
    QWidget *result = card(QStringLiteral("dhparameterWidget"));
    const bool filled = eventwait::until(
        [this, result, axes] {
            return allFilled(setupValues())
                   && allFilled(cellTexts(result, QStringLiteral("tableLayout"), kFirstJointRow,
                                          kFirstJointRow + axes - 1, 1, 4));
        },
        kTableMs);
    m_before = setupValues();
    if (!shoot(QStringLiteral("veltra-calib-connected"), detail))
        return false;
    if (!filled) {
        *detail = tr("the DH tables did not fill with the controller's %1 joints").arg(axes);
        return false;
    }
    // A separate controller keeps its DH set across runs: a second demo finds it calibrated.
    const QString calibrated = calibratedBefore();
    if (!calibrated.isEmpty())
        say(tr("the controller does not hold the factory DH set of %1 (%2): the robot was "
               "calibrated before this demo, so the first ISO test measures it as calibrated, "
               "not as built")
                .arg(m_controller->robotName(), calibrated));
    *detail = tr("setup page and result card list the controller's DH parameters of %1 joints "
                 "(J1: alpha %2, a %3, d %4, theta %5)")
                  .arg(axes)
                  .arg(m_before.value(0), m_before.value(1), m_before.value(2), m_before.value(3));
    return true;
}

// The first DH value that differs from the robot model's factory set; empty when none does or
// the model is unknown.
QString VeltraDemo::calibratedBefore() const
{
    const QList<sim::RobotModel> models = sim::SimulatedController::models();
    for (const sim::RobotModel &model : models) {
        if (model.name != m_controller->robotName() || model.dh.size() != m_factoryDh.size())
            continue;
        static const char *const names[] = {"alpha", "a", "d", "theta"};
        for (int k = 0; k < model.dh.size(); ++k) {
            if (std::abs(model.dh.at(k) - m_factoryDh.at(k)) > 1e-9)
                return tr("J%1 %2 %3 instead of %4")
                    .arg(k / kDHValues + 1)
                    .arg(QLatin1String(names[k % kDHValues]))
                    .arg(m_factoryDh.at(k))
                    .arg(model.dh.at(k));
        }
    }
    return QString();
}

// Unlocks the table with the password, as a service engineer types it (the page ignores the
// letter case), frees the fixed parameters of the last joint and locks the table again. The run
// then shows that the request file carries the choice.
bool VeltraDemo::chooseParameters(QString *detail)
{
    QWidget *setup = card(QStringLiteral("setupWidget"));
    auto *lock = setup ? setup->findChild<QPushButton *>(QStringLiteral("lockBtn")) : nullptr;
    const int axes = m_controller->axisCount();
    const int lastRow = kFirstJointRow + axes - 1;
    auto *rowButton = qobject_cast<QPushButton *>(
        cellWidget(setup, QStringLiteral("tableLayout"), lastRow, kRowButtonColumn));
    const QVector<QCheckBox *> boxes = rowBoxes(setup, lastRow);
    if (!lock || !rowButton || boxes.contains(nullptr)) {
        *detail = tr("the setup page lacks its lock button or the boxes and row button of J%1")
                      .arg(axes);
        return false;
    }
    if (rowButton->isEnabled()) {
        *detail = tr("the table is not locked before the password");
        return false;
    }

    m_answerer->setPassword(QStringLiteral("SORVIK"));
    const bool pressed = press(lock, detail);
    m_answerer->setPassword(QString());
    if (!pressed)
        return false;
    if (!rowButton->isEnabled() || !boxes.first()->isEnabled()) {
        *detail = tr("the table stayed locked after the password (lock button \"%1\")")
                      .arg(ModalAnswerer::plainText(lock->text()));
        return false;
    }
    if (!press(rowButton, detail))
        return false;
    if (!allChecked(boxes)) {
        *detail = tr("the row button of J%1 did not check all four parameters").arg(axes);
        return false;
    }
    if (!shoot(QStringLiteral("veltra-calib-unlocked"), detail))
        return false;
    const QString unlockedText = ModalAnswerer::plainText(lock->text());
    if (!press(lock, detail))
        return false;
    if (rowButton->isEnabled() || boxes.first()->isEnabled() || !allChecked(boxes)) {
        *detail = tr("locking again did not disable the table or lost the choice");
        return false;
    }
    m_lastJointFreed = true;
    *detail = tr("unlocked with the password (\"%1\"), all four parameters of J%2 chosen (row "
                 "button now \"%3\"), locked again (\"%4\")")
                  .arg(unlockedText)
                  .arg(axes)
                  .arg(ModalAnswerer::plainText(rowButton->text()), ModalAnswerer::plainText(lock->text()));
    return true;
}

bool VeltraDemo::runCalibration(bool autoApply, QString *detail)
{
    if (!openTab(QStringLiteral("calibNavBtn"), 1, detail))
        return false;
    QWidget *setup = card(QStringLiteral("setupWidget"));
    QWidget *runCard = card(QStringLiteral("calibWidget"));
    QWidget *result = card(QStringLiteral("dhparameterWidget"));
    auto *serial = setup ? setup->findChild<QLineEdit *>(QStringLiteral("snLineEdit")) : nullptr;
    auto *start =
        runCard ? runCard->findChild<QPushButton *>(QStringLiteral("runCalibrationBtn")) : nullptr;
    auto *status =
        runCard ? runCard->findChild<QLabel *>(QStringLiteral("calibrationLabel")) : nullptr;
    auto *progress =
        runCard ? runCard->findChild<QLabel *>(QStringLiteral("connectionLabel")) : nullptr;
    auto *average =
        result ? result->findChild<QLineEdit *>(QStringLiteral("averagePosErrorText")) : nullptr;
    auto *maximum =
        result ? result->findChild<QLineEdit *>(QStringLiteral("averagePoseErrorText")) : nullptr;
    auto *automatic =
        setup ? setup->findChild<QAbstractButton *>(QStringLiteral("autoApplySwitch")) : nullptr;
    if (!serial || !start || !status || !progress || !average || !maximum || !automatic) {
        *detail = tr("the calibration tab lacks its serial number field, auto apply switch, run "
                     "card or result card");
        return false;
    }
    if (automatic->isChecked() != autoApply) {
        say(autoApply ? tr("switching auto apply on") : tr("switching auto apply off"));
        automatic->click();
        if (automatic->isChecked() != autoApply) {
            *detail = tr("the auto apply switch does not turn");
            return false;
        }
    }

    say(tr("typing serial number %1").arg(m_serialNumber));
    type(serial, m_serialNumber);
    if (serial->text() != m_serialNumber) {
        *detail = tr("the serial number field holds \"%1\"").arg(serial->text());
        return false;
    }
    const QString idle = start->text();
    if (!press(start, detail))
        return false;

    QString lastProgress;
    const auto ended = [&] {
        const QString now = progress->text();
        if (now != lastProgress) {
            lastProgress = now;
            if (!now.isEmpty())
                say(tr("run card: %1").arg(now));
        }
        const bool shown = allFilled(optimisedValues()) && !average->text().isEmpty();
        return shown || (start->isEnabled() && start->text() == idle);
    };
    const bool finished = eventwait::until(ended, kCalibrationMs);
    m_optimised = optimisedValues();
    const bool shown = allFilled(m_optimised) && !average->text().isEmpty();
    if (!finished || !shown) {
        *detail = finished ? tr("the run ended without a result (run card: \"%1\", \"%2\")")
                                 .arg(status->text(), progress->text())
                           : tr("no result within %1 s (run card: \"%2\", \"%3\")")
                                 .arg(kCalibrationMs / 1000)
                                 .arg(status->text(), progress->text());
        shoot(QStringLiteral("veltra-calib-result"), detail);
        return false;
    }
    bringIntoView(average);
    if (!shoot(QStringLiteral("veltra-calib-result"), detail))
        return false;
    bool lastJointLocked = false;
    const QString request = requestSummary(&lastJointLocked);
    if (m_lastJointFreed == lastJointLocked) {
        *detail = m_lastJointFreed
                      ? tr("the request file still keeps parameters of the last joint: %1")
                            .arg(request)
                      : tr("the request file frees the last joint without being asked: %1")
                            .arg(request);
        return false;
    }
    *detail = tr("%1 calibrated: optimised DH parameters of %2 joints, validation error average "
                 "%3 mm, maximum %4 mm; run card says \"%5\"; request file: %6")
                  .arg(m_serialNumber)
                  .arg(m_optimised.size() / kDHValues)
                  .arg(average->text(), maximum->text(), status->text(), request);
    return true;
}

// The operator gives the first result up: the robot keeps its DH set, the setup page goes back
// to the default choice, and the request file stays for the ISO settings.
bool VeltraDemo::giveUpResult(QString *detail)
{
    QWidget *result = card(QStringLiteral("dhparameterWidget"));
    auto *giveUp = result ? result->findChild<QPushButton *>(QStringLiteral("giveUpBtn")) : nullptr;
    if (!giveUp || m_optimised.isEmpty()) {
        *detail = tr("there is no result to give up");
        return false;
    }
    if (!press(giveUp, detail))
        return false;
    const bool cleared = eventwait::until(
        [this] { return !allFilled(optimisedValues()); }, kTableMs);
    eventwait::settle(kPaintMs);
    if (!shoot(QStringLiteral("veltra-calib-given-up"), detail))
        return false;
    if (!cleared) {
        *detail = tr("the result card still shows the optimised parameters");
        return false;
    }
    const QVector<double> now = controllerDh();
    if (now.isEmpty() || now != m_factoryDh) {
        *detail = tr("the controller's DH parameters changed although the result was given up");
        return false;
    }
    bool found = false;
    readWorkFile(QStringLiteral("calibInfo.json"), &found);
    if (!found) {
        *detail = tr("calibInfo.json is gone");
        return false;
    }
    m_lastJointFreed = false;
    m_optimised.clear();
    *detail = tr("result given up: the controller keeps its %1 DH values, the setup page is back "
                 "to the default choice, calibInfo.json stays")
                  .arg(now.size());
    return true;
}

bool VeltraDemo::applyResult(QString *detail)
{
    QWidget *setup = card(QStringLiteral("setupWidget"));
    QWidget *result = card(QStringLiteral("dhparameterWidget"));
    auto *confirm = result ? result->findChild<QPushButton *>(QStringLiteral("confirmBtn")) : nullptr;
    auto *automatic =
        setup ? setup->findChild<QAbstractButton *>(QStringLiteral("autoApplySwitch")) : nullptr;
    if (!confirm || m_optimised.isEmpty()) {
        *detail = tr("there is no result to apply");
        return false;
    }

    const int rebootsBefore = m_controller->reboots();
    QString way;
    if (confirm->isEnabled()) {
        way = ModalAnswerer::plainText(confirm->text());
        if (!press(confirm, detail))
            return false;
    } else if (automatic && automatic->isChecked()) {
        way = tr("auto apply");
        say(tr("auto apply is on: the result card writes the result by itself"));
    } else {
        *detail = tr("neither \"%1\" nor auto apply is offered").arg(ModalAnswerer::plainText(confirm->text()));
        return false;
    }

    const bool rebooted = eventwait::until(
        [this, rebootsBefore] { return m_controller->reboots() > rebootsBefore; }, kApplyMs);
    if (!rebooted) {
        *detail = tr("the controller was not rebooted within %1 s").arg(kApplyMs / 1000);
        return false;
    }
    say(tr("the controller reboots"));
    eventwait::settle(kPaintMs);
    if (!shoot(QStringLiteral("veltra-calib-applied"), detail))
        return false;

    const bool back = eventwait::until(linkUp, m_rebootWaitMs + kLinkBackExtraMs);
    // Alpha, a and d are the optimised ones now; theta stays the controller's own.
    const auto updated = [this] {
        const QStringList now = setupValues();
        if (now.size() != m_optimised.size() || now.size() != m_before.size())
            return false;
        for (int k = 0; k < now.size(); ++k) {
            const QString &expected = k % 4 == 3 ? m_before.at(k) : m_optimised.at(k);
            if (!sameNumber(now.at(k), expected))
                return false;
        }
        return true;
    };
    const bool shown = back && eventwait::until(updated, kTableMs);
    const QStringList after = setupValues();
    if (!shoot(QStringLiteral("veltra-calib-new-params"), detail))
        return false;
    if (!back) {
        *detail = tr("the controller did not come back after the reboot");
        return false;
    }
    if (!shown) {
        *detail = tr("the setup page does not show the optimised parameters after the reboot");
        return false;
    }
    QString example;
    for (int k = 0; k < after.size() && example.isEmpty(); ++k) {
        if (after.at(k) != m_before.value(k)) {
            static const char *const names[] = {"alpha", "a", "d", "theta"};
            example = tr("J%1 %2 %3 -> %4")
                          .arg(k / 4 + 1)
                          .arg(QLatin1String(names[k % 4]), m_before.value(k), after.at(k));
        }
    }
    const QVector<double> held = controllerDh();
    if (held.isEmpty() || held == m_factoryDh) {
        *detail = tr("the controller does not hold the new DH parameters");
        return false;
    }
    *detail = tr("written by %1, controller rebooted and back; the setup page shows the new DH "
                 "parameters (%2)")
                  .arg(way, example);
    return !example.isEmpty();
}

bool VeltraDemo::runIsoTest(const QString &name, double *accuracy, QString *detail)
{
    if (!openTab(QStringLiteral("isoNavBtn"), 2, detail))
        return false;
    QWidget *settings = card(QStringLiteral("setupisowidget"));
    QWidget *display = card(QStringLiteral("displayisowidget"));
    const auto find = [](QWidget *in, const QString &name) {
        return in ? in->findChild<QWidget *>(name) : nullptr;
    };
    auto *count = qobject_cast<QLineEdit *>(find(settings, QStringLiteral("collectLineEdit")));
    auto *path = qobject_cast<QLabel *>(find(settings, QStringLiteral("pathLabel")));
    auto *choose = qobject_cast<QPushButton *>(find(settings, QStringLiteral("selectPathBtn")));
    auto *save = qobject_cast<QPushButton *>(find(settings, QStringLiteral("saveBtn")));
    auto *start = qobject_cast<QPushButton *>(find(display, QStringLiteral("startISO")));
    auto *keep = qobject_cast<QPushButton *>(find(display, QStringLiteral("saveReport")));
    auto *round = qobject_cast<QLabel *>(find(display, QStringLiteral("label_2")));
    if (!count || !path || !choose || !save || !start || !keep || !round) {
        *detail = tr("the ISO tab lacks its settings or result card");
        return false;
    }

    const bool poses = eventwait::until(
        [settings] {
            return allFilled(cellTexts(settings, QStringLiteral("defaultLayout"), 1, kIsoPoints, 1,
                                       kPoseValues));
        },
        kTableMs);
    if (!poses) {
        *detail = tr("the default poses of %1 did not show").arg(m_controller->robotName());
        return false;
    }
    say(tr("settings card shows the default poses of %1").arg(m_controller->robotName()));

    if (m_samples > 0) {
        say(tr("typing %1 samples per point").arg(m_samples));
        type(count, QString::number(m_samples));
    }
    const int rounds = count->text().toInt();

    if (m_reportFolder.isEmpty() || !QDir().mkpath(m_reportFolder)) {
        *detail = tr("no report folder to choose");
        return false;
    }
    m_answerer->setFolderChoice(m_reportFolder);
    if (!press(choose, detail))
        return false;
    const QString chosen = QFileInfo(path->text()).canonicalFilePath();
    if (chosen.isEmpty() || chosen != QFileInfo(m_reportFolder).canonicalFilePath()) {
        *detail = tr("the report folder shows \"%1\"").arg(path->text());
        return false;
    }
    if (!press(save, detail))
        return false;
    if (!eventwait::until([start] { return start->isEnabled(); }, kTabMs)) {
        *detail = tr("saving the settings did not enable \"%1\"").arg(ModalAnswerer::plainText(start->text()));
        return false;
    }

    // The start button's text is the state of the run.
    const QString idle = start->text();
    if (!press(start, detail))
        return false;
    const QString collecting = start->text();
    if (collecting == idle) {
        *detail = tr("the ISO collector did not start");
        return false;
    }
    // The page shows a fixed box when the collector fails; its reason is on standard error.
    QString reason;
    const QObject listening; // ends the connection with this step
    if (auto *collector = display->findChild<QProcess *>()) {
        connect(collector, &QProcess::readyReadStandardError, &listening, [collector, &reason] {
            reason += QString::fromLocal8Bit(collector->readAllStandardError());
        });
    }
    QString lastRound;
    const bool collected = eventwait::until(
        [&] {
            if (round->text() != lastRound) {
                lastRound = round->text();
                if (!lastRound.isEmpty())
                    say(tr("ISO round %1").arg(lastRound));
            }
            return start->text() != collecting;
        },
        (rounds > 0 ? rounds : kCardSampleDefault) * kIsoRoundMs + kIsoExtraMs);
    if (!reason.trimmed().isEmpty())
        say(tr("ISO collector: %1").arg(reason.trimmed()));
    if (!collected || start->text() == idle) {
        *detail = collected ? tr("the ISO collector failed")
                            : tr("the ISO collector did not end in time");
        if (!reason.trimmed().isEmpty())
            *detail += QStringLiteral(": ") + reason.trimmed();
        return false;
    }

    if (!press(start, detail))
        return false;
    const auto reported = [display] {
        return allFilled(
            cellTexts(display, QStringLiteral("gridLayout"), 1, kIsoPoints, 1, kIsoFigures));
    };
    const bool shown = eventwait::until(
        [&] { return reported() || (start->isEnabled() && !keep->isEnabled()); }, kReportMs);
    int points = 0;
    double mean = -1.0;
    const bool written = isoResultsWritten(&points, &mean);
    const QString firstAccuracy = cellText(display, QStringLiteral("gridLayout"), 1, 1);
    // The whole table of figures: its last row, then its first.
    bringIntoView(cellWidget(display, QStringLiteral("gridLayout"), kIsoPoints, 0));
    bringIntoView(cellWidget(display, QStringLiteral("gridLayout"), 0, 0));
    if (!shoot(QStringLiteral("veltra-iso-report-") + name, detail))
        return false;
    if (!shown || !reported() || !written) {
        *detail = !written ? tr("optimized_dh.json holds no \"Accuracy\" of %1 poses in "
                                "\"iso_results\"")
                                 .arg(kIsoPoints)
                           : tr("the results table did not fill");
        return false;
    }
    *accuracy = mean;
    say(tr("ISO accuracy of the %1 robot: %2 mm (mean of the %3 poses)")
            .arg(name)
            .arg(mean, 0, 'f', 4)
            .arg(points));

    const auto reports = [this] {
        return QDir(m_reportFolder).entryList({QStringLiteral("iso_report_*")}, QDir::Dirs);
    };
    const QStringList before = reports();
    const int boxes = m_answerer->records().size();
    if (!press(keep, detail))
        return false;
    const bool copied = eventwait::until(
        [this, boxes] { return m_answerer->records().size() > boxes; }, kCopyMs);
    const QStringList after = reports();
    QString report;
    for (const QString &name : after) {
        if (!before.contains(name))
            report = QDir(m_reportFolder).filePath(name);
    }
    if (!shoot(QStringLiteral("veltra-iso-saved-") + name, detail))
        return false;
    if (!copied || report.isEmpty()
        || !QFileInfo::exists(QDir(report).filePath(QStringLiteral("optimized_dh.json")))) {
        *detail = tr("the report was not saved into %1").arg(QDir::toNativeSeparators(m_reportFolder));
        return false;
    }
    *detail = tr("%1 rounds over %2 poses, report of %3 points shown (P1 accuracy %4, mean "
                 "%5 mm), saved to %6")
                  .arg(rounds)
                  .arg(kIsoPoints)
                  .arg(points)
                  .arg(firstAccuracy)
                  .arg(mean, 0, 'f', 4)
                  .arg(QDir::toNativeSeparators(report));
    return true;
}

bool VeltraDemo::compareAccuracy(QString *detail)
{
    if (m_accuracyBefore < 0 || m_accuracyAfter < 0) {
        *detail = tr("an ISO test gave no accuracy");
        return false;
    }
    const double gain =
        m_accuracyAfter > 0 ? m_accuracyBefore / m_accuracyAfter : RequiredGain + 1.0;
    say(tr("ISO accuracy before calibration %1 mm, after %2 mm")
            .arg(m_accuracyBefore, 0, 'f', 4)
            .arg(m_accuracyAfter, 0, 'f', 4));
    *detail = tr("%1 mm -> %2 mm, %3 times better (at least %4 needed)")
                  .arg(m_accuracyBefore, 0, 'f', 4)
                  .arg(m_accuracyAfter, 0, 'f', 4)
                  .arg(gain, 0, 'f', 1)
                  .arg(RequiredGain, 0, 'f', 0);
    return gain >= RequiredGain;
}

bool VeltraDemo::showRecords(QString *detail)
{
    if (!openTab(QStringLiteral("recordNavBtn"), 3, detail))
        return false;
    auto *table = m_page->findChild<QTableView *>(QStringLiteral("recordTable"));
    auto *restore = m_page->findChild<QPushButton *>(QStringLiteral("restoreBtn"));
    if (!table || !restore) {
        *detail = tr("the records page lacks its list or its restore button");
        return false;
    }
    const bool listed = eventwait::until([table] { return table->model()->rowCount() > 0; },
                                         kTableMs);
    bringIntoView(table);
    eventwait::settle(kPaintMs);
    if (!shoot(QStringLiteral("veltra-records"), detail))
        return false;
    if (!listed) {
        *detail = tr("the records page lists nothing");
        return false;
    }
    const auto cell = [table](int column) {
        return table->model()->index(0, column).data().toString();
    };
    *detail = tr("%1 record(s); the newest: %2, %3, %4, ISO AP %5 -> %6 mm")
                  .arg(table->model()->rowCount())
                  .arg(cell(0), cell(2), cell(3), cell(6), cell(7));
    if (!restore->isEnabled()) {
        *detail += tr("; it cannot be restored");
        return false;
    }
    return true;
}

bool VeltraDemo::restoreCalibration(QString *detail)
{
    auto *restore = m_page->findChild<QPushButton *>(QStringLiteral("restoreBtn"));
    auto *table = m_page->findChild<QTableView *>(QStringLiteral("recordTable"));
    if (!restore || !table || !restore->isEnabled()) {
        *detail = tr("there is no record to restore");
        return false;
    }
    const int rows = table->model()->rowCount();
    const int rebootsBefore = m_controller->reboots();
    // The confirmation offers "No" first; the operator means it.
    m_answerer->pressNext(QMessageBox::Yes);
    if (!press(restore, detail))
        return false;
    const bool back = rebootedAndBack(rebootsBefore);
    const bool listed =
        eventwait::until([table, rows] { return table->model()->rowCount() > rows; }, kTableMs);
    eventwait::settle(kPaintMs);
    if (!shoot(QStringLiteral("veltra-records-restored"), detail))
        return false;
    if (!back) {
        *detail = tr("the controller was not rebooted and back after the restore");
        return false;
    }
    const QVector<double> held = controllerDh();
    if (held != m_factoryDh) {
        *detail = tr("the controller does not hold the DH parameters from before the calibration");
        return false;
    }
    if (!listed) {
        *detail = tr("the restore left no record");
        return false;
    }
    *detail = tr("the controller holds its DH parameters from before the calibration again; "
                 "the restore is record %1")
                  .arg(table->model()->rowCount());
    return true;
}

bool VeltraDemo::compareRestored(QString *detail)
{
    if (m_accuracyBefore < 0 || m_accuracyRestored < 0 || m_repeatabilityBefore < 0) {
        *detail = tr("an ISO test gave no accuracy or repeatability");
        return false;
    }
    const double difference = std::abs(m_accuracyRestored - m_accuracyBefore);
    // The ISO tests keep the tracker's registration while its reference poses read the same, so
    // two tests of one robot in one state differ only by what the robot and the tracker scatter.
    const double tolerance = m_repeatabilityBefore;
    const bool same = difference <= tolerance;
    *detail = tr("uncalibrated %1 mm, restored %2 mm: %3 mm apart, within the repeatability "
                 "%4 mm: %5")
                  .arg(m_accuracyBefore, 0, 'f', 4)
                  .arg(m_accuracyRestored, 0, 'f', 4)
                  .arg(difference, 0, 'f', 4)
                  .arg(tolerance, 0, 'f', 4)
                  .arg(same ? tr("yes") : tr("no"));
    return same;
}

QString VeltraDemo::complianceFolder() const
{
    return QDir(m_reportFolder).filePath(QStringLiteral("compliance"));
}

// The automatic calibration's readings and model, as its collector left them, identified again
// with the request's choice and the joints' compliance.
bool VeltraDemo::identifyCompliance(QString *detail)
{
    bool found = false;
    QJsonObject request = readWorkFile(QStringLiteral("calibInfo.json"), &found);
    const QString base = QDir(m_workFolder).filePath(QStringLiteral("results/calib_results/%1")
                                                         .arg(m_serialNumber));
    const QString measurements = base + QStringLiteral("_measurements.csv");
    const QString model = base + QStringLiteral("_model.json");
    if (!found || !QFileInfo::exists(measurements) || !QFileInfo::exists(model)) {
        *detail = tr("the calibration run left no request, readings or model");
        return false;
    }
    const QString folder = complianceFolder();
    request.insert(QStringLiteral("compliance"), true);
    const QString requestPath = QDir(folder).filePath(QStringLiteral("calibInfo.json"));
    QFile file(requestPath);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(request).toJson()) < 0 || !file.flush()) {
        *detail = tr("cannot write %1").arg(QDir::toNativeSeparators(requestPath));
        return false;
    }
    file.close();
    QString output;
    if (!runIdentify({QStringLiteral("--model"), model, QStringLiteral("--measurements"),
                      measurements, QStringLiteral("--request"), requestPath,
                      QStringLiteral("--out"), folder},
                     kIdentifyMs, &output, detail))
        return false;
    QFile resultFile(QDir(folder).filePath(QStringLiteral("optimized_dh.json")));
    const QJsonObject result = resultFile.open(QIODevice::ReadOnly)
                                   ? QJsonDocument::fromJson(resultFile.readAll()).object()
                                   : QJsonObject();
    const QJsonArray compliance = result.value(QStringLiteral("joint_compliance"))
                                      .toObject()
                                      .value(QStringLiteral("values"))
                                      .toArray();
    if (compliance.isEmpty()) {
        *detail = tr("the result holds no joint compliance");
        return false;
    }
    QStringList values;
    for (const QJsonValue &v : compliance)
        values.append(QString::number(v.toDouble() * 1e6, 'f', 2));
    *detail = tr("validation error %1 mm mean, %2 mm largest; compliance %3 urad/(N*m)")
                  .arg(result.value(QStringLiteral("avg_valid_position_error")).toDouble(), 0,
                       'f', 4)
                  .arg(result.value(QStringLiteral("max_valid_position_error")).toDouble(), 0,
                       'f', 4)
                  .arg(values.join(QStringLiteral(", ")));
    return true;
}

bool VeltraDemo::applyCompliance(QString *detail)
{
    if (m_controllerAddress.isEmpty()) {
        *detail = tr("the controller has no address for programs");
        return false;
    }
    const int rebootsBefore = m_controller->reboots();
    QString output;
    if (!runIdentify({QStringLiteral("--apply"), m_controllerAddress, QStringLiteral("--out"),
                      complianceFolder()},
                     kApplyMs + kIdentifyMs, &output, detail))
        return false;
    const bool back = rebootedAndBack(rebootsBefore);
    if (!back) {
        *detail = tr("the controller was not rebooted and back after the apply");
        return false;
    }
    const QVector<double> held = controllerDh();
    if (held.isEmpty() || held == m_factoryDh) {
        *detail = tr("the controller does not hold the new DH parameters");
        return false;
    }
    *detail = tr("DH parameters, zero offsets and compliance written, controller rebooted and "
                 "back");
    return true;
}

bool VeltraDemo::compareCompliance(QString *detail)
{
    if (m_accuracyBefore < 0 || m_accuracyAfter < 0 || m_accuracyCompliant < 0) {
        *detail = tr("an ISO test gave no accuracy");
        return false;
    }
    const double gain = m_accuracyCompliant > 0 ? m_accuracyBefore / m_accuracyCompliant
                                                : RequiredComplianceGain + 1.0;
    say(tr("ISO accuracy uncalibrated %1 mm, DH %2 mm, DH with compliance %3 mm")
            .arg(m_accuracyBefore, 0, 'f', 4)
            .arg(m_accuracyAfter, 0, 'f', 4)
            .arg(m_accuracyCompliant, 0, 'f', 4));
    *detail = tr("%1 mm -> %2 mm -> %3 mm, %4 times better (at least %5 needed)")
                  .arg(m_accuracyBefore, 0, 'f', 4)
                  .arg(m_accuracyAfter, 0, 'f', 4)
                  .arg(m_accuracyCompliant, 0, 'f', 4)
                  .arg(gain, 0, 'f', 1)
                  .arg(RequiredComplianceGain, 0, 'f', 0);
    return gain >= RequiredComplianceGain;
}

bool VeltraDemo::rebootedAndBack(int rebootsBefore)
{
    const bool rebooted = eventwait::until(
        [this, rebootsBefore] { return m_controller->reboots() > rebootsBefore; }, kApplyMs);
    return rebooted && eventwait::until(linkUp, m_rebootWaitMs + kLinkBackExtraMs);
}

// The plug-in's records hold what the plug-in wrote; the compliance is the offline program's,
// so it is taken off by hand before the restore brings the robot back to where it started.
bool VeltraDemo::takeComplianceOff(QString *detail)
{
    const int axes = m_controller->axisCount();
    QJsonArray zeros;
    for (int k = 0; k < axes; ++k)
        zeros.append(0.0);
    const QJsonValue answer = m_controller->command(QStringLiteral("factory.set_compliance"),
                                                    QJsonObject{{QStringLiteral("values"), zeros}});
    const QJsonValue read = m_controller->command(QStringLiteral("factory.get_compliance"));
    const QJsonArray values = read.toObject()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("values"))
                                  .toArray();
    bool off = axes > 0 && values.size() == axes;
    for (const QJsonValue &v : values)
        off = off && v.toDouble(-1.0) == 0.0;
    *detail = off ? tr("the controller compensates no compliance any more")
                  : tr("the controller still holds a compliance (%1)")
                        .arg(QString::fromUtf8(QJsonDocument(answer.toObject()).toJson(
                            QJsonDocument::Compact)));
    return off;
}

bool VeltraDemo::runIdentify(const QStringList &arguments, int ms, QString *output,
                             QString *detail)
{
    if (!QFileInfo(m_identifyProgram).isExecutable()) {
        *detail = tr("%1 cannot be run").arg(QDir::toNativeSeparators(m_identifyProgram));
        return false;
    }
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(m_identifyProgram, arguments);
    const bool ended =
        eventwait::until([&program] { return program.state() == QProcess::NotRunning; }, ms);
    if (!ended) {
        program.kill();
        program.waitForFinished(kCopyMs);
    }
    *output = QString::fromUtf8(program.readAll());
    for (const QString &line : output->split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        say(line.trimmed());
    if (!ended || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0) {
        *detail = ended ? tr("identifyCalib exited with %1").arg(program.exitCode())
                        : tr("identifyCalib did not end within %1 s").arg(ms / 1000);
        return false;
    }
    return true;
}

double VeltraDemo::isoMean(const QString &figure) const
{
    bool found = false;
    const QJsonArray rows =
        readWorkFile(QStringLiteral("optimized_dh.json"), &found).value(QStringLiteral("iso_results")).toArray();
    if (!found || rows.size() != kIsoPoints)
        return -1.0;
    double sum = 0.0;
    for (const QJsonValue &row : rows) {
        const QJsonValue value = row.toObject().value(figure);
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            return -1.0;
        sum += value.toDouble();
    }
    return sum / rows.size();
}

bool VeltraDemo::openTab(const QString &button, int index, QString *detail)
{
    auto *tab = m_page->findChild<QPushButton *>(button);
    auto *stack = m_page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    if (!tab || !stack) {
        *detail = tr("the page has no tab button %1").arg(button);
        return false;
    }
    if (!press(tab, detail))
        return false;
    if (!eventwait::until([stack, index] { return stack->currentIndex() == index; }, kTabMs)) {
        *detail = tr("the tab %1 did not open").arg(ModalAnswerer::plainText(tab->text()));
        return false;
    }
    eventwait::settle(kPaintMs);
    return true;
}

QJsonObject VeltraDemo::readWorkFile(const QString &name, bool *found) const
{
    QFile file(QDir(m_workFolder).filePath(name));
    *found = file.open(QIODevice::ReadOnly);
    return *found ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

bool VeltraDemo::isoResultsWritten(int *points, double *meanAccuracy) const
{
    bool found = false;
    const QJsonValue results =
        readWorkFile(QStringLiteral("optimized_dh.json"), &found).value(QStringLiteral("iso_results"));
    const QJsonArray rows = results.toArray();
    *points = rows.size();
    if (!found || !results.isArray() || rows.size() != kIsoPoints)
        return false;
    double sum = 0.0;
    for (const QJsonValue &row : rows) {
        const QJsonValue value = row.toObject().value(QStringLiteral("Accuracy"));
        if (!value.isDouble() || !std::isfinite(value.toDouble()) || value.toDouble() < 0)
            return false;
        sum += value.toDouble();
    }
    *meanAccuracy = sum / rows.size();
    return true;
}

// The controller's DH set, read through the link; empty when it does not answer.
QVector<double> VeltraDemo::controllerDh()
{
    const QJsonArray values = m_controller->command(QStringLiteral("factory.get_DH_params_link"))
                                  .toObject()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("DH_PARAMS_LINK"))
                                  .toArray();
    QVector<double> dh;
    for (const QJsonValue &v : values)
        dh.append(v.toDouble());
    return dh;
}

// What "calibInfo.json" asked of the optimiser: the serial number, the mode and, per joint (-1
// for the last), the parameters it must keep.
QString VeltraDemo::requestSummary(bool *lastJointLocked) const
{
    *lastJointLocked = false;
    bool found = false;
    const QJsonObject root = readWorkFile(QStringLiteral("calibInfo.json"), &found);
    if (!found)
        return tr("not found");
    QStringList fixed;
    const QJsonArray constraints = root.value(QStringLiteral("algorithm_constraints")).toArray();
    for (const QJsonValue &constraint : constraints) {
        const QJsonObject object = constraint.toObject();
        if (object.value(QStringLiteral("joint_index")).toInt() == -1)
            *lastJointLocked = true;
        QStringList names;
        const QJsonArray locked = object.value(QStringLiteral("locked_params")).toArray();
        for (const QJsonValue &name : locked)
            names.append(name.toString());
        fixed.append(tr("joint %1 keeps %2")
                         .arg(object.value(QStringLiteral("joint_index")).toInt())
                         .arg(names.join(QLatin1Char(' '))));
    }
    return tr("SN %1, mode %2, %3")
        .arg(root.value(QStringLiteral("robot_profile"))
                 .toObject()
                 .value(QStringLiteral("serial_number"))
                 .toString(),
             root.value(QStringLiteral("mode")).toString(),
             fixed.isEmpty() ? tr("every parameter free") : fixed.join(QStringLiteral("; ")));
}

bool VeltraDemo::press(QAbstractButton *button, QString *detail)
{
    if (!button || !button->isVisible() || !button->isEnabled()) {
        *detail = button ? tr("\"%1\" cannot be pressed").arg(ModalAnswerer::plainText(button->text()))
                         : tr("a button is missing");
        return false;
    }
    say(tr("pressing \"%1\"").arg(ModalAnswerer::plainText(button->text())));
    // Runs the button's handler to its end, including the boxes it opens.
    button->click();
    return true;
}

// Types like a keyboard, so the field's validator and edit signals see each key.
void VeltraDemo::type(QLineEdit *edit, const QString &text)
{
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    for (const QChar c : text) {
        const int key = c.toUpper().unicode();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(edit, &release);
    }
}

bool VeltraDemo::shoot(const QString &what, QString *detail)
{
    eventwait::settle(kPaintMs);
    if (m_shoot(what))
        return true;
    *detail = tr("no screenshot of %1").arg(what);
    return false;
}

QWidget *VeltraDemo::card(const QString &name) const
{
    return m_page ? m_page->findChild<QWidget *>(name) : nullptr;
}

QStringList VeltraDemo::setupValues() const
{
    return cellTexts(card(QStringLiteral("setupWidget")), QStringLiteral("tableLayout"),
                     kFirstJointRow, kFirstJointRow + m_controller->axisCount() - 1, 1, 4);
}

QStringList VeltraDemo::optimisedValues() const
{
    return cellTexts(card(QStringLiteral("dhparameterWidget")), QStringLiteral("tableLayout"),
                     kFirstJointRow, kFirstJointRow + m_controller->axisCount() - 1,
                     kResultColumn, kResultColumn + 3);
}

void VeltraDemo::say(const QString &text)
{
    emit message(text);
}
