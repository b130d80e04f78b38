#include "infowidget.h"

#include "infocardframe.h"
#include "versioninfo.h"

#include "plugin/pageinstance.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <utility>

namespace {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &style, bool wrap)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setStyleSheet(style);
    label->setWordWrap(wrap);
    return label;
}

} // namespace

infoWidget *infoWidget::instance(QWidget *parent)
{
    static QPointer<infoWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new infoWidget(p); });
}

infoWidget::infoWidget(QWidget *parent)
    : QWidget(parent)
{
    setupUi();
    fill();
}

infoWidget::~infoWidget() = default;

// The cards wrap their text, so they need more height as the page narrows. The page asks for
// that height as its minimum, and the window grows rather than the last lines being cut off.
void infoWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int needed = mainLayout->totalHeightForWidth(width());
    if (needed > 0 && needed != minimumHeight())
        setMinimumHeight(needed);
}

void infoWidget::setupUi()
{
    setObjectName(QStringLiteral("infoWidget"));
    resize(800, 550);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    mainLayout = new QVBoxLayout(this);
    mainLayout->setObjectName(QStringLiteral("mainLayout"));
    mainLayout->setSpacing(28);
    mainLayout->setContentsMargins(24, 24, 24, 24);

    logoLabel = new QLabel(this);
    logoLabel->setObjectName(QStringLiteral("logoLabel"));
    logoLabel->setAlignment(Qt::AlignCenter);
    logoLabel->setMinimumHeight(96);
    logoLabel->setMaximumHeight(128);
    mainLayout->addWidget(logoLabel);

    const QString titleStyle = QStringLiteral("font-size: 14px; font-weight: bold; color: #333;");
    const QString textStyle = QStringLiteral("font-size: 20px; color: #555;");

    usageCard = new InfoCardFrame(this);
    usageCard->setObjectName(QStringLiteral("usageCard"));
    usageLayout = new QVBoxLayout(usageCard);
    usageLayout->setObjectName(QStringLiteral("usageLayout"));
    usageLayout->setSpacing(8);
    usageTitleLabel = makeLabel(usageCard, QStringLiteral("usageTitleLabel"),
                                QStringLiteral("font-size: 16px; font-weight: bold; color: #333;"),
                                false);
    usageLabel = makeLabel(usageCard, QStringLiteral("usageLabel"), textStyle, true);
    usageLayout->addWidget(usageTitleLabel);
    usageLayout->addWidget(usageLabel);
    mainLayout->addWidget(usageCard);

    bottomCardsLayout = new QHBoxLayout();
    bottomCardsLayout->setObjectName(QStringLiteral("bottomCardsLayout"));
    bottomCardsLayout->setSpacing(28);

    modeIntroCard = new InfoCardFrame(this);
    modeIntroCard->setObjectName(QStringLiteral("modeIntroCard"));
    modeIntroLayout = new QVBoxLayout(modeIntroCard);
    modeIntroLayout->setObjectName(QStringLiteral("modeIntroLayout"));
    modeIntroLayout->setSpacing(6);
    modeIntroTitleLabel =
        makeLabel(modeIntroCard, QStringLiteral("modeIntroTitleLabel"), titleStyle, false);
    modeIntroLabel = makeLabel(modeIntroCard, QStringLiteral("modeIntroLabel"), textStyle, true);
    modeIntroLayout->addWidget(modeIntroTitleLabel);
    modeIntroLayout->addWidget(modeIntroLabel);
    bottomCardsLayout->addWidget(modeIntroCard);

    versionCard = new InfoCardFrame(this);
    versionCard->setObjectName(QStringLiteral("versionCard"));
    versionLayout = new QVBoxLayout(versionCard);
    versionLayout->setObjectName(QStringLiteral("versionLayout"));
    versionLayout->setSpacing(6);
    versionTitleLabel =
        makeLabel(versionCard, QStringLiteral("versionTitleLabel"), titleStyle, false);
    versionValueLabel =
        makeLabel(versionCard, QStringLiteral("versionValueLabel"), textStyle, true);
    versionLayout->addWidget(versionTitleLabel);
    versionLayout->addWidget(versionValueLabel);
    bottomCardsLayout->addWidget(versionCard);

    mainLayout->addLayout(bottomCardsLayout);
    retranslateUi();
}

void infoWidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    usageTitleLabel->setText(tr("使用步骤"));
    usageLabel->setText(tr("Steps here"));
    modeIntroTitleLabel->setText(tr("模式介绍"));
    modeIntroLabel->setText(tr("mode intro"));
    versionTitleLabel->setText(tr("版本"));
    versionValueLabel->setText(tr("0.0.0"));
}

void infoWidget::fill()
{
    // The cards paint their titles into their top edges, so the title labels stay hidden.
    const std::pair<InfoCardFrame *, QLabel *> cards[] = {{usageCard, usageTitleLabel},
                                                          {modeIntroCard, modeIntroTitleLabel},
                                                          {versionCard, versionTitleLabel}};
    for (const auto &card : cards) {
        card.first->setStyleSheet(QStringLiteral("background-color: #ffffff;"));
        card.first->layout()->setContentsMargins(12, 32, 12, 12);
        card.second->hide();
    }
    usageCard->setTitle(usageTitleLabel->text());
    modeIntroCard->setTitle(modeIntroTitleLabel->text());

    const QPixmap logo(QStringLiteral(":/logo/LOGO/LOGO.png"));
    if (logo.isNull()) {
        logoLabel->hide();
    } else {
        logoLabel->setPixmap(logo.scaled(340, 112, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        logoLabel->show();
    }

    const std::pair<QString, QString> steps[] = {
        {tr("步骤 1"), tr("连接机器人并配置标定参数，例如 SN、型号和轴数。")},
        {tr("步骤 2"), tr("配置标定选项，选择需要优化的 DH 参数。")},
        {tr("步骤 3"), tr("启动标定流程，等待外部标定程序执行并返回结果。")},
        {tr("步骤 4"), tr("确认优化后的 DH 参数，并写入机器人控制器。")},
        {tr("步骤 5"), tr("切换到 ISO 页面，执行位姿精度与重复性验证。")},
    };
    QString usage;
    for (const auto &step : steps)
        usage += QStringLiteral("<p style=\"margin: 0 0 8px 0; line-height: 160%;\"><b>%1</b> %2</p>")
                     .arg(step.first.toHtmlEscaped(), step.second.toHtmlEscaped());
    usageLabel->setText(usage);

    const VersionInfo versions = collectVersions();
    versionTitleLabel->setText(versions.title);
    versionCard->setTitle(versions.title);
    versionValueLabel->setText(versionsToHtml(versions));

    const QString modes =
        tr("普通模式： 标定后的参数和零点只写入`精度补充`开启后的参数\n"
           "生产模式： 参数同时写入`精度补充`和`精度补充关闭`后的参数\n"
           "自动模式： 无需人工审核,插件自动判断结果是否满足要求,并写入参数\n");
    modeIntroLabel->setText(QStringLiteral("<div style=\"line-height: 160%;\">%1</div>")
                                .arg(modes.toHtmlEscaped().replace(QLatin1Char('\n'),
                                                                   QStringLiteral("<br/>"))));
}
