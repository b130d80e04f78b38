#include "projects.h"

#include <tessel/interface/interfacemanager.h>
#include <tessel/plugin/pluginregister.h>
#include <tessel/ui/catalogtranslator.h>
#include <tessel/ui/pluginui.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel {

namespace {

const QString kName = QStringLiteral("Projects");

const bool registered = [] {
    tesselFactory().regist(kName, [](QObject *parent) { return new Projects(parent); });
    return true;
}();

QPushButton *button(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    return b;
}

// What the operator typed: a number when it reads as one, text otherwise.
QVariant typedValue(const QString &text)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? QVariant(number) : QVariant(text);
}

QString shown(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toDouble()) : value.toVariant().toString();
}

} // namespace

Projects::Projects(QObject *parent)
    : PluginBase(parent)
{
    // Before the first tr(): the label already shows in the host's language.
    CatalogTranslator::install(QStringLiteral("projects"));
    setPluginLabel(tr("Projects"));
}

void Projects::init()
{
    // The host owns the page from here on.
    CreateCenterWidget(kName, buildPage());
    connect(&tesselInterface(), &InterfaceManager::sigNetworkConnect, this, &Projects::refresh);
    refresh();
}

QWidget *Projects::buildPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("projectsPage"));
    auto *layout = new QVBoxLayout(page);
    auto *columns = new QHBoxLayout;
    columns->addWidget(buildVariables(page), 3);
    columns->addWidget(buildProjects(page), 2);
    layout->addLayout(columns);
    m_status = new QLabel(page);
    m_status->setObjectName(QStringLiteral("projectsStatus"));
    layout->addWidget(m_status);
    return page;
}

QWidget *Projects::buildVariables(QWidget *parent)
{
    auto *box = new QGroupBox(tr("Program variables"), parent);
    auto *layout = new QVBoxLayout(box);
    m_vars = new QListWidget(box);
    m_vars->setObjectName(QStringLiteral("varList"));
    layout->addWidget(m_vars);
    auto *form = new QFormLayout;
    m_varName = new QLineEdit(box);
    m_varName->setObjectName(QStringLiteral("varName"));
    form->addRow(tr("Name"), m_varName);
    m_varValue = new QLineEdit(box);
    m_varValue->setObjectName(QStringLiteral("varValue"));
    form->addRow(tr("Value"), m_varValue);
    m_pers = new QCheckBox(tr("Persistent (PERS)"), box);
    m_pers->setObjectName(QStringLiteral("varPers"));
    form->addRow(QString(), m_pers);
    m_speeds = new QComboBox(box);
    m_speeds->setObjectName(QStringLiteral("speedList"));
    form->addRow(tr("Speeds"), m_speeds);
    m_zones = new QComboBox(box);
    m_zones->setObjectName(QStringLiteral("zoneList"));
    form->addRow(tr("Zones"), m_zones);
    layout->addLayout(form);

    auto *buttons = new QGridLayout;
    const QList<QPair<QPushButton *, void (Projects::*)()>> actions = {
        {button(QStringLiteral("addVarBtn"), tr("Add"), box), &Projects::addVariable},
        {button(QStringLiteral("updateVarBtn"), tr("Change value"), box), &Projects::updateVariable},
        {button(QStringLiteral("delVarBtn"), tr("Remove"), box), &Projects::removeVariable},
        {button(QStringLiteral("registerPersBtn"), tr("Monitor PERS"), box), &Projects::registerPers},
        {button(QStringLiteral("readPersBtn"), tr("Read PERS"), box), &Projects::readPers},
        {button(QStringLiteral("writePersBtn"), tr("Write PERS"), box), &Projects::writePers}};
    for (int i = 0; i < actions.size(); ++i) {
        buttons->addWidget(actions.at(i).first, i / 3, i % 3);
        connect(actions.at(i).first, &QPushButton::clicked, this, actions.at(i).second);
    }
    layout->addLayout(buttons);
    connect(m_vars, &QListWidget::currentTextChanged, this, [this] {
        const QJsonObject var = tesselInterface().getVarObjDataByName(selectedVariable());
        m_varName->setText(var.value(QStringLiteral("name")).toString());
        m_varValue->setText(
            shown(var.value(QStringLiteral("value")).toObject().value(QStringLiteral("[0][0][0]"))));
        m_pers->setChecked(var.value(QStringLiteral("pers")).toBool());
    });
    return box;
}

QWidget *Projects::buildProjects(QWidget *parent)
{
    auto *box = new QGroupBox(tr("Robot projects"), parent);
    auto *layout = new QVBoxLayout(box);
    m_current = new QLabel(box);
    m_current->setObjectName(QStringLiteral("currentProject"));
    layout->addWidget(m_current);
    layout->addWidget(new QLabel(tr("Projects on the controller"), box));
    m_projects = new QListWidget(box);
    m_projects->setObjectName(QStringLiteral("projectList"));
    layout->addWidget(m_projects);
    auto *form = new QFormLayout;
    m_projectName = new QLineEdit(box);
    m_projectName->setObjectName(QStringLiteral("projectName"));
    form->addRow(tr("Name"), m_projectName);
    m_description = new QLineEdit(box);
    m_description->setObjectName(QStringLiteral("projectDescription"));
    form->addRow(tr("Description"), m_description);
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    const QList<QPair<QPushButton *, void (Projects::*)()>> actions = {
        {button(QStringLiteral("createProjectBtn"), tr("Create"), box), &Projects::createProject},
        {button(QStringLiteral("changeProjectBtn"), tr("Open"), box), &Projects::changeProject},
        {button(QStringLiteral("removeProjectBtn"), tr("Remove"), box), &Projects::removeProject}};
    for (const auto &action : actions) {
        buttons->addWidget(action.first);
        connect(action.first, &QPushButton::clicked, this, action.second);
    }
    layout->addLayout(buttons);
    connect(m_projects, &QListWidget::currentTextChanged, m_projectName, &QLineEdit::setText);
    return box;
}

