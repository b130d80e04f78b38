#pragma once

#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class ToggleSwitch;

// The calibration setup page: mode, DH parameters to optimise, auto apply and serial number.
class setupWidget : public QWidget
{
    Q_OBJECT

public:
    static setupWidget *instance(QWidget *parent = nullptr);
    ~setupWidget() override;

    void refreshDHTable();
    void loadDHParamsFromController();

signals:
    void dhParamsReady();
    void setupWidgetReady();
    void autoApplyToggled(bool enabled);

private slots:
    void onLockBtnClicked();

public slots:
    void writeIntoJson();
    void isAllOptionsSelect(bool &isSelected);
    void isSNEmpty();
    void resetAll();
    // Whether the last writeIntoJson() replaced the request file.
    void isRequestFileWritten(bool &written);

private:
    enum class Answer { Confirmed, Refused, PageGone };

    explicit setupWidget(QWidget *parent = nullptr);

    void setupUi();
    void retranslateUi();
    void buildTableHeader();
    void addPlaceholderRows();
    void rebuildTable();
    void addJointRow(int joint);
    QWidget *makeParamCell(int row, int column, double value, bool hasValue, bool checked);
    void paintEvent(QPaintEvent *event) override;

    int lastGridRow() const;
    int lastJointRow() const;
    QCheckBox *paramBox(int row, int column) const;
    QLabel *valueLabel(int row, int column) const;
    QPushButton *rowButton(int row) const;
    void forEachParamBox(const std::function<void(int row, int column)> &function,
                         bool wanted) const;

    void onRangeBtnClicked();
    void onModeButtonClicked(QAbstractButton *button);
    void toggleRow(int row, QPushButton *button);
    void updateRangeBtnText();
    bool allParamsChecked() const;
    bool middleAxisPattern() const;
    bool rowAllChecked(int row) const;
    void updateRowButtons();
    void checkAllParams();
    void applyMiddleAxisSelection();
    void updateModeStyles();
    void updateLockBtnText();
    void setTableEnabled(bool enabled);
    void showUnlockDialog();
    Answer askToConfirm(const QString &title, const QString &text);

    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *robotSettingLabel = nullptr;
    QFrame *line = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QHBoxLayout *snRowLayout = nullptr;
    QLabel *label_2 = nullptr;
    QLineEdit *snLineEdit = nullptr;
    QGridLayout *tableLayout = nullptr;
    QLabel *paramTitleLabel = nullptr;
    QLabel *autoApplyLabel = nullptr;

    QPushButton *rangeBtn = nullptr;
    QPushButton *lockBtn = nullptr;
    QPushButton *normalBtn = nullptr;
    QPushButton *productBtn = nullptr;
    ToggleSwitch *autoApplySwitch = nullptr;
    QButtonGroup *modeGroup = nullptr;
    QString mode = QStringLiteral("normal");
    int lineEditHeight = 30;
    int labelHeight = 25;
    int rowHeight = 25;
    bool locked = true;
    bool modeRevertGuard = false;
    bool refreshing = false;
    bool refreshAgain = false;
    bool requestWritten = false;
};
