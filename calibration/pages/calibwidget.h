#pragma once

#include "common/qualitygateresult.h"

#include <QDateTime>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The calibration run card: starts the pose collector and follows its progress.
class calibWidget : public QWidget
{
    Q_OBJECT

public:
    static calibWidget *instance(QWidget *parent = nullptr);
    ~calibWidget() override;

    // A calibration run is moving the robot or optimising.
    bool isRunning() const;

signals:
    void isAllOptionsSelect(bool &isSelected);
    void isSNEmpty();
    void writeIntoJson();
    void isRequestFileWritten(bool &written);
    void changeBtnsStatus(bool enable);
    void calibrationDoneVec(bool isReset);
    void calibrationDoneStr(QString calibAvgPosError, QString validAvgPosError);
    void qualityGateFailed(common::QualityGateResult result);

public slots:
    void resetAll();
    void onApplyRunning(bool running);

private slots:
    void onRunCalibrationBtnClicked();
    void onCalibrationFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onReadyReadStandardOutput();
    void onReadyReadStandardError();
    void cancelCalibration();

private:
    explicit calibWidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void paintEvent(QPaintEvent *event) override;

    void appendStderr(const QByteArray &bytes);
    void handleResult();
    void endWithReadFailure();
    void clearPanel();
    void archiveFailedReport() const;
    void setRunButtonEnabled(bool enabled);

    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *calibrationLabel = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *runCalibrationBtn = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *connectionLabel = nullptr;

    QPointer<QProcess> process;
    QString stderrText;
    int stderrBytes = 0; // bytes of the current run's standard error kept in stderrText
    QDateTime runStartedAt;
    bool running = false;
    bool runButtonEnabled = true; // as the run's state has it, while no write holds it
    bool applyRunning = false;    // the result card is writing to the controller
};
