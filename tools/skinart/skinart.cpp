// Draws the pictures of the built-in skin "Spider Man" (red and blue, with a web drawn over the
// body) into a folder, with a Qt resource file that lists them. Everything is drawn from code, so
// the same build machine always makes the same pictures and no picture lives in the repository.
//
// Usage: zorvita_skinart <output folder>
#include "tools/appicon/app_icon.h"
#include "tools/common/button_icons.h"
#include "tools/common/drawing_tool.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

using toolart::font;
using toolart::Icon;
using toolart::iconAbout;
using toolart::iconAdvanced;
using toolart::iconPlay;
using toolart::iconSettings;
using toolart::iconStop;

// The palette of the skin.
const QColor kRed(0xC8, 0x16, 0x1E);
const QColor kDeepRed(0x7E, 0x0B, 0x12);
const QColor kBlue(0x1C, 0x3F, 0x9A);
const QColor kNavy(0x0B, 0x18, 0x3D);
const QColor kInk(0x06, 0x0B, 0x1C);
const QColor kSilver(0xDC, 0xE2, 0xEE);
const QColor kKey(0xFF, 0x00, 0xFF);

// Window and control sizes of the built-in design, in pixels. The main window lays its controls
// out from the sizes of these pictures.
constexpr int kWindowW = 464;
constexpr int kWindowH = 308;
constexpr QSize kButton(68, 28);
constexpr QSize kArrow(26, 16);
constexpr QSize kCaption(24, 18);
constexpr QSize kClose(64, 24);
constexpr QSize kWelcome(181, 140);
constexpr QSize kBox(424, 212);

QString outDir;
QStringList written;

void save(const QImage& image, const QString& name) {
    const QString path = outDir + QLatin1Char('/') + name;
    const bool jpeg = name.endsWith(QLatin1String(".jpg"));
    if (!image.save(path, nullptr, jpeg ? 92 : -1)) {
        std::fprintf(stderr, "zorvita_skinart: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    written << name;
}

QImage blank(QSize size, QColor fill) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// Spokes from a hub and rings linking them: the web drawn over the skin's surfaces.
void drawWeb(QPainter& p, QPointF hub, double radius, int spokes, int rings, QColor colour,
             double width) {
    p.save();
    p.setPen(QPen(colour, width));
    p.setBrush(Qt::NoBrush);
    QVector<QPointF> dirs;
    for (int i = 0; i < spokes; ++i) {
        const double a = 2.0 * M_PI * i / spokes + 0.2;
        dirs << QPointF(std::cos(a), std::sin(a));
        p.drawLine(hub, hub + dirs.back() * radius);
    }
    for (int r = 1; r <= rings; ++r) {
        const double d = radius * r / rings;
        for (int i = 0; i < spokes; ++i) {
            const QPointF a = hub + dirs[i] * d;
            const QPointF b = hub + dirs[(i + 1) % spokes] * d;
            // Each thread sags towards the hub, as a real web does.
            const QPointF mid = (a + b) / 2.0;
            const QPointF sag = hub + (mid - hub) * 0.86;
            QPainterPath thread(a);
            thread.quadTo(sag, b);
            p.drawPath(thread);
        }
    }
    p.restore();
}

QPainterPath windowOutline() {
    QPainterPath body;
    body.addRoundedRect(QRectF(2, 12, kWindowW - 4, kWindowH - 14), 22, 22);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(14, 2, 196, 44), 14, 14);
    return body.united(tab).simplified();
}

// A dark recess with a bevelled edge, for the places where controls sit.
void drawWell(QPainter& p, QRectF r, double radius) {
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 170), 1.5));
    p.setBrush(QColor(4, 8, 22, 215));
    p.drawRoundedRect(r, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1, radius + 1);
    p.restore();
}

