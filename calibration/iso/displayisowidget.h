#pragma once

#include <QDateTime>
#include <QPointer>
#include <QProcess>
#include <QWidget>

#include <functional>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// The ISO result card: runs the test, shows the per-pose results, saves or discards the report.
class displayisowidget : public QWidget
{
    Q_OBJECT

public:
    static displayisowidget *instance(QWidget *parent = nullptr);
    ~displayisowidget() override;

    // An ISO program runs: the collector moves the robot, the report program writes the result
    // file a calibration also writes.
    bool isRunning() const;

signals:
    // A report of the five poses was made: the mean of their "Accuracy" values (mm).
    void reportGenerated(double meanAccuracy);

public slots:
    void startBtnEnable();
    void btnsDisable();
    void startIso();
    void saveReport();
    void resetAll();
    void onReadyReadStandardOutput();

private:
    using FinishHandler = std::function<void(int, QProcess::ExitStatus)>;

    explicit displayisowidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    bool runIsoProcess(const QString &program, const FinishHandler &onFinished);
    void discardProcess();
    void onCollectorFinished(int exitCode);
    void onReportFinished(int exitCode);
    void onCopyFinished(int exitCode);
    void onDeleteFinished(int exitCode);
    void fillValueCells(const QVector<QVector<QString>> &texts);
    void emptyValueCells();
    QLabel *makeValueCell(const QString &text, int row, int column);
    QString scriptPath(const QString &name) const;
    void paintEvent(QPaintEvent *event) override;

    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayoutDisplay = nullptr;
    QLabel *displayLabel = nullptr;
    QVBoxLayout *verticalLayoutTable = nullptr;
    QGridLayout *gridLayout = nullptr;
    QHBoxLayout *horizontalLayoutProgress = nullptr;
    QLabel *label = nullptr;
    QLabel *label_2 = nullptr;
    QVBoxLayout *verticalLayoutBtn = nullptr;
    QHBoxLayout *horizontalLayoutBtn = nullptr;
    QPushButton *startISO = nullptr;
    QPushButton *saveReportBtn = nullptr;
    QPushButton *giveupBtn = nullptr;

    QPointer<QProcess> process;
    // When the report generator was started: results written before are an earlier run's.
    QDateTime reportStartedAt;
};
