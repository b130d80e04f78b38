#pragma once

#include <tessel/testing/pluginfixture.h>

#include <QObject>

// Hello in the host stand-in, on the simulated controller, as its author tests it in CI.
class tst_Hello : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageFollowsTheLink();
    void subscriptionShowsNewValues();
    void physicalButtonCountsPresses();

private:
    tessel::testing::PluginFixture m_fixture;
};