void outlinedText(QPainter& p, QPointF at, const QString& text, const QFont& f, QColor fill,
                  QColor edge, double edgeWidth) {
    QPainterPath path;
    path.addText(at, f, text);
    p.save();
    p.setPen(QPen(edge, edgeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(path);
    p.restore();
}

void makeBackground() {
    QImage image = blank(QSize(kWindowW, kWindowH), kKey);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = windowOutline();

    QLinearGradient body(0, 0, 0, kWindowH);
    body.setColorAt(0.0, kRed);
    body.setColorAt(0.52, kDeepRed);
    body.setColorAt(0.60, kBlue);
    body.setColorAt(1.0, kNavy);
    p.fillPath(outline, body);

    p.save();
    p.setClipPath(outline);
    drawWeb(p, QPointF(kWindowW - 30, 24), 520, 16, 11, QColor(0, 0, 0, 95), 1.1);
    // A soft sheen across the upper half.
    QLinearGradient sheen(0, 0, 0, kWindowH / 2);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 46));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, kWindowW, kWindowH / 2), sheen);
    p.restore();

    // Anti-aliasing would blend the edge with the key colour; the outline is stroked over it in
    // opaque colours so that only pure key pixels lie outside.
    p.setPen(QPen(kInk, 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
    p.setPen(QPen(kSilver, 1.6));
    p.drawPath(outline);

    outlinedText(p, QPointF(30, 34), QStringLiteral("ZORVITA"), font(24, true, false, true),
                 Qt::white, kInk, 4);
    p.setPen(kSilver);
    p.setFont(font(9, true));
    p.drawText(QPointF(150, 34), QStringLiteral("FM"));

    // Recesses under the player, the station list, the news strip and the caption buttons.
    drawWell(p, QRectF(16, 52, 189, 148), 6);
    drawWell(p, QRectF(214, 52, 236, 174), 6);
    drawWell(p, QRectF(16, 233, 432, 28), 5);
    drawWell(p, QRectF(386, 16, 62, 26), 6);

    p.setPen(kSilver);
    p.setFont(font(10, true, true));
    p.drawText(QRectF(250, 55, 190, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("STATIONS"));
    p.end();

    // The window's outline is cut from the key colour, so no pixel outside it may blend with
    // that colour: whatever lies beyond the opaque part of the border stroke becomes pure key.
    QImage inside(image.size(), QImage::Format_Grayscale8);
    inside.fill(0);
    QPainter m(&inside);
    m.setPen(QPen(Qt::white, 3));
    m.setBrush(Qt::white);
    m.drawPath(outline);
    m.end();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(inside.pixel(x, y)) == 0) {
                image.setPixelColor(x, y, kKey);
            }
        }
    }
    save(image.convertToFormat(QImage::Format_RGB888), QStringLiteral("Main.bmp"));
}

void iconRecord(QPainter& p, QRectF r, QColor) {
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(QColor(0xFF, 0x2A, 0x2A));
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
}
void iconRecordStop(QPainter& p, QRectF r, QColor) {
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(QColor(0xFF, 0x2A, 0x2A));
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.fillRect(QRectF(r.center() - QPointF(3, 3), QSizeF(6, 6)), Qt::white);
}

// A picture button: a rounded plate with an icon and a caption. The rollover picture is the same
// button lit in red.
QImage button(QSize size, bool lit, const Icon& icon, const QString& caption, QColor back) {
    QImage image = blank(size, back);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    QLinearGradient g(0, 0, 0, size.height());
    if (lit) {
        g.setColorAt(0.0, QColor(0xFF, 0x4A, 0x4F));
        g.setColorAt(0.5, kRed);
        g.setColorAt(1.0, kDeepRed);
    } else {
        g.setColorAt(0.0, QColor(0x3D, 0x5F, 0xC0));
        g.setColorAt(0.5, kBlue);
        g.setColorAt(1.0, kNavy);
    }
    const double radius = std::min(size.height() / 2.0 - 1, 7.0);
    p.setPen(QPen(lit ? QColor(0xFF, 0xD6, 0xD8) : kSilver, 1.2));
    p.setBrush(g);
    p.drawRoundedRect(plate, radius, radius);
    QLinearGradient gloss(0, 0, 0, size.height() / 2.0);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 90));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(plate.adjusted(2, 2, -2, -plate.height() / 2), radius - 1, radius - 1);

    const QColor ink = Qt::white;
    const double iconSide = std::min(size.height() * 0.5, 14.0);
    if (caption.isEmpty()) {
        const QRectF ir(plate.center() - QPointF(iconSide / 2, iconSide / 2),
                        QSizeF(iconSide, iconSide));
        icon(p, ir, ink);
    } else {
        toolart::iconAndCaption(p, plate, icon, iconSide, caption, ink, QColor(0, 0, 0, 150));
    }
    p.end();
    return image;
}

