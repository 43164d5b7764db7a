#pragma once
// The background of the main window's document area: a solid colour or a
// top-to-bottom gradient of two colours in 64 bands, with an optional picture
// centred, tiled or stretched over it. The finished image becomes the document
// area's background brush; it is painted again whenever the area is resized
// (not while the main window is minimised).
//
// Colours are stored colour values: red in the low byte, then green, then
// blue; a value with the high bit set names a system colour by its low bits
// (0x8000000C is the colour of the application workspace).
#include <QImage>
#include <QObject>
#include <QPointer>
#include <vector>

class QMdiArea;
class QPainter;
class QRect;
class QWidget;

namespace lumrik {

// The colours of n bands from colour A toward colour B (band 1 first).
std::vector<int> BuildGradient(int n, int colourA, int colourB);
// Fills `area` with 64 horizontal bands from colour A (top) toward colour B.
void DrawGradient(QPainter &painter, const QRect &area, int colourA, int colourB);
// The background image of `size` (logical pixels): back style 0 plain colour 0,
// any other gradient; graphic position 1 centre, 2 tile, 3 stretch, else none.
QImage renderBackgroundImage(const QSize &size, qreal devicePixelRatio, int backStyle, int colour0,
                             int colour1, const QImage &graphic, int graphicPosition);

// The program's emblem (a bolt-hole circle round a cross-hair), square, on a
// transparent ground, drawn in `ink`.
QImage lumrikEmblem(int size, const QColor &ink);
// The picture shown over the background by default (the main window's imgBack(1)).
QImage imgBackPicture();

class CMdiBackground : public QObject {
    Q_OBJECT
public:
    explicit CMdiBackground(QObject *parent = nullptr);
    ~CMdiBackground() override;

    bool AutoRefresh() const { return autoRefresh_; }
    void setAutoRefresh(bool on);
    int BackStyle() const { return backStyle_; }
    void setBackStyle(int style);
    QMdiArea *Client() const;
    // Leaves the present client and paints the new one at once.
    void setClient(QMdiArea *client);
    // Index 0 or 1; any other index answers 0 and stores nothing.
    int Color(int index) const;
    void setColor(int index, int colour);
    QImage Graphic() const { return graphic_; }
    void setGraphic(const QImage &graphic);
    int GraphicPosition() const { return graphicPosition_; }
    void setGraphicPosition(int position);
    void Refresh();

    // The hidden drawing surface on the client ("mdiBackPicture"), and the image
    // painted last (null before anything was painted).
    QWidget *pictureBox() const { return pictureBox_; }
    QImage image() const { return image_; }
    // How many times the background was painted (for tests).
    int renderCount() const { return renders_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void RenderBackground();
    void ResizePicture();
    void CreatePicture();
    void DestroyPicture();
    void m_Client_Resize();
    QSize neededSize() const;

    QPointer<QMdiArea> m_Client;
    QPointer<QWidget> pictureBox_;
    QPointer<QWidget> frame_; // the client's window (its minimised state)
    QImage graphic_;
    bool autoRefresh_ = false;
    int colour_[2] = {int(0x8000000Cu), int(0x8000000Cu)};
    int backStyle_ = 0;
    int graphicPosition_ = 0;
    QSize pictureSize_;
    QImage image_;
    int renders_ = 0;
};

}
