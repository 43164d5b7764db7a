#include "mainwindow/frmsplash.h"

#include "core/services.h"
#include "mainwindow/frmabout.h"
#include "mainwindow/mdibackground.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace lumrik {

QPixmap splashPicture()
{
    const QSize size(480, 260);
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(43, 141, 194));
    g.setColorAt(1, QColor(21, 55, 71));
    p.fillRect(QRect(QPoint(0, 0), size), g);

    // A tool path over a faint grid, as on a machine's graphics screen.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 0; x < size.width(); x += 20)
        p.drawLine(x, 0, x, size.height());
    for (int y = 0; y < size.height(); y += 20)
        p.drawLine(0, y, size.width(), y);
    QPainterPath path;
    path.moveTo(320, 222);
    path.lineTo(320, 190);
    path.arcTo(QRectF(320, 146, 88, 88), 180, -90);
    path.lineTo(455, 146);
    path.lineTo(455, 222);
    path.closeSubpath();
    p.setPen(QPen(QColor(255, 210, 80, 200), 2, Qt::DashLine));
    p.drawPath(path);

    p.drawImage(QPoint(30, 34), lumrikEmblem(92, QColor(255, 255, 255, 230)));
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(46);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPoint(142, 97), QStringLiteral("Lumrik-32"));
    p.setPen(Qt::white);
    p.drawText(QPoint(140, 95), QStringLiteral("Lumrik-32"));
    f.setPixelSize(17);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(225, 238, 245));
    p.drawText(QPoint(142, 124), QStringLiteral("NC-editor och DNC för CNC-maskiner"));

    p.setFont(QFont(QStringLiteral("Monospace"), 9));
    p.setPen(QColor(255, 255, 255, 150));
    const char *lines[] = {"O1000 (LUMRIK)", "N10 G90 G54 G0 X0. Y0.", "N20 S2400 M3", "N30 G1 Z-5. F300",
                           "N40 G2 X60. Y0. R30."};
    int y = 160;
    for (const char *l : lines) {
        p.drawText(QPoint(34, y), QString::fromLatin1(l));
        y += 15;
    }
    return pm;
}

QString splashVersionText()
{
    return QStringLiteral("Version ") + programVersionNumber() + QStringLiteral(" - ") + programVersion().comments;
}

bool frmSplash::layeredWindowsSupported()
{
    // Window systems that can blend a window into the desktop. Elsewhere
    // (Wayland, a plain frame buffer) the splash shows opaque at once.
    const QString p = QGuiApplication::platformName();
    return p == QLatin1String("xcb") || p == QLatin1String("windows") || p == QLatin1String("cocoa");
}

frmSplash::frmSplash(bool layered, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), layered_(layered)
{
    setObjectName("frmSplash");
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setPixmap(splashPicture());
    layout->addWidget(Picture1);
    // The version line lies over the bottom of the picture.
    lblVersion = new QLabel(Picture1);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(12);
    lblVersion->setFont(f);
    lblVersion->setGeometry(14, Picture1->pixmap().height() - 26, Picture1->pixmap().width() - 28, 20);
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    connect(Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
    setFixedSize(Picture1->pixmap().size());
    // In the middle of the screen, also where no window manager places it.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    Form_Load();
}

void frmSplash::Form_Load()
{
    if (!layered_)
        return; // shown at once, opaque, without a fade
    setWindowOpacity(0.0);
    Timer1->setInterval(50);
    Timer1->start();
}

void frmSplash::Timer1_Timer()
{
    opacity_ += 16;
    if (opacity_ > 255) {
        Timer1->stop();
        return;
    }
    setWindowOpacity(opacity_ / 255.0);
}

int splashWaitMs(const QTime &now)
{
    // The start time is taken to the nearest whole second.
    const int ms = now.msec();
    const int rounding = ms >= 500 ? 1000 - ms : -ms;
    return 3000 + rounding;
}

void waitServingEvents(int ms)
{
    // The clock is not read as a time of day: a day that changes during the
    // wait cannot stretch it.
    const QDeadlineTimer deadline(qMax(0, ms));
    QTimer wake; // a round of events at least this often, whatever else runs
    wake.setInterval(50);
    wake.start();
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {
// Holds back a deferred delete of a window while it is being shown. Showing a
// splash screen before the event loop runs serves events inside show(), so
// that it appears at once; a deleteLater() served there would delete the
// window while show() still works on it.
class DeleteDuringShowHold : public QObject {
public:
    explicit DeleteDuringShowHold(QWidget *window) : window_(window) { window->installEventFilter(this); }
    ~DeleteDuringShowHold() override
    {
        if (window_)
            window_->removeEventFilter(this);
    }
    // Whether a delete was asked for meanwhile.
    bool held() const { return held_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != window_ || event->type() != QEvent::DeferredDelete)
            return false;
        held_ = true;
        return true;
    }

private:
    QPointer<QWidget> window_;
    bool held_ = false;
};
}

void showStartupSplash()
{
    const int hooked = testHooks().splashWaitMs;
    const int waitMs = hooked >= 0 ? hooked : splashWaitMs(QTime::currentTime());
    QPointer<frmSplash> splash = new frmSplash;
    {
        DeleteDuringShowHold hold(splash);
        splash->show();
        // A delete asked for while it was being shown happens now.
        if (hold.held())
            delete splash.data();
    }
    if (splash) {
        splash->repaint();
        splash->lblVersion->setText(splashVersionText());
    }
    if (waitMs > 0)
        waitServingEvents(waitMs);
    // Something served during the wait may have closed or deleted it already.
    delete splash.data();
}

}
