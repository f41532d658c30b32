// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the two pictures of the start screen. They are drawn from code rather
// than kept only as binary files so that they can be changed, redrawn at other
// sizes, and carry nothing taken from elsewhere.
//
//   kz-drawpictures OUTDIR    writes OUTDIR/image4.jpg and OUTDIR/image5.jpg

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include <cmath>

namespace {

// One palette for both pictures, so that they read as a pair on the start screen.
namespace colour {
const QColor backgroundTop(0xF5, 0xF8, 0xFB);
const QColor backgroundBottom(0xE2, 0xEA, 0xF1);
const QColor bodyLight(0x35, 0x41, 0x4F);
const QColor bodyDark(0x25, 0x2E, 0x39);
const QColor bodyEdge(0x17, 0x1D, 0x25);
const QColor recess(0x1B, 0x22, 0x2B);
const QColor hole(0x0B, 0x0F, 0x14);
const QColor panel(0x12, 0x18, 0x1F);
const QColor panelEdge(0x4A, 0x57, 0x66);
const QColor led(0x34, 0xD3, 0x99);
const QColor trace(0x5E, 0xEA, 0xD4);
const QColor lettering(0xE8, 0xEE, 0xF3);
const QColor button(0x3E, 0x4A, 0x58);
const QColor accent(0xF5, 0x9E, 0x0B);
const QColor cable(0x2F, 0x3A, 0x46);
const QColor plug(0xA9, 0xB4, 0xBF);
const QColor skin(0xF1, 0xC2, 0x9B);
const QColor skinShade(0xD9, 0x9E, 0x77);
const QColor skinLine(0xB9, 0x7F, 0x5B);
const QColor sleeve(0x3B, 0x6E, 0xA8);
const QColor sleeveShade(0x2F, 0x5A, 0x8C);
const QColor wave(0x14, 0xB8, 0xA6);
} // namespace colour

constexpr double pi = 3.14159265358979323846;

QImage blankCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, colour::backgroundTop);
    g.setColorAt(1, colour::backgroundBottom);
    p.fillRect(image.rect(), g);
    return image;
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QFont letteringFont(double pixelSize, int weight = QFont::Bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setWeight(QFont::Weight(weight));
    f.setLetterSpacing(QFont::PercentageSpacing, 108);
    return f;
}

