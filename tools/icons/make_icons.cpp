// Draws the main window's toolbar pictures, its background strip and the program icon.
// Run by make-icons.sh; the pictures it writes are kept in src/shell/images.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kWidth = 72;
constexpr int kHeight = 84;
constexpr int kGlyph = 44; // the glyph's square, centred at the top

using Glyph = std::function<void(QPainter&, const QColor& ink)>;

QPen inkPen(const QColor& ink, qreal width = 3.2)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Glyphs are drawn in a 44 x 44 box.
void envelope(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 11, 34, 24), 3, 3);
    QPainterPath flap;
    flap.moveTo(6, 13);
    flap.lineTo(22, 26);
    flap.lineTo(38, 13);
    p.drawPath(flap);
    // a small arrow: the message leaves
    p.drawLine(QPointF(30, 6), QPointF(40, 6));
    p.drawLine(QPointF(36, 2.5), QPointF(40, 6));
    p.drawLine(QPointF(36, 9.5), QPointF(40, 6));
}

void history(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(22, 22), 16, 16);
    p.drawLine(QPointF(22, 22), QPointF(22, 12));
    p.drawLine(QPointF(22, 22), QPointF(30, 26));
    for (int i = 0; i < 12; ++i) {
        const qreal a = i * M_PI / 6;
        p.drawPoint(QPointF(22 + 12.5 * qCos(a), 22 + 12.5 * qSin(a)));
    }
}

void addressBook(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8, 5, 28, 34), 3, 3);
    p.drawEllipse(QPointF(22, 17), 5, 5);
    QPainterPath body;
    body.moveTo(13, 32);
    body.cubicTo(14, 24, 30, 24, 31, 32);
    p.drawPath(body);
    p.drawLine(QPointF(5, 12), QPointF(10, 12));
    p.drawLine(QPointF(5, 22), QPointF(10, 22));
    p.drawLine(QPointF(5, 32), QPointF(10, 32));
}

void phrases(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(5, 7, 34, 24), 7, 7);
    p.drawPath(bubble);
    QPainterPath tail;
    tail.moveTo(13, 31);
    tail.lineTo(10, 39);
    tail.lineTo(20, 31);
    p.drawPath(tail);
    p.drawLine(QPointF(12, 15), QPointF(32, 15));
    p.drawLine(QPointF(12, 22), QPointF(26, 22));
}

void settings(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    QPainterPath gear;
    const QPointF c(22, 22);
    constexpr int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal a = i * 2 * M_PI / (teeth * 4);
        const qreal r = (i % 4 < 2) ? 17 : 13;
        const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    p.drawPath(gear);
    p.drawEllipse(c, 5, 5);
}

void help(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(22, 22), 17, 17);
    QPainterPath q;
    q.moveTo(16, 17);
    q.cubicTo(16, 9, 28, 9, 28, 16);
    q.cubicTo(28, 21, 22, 21, 22, 27);
    p.drawPath(q);
    p.setBrush(ink);
    p.drawEllipse(QPointF(22, 32.5), 1.6, 1.6);
}

void exitGlyph(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink, 3.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6, 7, 32, 32), 120 * 16, 300 * 16);
    p.drawLine(QPointF(22, 4), QPointF(22, 21));
}

void grid(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink, 2.8));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 8, 34, 28), 2, 2);
    p.drawLine(QPointF(5, 17), QPointF(39, 17));
    p.drawLine(QPointF(5, 26.5), QPointF(39, 26.5));
    p.drawLine(QPointF(16, 8), QPointF(16, 36));
    p.drawLine(QPointF(28, 8), QPointF(28, 36));
}

