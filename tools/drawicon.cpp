// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the program's icon: the KZ held upright, its display showing "KZ"
// above the speaker grille and its one button. The same few shapes are
// written as SVG, for the desktop's icon theme, and painted into PNGs, which
// the window uses: Qt reads PNG without a plugin, SVG only with Qt SVG.
//
//   kz-drawicon OUTDIR    writes OUTDIR/kz.svg and OUTDIR/kz-N.png

#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QTextStream>

#include <cstdio>

namespace {

// The drawing's own units; an N-pixel PNG is the drawing scaled by N / kCanvas.
constexpr int kCanvas = 256;
constexpr int kPngSizes[] = {16, 24, 32, 48, 64, 128, 256};

namespace colour {
const QColor body(0x35, 0x41, 0x4F);
const QColor bodyEdge(0x17, 0x1D, 0x25);
const QColor bezel(0x12, 0x18, 0x1F);
const QColor display(0x1F, 0x3B, 0x2F);
const QColor lettering(0x34, 0xD3, 0x99);
const QColor hole(0x0B, 0x0F, 0x14);
const QColor button(0xF5, 0x9E, 0x0B);
} // namespace colour

// Only what every SVG renderer and QPainter draw alike: rounded rectangles,
// circles and polygons, filled. The letters are polygons rather than strokes:
// renderers differ on mitred corners.
struct Shape {
    enum class Kind { RoundedRect, Circle, Polygon };
    Kind kind;
    QRectF box; // rectangle, or the circle's bounding square
    qreal radius = 0;
    QList<QPointF> points;
    QColor fill;
    QColor stroke;
    qreal strokeWidth = 0;
};

Shape roundedRect(const QRectF &box, qreal radius, const QColor &fill, const QColor &stroke = {},
                  qreal strokeWidth = 0)
{
    return {Shape::Kind::RoundedRect, box, radius, {}, fill, stroke, strokeWidth};
}

Shape circle(const QPointF &centre, qreal radius, const QColor &fill)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    return {Shape::Kind::Circle, box, radius, {}, fill, {}, 0};
}

Shape polygon(const QList<QPointF> &points, const QColor &fill)
{
    return {Shape::Kind::Polygon, {}, 0, points, fill, {}, 0};
}

QList<Shape> drawing()
{
    QList<Shape> shapes;
    shapes << roundedRect({60, 12, 136, 232}, 30, colour::body, colour::bodyEdge, 6);
    shapes << roundedRect({74, 30, 108, 82}, 12, colour::bezel);
    shapes << roundedRect({82, 38, 92, 66}, 6, colour::display);

    // "K" and "Z" in strokes 10 units wide between y = 46 and 96, drawn as
    // outlines so that no font is needed, each letter one polygon so that no
    // seam shows where its strokes meet. The arms of the K are one band 10
    // units across mirrored about y = 71.
    shapes << polygon({{89, 46},
                       {99, 46},
                       {99, 62.41},
                       {113.36, 46},
                       {126.64, 46},
                       {104.76, 71},
                       {126.64, 96},
                       {113.36, 96},
                       {99, 79.59},
                       {99, 96},
                       {89, 96}},
                      colour::lettering);
    shapes << polygon({{136, 46},
                       {168, 46},
                       {168, 56},
                       {148, 86},
                       {168, 86},
                       {168, 96},
                       {136, 96},
                       {136, 86},
                       {156, 56},
                       {136, 56}},
                      colour::lettering);

    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column)
            shapes << circle({88.0 + 20 * column, 136.0 + 19 * row}, 6.5, colour::hole);
    }
    shapes << circle({128, 220}, 9, colour::button);
    return shapes;
}

QString number(qreal value)
{
    return QString::number(value, 'g', 6);
}

QString svgColour(const QColor &colour)
{
    return colour.isValid() ? colour.name() : QStringLiteral("none");
}

QString svg(const QList<Shape> &shapes)
{
    QString text;
    QTextStream out(&text);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kCanvas << "\" height=\""
        << kCanvas << "\" viewBox=\"0 0 " << kCanvas << ' ' << kCanvas << "\">\n";
    for (const Shape &s : shapes) {
        switch (s.kind) {
        case Shape::Kind::RoundedRect:
            out << "  <rect x=\"" << number(s.box.x()) << "\" y=\"" << number(s.box.y())
                << "\" width=\"" << number(s.box.width()) << "\" height=\""
                << number(s.box.height()) << "\" rx=\"" << number(s.radius) << "\" fill=\""
                << svgColour(s.fill) << '"';
            if (s.strokeWidth > 0)
                out << " stroke=\"" << svgColour(s.stroke) << "\" stroke-width=\""
                    << number(s.strokeWidth) << '"';
            out << "/>\n";
            break;
        case Shape::Kind::Circle:
            out << "  <circle cx=\"" << number(s.box.center().x()) << "\" cy=\""
                << number(s.box.center().y()) << "\" r=\"" << number(s.radius) << "\" fill=\""
                << svgColour(s.fill) << "\"/>\n";
            break;
        case Shape::Kind::Polygon: {
            QStringList points;
            for (const QPointF &p : s.points)
                points << number(p.x()) + QLatin1Char(',') + number(p.y());
            out << "  <polygon points=\"" << points.join(QLatin1Char(' ')) << "\" fill=\""
                << svgColour(s.fill) << "\"/>\n";
            break;
        }
        }
    }
    out << "</svg>\n";
    return text;
}

QImage png(const QList<Shape> &shapes, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kCanvas, qreal(size) / kCanvas);
    for (const Shape &s : shapes) {
        p.setPen(s.strokeWidth > 0 ? QPen(s.stroke, s.strokeWidth) : QPen(Qt::NoPen));
        p.setBrush(s.fill);
        switch (s.kind) {
        case Shape::Kind::RoundedRect:
            p.drawRoundedRect(s.box, s.radius, s.radius);
            break;
        case Shape::Kind::Circle:
            p.drawEllipse(s.box);
            break;
        case Shape::Kind::Polygon:
            p.drawPolygon(s.points.constData(), int(s.points.size()));
            break;
        }
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kz-drawicon OUTDIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 1;
    const QList<Shape> shapes = drawing();

    QFile svgFile(dir.filePath(QStringLiteral("kz.svg")));
    if (!svgFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "kz-drawicon: cannot write %s\n", qPrintable(svgFile.fileName()));
        return 1;
    }
    svgFile.write(svg(shapes).toUtf8());
    svgFile.close();
    std::printf("%s\n", qPrintable(svgFile.fileName()));

    for (const int size : kPngSizes) {
        const QString name = dir.filePath(QStringLiteral("kz-%1.png").arg(size));
        if (!png(shapes, size).save(name)) {
            std::fprintf(stderr, "kz-drawicon: cannot write %s\n", qPrintable(name));
            return 1;
        }
        std::printf("%s\n", qPrintable(name));
    }
    return 0;
}
