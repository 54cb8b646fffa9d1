// Services of the Qt backend beside the windows: the clipboard published to the desktop, text
// measured in the paint font, the program's cursors as toolkit cursors, and paint records replayed
// on a window's retained picture.
#include <QBitmap>
#include <QClipboard>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <cstring>
#include <map>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/qt/qt_internal.h"

namespace mirexa {

namespace {

std::uint32_t ReadLittleEndian(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

QColor ColorOf(std::uint32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

QRect RectOf(const WindowRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

QPen PenOf(const PaintOperation& op) {
    if (op.penStyle == kPenNull) {
        return QPen(Qt::NoPen);
    }
    QPen pen(ColorOf(op.color), std::max(1, op.penWidth));
    pen.setCosmetic(true);
    pen.setStyle(op.penStyle == kPenDash      ? Qt::DashLine
                 : op.penStyle == kPenDot     ? Qt::DotLine
                 : op.penStyle == kPenDashDot ? Qt::DashDotLine
                                              : Qt::SolidLine);
    return pen;
}

QPolygon PolygonOf(const std::vector<PaintPoint>& points) {
    QPolygon polygon;
    for (const PaintPoint& p : points) {
        polygon << QPoint(p.x, p.y);
    }
    return polygon;
}

QFont PaintFont(int pixelHeight) {
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, pixelHeight));
    return font;
}

Qt::Alignment AlignOf(int align) {
    return Qt::AlignVCenter | (align == kTextCenter  ? Qt::AlignHCenter
                               : align == kTextRight ? Qt::AlignRight
                                                     : Qt::AlignLeft);
}

}  // namespace

// A device-independent bitmap (40-byte header, bottom-up BGR rows padded to 4 bytes) becomes an
// image; a text block a text.
void PublishQtClipboard(unsigned format) {
    std::vector<std::uint8_t> block;
    if (!GetClipboardData(format, &block)) {
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (format == CLIPBOARD_TEXT) {
        const auto* text = reinterpret_cast<const char*>(block.data());
        clipboard->setText(
            QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, block.size()))));
        return;
    }
    if (format != CLIPBOARD_DIB || block.size() < 40) {
        return;
    }
    const int width = static_cast<int>(ReadLittleEndian(block.data() + 4, 4));
    const int height = static_cast<int>(ReadLittleEndian(block.data() + 8, 4));
    const int bits = static_cast<int>(ReadLittleEndian(block.data() + 14, 2));
    const std::size_t stride = (std::size_t(std::max(0, width)) * 3 + 3) / 4 * 4;
    if (width < 1 || height < 1 || bits != 24 || block.size() - 40 < stride * height) {
        return;
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = block.data() + 40 + stride * std::size_t(height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        }
    }
    clipboard->setImage(image);
}

int MeasureQtText(int fontPixelHeight, const std::string& text) {
    return QFontMetrics(PaintFont(fontPixelHeight)).horizontalAdvance(QString::fromStdString(text));
}

// '#' black, '+' white, ' ' transparent: the bitmap holds black pixels, the mask every opaque one.
QCursor MakeQtCursor(CursorHandle cursor) {
    static std::map<CursorHandle, QCursor> made;
    CursorImage image;
    if (!cursor || !GetCursorImage(cursor, &image)) {
        return QCursor(Qt::ArrowCursor);
    }
    auto found = made.find(cursor);
    if (found != made.end()) {
        return found->second;
    }
    QImage bits(image.width, image.height, QImage::Format_Mono);
    QImage mask(image.width, image.height, QImage::Format_Mono);
    bits.fill(0);
    mask.fill(0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const char c = image.rows[y][x];
            bits.setPixel(x, y, c == '#' ? 1 : 0);
            mask.setPixel(x, y, c == ' ' ? 0 : 1);
        }
    }
    QCursor shape(QBitmap::fromImage(bits), QBitmap::fromImage(mask), image.hotX, image.hotY);
    made.emplace(cursor, shape);
    return shape;
}

void ReplayQtPaintRecord(const std::vector<PaintOperation>& operations, QImage* picture) {
    QPainter painter(picture);
    for (const PaintOperation& op : operations) {
        switch (op.op) {
            case PaintOp::FillRect:
                painter.fillRect(RectOf(op.rect), ColorOf(op.color));
                break;
            case PaintOp::Polyline:
                painter.setPen(PenOf(op));
                painter.drawPolyline(PolygonOf(op.points));
                break;
            case PaintOp::Polygon:
                painter.setPen(PenOf(op));
                painter.setBrush(op.hasBrush ? QBrush(ColorOf(op.brushColor)) : QBrush());
                painter.drawPolygon(PolygonOf(op.points));
                break;
            case PaintOp::Arc: {
                double start = 0, sweep = 0;
                if (op.points.size() >= 2 &&
                    ComputeArcAngles(op.rect, op.points[0], op.points[1], &start, &sweep)) {
                    painter.setPen(PenOf(op));
                    painter.drawArc(RectOf(op.rect), int(start * 16), int(sweep * 16));
                }
                break;
            }
            case PaintOp::Pixel:
                if (!op.points.empty()) {
                    painter.setPen(ColorOf(op.color));
                    painter.drawPoint(op.points[0].x, op.points[0].y);
                }
                break;
            case PaintOp::Text:
                if (!(op.flags & kTextTransparent)) {
                    painter.fillRect(RectOf(op.rect), ColorOf(op.background));
                }
                painter.setFont(PaintFont(op.fontPixelHeight));
                painter.setPen(ColorOf(op.color));
                painter.drawText(RectOf(op.rect), AlignOf(op.flags & kTextAlignMask),
                                 QString::fromStdString(op.text));
                break;
            case PaintOp::StatusPane: {
                int align = kTextLeft;
                const QString text = QString::fromStdString(SplitPaneText(op.text, &align));
                painter.fillRect(RectOf(op.rect), ColorOf(op.background));
                if (!(op.flags & SBT_NOBORDERS)) {
                    const bool raised = (op.flags & SBT_POPOUT) != 0;
                    const QRect r = RectOf(op.rect).adjusted(0, 0, -1, -1);
                    painter.setPen(raised ? Qt::white : Qt::gray);
                    painter.drawLine(r.topLeft(), r.topRight());
                    painter.drawLine(r.topLeft(), r.bottomLeft());
                    painter.setPen(raised ? Qt::gray : Qt::white);
                    painter.drawLine(r.bottomLeft(), r.bottomRight());
                    painter.drawLine(r.topRight(), r.bottomRight());
                }
                painter.setFont(PaintFont(op.fontPixelHeight));
                painter.setPen(ColorOf(op.color));
                painter.drawText(RectOf(op.rect).adjusted(3, 0, -3, 0), AlignOf(align), text);
                break;
            }
            case PaintOp::Clip:
                painter.setClipRect(RectOf(op.rect));
                painter.setClipping(op.rect.right > op.rect.left && op.rect.bottom > op.rect.top);
                break;
        }
    }
}

}  // namespace mirexa
