#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVector>

#include <functional>

class ModalAnswerer;
class QAbstractButton;
class QLineEdit;
class QWidget;

namespace sim {
class SimulatedController;
}

// The scripted demo of the calibration plug-in's page: it works the page as an operator would,
// through its widgets found by object name and class, and runs one whole calibration and one
// whole ISO test on the simulated controller with the stand-in external programs.
class VeltraDemo : public QObject
{
    Q_OBJECT

public:
    // Saves a screenshot named after `what`; false when none could be saved.
    using Shooter = std::function<bool(const QString &what)>;
    static constexpr int StepCount = 6;

    // `answerer` answers the boxes the page opens; it outlives the demo.
    VeltraDemo(QWidget *page, sim::SimulatedController *controller, ModalAnswerer *answerer,
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

    // Runs the steps in order, each to its end or its time-out; returns how many succeeded.
    int run();

signals:
    void message(const QString &text);

private:
    bool runStep(int index, QString *detail);
    bool showInformation(QString *detail);
    bool showCalibrationTab(QString *detail);
    bool chooseParameters(QString *detail);
    bool runCalibration(QString *detail);
    bool applyResult(QString *detail);
    bool runIsoTest(QString *detail);

    bool openTab(const QString &button, int index, QString *detail);
    // A JSON file of the work folder; *found is false when it cannot be read.
    QJsonObject readWorkFile(const QString &name, bool *found) const;
    bool isoResultsWritten(int *points) const;
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
    sim::SimulatedController *m_controller;
    ModalAnswerer *m_answerer;
    Shooter m_shoot;
    QString m_serialNumber = QStringLiteral("SN-DEMO-001");
    QString m_reportFolder;
    QString m_workFolder;
    int m_samples = 5;
    // What the steps pass on: the controller's set before, the optimised set after the run.
    QStringList m_before;
    QStringList m_optimised;
    bool m_lastJointFreed = false;
};
