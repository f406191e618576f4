#include "platform/controls/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace controls {

namespace {

// One picture of a glyph in the given ink and fill colours.
QPixmap draw(Glyph which, const QColor &ink, const QColor &fill, const QColor &helpFill)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (which) {
    case Glyph::Help: {
        p.setBrush(helpFill);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(20);
        p.setFont(f);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case Glyph::Find:
        p.setBrush(fill);
        p.drawEllipse(QRectF(4, 4, 16, 16));
        p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18, 18), QPointF(28, 28));
        break;
    case Glyph::Filter: {
        QPainterPath funnel;
        funnel.moveTo(3, 5);
        funnel.lineTo(29, 5);
        funnel.lineTo(19, 17);
        funnel.lineTo(19, 28);
        funnel.lineTo(13, 24);
        funnel.lineTo(13, 17);
        funnel.closeSubpath();
        p.setBrush(fill);
        p.drawPath(funnel);
        break;
    }
    case Glyph::Companies:
        p.setBrush(fill);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QRectF(5, 4 + i * 8, 22, 8));
        break;
    case Glyph::User:
        p.setBrush(fill);
        p.drawEllipse(QRectF(10, 3, 12, 12));
        p.drawRoundedRect(QRectF(5, 17, 22, 12), 5, 5);
        break;
    case Glyph::History:
        // A clock: when each grant was given or taken.
        p.setBrush(fill);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.drawLine(QPointF(16, 16), QPointF(16, 8));
        p.drawLine(QPointF(16, 16), QPointF(22, 19));
        break;
    case Glyph::Reload:
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 30 * 16, 300 * 16);
        p.drawLine(QPointF(26, 8), QPointF(25, 15));
        p.drawLine(QPointF(26, 8), QPointF(19, 10));
        break;
    }
    return pixmap;
}

} // namespace

QIcon glyph(Glyph which)
{
    QIcon icon;
    icon.addPixmap(draw(which, QColor(0x20, 0x40, 0x80), QColor(0xd8, 0xe8, 0xff), QColor(0xff, 0xf2, 0xa8)),
                   QIcon::Normal);
    // Disabled, a glyph is drawn faint and unfilled, as the navigator's disabled buttons
    // are, rather than in a grey that keeps the enabled contrast.
    const QColor faint(0xa8, 0xa8, 0xa8);
    icon.addPixmap(draw(which, faint, Qt::transparent, Qt::transparent), QIcon::Disabled);
    return icon;
}

} // namespace controls
