#include "mainwindow/mdibackground.h"

#include "core/globals.h"
#include "core/services.h"
#include "core/sessionstate.h"

#include <QEvent>
#include <QFont>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>
#include <QtMath>

namespace lumrik {

namespace {

int TranslateColor(int colour) { return TranslateOleColor(colour); }
int RedOf(int c) { return c & 0xFF; }
int GreenOf(int c) { return (c / 256) & 0xFF; }
int BlueOf(int c) { return (c / 65536) & 0xFF; }
QColor qcolour(int c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

}

std::vector<int> BuildGradient(int n, int colourA, int colourB)
{
    std::vector<int> out;
    if (n <= 0)
        return out;
    const int a = TranslateColor(colourA), b = TranslateColor(colourB);
    // Integer steps, truncated toward zero: the last band stops one step short of B.
    const int dR = (RedOf(a) - RedOf(b)) / n, dG = (GreenOf(a) - GreenOf(b)) / n,
              dB = (BlueOf(a) - BlueOf(b)) / n;
    out.reserve(size_t(n));
    for (int i = 1; i <= n; ++i) {
        const int r = RedOf(a) - (i - 1) * dR, g = GreenOf(a) - (i - 1) * dG, bl = BlueOf(a) - (i - 1) * dB;
        out.push_back(r | (g << 8) | (bl << 16));
    }
    return out;
}

void DrawGradient(QPainter &painter, const QRect &area, int colourA, int colourB)
{
    constexpr int kBands = 64;
    const std::vector<int> colours = BuildGradient(kBands, colourA, colourB);
    const double h = area.height();
    for (int i = 1; i <= kBands; ++i) {
        const int top = area.top() + qRound((i - 1) * h / kBands);
        const int bottom = area.top() + qRound(i * h / kBands);
        if (bottom > top)
            painter.fillRect(QRect(area.left(), top, area.width(), bottom - top), qcolour(colours[size_t(i - 1)]));
    }
}

QImage renderBackgroundImage(const QSize &size, qreal dpr, int backStyle, int colour0, int colour1,
                             const QImage &graphic, int graphicPosition)
{
    if (size.isEmpty())
        return {};
    if (dpr <= 0)
        dpr = 1;
    QImage img(QSize(qCeil(size.width() * dpr), qCeil(size.height() * dpr)), QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    QPainter p(&img);
    const QRect all(QPoint(0, 0), size);
    if (backStyle == 0)
        p.fillRect(all, qcolour(TranslateColor(colour0)));
    else
        DrawGradient(p, all, colour0, colour1);

    if (!graphic.isNull()) {
        const qreal gdpr = graphic.devicePixelRatio() > 0 ? graphic.devicePixelRatio() : 1.0;
        const int w = qRound(graphic.width() / gdpr), h = qRound(graphic.height() / gdpr);
        const int W = size.width(), H = size.height();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        switch (graphicPosition) {
        case 1: // centre; a picture larger than the area is cut on every side
            p.drawImage(QRect((W - w) / 2, (H - h) / 2, w, h), graphic);
            break;
        case 2: // tile, column by column
            if (w > 0 && h > 0)
                for (int i = 0; i <= W / w; ++i)
                    for (int j = 0; j <= H / h; ++j)
                        p.drawImage(QRect(i * w, j * h, w, h), graphic);
            break;
        case 3: // stretch over the whole area
            p.drawImage(all, graphic);
            break;
        default:
            break;
        }
    }
    return img;
}

QImage lumrikEmblem(int size, const QColor &ink)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(size / 2.0, size / 2.0);
    const double r = size / 2.0;
    QPen pen(ink, qMax(1.0, size / 18.0));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - pen.widthF(), r - pen.widthF());
    // The bolt-hole circle: eight holes.
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4 + M_PI / 8;
        p.drawEllipse(QPointF(c.x() + 0.58 * r * std::cos(a), c.y() + 0.58 * r * std::sin(a)), 0.1 * r, 0.1 * r);
    }
    // The cross-hair in the middle.
    QPen thin(ink, qMax(1.0, size / 40.0));
    p.setPen(thin);
    p.drawLine(QPointF(c.x() - 0.3 * r, c.y()), QPointF(c.x() + 0.3 * r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - 0.3 * r), QPointF(c.x(), c.y() + 0.3 * r));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 0.16 * r, 0.16 * r);
    return img;
}

QImage imgBackPicture()
{
    const QColor ink(255, 255, 255, 70);
    QImage img(360, 300, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QPoint(90, 0), lumrikEmblem(180, ink));
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(50);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QRect(0, 190, 360, 64), Qt::AlignCenter, QStringLiteral("Lumrik-32"));
    f.setPixelSize(18);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 256, 360, 30), Qt::AlignCenter, QStringLiteral("NC-editor och DNC"));
    return img;
}

