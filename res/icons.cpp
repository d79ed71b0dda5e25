#include "res/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace res {

namespace {

using Painter = std::function<void(QPainter&)>;

// Draws on a 32 x 32 canvas, scaled to each size the icon offers.
QIcon drawIcon(const Painter& paint) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 32.0, size / 32.0);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void drawPlugHalf(QPainter& p, qreal x, bool facingRight) {
    // Body of the plug with two pins, or the socket half with two holes.
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(70, 110, 170));
    const qreal bodyX = facingRight ? x : x - 9;
    p.drawRoundedRect(QRectF(bodyX, 10, 9, 12), 2, 2);
    p.setBrush(QColor(200, 170, 60));
    if (facingRight) {
        p.drawRect(QRectF(x + 9, 12, 5, 2.5));
        p.drawRect(QRectF(x + 9, 17.5, 5, 2.5));
    }
    p.setPen(QPen(QColor(40, 40, 40), 2.2));
    p.drawLine(QPointF(facingRight ? bodyX : bodyX + 9, 16),
               QPointF(facingRight ? bodyX - 6 : bodyX + 15, 16));
}

void drawLetters(QPainter& p, const QString& text, const QColor& colour) {
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(2, 4, 28, 24), 4, 4);
    QFont font(QStringLiteral("Sans"));
    font.setBold(true);
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 4, 28, 24), Qt::AlignCenter, text);
}

void drawTile(QPainter& p, const QColor& colour) {
    p.setPen(QPen(QColor(30, 30, 30), 1.2));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(2, 4, 28, 24), 4, 4);
}

void drawMonitor(QPainter& p) {
    // A table of live rows: a header bar, then rows whose last cells are lit
    // as the monitor marks changed bytes.
    drawTile(p, QColor(40, 90, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 236, 245));
    p.drawRect(QRectF(6, 8, 20, 3));
    for (int row = 0; row < 3; ++row) {
        const qreal y = 13.5 + row * 4.5;
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, y, 12, 2.5));
        p.setBrush(row == 1 ? QColor(255, 200, 60) : QColor(190, 205, 225));
        p.drawRect(QRectF(20, y, 6, 2.5));
    }
}

void drawSwitch(QPainter& p, bool hex) {
    // A slide switch: the knob sits right for "Hex" and left for "Dec".
    p.setPen(QPen(QColor(50, 50, 50), 1.2));
    p.setBrush(QColor(225, 225, 225));
    p.drawRoundedRect(QRectF(2, 10, 28, 12), 6, 6);
    p.setBrush(hex ? QColor(40, 120, 200) : QColor(200, 120, 40));
    p.drawEllipse(QRectF(hex ? 18 : 2, 8, 12, 16));
}

void drawBall(QPainter& p, const QColor& colour) {
    QRadialGradient gradient(QPointF(12, 12), 16);
    gradient.setColorAt(0, colour.lighter(170));
    gradient.setColorAt(1, colour.darker(130));
    p.setPen(QPen(colour.darker(200), 1));
    p.setBrush(gradient);
    p.drawEllipse(QRectF(4, 4, 24, 24));
}