void makeButtons() {
    struct Drawing {
        const char* file;
        QSize size;
        Icon icon;
        const char* caption;
        QColor back;
    };
    const Drawing drawings[] = {
        {"Play", kButton, iconPlay, "PLAY", kNavy},
        {"Stop", kButton, iconStop, "STOP", kNavy},
        {"Record", kButton, iconRecord, "RECORD", kNavy},
        {"RecordStop", kButton, iconRecordStop, "FINISH", kNavy},
        {"Settings", kButton, iconSettings, "SETUP", kNavy},
        {"Advanced", kButton, iconAdvanced, "STUDIO", kNavy},
        {"About", kButton, iconAbout, "ABOUT", kNavy},
        {"Up", kArrow,
         [](QPainter& p, QRectF r, QColor c) {
             QPainterPath t;
             t.moveTo(r.left(), r.bottom() - 2);
             t.lineTo(r.center().x(), r.top() + 2);
             t.lineTo(r.right(), r.bottom() - 2);
             t.closeSubpath();
             p.fillPath(t, c);
         },
         "", kInk},
        {"Down", kArrow,
         [](QPainter& p, QRectF r, QColor c) {
             QPainterPath t;
             t.moveTo(r.left(), r.top() + 2);
             t.lineTo(r.center().x(), r.bottom() - 2);
             t.lineTo(r.right(), r.top() + 2);
             t.closeSubpath();
             p.fillPath(t, c);
         },
         "", kInk},
        {"Exit", kCaption,
         [](QPainter& p, QRectF r, QColor c) {
             p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(r.topLeft() + QPointF(2, 2), r.bottomRight() - QPointF(2, 2));
             p.drawLine(r.topRight() + QPointF(-2, 2), r.bottomLeft() + QPointF(2, -2));
         },
         "", kInk},
        {"Minimize", kCaption,
         [](QPainter& p, QRectF r, QColor c) {
             p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(r.left() + 2, r.bottom() - 2), r.bottomRight() - QPointF(2, 2));
         },
         "", kInk},
        {"Close", kClose, nullptr, "OK", kInk},
    };
    for (const Drawing& s : drawings) {
        const QString name = QString::fromLatin1(s.file);
        const QString caption = QString::fromLatin1(s.caption);
        save(button(s.size, false, s.icon, caption, s.back), name + QStringLiteral(".jpg"));
        save(button(s.size, true, s.icon, caption, s.back), name + QStringLiteral("R.jpg"));
    }
}

void makeWelcome() {
    QImage image = blank(kWelcome, kInk);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(kWelcome.width() / 2.0, 54), 110);
    glow.setColorAt(0.0, QColor(0x2B, 0x4C, 0xB0));
    glow.setColorAt(1.0, kInk);
    p.fillRect(image.rect(), glow);
    drawWeb(p, QPointF(kWelcome.width() / 2.0, 54), 140, 12, 8, QColor(255, 255, 255, 34), 0.9);

    // An emblem: a red disc with radio waves on either side.
    const QPointF m(kWelcome.width() / 2.0, 52);
    p.setPen(QPen(kSilver, 2));
    p.setBrush(kRed);
    p.drawEllipse(m, 17, 17);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    QPainterPath tri;
    tri.moveTo(m + QPointF(-5, -8));
    tri.lineTo(m + QPointF(9, 0));
    tri.lineTo(m + QPointF(-5, 8));
    tri.closeSubpath();
    p.drawPath(tri);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 230 - i * 50), 2.2, Qt::SolidLine, Qt::RoundCap));
        const double r = 17 + i * 8;
        const QRectF arc(m.x() - r, m.y() - r, 2 * r, 2 * r);
        p.drawArc(arc, -40 * 16, 80 * 16);
        p.drawArc(arc, 140 * 16, 80 * 16);
    }
    outlinedText(p, QPointF(44, 104), QStringLiteral("ZORVITA"), font(19, true, false, true),
                 Qt::white, kDeepRed, 3);
    p.setPen(kSilver);
    p.setFont(font(9, false, true));
    p.drawText(QRectF(0, 110, kWelcome.width(), 24), Qt::AlignCenter,
               QStringLiteral("Pick a station and press Play"));
    p.end();
    save(image, QStringLiteral("Welcome.jpg"));
}