void service(QPainter& p, const QColor& ink)
{
    p.setPen(inkPen(ink));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8, 5, 28, 30), 0, 180 * 16);
    p.drawLine(QPointF(8, 20), QPointF(8, 25));
    p.drawLine(QPointF(36, 20), QPointF(36, 25));
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(5, 19, 7, 12), 2, 2);
    p.drawRoundedRect(QRectF(32, 19, 7, 12), 2, 2);
    p.setBrush(Qt::NoBrush);
    QPainterPath mic;
    mic.moveTo(35, 31);
    mic.cubicTo(35, 38, 30, 39, 24, 39);
    p.drawPath(mic);
    p.setBrush(ink);
    p.drawEllipse(QPointF(23, 39), 2.2, 2.2);
}

struct Item
{
    int index;
    QString caption;
    Glyph glyph;
};

QImage drawItem(const Item& item, bool highlighted, const QFont& font)
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (highlighted) {
        // A soft light plate behind the chosen item.
        QLinearGradient plate(0, 0, 0, kHeight);
        plate.setColorAt(0, QColor(255, 255, 255, 120));
        plate.setColorAt(1, QColor(255, 255, 255, 40));
        p.setPen(QPen(QColor(255, 255, 255, 170), 1));
        p.setBrush(plate);
        p.drawRoundedRect(QRectF(1.5, 1.5, kWidth - 3, kHeight - 3), 8, 8);
    }
    const QColor ink = highlighted ? QColor(255, 214, 90) : QColor(255, 255, 255);
    p.save();
    p.translate((kWidth - kGlyph) / 2.0, 8);
    // a faint shadow lifts the glyph off the strip
    p.translate(1, 1.5);
    item.glyph(p, QColor(10, 40, 80, 110));
    p.translate(-1, -1.5);
    item.glyph(p, ink);
    p.restore();
    p.setFont(font);
    p.setPen(QColor(10, 40, 80, 140));
    p.drawText(QRectF(1, 58, kWidth, 22), Qt::AlignHCenter | Qt::AlignVCenter, item.caption);
    p.setPen(highlighted ? QColor(255, 236, 170) : QColor(255, 255, 255));
    p.drawText(QRectF(0, 57, kWidth, 22), Qt::AlignHCenter | Qt::AlignVCenter, item.caption);
    return image;
}

// 8 x 112: the strip the main window repeats along its top edge.
QImage drawStrip()
{
    QImage image(8, 112, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 112);
    g.setColorAt(0.0, QColor(58, 132, 214));
    g.setColorAt(0.55, QColor(33, 100, 184));
    g.setColorAt(0.97, QColor(22, 78, 152));
    g.setColorAt(1.0, QColor(120, 170, 226));
    p.fillRect(image.rect(), g);
    // a highlight line along the very top
    p.fillRect(QRect(0, 0, 8, 1), QColor(140, 190, 240));
    return image;
}

QImage drawProgramIcon()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(24, 18), 60);
    g.setColorAt(0, QColor(90, 170, 240));
    g.setColorAt(1, QColor(22, 78, 152));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    p.translate(10, 10);
    envelope(p, QColor(255, 255, 255));
    return image;
}

bool save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(13);
    font.setBold(true);

    const Item items[] = {
        {1, QStringLiteral("发送短信"), envelope},  {2, QStringLiteral("发送记录"), history},
        {3, QStringLiteral("通讯录"), addressBook}, {4, QStringLiteral("常用短语"), phrases},
        {5, QStringLiteral("系统设置"), settings},  {6, QStringLiteral("使用帮助"), help},
        {7, QStringLiteral("退出系统"), exitGlyph}, {8, QStringLiteral("个性短信"), grid},
        {9, QStringLiteral("在线客服"), service},
    };
    bool ok = true;
    for (const Item& item : items) {
        ok &= save(drawItem(item, false, font), out.filePath(QStringLiteral("toolbar%1.png").arg(item.index)));
        ok &= save(drawItem(item, true, font), out.filePath(QStringLiteral("toolbar%1_hot.png").arg(item.index)));
    }
    ok &= save(drawStrip(), out.filePath(QStringLiteral("ImageBg.png")));
    ok &= save(drawProgramIcon(), out.filePath(QStringLiteral("Quorvel.png")));
    return ok ? 0 : 1;
}
