#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <functional>

class ControllerProbe;
class ModalAnswerer;
class QAbstractButton;
class QLineEdit;
class QWidget;

// The scripted demo of the calibration plug-in's page: it works the page as an operator would,
// through its widgets found by object name and class, and tells the story of a calibration
// cell: a first calibration given up, an ISO test of the uncalibrated robot, a calibration that
// is applied by itself with a reboot, and the ISO test again. The robot's accuracy is the mean
// of the "Accuracy" values of the ISO results; the second must be at least three times better.
// Then the calibration run's readings are identified again offline with the joints' compliance
// (identifyCalib), written to the controller with it, and a third ISO test must be at least five
// times better than the first. Last, with the compliance taken off, the records page, a restore
// of the applied calibration, and a fourth ISO test that must match the first within the
// robot's repeatability.
class VeltraDemo : public QObject
{
    Q_OBJECT

public:
    // Saves a screenshot named after `what`; false when none could be saved.
    using Shooter = std::function<bool(const QString &what)>;
    static constexpr int StepCount = 19;
    // How much better the calibrated robot's ISO accuracy must be.
    static constexpr double RequiredGain = 3.0;
    // ... and with the joints' compliance identified and applied as well.
    static constexpr double RequiredComplianceGain = 5.0;

    // `answerer` answers the boxes the page opens; it outlives the demo.
    VeltraDemo(QWidget *page, ControllerProbe *controller, ModalAnswerer *answerer,
               Shooter shoot, QObject *parent = nullptr);
    ~VeltraDemo() override;

    // The plug-in's main page under `root`: the widget that holds its three tab buttons.
    static QWidget *findPage(QWidget *root);

    void setSerialNumber(const QString &serialNumber);
    // Where the ISO report goes; created when the demo chooses it.
    void setReportFolder(const QString &folder);
    // Samples per ISO point typed into the settings card; 0 or less keeps the card's own.
    void setSampleCount(int samples);
    // The work folder the stand-in programs write into.
    void setWorkFolder(const QString &folder);
    // How long the controller is expected to stay away for a reboot.
    void setRebootWait(int ms);
    // The controller's address for programs, and the offline identification program.
    void setControllerAddress(const QString &address);
    void setIdentifyProgram(const QString &path);

    // The mean ISO accuracy (mm) of the two tests; negative until measured.
    double accuracyBefore() const;
    double accuracyAfter() const;

    // Runs the steps in order, each to its end or its time-out; returns how many succeeded.
    int run();

signals:
    void message(const QString &text);

private:
    bool runStep(int index, QString *detail);
    bool showInformation(QString *detail);
    bool showCalibrationTab(QString *detail);
    bool chooseParameters(QString *detail);
    bool runCalibration(bool autoApply, QString *detail);
    bool giveUpResult(QString *detail);
    bool applyResult(QString *detail);
    bool runIsoTest(const QString &name, double *accuracy, QString *detail);
    bool compareAccuracy(QString *detail);
    bool showRecords(QString *detail);
    bool restoreCalibration(QString *detail);
    bool compareRestored(QString *detail);
    // Where the offline identification reads its request and writes its result.
    QString complianceFolder() const;
    bool identifyCompliance(QString *detail);
    bool applyCompliance(QString *detail);
    bool compareCompliance(QString *detail);
    bool takeComplianceOff(QString *detail);
    // Whether the controller rebooted since it had `rebootsBefore` reboots and its link is up.
    bool rebootedAndBack(int rebootsBefore);
    // Runs the identification program with `arguments`, keeping the event loop turning (the
    // controller may be served by this process); false, with the reason, unless it exits 0.
    bool runIdentify(const QStringList &arguments, int ms, QString *output, QString *detail);

    bool openTab(const QString &button, int index, QString *detail);
    // A JSON file of the work folder; *found is false when it cannot be read.
    QJsonObject readWorkFile(const QString &name, bool *found) const;
    // The mean of the "Accuracy" values of the ISO results; false unless every pose has one.
    bool isoResultsWritten(int *points, double *meanAccuracy) const;
    // The mean of one figure ("Repeatability", ...) of the ISO results; negative without one.
    double isoMean(const QString &figure) const;
    QVector<double> controllerDh();
    QString calibratedBefore() const;
    // *lastJointLocked tells whether the file keeps a parameter of the last joint (index -1).
    QString requestSummary(bool *lastJointLocked) const;
    bool press(QAbstractButton *button, QString *detail);
    void type(QLineEdit *edit, const QString &text);
    bool shoot(const QString &what, QString *detail);
    QWidget *card(const QString &name) const;
    QStringList setupValues() const;
    QStringList optimisedValues() const;
    void say(const QString &text);

    QPointer<QWidget> m_page;
    ControllerProbe *m_controller;
    ModalAnswerer *m_answerer;
    Shooter m_shoot;
    QString m_serialNumber = QStringLiteral("SN-DEMO-001");
    QString m_reportFolder;
    QString m_workFolder;
    int m_samples = 5;
    int m_rebootWaitMs = 1000;
    QString m_controllerAddress;
    QString m_identifyProgram;
    double m_accuracyBefore = -1.0;
    double m_accuracyAfter = -1.0;
    double m_accuracyRestored = -1.0;
    double m_accuracyCompliant = -1.0;
    double m_repeatabilityBefore = -1.0;
    QVector<double> m_factoryDh;
    // What the steps pass on: the controller's set before, the optimised set after the run.
    QStringList m_before;
    QStringList m_optimised;
    bool m_lastJointFreed = false;
};
