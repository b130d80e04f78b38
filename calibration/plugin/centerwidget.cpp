#include "centerwidget.h"

#include "ui_centerwidget.h"

#include "common/calibrationstate.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/infowidget.h"
#include "pages/setupwidget.h"
#include "records/recordwidget.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QEvent>
#include <QStackedWidget>

namespace {

const QString kUncheckedStyle = QStringLiteral(
    "QPushButton {    background-color: #c8d2df;    color: #0f172a;    border: none;"
    "    border-radius: 8px;    padding: 0 18px;}"
    "QPushButton:hover {    background-color: #b7c5d8;}");
const QString kCheckedStyle = QStringLiteral(
    "QPushButton {    background-color: #2d5b8a;    color: #ffffff;    border: none;"
    "    border-radius: 8px;    padding: 0 18px;}"
    "QPushButton:hover {    background-color: #356899;}");

enum Tab { InfoTab = 0, CalibTab = 1, IsoTab = 2, RecordTab = 3 };

} // namespace

centerWidget::centerWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::centerWidget)
    , navGroup(new QButtonGroup(this))
{
    ui->setupUi(this);

    navGroup->setExclusive(true);
    navGroup->addButton(ui->infoNavBtn, InfoTab);
    navGroup->addButton(ui->calibNavBtn, CalibTab);
    navGroup->addButton(ui->isoNavBtn, IsoTab);
    navGroup->addButton(ui->recordNavBtn, RecordTab);
    for (QPushButton *button :
         {ui->infoNavBtn, ui->calibNavBtn, ui->isoNavBtn, ui->recordNavBtn}) {
        button->setMinimumSize(92, 40);
        button->setMaximumHeight(40);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(kUncheckedStyle);
    }

    connect(navGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            [this](QAbstractButton *button) {
                ui->stackedWidget->setCurrentIndex(navGroup->id(button));
            });
    connect(ui->stackedWidget, &QStackedWidget::currentChanged, this, [this](int index) {
        if (QAbstractButton *button = navGroup->button(index))
            button->setChecked(true);
        applyNavStyles();
        fitToCurrentTab();
        // The robot may have changed since the tab was last shown.
        if (index == IsoTab)
            setupisowidget::instance()->loadDefaultIsoPoses();
    });

    common::workFolder = QStringLiteral("D:/VeltraPemba");
    placePages();
    wireCalibrationTab();
    for (QWidget *tab : {ui->tab1, ui->tab2})
        tab->installEventFilter(this);

    ui->infoNavBtn->setChecked(true);
    ui->stackedWidget->setCurrentIndex(InfoTab);
    applyNavStyles();
    fitToCurrentTab();
}

centerWidget::~centerWidget()
{
    delete ui;
}

void centerWidget::placePages()
{
    ui->infoPageLayout->addWidget(infoWidget::instance(ui->infoPage));

    ui->verticalLayout->addWidget(setupWidget::instance(ui->tab1));
    ui->verticalLayout->addWidget(calibWidget::instance(ui->tab1));
    ui->verticalLayout->setContentsMargins(20, 20, 10, 20);
    ui->verticalLayout->setSpacing(40);
    ui->verticalLayout->setStretch(0, 3);
    ui->verticalLayout->setStretch(1, 1);

    ui->frameLayout->addWidget(dhparameterWidget::instance(ui->tab1Frame));
    ui->frameLayout->setContentsMargins(10, 20, 20, 20);
    ui->tab1_main_layout->setStretch(0, 1);
    ui->tab1_main_layout->setStretch(1, 1);

    ui->tab2LeftFrameLayout->addWidget(setupisowidget::instance(ui->tab2LeftFrame));
    ui->tab2RightFrameLayout->addWidget(displayisowidget::instance(ui->tab2RightFrame));
    ui->tab2_main_layout->setStretch(0, 1);
    ui->tab2_main_layout->setStretch(1, 1);

    ui->recordPageLayout->addWidget(recordWidget::instance(ui->recordPage));
}

void centerWidget::wireCalibrationTab()
{
    // The order matters: closing a result resets the run card before the setup page.
    dhparameterWidget *result = dhparameterWidget::instance();
    calibWidget *run = calibWidget::instance();
    setupWidget *setup = setupWidget::instance();
    connect(result, &dhparameterWidget::giveupBtnSignals, run, &calibWidget::resetAll);
    connect(result, &dhparameterWidget::giveupBtnSignals, setup, &setupWidget::resetAll);
    connect(result, &dhparameterWidget::confirmBtnSingals, run, &calibWidget::resetAll);
    connect(result, &dhparameterWidget::confirmBtnSingals, setup, &setupWidget::resetAll);
    connect(setup, &setupWidget::autoApplyToggled, result, &dhparameterWidget::onAutoApplyToggled);
}

void centerWidget::applyNavStyles()
{
    for (QPushButton *button :
         {ui->infoNavBtn, ui->calibNavBtn, ui->isoNavBtn, ui->recordNavBtn})
        button->setStyleSheet(button->isChecked() ? kCheckedStyle : kUncheckedStyle);
}

// A stacked widget asks for the room of its largest tab in each direction, so the narrow
// information tab would be as wide as the calibration tab and that as tall as the information
// tab. Only the tab on show counts.
void centerWidget::fitToCurrentTab()
{
    QWidget *current = ui->stackedWidget->currentWidget();
    for (int i = 0; i < ui->stackedWidget->count(); ++i) {
        QWidget *tab = ui->stackedWidget->widget(i);
        const QSizePolicy::Policy policy =
            tab == current ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        tab->setSizePolicy(policy, policy);
    }
    arrangeCards(ui->tab1, ui->tab1_main_layout);
    arrangeCards(ui->tab2, ui->tab2_main_layout);
    ui->stackedWidget->updateGeometry();
}

bool centerWidget::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Resize || type == QEvent::LayoutRequest) {
        if (watched == ui->tab1)
            arrangeCards(ui->tab1, ui->tab1_main_layout);
        else if (watched == ui->tab2)
            arrangeCards(ui->tab2, ui->tab2_main_layout);
    }
    return QWidget::eventFilter(watched, event);
}

// The two cards of a tab stand side by side where they fit and one above the other where they
// do not, so a narrow screen scrolls down rather than across. The tab asks only for the width of
// its widest card; the arrangement follows the width it is given.
void centerWidget::arrangeCards(QWidget *tab, QBoxLayout *layout)
{
    const QMargins margins = layout->contentsMargins();
    int sideBySide = margins.left() + margins.right();
    int stacked = 0;
    for (int i = 0; i < layout->count(); ++i) {
        const int width = layout->itemAt(i)->minimumSize().width();
        sideBySide += width + (i > 0 ? qMax(0, layout->spacing()) : 0);
        stacked = qMax(stacked, width);
    }
    stacked += margins.left() + margins.right();
    // A minimum width counts in the stack even for a tab not on show: only the shown one sets it.
    const auto *stack = qobject_cast<const QStackedWidget *>(tab->parentWidget());
    if (stack && stack->currentWidget() != tab)
        stacked = 0;
    if (tab->minimumWidth() != stacked)
        tab->setMinimumWidth(stacked);
    const QBoxLayout::Direction direction =
        tab->width() >= sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (layout->direction() != direction)
        layout->setDirection(direction);
}
