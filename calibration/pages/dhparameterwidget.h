#pragma once

#include "common/qualitygateresult.h"

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
    // The run card's delayed write: only with the switch on and a result pending.
    void autoApply();

signals:
    void giveupBtnSignals();
    void confirmBtnSingals();
    // A write sequence starts (true) or has ended (false); the other cards hold still meanwhile.
    void applyRunning(bool running);

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
    bool applyResult();
    void setApplying(bool running);
    bool writeToController();
    bool applyCommand(const QString &tag, const QString &key, const QJsonObject &payload);
    bool reboot(bool production);
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