QLinearGradient topToBottom(const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(0, 0, 0, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void drawMain(QPainter& p) {
    // A truck over a bus signal on a dark tile: the same picture as the
    // desktop icon (dist/icons/tarvik.svg), drawn on its 256-unit canvas.
    p.scale(32.0 / 256, 32.0 / 256);
    const QColor outline(0x0f, 0x1a, 0x22);
    p.setPen(Qt::NoPen);
    p.setBrush(topToBottom(QColor(0x35, 0x56, 0x6b), QColor(0x1b, 0x2c, 0x38)));
    p.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);

    p.setPen(QPen(outline, 5, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(topToBottom(QColor(0xf5, 0xf8, 0xfa), QColor(0xcd, 0xd8, 0xdf)));
    p.drawRoundedRect(QRectF(32, 60, 116, 94), 10, 10);
    QPainterPath cab;
    cab.moveTo(156, 80);
    cab.lineTo(190, 80);
    cab.quadTo(198, 80, 203, 87);
    cab.lineTo(220, 112);
    cab.quadTo(224, 118, 224, 126);
    cab.lineTo(224, 146);
    cab.quadTo(224, 154, 216, 154);
    cab.lineTo(156, 154);
    cab.closeSubpath();
    p.setBrush(topToBottom(QColor(0xea, 0x5a, 0x4f), QColor(0xb8, 0x32, 0x2b)));
    p.drawPath(cab);
    QPainterPath window;
    window.moveTo(168, 92);
    window.lineTo(188, 92);
    window.quadTo(192, 92, 195, 96);
    window.lineTo(207, 114);
    window.lineTo(168, 114);
    window.closeSubpath();
    p.setPen(QPen(outline, 4, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(QColor(0xa9, 0xd8, 0xf5));
    p.drawPath(window);

    p.setPen(Qt::NoPen);
    p.setBrush(outline);
    p.drawRoundedRect(QRectF(26, 152, 204, 12), 4, 4);
    for (qreal x : {72.0, 190.0}) {
        p.setPen(QPen(outline, 4));
        p.setBrush(QColor(0x20, 0x27, 0x2c));
        p.drawEllipse(QPointF(x, 166), 20, 20);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xb6, 0xc3, 0xcb));
        p.drawEllipse(QPointF(x, 166), 8, 8);
    }

    const QPolygonF signal({{30, 216},
                            {56, 216},
                            {56, 198},
                            {82, 198},
                            {82, 216},
                            {108, 216},
                            {108, 198},
                            {122, 198},
                            {122, 216},
                            {148, 216},
                            {148, 198},
                            {174, 198},
                            {174, 216},
                            {200, 216},
                            {200, 198},
                            {226, 198}});
    p.setPen(QPen(QColor(0x5f, 0xdc, 0x6e), 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(signal);
}

void drawRxPicture(QPainter& p) {
    // A small monitor with a trace: the receive window's emblem.
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(20, 40, 30));
    p.drawRoundedRect(QRectF(3, 5, 26, 19), 2, 2);
    p.setPen(QPen(QColor(80, 230, 110), 1.5));
    p.drawPolyline(QPolygonF({QPointF(5, 18), QPointF(10, 18), QPointF(12, 10), QPointF(15, 21),
                              QPointF(18, 13), QPointF(21, 18), QPointF(27, 18)}));
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(QRectF(12, 24, 8, 3));
}

} // namespace

QIcon loadIcon(int id) {
    switch (id) {
    case IDI_MAIN_LARGE:
    case IDI_MAIN_SMALL:
        return drawIcon(drawMain);
    case IDI_CONNECT:
        return drawIcon([](QPainter& p) {
            drawPlugHalf(p, 6, true);
            drawPlugHalf(p, 26, false);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(70, 110, 170));
            p.drawRect(QRectF(14, 10, 3, 12));
        });
    case IDI_DISCONNECT:
        return drawIcon([](QPainter& p) {
            drawPlugHalf(p, 3, true);
            drawPlugHalf(p, 29, false);
            p.setPen(QPen(QColor(210, 40, 40), 1.6));
            p.drawLine(QPointF(18, 7), QPointF(16, 11));
            p.drawLine(QPointF(18, 25), QPointF(16, 21));
        });
    case IDI_RECEIVE:
        return drawIcon([](QPainter& p) { drawLetters(p, QStringLiteral("Rx"), QColor(40, 130, 70)); });
    case IDI_TRANSMIT:
        return drawIcon([](QPainter& p) { drawLetters(p, QStringLiteral("Tx"), QColor(190, 90, 30)); });
    case IDI_MONITOR:
        return drawIcon(drawMonitor);
    case IDI_DIAGNOSTICS:
        return drawIcon([](QPainter& p) { drawLetters(p, QStringLiteral("Dx"), QColor(170, 40, 40)); });
    case IDI_SWITCH_HEX:
        return drawIcon([](QPainter& p) { drawSwitch(p, true); });
    case IDI_SWITCH_DEC:
        return drawIcon([](QPainter& p) { drawSwitch(p, false); });
    case IDI_RX_PICTURE:
        return drawIcon(drawRxPicture);
    case IDI_NOT_INITIALISED:
        return drawIcon([](QPainter& p) { drawBall(p, QColor(150, 150, 150)); });
    case IDI_INITIALISED:
        return drawIcon([](QPainter& p) { drawBall(p, QColor(40, 180, 60)); });
    default:
        return QIcon();
    }
}

namespace {
SwitchIcons& switchIconStore() {
    static SwitchIcons icons;
    return icons;
}
} // namespace

void loadSwitchIcons() {
    SwitchIcons& icons = switchIconStore();
    if (icons.hex.isNull())
        icons.hex = loadIcon(IDI_SWITCH_HEX);
    if (icons.dec.isNull())
        icons.dec = loadIcon(IDI_SWITCH_DEC);
}

const SwitchIcons& switchIcons() {
    loadSwitchIcons();
    return switchIconStore();
}

} // namespace res