// ---------------------------------------------------------------------------

CMdiBackground::CMdiBackground(QObject *parent) : QObject(parent)
{
    setObjectName("mdiBackground");
}

CMdiBackground::~CMdiBackground()
{
    graphic_ = QImage();
    DestroyPicture();
}

void CMdiBackground::setAutoRefresh(bool on)
{
    autoRefresh_ = on;
    if (on)
        RenderBackground();
}

void CMdiBackground::setBackStyle(int style)
{
    backStyle_ = style;
    if (autoRefresh_)
        RenderBackground();
}

QMdiArea *CMdiBackground::Client() const { return m_Client; }

void CMdiBackground::setClient(QMdiArea *client)
{
    DestroyPicture();
    m_Client = client;
    CreatePicture();
}

int CMdiBackground::Color(int index) const { return index == 0 || index == 1 ? colour_[index] : 0; }

void CMdiBackground::setColor(int index, int colour)
{
    if (index == 0 || index == 1)
        colour_[index] = colour;
    if (autoRefresh_)
        RenderBackground();
}

void CMdiBackground::setGraphic(const QImage &graphic)
{
    graphic_ = graphic;
    if (autoRefresh_)
        RenderBackground();
}

void CMdiBackground::setGraphicPosition(int position)
{
    graphicPosition_ = position;
    if (autoRefresh_)
        RenderBackground();
}

void CMdiBackground::Refresh() { RenderBackground(); }

void CMdiBackground::CreatePicture()
{
    if (!m_Client)
        return;
    auto *box = new QWidget(m_Client);
    box->setObjectName("mdiBackPicture");
    box->setAttribute(Qt::WA_DontShowOnScreen);
    box->hide();
    pictureBox_ = box;
    m_Client->installEventFilter(this);
    frame_ = m_Client->window();
    if (frame_ != m_Client)
        frame_->installEventFilter(this);
    ResizePicture();
}

QSize CMdiBackground::neededSize() const
{
    // The picture also covers the strips where the area's scroll bars appear.
    const QSize inner = m_Client->contentsRect().size();
    QStyle *st = m_Client->style();
    const int sbW = st->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_Client->verticalScrollBar());
    const int sbH = st->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_Client->horizontalScrollBar());
    return QSize(inner.width() + sbW, inner.height() + sbH);
}

void CMdiBackground::ResizePicture()
{
    if (!pictureBox_ || !m_Client)
        return;
    try {
        pictureSize_ = neededSize();
        pictureBox_->setGeometry(QRect(QPoint(0, 0), pictureSize_));
        RenderBackground();
    } catch (...) {
        // The background keeps its last image.
    }
}

void CMdiBackground::RenderBackground()
{
    if (!pictureBox_ || !m_Client)
        return;
    if (backStyle_ != 0 && programSession().settings().values().noBack)
        backStyle_ = 0;
    image_ = renderBackgroundImage(pictureSize_, m_Client->devicePixelRatioF(), backStyle_, colour_[0], colour_[1],
                                   graphic_, graphicPosition_);
    ++renders_;
    if (!image_.isNull())
        m_Client->setBackground(QBrush(QPixmap::fromImage(image_)));
    m_Client->viewport()->update();
}

void CMdiBackground::DestroyPicture()
{
    if (!m_Client)
        return;
    m_Client->removeEventFilter(this);
    if (frame_)
        frame_->removeEventFilter(this);
    frame_ = nullptr;
    if (pictureBox_)
        delete pictureBox_.data();
    pictureBox_ = nullptr;
    m_Client = nullptr;
}

void CMdiBackground::m_Client_Resize()
{
    QWidget *frame = m_Client ? m_Client->window() : nullptr;
    if (frame && frame->isMinimized())
        return;
    ResizePicture();
}

bool CMdiBackground::eventFilter(QObject *watched, QEvent *event)
{
    // The event's kind first: a client being destroyed still sends events, and is
    // no longer a QMdiArea then (the pointers are only compared for a live area).
    if (event->type() == QEvent::Resize && qobject_cast<QMdiArea *>(watched) && watched == m_Client) {
        m_Client_Resize();
    } else if (event->type() == QEvent::WindowStateChange && watched == frame_ && !frame_->isMinimized()
               && !m_Client.isNull() && pictureSize_ != neededSize()) {
        // A size change while the window was minimised is painted when it comes back.
        ResizePicture();
    }
    return QObject::eventFilter(watched, event);
}

}