void makeBox() {
    QImage image = blank(kBox, kInk);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, kBox.height());
    g.setColorAt(0.0, QColor(0x16, 0x27, 0x5E));
    g.setColorAt(1.0, kInk);
    p.fillRect(image.rect(), g);
    drawWeb(p, QPointF(kBox.width() - 10, 10), 260, 14, 9, QColor(255, 255, 255, 22), 1.0);
    p.setPen(QPen(kRed, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, kBox.width() - 3, kBox.height() - 3));
    p.setPen(QPen(kSilver, 1));
    p.drawRect(QRectF(4.5, 4.5, kBox.width() - 9, kBox.height() - 9));
    p.end();
    save(image, QStringLiteral("Box.jpg"));
}

// The window icon is the program's icon. Frames 0 to 4 light its waves in turn while a station
// plays; frame 6 is the still icon, also drawn at the sizes a desktop shows it at.
void makeFlash() {
    const int lit[] = {0, 1, 2, 3, 2};
    for (int frame = 0; frame <= 6; ++frame) {
        if (frame == 5) {
            continue;
        }
        const int waves = frame == 6 ? appicon::kAllWaves : lit[frame];
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            if (size > 64 && frame != 6) {
                continue;
            }
            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            appicon::paint(p, size, waves);
            p.end();
            save(image, size == 32 ? QStringLiteral("Flash%1.png").arg(frame)
                                   : QStringLiteral("Flash%1-%2.png").arg(frame).arg(size));
        }
    }
}

// The developer in the About panel: a drawn illustration (not a photograph) of a cheerful
// developer with headphones in front of a studio glow.
void makePhoto() {
    const QSize size(72, 88);
    QImage image = blank(size, kNavy);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(36, 34), 60);
    glow.setColorAt(0.0, QColor(0x3D, 0x5F, 0xC0));
    glow.setColorAt(1.0, kNavy);
    p.fillRect(image.rect(), glow);
    drawWeb(p, QPointF(70, 4), 90, 10, 6, QColor(255, 255, 255, 30), 0.8);

    const QColor skin(0xF1, 0xC2, 0x9B);
    const QColor skinShade(0xD8, 0xA0, 0x7A);
    const QColor hair(0x2B, 0x1B, 0x14);
    // Shoulders in a red hoodie with a zip.
    QPainterPath body;
    body.moveTo(4, 88);
    body.cubicTo(6, 66, 22, 60, 36, 60);
    body.cubicTo(50, 60, 66, 66, 68, 88);
    body.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kRed);
    p.drawPath(body);
    p.setPen(QPen(kDeepRed, 1.4));
    p.drawLine(QPointF(36, 66), QPointF(36, 88));
    // Neck and face.
    p.setPen(Qt::NoPen);
    p.setBrush(skinShade);
    p.drawRect(QRectF(31, 52, 10, 10));
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(skin);
    p.drawEllipse(QPointF(36, 38), 15, 17);
    // Hair: a swept fringe.
    QPainterPath top;
    top.moveTo(20, 36);
    top.cubicTo(18, 18, 30, 16, 38, 19);
    top.cubicTo(46, 14, 56, 22, 52, 36);
    top.cubicTo(48, 28, 40, 27, 34, 24);
    top.cubicTo(30, 29, 24, 30, 20, 36);
    top.closeSubpath();
    p.setBrush(hair);
    p.drawPath(top);
    // Glasses, eyes and a smile.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 1.3));
    p.drawRoundedRect(QRectF(24.5, 35, 10, 7), 2, 2);
    p.drawRoundedRect(QRectF(37.5, 35, 10, 7), 2, 2);
    p.drawLine(QPointF(34.5, 38), QPointF(37.5, 38));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(29.5, 38.6), 1.3, 1.3);
    p.drawEllipse(QPointF(42.5, 38.6), 1.3, 1.3);
    p.setPen(QPen(QColor(0x8A, 0x3B, 0x2A), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(30, 41, 12, 8), 200 * 16, 140 * 16);
    // Headphones over the head.
    p.setPen(QPen(kSilver, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(17, 16, 38, 40), 20 * 16, 140 * 16);
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(15, 32, 7, 13), 3, 3);
    p.drawRoundedRect(QRectF(50, 32, 7, 13), 3, 3);

    p.setPen(QPen(kRed, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3));
    p.end();
    save(image, QStringLiteral("Photo.jpg"));
}

