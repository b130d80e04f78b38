#pragma once

#include <tessel/plugin/pluginbase.h>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace tessel {

// Program variables and robot projects: list, add, change and remove variables, read and
// write PERS values on the controller, create, select and remove projects.
class Projects : public PluginBase
{
    Q_OBJECT

public:
    explicit Projects(QObject *parent);

    void init() override;

private:
    QWidget *buildPage();
    QWidget *buildVariables(QWidget *parent);
    QWidget *buildProjects(QWidget *parent);
    void refresh();
    void addVariable();
    void updateVariable();
    void removeVariable();
    void registerPers();
    void readPers();
    void writePers();
    void createProject();
    void changeProject();
    void removeProject();
    QString selectedVariable() const;
    void say(const QString &text);

    QListWidget *m_vars = nullptr;
    QLineEdit *m_varName = nullptr;
    QLineEdit *m_varValue = nullptr;
    QCheckBox *m_pers = nullptr;
    QComboBox *m_speeds = nullptr;
    QComboBox *m_zones = nullptr;
    QListWidget *m_projects = nullptr;
    QLineEdit *m_projectName = nullptr;
    QLineEdit *m_description = nullptr;
    QLabel *m_current = nullptr;
    QLabel *m_status = nullptr;
};

} // namespace tessel
