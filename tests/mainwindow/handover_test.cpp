#include "mainwindow/handover.h"

#include <QDateTime>
#include <QLocalServer>
#include <unistd.h>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using namespace lumrik;

namespace {
QString uniqueName() { return QStringLiteral("lumrik-test-%1-%2").arg(getpid()).arg(QDateTime::currentMSecsSinceEpoch()); }
}

TEST(HandOver, NoRunningInstanceMeansNoHandOver)
{
    EXPECT_FALSE(ActivatePrevInstance("/nc/a.nc", uniqueName(), 300));
}

TEST(HandOver, CommandLineReachesTheRunningInstance)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QSignalSpy spy(&server, &HandOverServer::handedOver);
    // The second start runs in its own thread, as it would in its own process.
    bool sent = false;
    QThread *t = QThread::create([&] { sent = ActivatePrevInstance(QString::fromUtf8("\"/nc/Fräs prog.nc\""), name); });
    t->start();
    EXPECT_TRUE(spy.wait(3000));
    t->wait();
    delete t;
    EXPECT_TRUE(sent);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QString::fromUtf8("\"/nc/Fräs prog.nc\""));
}

TEST(HandOver, EmptyCommandLineOnlyAsksToComeForward)
{
    const QString name = uniqueName();
    HandOverServer server;
    ASSERT_TRUE(server.listen(name));
    QSignalSpy spy(&server, &HandOverServer::handedOver);
    QThread *t = QThread::create([&] { ActivatePrevInstance(QString(), name); });
    t->start();
    EXPECT_TRUE(spy.wait(3000));
    t->wait();
    delete t;
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.at(0).at(0).toString().isEmpty());
}
