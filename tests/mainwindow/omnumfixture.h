#pragma once
// The main-window fixture for tests that renumber through the real dialog: a
// fresh renumbering dialog for every test, answered when it shows.
#include "mainwindowfixture.h"
#include "ncops/frmomnum.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace lumrik::test {

class OmnumWindowFixture : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        frmOmnum::unload();
    }
    void TearDown() override
    {
        frmOmnum::unload();
        MainWindowFixture::TearDown();
    }
    // When the renumbering dialog shows: `set` fills it in, then Start.
    void answerOmnum(const std::function<void(frmOmnum *)> &set = {})
    {
        auto *timer = new QTimer(&owner_);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, [timer, set] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *o = qobject_cast<frmOmnum *>(w); o && o->isVisible()) {
                    timer->stop();
                    if (set) set(o);
                    o->btnStartOmnum->click();
                    return;
                }
        });
        timer->start();
    }

private:
    QObject owner_;
};

}
