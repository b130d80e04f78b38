#pragma once

#include <QWidget>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The ISO settings card: test poses, samples per point and report folder.
class setupisowidget : public QWidget
{
    Q_OBJECT

public:
    static setupisowidget *instance(QWidget *parent = nullptr);
    ~setupisowidget() override;

signals:
    void saveAll();
    void isChanged();

public slots:
    void handleNetworkConnected();
    void loadDefaultIsoPoses();
    void saveFivePoints();
    void resetAll();

private:
    explicit setupisowidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void makeCustomEdits();
    void clearGridCells(QGridLayout *grid, int lastColumn);
    void onDefaultClicked(bool checked);
    void onCustomClicked(bool checked);
    void onCustomToggled(bool checked);
    void onSampleTimesEdited();
    void onSampleTimesChanged(const QString &text);
    void choosePath();
    void paintEvent(QPaintEvent *event) override;

    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayoutISO = nullptr;
    QLabel *titleLabel = nullptr;
    QVBoxLayout *verticalLayoutTable = nullptr;
    QGridLayout *defaultLayout = nullptr;
    QGridLayout *customizeLayout = nullptr;
    QLabel *defaultLabel = nullptr;
    QLabel *customLabel = nullptr;
    QPushButton *clearCustomBtn = nullptr;
    QVBoxLayout *verticalLayout1 = nullptr;
    QHBoxLayout *horizontalLayoutSave = nullptr;
    QLabel *collectLabel = nullptr;
    QLineEdit *collectLineEdit = nullptr;
    QLabel *savePathLabel = nullptr;
    QLabel *pathLabel = nullptr;
    QPushButton *selectPathBtn = nullptr;
    QHBoxLayout *horizontalLayoutCollect = nullptr;
    QPushButton *saveBtn = nullptr;

    QCheckBox *defaultCheckBox = nullptr;
    QCheckBox *customCheckBox = nullptr;
    QLineEdit *customEdits[5][6] = {};
    bool connected = false;
    bool sampleTimesUntouched = true;
};