void Projects::refresh()
{
    InterfaceManager &robot = tesselInterface();
    const QString selected = selectedVariable();
    m_vars->clear();
    const QStringList names = robot.getVarDataList(QString());
    for (const QString &name : names) {
        const QJsonObject var = robot.getVarObjDataByName(name);
        const QString value =
            shown(var.value(QStringLiteral("value")).toObject().value(QStringLiteral("[0][0][0]")));
        auto *item = new QListWidgetItem(
            QStringLiteral("%1 (%2%3) = %4")
                .arg(name, var.value(QStringLiteral("type")).toString(),
                     var.value(QStringLiteral("pers")).toBool() ? QStringLiteral(", PERS")
                                                                : QString(),
                     value),
            m_vars);
        item->setData(Qt::UserRole, name);
        if (name == selected)
            m_vars->setCurrentItem(item);
    }
    m_speeds->clear();
    m_speeds->addItems(robot.getSpeedList());
    m_zones->clear();
    m_zones->addItems(robot.getZoneList());
    m_projects->clear();
    m_projects->addItems(robot.getProjectList());
    const QString current = robot.getNodeData(QStringLiteral("rovan.project.cur_project")).toString();
    m_current->setText(tr("Current project: %1").arg(current.isEmpty() ? tr("none") : current));
}

void Projects::addVariable()
{
    const QString name = m_varName->text().trimmed();
    if (name.isEmpty()) {
        say(tr("Give the variable a name"));
        return;
    }
    tesselInterface().addVarData(name, typedValue(m_varValue->text()), m_pers->isChecked());
    refresh();
    say(tr("Variable %1 added; build the project again").arg(name));
}

void Projects::updateVariable()
{
    const QString name = m_varName->text().trimmed();
    tesselInterface().updateVarData(name, typedValue(m_varValue->text()));
    refresh();
    say(tr("Variable %1 changed").arg(name));
}

void Projects::removeVariable()
{
    const QString name = m_varName->text().trimmed();
    const bool removed = tesselInterface().delVarData(name);
    refresh();
    say(removed ? tr("Variable %1 removed").arg(name)
                : tr("The controller refused to remove %1").arg(name));
}

void Projects::registerPers()
{
    QVector<QString> pers;
    InterfaceManager &robot = tesselInterface();
    for (const QString &name : robot.getVarDataList(QString())) {
        if (robot.getVarObjDataByName(name).value(QStringLiteral("pers")).toBool())
            pers.append(name);
    }
    const int status = robot.registPERSVars(pers);
    say(status == 0 ? tr("Monitoring %n PERS variable(s)", nullptr, pers.size())
                    : tr("This controller version has no PERS monitor (%1)").arg(status));
}

void Projects::readPers()
{
    InterfaceManager &robot = tesselInterface();
    QVector<QString> names;
    for (const QVariant &name : robot.getRegistedPERSVars())
        names.append(name.toString());
    const QVector<QString> values = robot.getValuesOfPERSVars(names);
    QStringList pairs;
    for (int i = 0; i < names.size(); ++i)
        pairs.append(QStringLiteral("%1 = %2").arg(names.at(i), values.value(i)));
    say(names.isEmpty() ? tr("No PERS variable monitored")
                        : tr("PERS on the controller: %1").arg(pairs.join(QStringLiteral(", "))));
}

void Projects::writePers()
{
    const QString name = m_varName->text().trimmed();
    const int status = tesselInterface().setValuesOfPERSVars(
        {name}, {typedValue(m_varValue->text())});
    say(status == 0 ? tr("PERS %1 written on the controller").arg(name)
                    : tr("PERS %1 not written (%2)").arg(name).arg(status));
}

void Projects::createProject()
{
    const QString name = m_projectName->text().trimmed();
    const int status = tesselInterface().createProject(name, m_description->text(), true);
    refresh();
    switch (status) {
    case 0:
        say(tr("Project %1 created and opened").arg(name));
        break;
    case -1:
        say(tr("\"%1\" cannot be a project name").arg(name));
        break;
    case -2:
        say(tr("Project %1 exists already").arg(name));
        break;
    default:
        say(tr("The folder of project %1 could not be made").arg(name));
        break;
    }
}

void Projects::changeProject()
{
    const QString name = m_projectName->text().trimmed();
    const int status = tesselInterface().changeProject(name);
    refresh();
    say(status == 0 ? tr("Project %1 opened").arg(name)
                    : tr("\"%1\" cannot be a project name").arg(name));
}

void Projects::removeProject()
{
    const QString name = m_projectName->text().trimmed();
    const int status = tesselInterface().removeProject(name);
    refresh();
    say(status == 0 ? tr("Project %1 removed").arg(name)
                    : tr("\"%1\" cannot be a project name").arg(name));
}

QString Projects::selectedVariable() const
{
    const QListWidgetItem *item = m_vars->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void Projects::say(const QString &text)
{
    m_status->setText(text);
}

} // namespace tessel
