#pragma once

#include "common/qualitygateresult.h"
#include "records/calibrationrecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>
#include <QWidget>

#include <vector>

class QFormLayout;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The calibration result card: original and optimised DH parameters, apply and give up.
class dhparameterWidget : public QWidget
{
    Q_OBJECT

public:
    static dhparameterWidget *instance(QWidget *parent = nullptr);
    ~dhparameterWidget() override;

    bool isAutoApplyEnabled() const;
    // A DH set, zero offsets or reboot is being written to the controller.
    bool isApplying() const;
    // The run card's delayed write: only with the switch on and a result pending.
    void autoApply();
    // Writes a record's before-values back through the same guarded sequence as an apply.
    bool restore(const CalibrationRecord &record);

signals:
    void giveupBtnSignals();
    void confirmBtnSingals();
    // A write sequence starts (true) or has ended (false); the other cards hold still meanwhile.
    void applyRunning(bool running);
    // A write sequence whose DH write went through, complete or not.
    void calibrationWritten(const CalibrationRecord &record);

public slots:
    void initTableWithData();
    void onAutoApplyToggled(bool checked);
    void changeBtnsStatus(bool enable);
    void writeDHResLabls(bool isReset = false);
    void updateErrorLabels(QString validAvgPosError, QString validMaxPosError);
    void markQualityGateFailures(common::QualityGateResult result);

private slots:
    void confirmBtnClicked();
    void giveupBtnClicked();

private:
    explicit dhparameterWidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void paintEvent(QPaintEvent *event) override;
    QLabel *addHeader(const QString &text, int row, int column, int columnSpan = 1);
    QLabel *addCell(const QString &text, int row, int column);

    void applyButtonRule();
    void bringActionsIntoView();
    void clearErrorFields();
    bool applyResult(CalibrationRecord::Method method);
    bool refusedForIso();
    void setApplying(bool running);
    bool writeToController(CalibrationRecord::Method method);
    bool writeBack(const CalibrationRecord &record);
    bool runWriteSequence(const QString &dhKey, const QJsonObject &dh, const QJsonObject &zero,
                          bool production, CalibrationRecord record);
    CalibrationRecord draftRecord(CalibrationRecord::Method method,
                                  const QJsonArray &payload) const;
    bool applyCommand(const QString &tag, const QString &key, const QJsonObject &payload);
    bool requestReboot();
    void finishWrite(bool production);
    void refuse(const QString &text);
    void reportWriteFailure();
    QJsonArray buildDHPayload(const QVector<double> &parameters, int axisNum) const;

    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *calibResLabel = nullptr;
    QGridLayout *tableLayout = nullptr;
    QFormLayout *resultFormLayout = nullptr;
    QLabel *averagePosErrorLabel = nullptr;
    QLineEdit *averagePosErrorText = nullptr;
    QLabel *averagePoseErrorLabel = nullptr;
    QLineEdit *averagePoseErrorText = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *giveUpBtn = nullptr;
    QPushButton *confirmBtn = nullptr;

    std::vector<std::vector<QLabel *>> resultLabels;
    bool autoApplyEnabled = true;
    bool hasPendingResult = false;
    bool applying = false; // a write sequence is waiting for the controller
};