// A soft contact shadow; a radial gradient squashed into an ellipse looks
// softer than stacking translucent ellipses.
void drawShadow(QPainter &p, QPointF centre, double rx, double ry, int alpha)
{
    p.save();
    p.translate(centre);
    p.scale(1.0, ry / rx);
    QRadialGradient g(QPointF(0, 0), rx);
    g.setColorAt(0, QColor(20, 30, 45, alpha));
    g.setColorAt(0.6, QColor(20, 30, 45, alpha / 3));
    g.setColorAt(1, QColor(20, 30, 45, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QPointF(0, 0), rx, rx);
    p.restore();
}

// The KZ seen from the front, in its own coordinates: (0,0) is the top left of
// the body, which is w wide and h high. Every measure follows from w and h so
// the same drawing serves both pictures.
void drawDevice(QPainter &p, double w, double h)
{
    const double radius = w * 0.26;
    const QRectF body(0, 0, w, h);

    // Body: a barely-there left-to-right shade gives the box some volume
    // while keeping the flat look.
    QLinearGradient bodyShade(0, 0, w, 0);
    bodyShade.setColorAt(0, colour::bodyLight);
    bodyShade.setColorAt(1, colour::bodyDark);
    p.setPen(QPen(colour::bodyEdge, 1.6));
    p.setBrush(bodyShade);
    p.drawRoundedRect(body, radius, radius);

    p.setPen(QPen(QColor(255, 255, 255, 34), 1.2));
    p.setBrush(Qt::NoBrush);
    const double inset = w * 0.035;
    p.drawRoundedRect(body.adjusted(inset, inset, -inset, -inset), radius - inset, radius - inset);

    // Speaker: a round recess with holes on a hexagonal grid, the usual way
    // to pack the most holes into a circle.
    const QPointF speaker(w / 2, h * 0.245);
    const double speakerRadius = w * 0.34;
    p.setPen(QPen(QColor(0x46, 0x53, 0x62), 1.6));
    p.setBrush(colour::recess);
    p.drawEllipse(speaker, speakerRadius, speakerRadius);

    const double pitch = speakerRadius / 4.1;
    const double holeRadius = pitch * 0.29;
    const double rowStep = pitch * std::sqrt(3.0) / 2;
    p.setPen(Qt::NoPen);
    for (int row = -6; row <= 6; ++row) {
        const double y = row * rowStep;
        const double shift = (row & 1) ? pitch / 2 : 0;
        for (int col = -6; col <= 6; ++col) {
            const double x = col * pitch + shift;
            if (std::hypot(x, y) + holeRadius > speakerRadius - pitch * 0.45)
                continue;
            const QPointF c = speaker + QPointF(x, y);
            // A faint lower rim makes each hole read as a hole, not a dot.
            p.setBrush(QColor(255, 255, 255, 28));
            p.drawEllipse(c + QPointF(0, holeRadius * 0.35), holeRadius, holeRadius);
            p.setBrush(colour::hole);
            p.drawEllipse(c, holeRadius, holeRadius);
        }
    }

    // Status panel with the LED and a small trace of the sensor signal.
    const QRectF panel(w * 0.15, h * 0.475, w * 0.70, h * 0.125);
    p.setPen(QPen(colour::panelEdge, 1.2));
    p.setBrush(colour::panel);
    p.drawRoundedRect(panel, panel.height() * 0.28, panel.height() * 0.28);

    const QPointF ledCentre(panel.left() + panel.height() * 0.5, panel.center().y());
    const double ledRadius = panel.height() * 0.16;
    QRadialGradient glow(ledCentre, ledRadius * 3.2);
    glow.setColorAt(0, withAlpha(colour::led, 150));
    glow.setColorAt(1, withAlpha(colour::led, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(ledCentre, ledRadius * 3.2, ledRadius * 3.2);
    p.setBrush(colour::led);
    p.drawEllipse(ledCentre, ledRadius, ledRadius);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(ledCentre + QPointF(-ledRadius * 0.3, -ledRadius * 0.3), ledRadius * 0.35,
                  ledRadius * 0.35);

    const double traceLeft = panel.left() + panel.height() * 1.05;
    const double traceRight = panel.right() - panel.height() * 0.35;
    const double traceMid = panel.center().y();
    const double traceAmp = panel.height() * 0.26;
    QPainterPath tracePath;
    const int steps = 60;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        // A decaying burst: it looks like a measured signal rather than a clean sine.
        const double envelope
            = std::exp(-3.0 * std::fabs(t - 0.45)) * (0.35 + 0.65 * std::sin(pi * t));
        const double y = traceMid - traceAmp * envelope * std::sin(t * 2 * pi * 4.5);
        const QPointF pt(traceLeft + t * (traceRight - traceLeft), y);
        if (i == 0)
            tracePath.moveTo(pt);
        else
            tracePath.lineTo(pt);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour::trace, qMax(1.1, w * 0.014), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tracePath);

    // Name plate.
    p.setFont(letteringFont(h * 0.125));
    p.setPen(colour::lettering);
    p.drawText(QRectF(0, h * 0.64, w, h * 0.15), Qt::AlignCenter, QStringLiteral("KZ"));

    // Two buttons; the orange one is the only warm colour on the box, so the
    // eye finds it the way a thumb would.
    const double buttonRadius = w * 0.06;
    const double buttonY = h * 0.865;
    const QPointF buttons[2] = {QPointF(w * 0.37, buttonY), QPointF(w * 0.63, buttonY)};
    for (int i = 0; i < 2; ++i) {
        p.setPen(QPen(colour::bodyEdge, 1.2));
        p.setBrush(i == 0 ? colour::accent : colour::button);
        p.drawEllipse(buttons[i], buttonRadius, buttonRadius);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 50));
        p.drawEllipse(buttons[i] + QPointF(-buttonRadius * 0.25, -buttonRadius * 0.3),
                      buttonRadius * 0.45, buttonRadius * 0.35);
    }
}

void drawCable(QPainter &p, const QPainterPath &path, double thickness)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour::bodyEdge, thickness + 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour::cable, thickness, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 40), thickness * 0.25, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path.translated(-thickness * 0.18, -thickness * 0.18));
}

