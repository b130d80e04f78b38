#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;
class QVBoxLayout;
class RecordHistory;
class RecordListModel;
struct CalibrationRecord;

// The records page: every write of a calibration to the controller, newest first; the values
// of the chosen record before and after; restore and export.
class recordWidget : public QWidget
{
    Q_OBJECT

public:
    static recordWidget *instance(QWidget *parent = nullptr);
    ~recordWidget() override;

    RecordHistory *history() const;
    // The record shown in the list's current row, or null.
    const CalibrationRecord *selectedRecord() const;
    // Writes the CSV into `folder`; the file's path, or empty on failure with the reason.
    QString exportSelected(const QString &folder, QString *error);
    QString exportAll(const QString &folder, QString *error);

public slots:
    void appendRecord(const CalibrationRecord &record);
    void noteIsoReport(double meanAp);
    void restoreSelected();

private:
    explicit recordWidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void openHistory();
    void showHistoryState();
    void showRecord();
    void updateButtons();
    void chooseFolderAndExport(bool all);
    QString restoreBlockText(const CalibrationRecord &record) const;

    QVBoxLayout *verticalLayout = nullptr;
    QLabel *recordStatusLabel = nullptr;
    QTableView *recordTable = nullptr;
    QLabel *recordSummaryLabel = nullptr;
    QTableWidget *recordDetailTable = nullptr;
    QLabel *restoreReasonLabel = nullptr;
    QHBoxLayout *buttonLayout = nullptr;
    QPushButton *restoreBtn = nullptr;
    QPushButton *exportRecordBtn = nullptr;
    QPushButton *exportAllBtn = nullptr;

    RecordHistory *m_history;
    RecordListModel *m_model;
    bool m_writing = false; // a write sequence of the result card is under way
    QString m_exportFolder;
};