void makeLinkIcons() {
    struct Drawing {
        const char* file;
        std::function<void(QPainter&)> draw;
    };
    const Drawing drawings[] = {
        {"Faq",
         [](QPainter& p) {
             p.setFont(font(16, true));
             p.setPen(Qt::white);
             p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
         }},
        {"Web",
         [](QPainter& p) {
             p.setPen(QPen(Qt::white, 1.4));
             p.setBrush(Qt::NoBrush);
             p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
             p.drawEllipse(QPointF(12, 12), 3.5, 7.5);
             p.drawLine(QPointF(4.5, 12), QPointF(19.5, 12));
         }},
        {"Mail",
         [](QPainter& p) {
             p.setPen(QPen(Qt::white, 1.4));
             p.setBrush(Qt::NoBrush);
             p.drawRect(QRectF(4.5, 7.5, 15, 10));
             p.drawLine(QPointF(4.5, 7.5), QPointF(12, 13));
             p.drawLine(QPointF(19.5, 7.5), QPointF(12, 13));
         }},
        {"Skins",
         [](QPainter& p) {
             const QColor dots[] = {kRed, QColor(0x2E, 0x7B, 0xFF), kSilver,
                                    QColor(0xF2, 0xB1, 0x1D)};
             for (int i = 0; i < 4; ++i) {
                 p.setPen(Qt::NoPen);
                 p.setBrush(dots[i]);
                 p.drawEllipse(QPointF(8 + (i % 2) * 8, 8 + (i / 2) * 8), 3.4, 3.4);
             }
         }},
    };
    for (const Drawing& s : drawings) {
        QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kSilver, 1));
        p.setBrush(kRed);
        p.drawEllipse(QRectF(0.5, 0.5, 23, 23));
        s.draw(p);
        p.end();
        save(image, QStringLiteral("Link%1.png").arg(QString::fromLatin1(s.file)));
    }
}

void writeResourceFile() {
    QFile qrc(outDir + QStringLiteral("/builtin_skin.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "zorvita_skinart: cannot write the resource file\n");
        std::exit(1);
    }
    QTextStream out(&qrc);
    out << "<RCC>\n  <qresource prefix=\"/builtin-skin\">\n";
    for (const QString& name : written) {
        out << "    <file>" << name << "</file>\n";
    }
    out << "  </qresource>\n</RCC>\n";
}

}  // namespace

int main(int argc, char** argv) {
    return tools::runDrawingTool(argc, argv, "zorvita_skinart <output folder>",
                                 [](const QString& out) {
                                     outDir = out;
                                     QDir().mkpath(outDir);
                                     makeBackground();
                                     makeButtons();
                                     makeWelcome();
                                     makeBox();
                                     makeFlash();
                                     makePhoto();
                                     makeLinkIcons();
                                     writeResourceFile();
                                     return 0;
                                 });
}