// The device on its own, slightly turned, with its cable trailing off to a USB plug.
QImage drawDevicePicture()
{
    const int width = 320, height = 303;
    QImage image = blankCanvas(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // A pale disc behind the device keeps the picture from looking empty
    // without competing with the box.
    QRadialGradient halo(QPointF(width * 0.5, height * 0.46), 132);
    halo.setColorAt(0, QColor(0xD3, 0xE1, 0xED));
    halo.setColorAt(0.85, QColor(0xDC, 0xE7, 0xF0));
    halo.setColorAt(1, withAlpha(QColor(0xDC, 0xE7, 0xF0), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QPointF(width * 0.5, height * 0.46), 132, 132);

    const double w = 108, h = 222;
    const QPointF centre(150, 134);
    const double angle = -9;

    drawShadow(p, QPointF(centre.x() + 16, 262), 70, 10, 80);

    // The cable leaves the bottom of the device; it is drawn before the body so
    // that the body covers where it enters.
    QTransform deviceToScene;
    deviceToScene.translate(centre.x(), centre.y());
    deviceToScene.rotate(angle);
    deviceToScene.translate(-w / 2, -h / 2);
    const QPointF exit = deviceToScene.map(QPointF(w / 2, h + 10));
    const QPointF cableEnd(262, 258);
    const double plugAngle = -14;

    QPainterPath cable(exit);
    cable.cubicTo(exit + QPointF(5, 30), QPointF(196, 290), QPointF(226, 284));
    cable.cubicTo(QPointF(246, 280), QPointF(250, 262), cableEnd);
    drawShadow(p, QPointF(250, 289), 44, 5, 50);
    drawCable(p, cable, 7);

    // USB plug resting at the cable's end, pointing away from the device.
    p.save();
    p.translate(cableEnd);
    p.rotate(plugAngle);
    p.setPen(QPen(colour::bodyEdge, 1.2));
    p.setBrush(colour::button);
    p.drawRoundedRect(QRectF(-4, -6, 10, 12), 3, 3);
    p.setBrush(colour::cable);
    p.drawRoundedRect(QRectF(4, -9, 28, 18), 4, 4);
    p.setBrush(colour::plug);
    p.drawRect(QRectF(31, -7, 16, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5C, 0x67, 0x73));
    p.drawRect(QRectF(38, -4, 4, 3));
    p.drawRect(QRectF(38, 1.5, 4, 3));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRectF(7, -7, 22, 4), 2, 2);
    p.restore();

    p.save();
    p.setTransform(deviceToScene, true);
    // Strain relief where the cable meets the body.
    p.setPen(QPen(colour::bodyEdge, 1.2));
    p.setBrush(colour::button);
    p.drawRoundedRect(QRectF(w / 2 - 9, h - 6, 18, 18), 4, 4);
    drawDevice(p, w, h);
    p.restore();

    p.end();
    return image;
}

// A speech bubble whose tail points at `toward`.
void drawBubble(QPainter &p, QPointF centre, const QString &word, const QColor &tint,
                QPointF toward)
{
    const QFont font = letteringFont(19);
    const QFontMetricsF metrics(font);
    const double textWidth = metrics.horizontalAdvance(word);
    const QRectF box(centre.x() - textWidth / 2 - 15, centre.y() - 18, textWidth + 30, 36);

    // The tail starts from the bubble's edge nearest the speaker, so each
    // bubble visibly belongs to the sound.
    QPointF dir = toward - centre;
    const double len = std::hypot(dir.x(), dir.y());
    dir /= len;
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base
        = centre + QPointF(dir.x() * box.width() * 0.32, dir.y() * box.height() * 0.32);
    const QPointF tip = base + dir * 26;

    QPainterPath shape;
    shape.addRoundedRect(box, 18, 18);
    QPainterPath tail;
    tail.moveTo(base + normal * 9);
    tail.lineTo(tip);
    tail.lineTo(base - normal * 9);
    tail.closeSubpath();
    shape = shape.united(tail);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 45, 60, 30));
    p.drawPath(shape.translated(2, 3));
    p.setPen(QPen(tint, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(shape);

    p.setFont(font);
    p.setPen(tint.darker(135));
    p.drawText(box, Qt::AlignCenter, word);
}

// The device in a hand, speaking: the start screen's picture of what it is for.
QImage drawSpeakingPicture()
{
    const int width = 300, height = 445;
    QImage image = blankCanvas(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const double w = 98, h = 198;
    const QPointF centre(114, 262);
    const double angle = 12;
    QTransform deviceToScene;
    deviceToScene.translate(centre.x(), centre.y());
    deviceToScene.rotate(angle);
    deviceToScene.translate(-w / 2, -h / 2);
    const QPointF speaker = deviceToScene.map(QPointF(w / 2, h * 0.245));

    // Sound: arcs opening toward the upper right, fading with distance.
    p.setBrush(Qt::NoBrush);
    // The smallest radius clears the corners of the body.
    const double waveRadii[3] = {80, 101, 122};
    for (int i = 0; i < 3; ++i) {
        const double r = waveRadii[i];
        p.setPen(QPen(withAlpha(colour::wave, 220 - i * 55), 5.5 - i * 0.8, Qt::SolidLine,
                      Qt::RoundCap));
        p.drawArc(QRectF(speaker.x() - r, speaker.y() - r, 2 * r, 2 * r),
                  int((90 - angle - 28) * 16), 56 * 16);
    }

    // Words from the device's vocabulary, floating away from the speaker.
    drawBubble(p, QPointF(76, 40), QStringLiteral("HELLO"), QColor(0x14, 0xA3, 0x94), speaker);
    drawBubble(p, QPointF(206, 62), QStringLiteral("WATER"), QColor(0x3B, 0x82, 0xF6), speaker);
    drawBubble(p, QPointF(238, 180), QStringLiteral("SEVEN"), QColor(0xE0, 0x8A, 0x0B), speaker);

    p.save();
    p.setTransform(deviceToScene, true);

    // Everything of the hand is drawn twice: a wider outline stroke, then the
    // skin on top. That gives clean, even outlines on the rounded shapes.
    auto skinPath = [&](const QPainterPath &path, double thickness) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(colour::skinLine, thickness + 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(QPen(colour::skin, thickness, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    };
    auto skinShape = [&](const QPainterPath &path) {
        p.setPen(QPen(colour::skinLine, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(colour::skin);
        p.drawPath(path);
    };

    // Forearm and sleeve reach down out of the picture.
    QPainterPath arm;
    arm.moveTo(-4, 170);
    arm.cubicTo(-8, 230, 4, 280, 10, 330);
    arm.lineTo(96, 330);
    arm.cubicTo(100, 280, 112, 230, 118, 182);
    arm.closeSubpath();
    skinShape(arm);

    QPainterPath cuff;
    cuff.moveTo(0, 240);
    cuff.cubicTo(30, 252, 78, 252, 110, 236);
    cuff.lineTo(112, 340);
    cuff.lineTo(-6, 340);
    cuff.closeSubpath();
    p.setPen(QPen(colour::sleeveShade, 1.6));
    p.setBrush(colour::sleeve);
    p.drawPath(cuff);
    p.setPen(QPen(colour::sleeveShade, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(2, 254), QPointF(110, 248));

    // Palm behind the lower part of the device.
    QPainterPath palm;
    palm.moveTo(-14, 128);
    palm.cubicTo(-26, 150, -24, 200, -6, 226);
    palm.cubicTo(16, 252, 90, 256, 114, 222);
    palm.cubicTo(126, 200, 124, 150, 110, 128);
    palm.closeSubpath();
    skinShape(palm);

    drawDevice(p, w, h);

    // Thumb curls over the right edge onto the front.
    QPainterPath thumb;
    thumb.moveTo(112, 212);
    thumb.cubicTo(116, 178, 100, 150, 84, 138);
    skinPath(thumb, 21);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.save();
    p.translate(84, 139);
    p.rotate(-52);
    p.drawRoundedRect(QRectF(-3, -6, 12, 11), 4, 4);
    p.restore();

    // Four fingertips wrap round the left edge, each a short rounded bar.
    const double fingerY[4] = {128, 151, 174, 196};
    const double fingerReach[4] = {12, 15, 14, 10};
    for (int i = 0; i < 4; ++i) {
        QPainterPath finger;
        finger.moveTo(-11, fingerY[i] + 2);
        finger.lineTo(fingerReach[i], fingerY[i]);
        skinPath(finger, 19);
    }
    // Knuckle creases keep the four fingers from merging into one block.
    p.setPen(QPen(colour::skinShade, 1.4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(-4, fingerY[i] + 2), QPointF(-4, fingerY[i] - 3));

    p.restore();

    p.end();
    return image;
}

bool save(const QImage &image, const QString &path, QTextStream &out)
{
    if (!image.save(path, "JPG", 85)) {
        out << "cannot write " << path << "\n";
        return false;
    }
    out << "wrote " << path << " (" << image.width() << " x " << image.height() << ")\n";
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: kz-drawpictures OUTDIR\n";
        return 2;
    }
    const QDir dir(args.at(1));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        err << "cannot create " << dir.path() << "\n";
        return 1;
    }
    bool ok = save(drawDevicePicture(), dir.filePath(QStringLiteral("image4.jpg")), out);
    ok = save(drawSpeakingPicture(), dir.filePath(QStringLiteral("image5.jpg")), out) && ok;
    return ok ? 0 : 1;
}
