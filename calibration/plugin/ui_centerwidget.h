#pragma once

#include <QtCore/QCoreApplication>
#include <QtWidgets/QFrame>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpacerItem>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>
#include <QtWidgets/QWidget>

namespace Ui {

// The main page's form, written as the form designer would generate it.
class centerWidget
{
public:
    QVBoxLayout *mainLayout = nullptr;
    QHBoxLayout *navLayout = nullptr;
    QPushButton *infoNavBtn = nullptr;
    QPushButton *calibNavBtn = nullptr;
    QPushButton *isoNavBtn = nullptr;
    QPushButton *recordNavBtn = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QStackedWidget *stackedWidget = nullptr;
    QWidget *infoPage = nullptr;
    QVBoxLayout *infoPageLayout = nullptr;
    QWidget *tab1 = nullptr;
    QHBoxLayout *tab1_main_layout = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QFrame *tab1Frame = nullptr;
    QVBoxLayout *frameLayout = nullptr;
    QWidget *tab2 = nullptr;
    QHBoxLayout *tab2_main_layout = nullptr;
    QFrame *tab2LeftFrame = nullptr;
    QVBoxLayout *tab2LeftFrameLayout = nullptr;
    QFrame *tab2RightFrame = nullptr;
    QVBoxLayout *tab2RightFrameLayout = nullptr;
    QWidget *recordPage = nullptr;
    QVBoxLayout *recordPageLayout = nullptr;

    void setupUi(QWidget *page)
    {
        page->setObjectName(QStringLiteral("centerWidget"));
        page->resize(843, 592);
        page->setStyleSheet(QStringLiteral("QWidget#centerWidget {\n    background-color: #f0f0f0;\n}"));

        mainLayout = new QVBoxLayout(page);
        mainLayout->setObjectName(QStringLiteral("mainLayout"));
        mainLayout->setSpacing(12);
        mainLayout->setContentsMargins(16, 0, 16, 0);

        navLayout = new QHBoxLayout();
        navLayout->setObjectName(QStringLiteral("navLayout"));
        navLayout->setSpacing(8);
        navLayout->setContentsMargins(0, 8, 0, 0);
        infoNavBtn = makeNavButton(page, QStringLiteral("infoNavBtn"));
        calibNavBtn = makeNavButton(page, QStringLiteral("calibNavBtn"));
        isoNavBtn = makeNavButton(page, QStringLiteral("isoNavBtn"));
        recordNavBtn = makeNavButton(page, QStringLiteral("recordNavBtn"));
        horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
        navLayout->addItem(horizontalSpacer);
        mainLayout->addLayout(navLayout);

        stackedWidget = new QStackedWidget(page);
        stackedWidget->setObjectName(QStringLiteral("stackedWidget"));

        infoPage = new QWidget();
        infoPage->setObjectName(QStringLiteral("infoPage"));
        infoPageLayout = new QVBoxLayout(infoPage);
        infoPageLayout->setObjectName(QStringLiteral("infoPageLayout"));
        infoPageLayout->setContentsMargins(0, 0, 0, 0);
        stackedWidget->addWidget(infoPage);

        tab1 = new QWidget();
        tab1->setObjectName(QStringLiteral("tab1"));
        tab1_main_layout = new QHBoxLayout(tab1);
        tab1_main_layout->setObjectName(QStringLiteral("tab1_main_layout"));
        tab1_main_layout->setSpacing(10);
        verticalLayout = new QVBoxLayout();
        verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
        verticalLayout->setSpacing(40);
        verticalLayout->setContentsMargins(20, 20, 10, 20);
        tab1_main_layout->addLayout(verticalLayout);
        tab1Frame = makeFrame(tab1, QStringLiteral("tab1Frame"));
        frameLayout = new QVBoxLayout(tab1Frame);
        frameLayout->setObjectName(QStringLiteral("frameLayout"));
        frameLayout->setSpacing(5);
        frameLayout->setContentsMargins(0, 0, 0, 0);
        tab1_main_layout->addWidget(tab1Frame);
        stackedWidget->addWidget(tab1);

        tab2 = new QWidget();
        tab2->setObjectName(QStringLiteral("tab2"));
        tab2_main_layout = new QHBoxLayout(tab2);
        tab2_main_layout->setObjectName(QStringLiteral("tab2_main_layout"));
        tab2_main_layout->setSpacing(20);
        tab2_main_layout->setContentsMargins(20, 20, 20, 20);
        tab2LeftFrame = makeFrame(tab2, QStringLiteral("tab2LeftFrame"));
        tab2LeftFrameLayout = new QVBoxLayout(tab2LeftFrame);
        tab2LeftFrameLayout->setObjectName(QStringLiteral("tab2LeftFrameLayout"));
        tab2LeftFrameLayout->setSpacing(10);
        tab2LeftFrameLayout->setContentsMargins(10, 10, 10, 10);
        tab2_main_layout->addWidget(tab2LeftFrame);
        tab2RightFrame = makeFrame(tab2, QStringLiteral("tab2RightFrame"));
        tab2RightFrameLayout = new QVBoxLayout(tab2RightFrame);
        tab2RightFrameLayout->setObjectName(QStringLiteral("tab2RightFrameLayout"));
        tab2RightFrameLayout->setSpacing(10);
        tab2RightFrameLayout->setContentsMargins(10, 10, 10, 10);
        tab2_main_layout->addWidget(tab2RightFrame);
        stackedWidget->addWidget(tab2);

        recordPage = new QWidget();
        recordPage->setObjectName(QStringLiteral("recordPage"));
        recordPageLayout = new QVBoxLayout(recordPage);
        recordPageLayout->setObjectName(QStringLiteral("recordPageLayout"));
        recordPageLayout->setContentsMargins(0, 0, 0, 0);
        stackedWidget->addWidget(recordPage);

        mainLayout->addWidget(stackedWidget);
        retranslateUi(page);
        stackedWidget->setCurrentIndex(0);
    }

    void retranslateUi(QWidget *page)
    {
        page->setWindowTitle(QCoreApplication::translate("centerWidget", "Form"));
        infoNavBtn->setText(QCoreApplication::translate("centerWidget", "Info"));
        calibNavBtn->setText(QCoreApplication::translate("centerWidget", "Calib"));
        isoNavBtn->setText(QCoreApplication::translate("centerWidget", "Iso"));
        recordNavBtn->setText(QCoreApplication::translate("centerWidget", "记录"));
    }

private:
    QPushButton *makeNavButton(QWidget *page, const QString &name)
    {
        auto *button = new QPushButton(page);
        button->setObjectName(name);
        button->setCheckable(true);
        navLayout->addWidget(button);
        return button;
    }

    static QFrame *makeFrame(QWidget *tab, const QString &name)
    {
        auto *frame = new QFrame(tab);
        frame->setObjectName(name);
        frame->setLineWidth(2);
        return frame;
    }
};

} // namespace Ui
