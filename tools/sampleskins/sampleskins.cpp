// Draws the sample skins that ship in the application folder's "Skins" folder: each a folder
// with Settings.ini, the background Main.bmp and every button picture with its rollover twin.
// Everything is drawn from code at build time, so no picture lives in the repository.
//
// Usage: zorvita_sampleskins <Skins folder>
#include "tools/common/button_icons.h"
#include "tools/common/drawing_tool.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <cmath>
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

// Sizes the main window gives controls that have no picture of their own, in pixels.
constexpr QSize kHolder(180, 138);
constexpr QSize kLists(228, 124);
constexpr QSize kNews(424, 20);
constexpr int kCountWidth = 198;
constexpr QSize kBox(424, 212);
constexpr QSize kWelcome(181, 140);
constexpr int kTwips = 15;

enum class Outline { Chamfered, Deco, Capsule };
enum class Plate { Glass, Deco, Pill };

struct Palette {
    QColor key;      // cut away around the outline
    QColor bodyTop;  // the body's gradient
    QColor bodyBottom;
    QColor edge;      // the outline's stroke
    QColor accent;    // titles and ornaments
    QColor well;      // recesses under the controls
    QColor plate;     // a resting button
    QColor plateLit;  // a button under the pointer
    QColor ink;       // icons and captions on the buttons
    QColor inkLit;
    QColor back;   // lists and panels (Settings.ini line 1)
    QColor fore;   // text (line 2)
    QColor combo;  // the advanced recorder's lists (line 3)
};

// The anchors of the skin's layout, in pixels; Settings.ini carries them in twips.
struct Layout {
    QSize window;
    QPoint box;
    QPoint play;
    QPoint mess;
    int listsLeft;
    int upLeft;
    QPoint min;
};

struct Skin {
    QString name;
    QString tagline;
    Palette colours;
    Layout layout;
    Outline outline;
    Plate plate;
    QSize button;
    QSize arrow;
    QSize caption;
    QSize close;
    // Captions of the seven big buttons; empty for icon-only buttons.
    bool captions;
};

// Where the window puts the dependent controls, worked out as it does from the anchors and the
// sizes of the pictures (gaps in twips).
struct Placed {
    QRect buttons;  // the whole button row
    QRect news;
    QRect holder;
    QRect up;
    QRect lists;
    QRect down;
    QRect count;
};

int px(double twips) {
    return static_cast<int>(std::lround(twips / kTwips));
}

Placed place(const Skin& s) {
    const Layout& l = s.layout;
    Placed p;
    double left = l.play.x() * kTwips;
    for (int i = 1; i < 6; ++i) {
        left += s.button.width() * kTwips + 35;
    }
    p.buttons =
        QRect(l.play, QPoint(px(left) + s.button.width() - 1, l.play.y() + s.button.height() - 1));
    p.news = QRect(l.play.x(), px(l.play.y() * kTwips - kNews.height() * kTwips - 160),
                   kNews.width(), kNews.height());
    p.holder = QRect(l.mess, kHolder);
    const double upTop = l.mess.y() * kTwips + 50;
    const double listsTop = upTop + s.arrow.height() * kTwips + 50;
    const double downTop = listsTop + kLists.height() * kTwips + 50;
    p.up = QRect(QPoint(l.upLeft, px(upTop)), s.arrow);
    p.lists = QRect(QPoint(l.listsLeft, px(listsTop)), kLists);
    p.down = QRect(QPoint(l.upLeft, px(downTop)), s.arrow);
    p.count = QRect(px(l.upLeft * kTwips + 450), px(downTop), kCountWidth, s.arrow.height());
    return p;
}

QString outDir;

void save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    const bool jpeg = name.endsWith(QLatin1String(".jpg"));
    if (!image.save(path, jpeg ? "JPG" : "BMP", jpeg ? 94 : -1)) {
        std::fprintf(stderr, "zorvita_sampleskins: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QPainterPath outlineOf(const Skin& s) {
    const QRectF r(2, 2, s.layout.window.width() - 4, s.layout.window.height() - 4);
    QPainterPath path;
    switch (s.outline) {
        case Outline::Chamfered: {
            // A body with cut corners and a raised fin along the top right.
            const double c = 26;
            QPolygonF body;
            body << QPointF(r.left() + c, r.top() + 14) << QPointF(r.right() - 150, r.top() + 14)
                 << QPointF(r.right() - 130, r.top()) << QPointF(r.right() - c, r.top())
                 << QPointF(r.right(), r.top() + c) << QPointF(r.right(), r.bottom() - c)
                 << QPointF(r.right() - c, r.bottom()) << QPointF(r.left() + c, r.bottom())
                 << QPointF(r.left(), r.bottom() - c) << QPointF(r.left(), r.top() + 14 + c);
            path.addPolygon(body);
            path.closeSubpath();
            break;
        }
        case Outline::Deco: {
            // Stepped shoulders and a tall crown in the middle of the top edge.
            QPolygonF body;
            const double mid = r.center().x();
            body << QPointF(r.left(), r.top() + 40) << QPointF(r.left() + 18, r.top() + 40)
                 << QPointF(r.left() + 18, r.top() + 24) << QPointF(mid - 90, r.top() + 24)
                 << QPointF(mid - 70, r.top()) << QPointF(mid + 70, r.top())
                 << QPointF(mid + 90, r.top() + 24) << QPointF(r.right() - 18, r.top() + 24)
                 << QPointF(r.right() - 18, r.top() + 40) << QPointF(r.right(), r.top() + 40)
                 << QPointF(r.right(), r.bottom() - 18) << QPointF(r.right() - 18, r.bottom())
                 << QPointF(r.left() + 18, r.bottom()) << QPointF(r.left(), r.bottom() - 18);
            path.addPolygon(body);
            path.closeSubpath();
            break;
        }
        case Outline::Capsule: {
            // A capsule with a round knob on its left end.
            path.addRoundedRect(r.adjusted(18, 0, 0, 0), 60, 60);
            QPainterPath knob;
            knob.addEllipse(QPointF(r.left() + 40, r.top() + 40), 38, 38);
            path = path.united(knob);
            break;
        }
    }
    return path.simplified();
}

// A recess for controls, in the skin's well colour with a thin light rim.
void drawWell(QPainter& p, const Skin& s, QRectF r, double radius) {
    p.save();
    p.setPen(QPen(s.colours.edge, 1.4));
    p.setBrush(s.colours.well);
    if (s.plate == Plate::Deco) {
        p.drawRect(r);
    } else {
        p.drawRoundedRect(r, radius, radius);
    }
    p.restore();
}

void writeKeyedBackground(const Skin& s, QImage& image, const QPainterPath& outline) {
    // The outline is cut from the key colour, so nothing outside it may blend with that colour,
    // and nothing inside it may have that colour by chance.
    QImage inside(image.size(), QImage::Format_Grayscale8);
    inside.fill(0);
    QPainter m(&inside);
    m.setPen(QPen(Qt::white, 3));
    m.setBrush(Qt::white);
    m.drawPath(outline);
    m.end();
    const QRgb key = s.colours.key.rgb();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(inside.pixel(x, y)) == 0) {
                image.setPixel(x, y, key);
            } else if ((image.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF)) {
                image.setPixel(x, y, qRgb(qRed(key) ^ 1, qGreen(key), qBlue(key)));
            }
        }
    }
}

void makeBackground(const Skin& s, const QString& folder) {
    const QSize size = s.layout.window;
    QImage image(size, QImage::Format_RGB32);
    image.fill(s.colours.key);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = outlineOf(s);

    QLinearGradient body(0, 0, size.width() * 0.3, size.height());
    body.setColorAt(0.0, s.colours.bodyTop);
    body.setColorAt(1.0, s.colours.bodyBottom);
    p.fillPath(outline, body);

    p.save();
    p.setClipPath(outline);
    switch (s.outline) {
        case Outline::Chamfered:
            // Curtains of light across the body.
            for (int i = 0; i < 5; ++i) {
                QPainterPath band;
                const double x0 = -60 + i * 120;
                band.moveTo(x0, 0);
                band.cubicTo(x0 + 120, size.height() * 0.3, x0 - 40, size.height() * 0.6, x0 + 90,
                             size.height());
                QColor c = i % 2 ? QColor(0x7C, 0x4D, 0xFF, 46) : QColor(0x3C, 0xFF, 0xB0, 40);
                p.setPen(QPen(c, 34 + i * 6, Qt::SolidLine, Qt::RoundCap));
                p.drawPath(band);
            }
            for (int i = 0; i < 60; ++i) {
                const double x = std::fmod(i * 97.3, size.width());
                const double y = std::fmod(i * 53.9, size.height() * 0.45);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(255, 255, 255, 60 + (i * 37) % 120));
                p.drawEllipse(QPointF(x, y), 0.9, 0.9);
            }
            break;
        case Outline::Deco:
            // Sunburst rays from the crown and fine horizontal lines.
            for (int i = 0; i < 24; ++i) {
                const double a = M_PI * (0.05 + 0.9 * i / 23.0);
                const QPointF hub(size.width() / 2.0, 4);
                p.setPen(QPen(QColor(s.colours.accent.red(), s.colours.accent.green(),
                                     s.colours.accent.blue(), 34),
                              1.2));
                p.drawLine(hub, hub + QPointF(std::cos(a), std::sin(a)) * 700);
            }
            for (int y = 50; y < size.height(); y += 6) {
                p.setPen(QPen(QColor(0, 0, 0, 30), 1));
                p.drawLine(0, y, size.width(), y);
            }
            break;
        case Outline::Capsule: {
            // Frost: soft crystals scattered over a pale body.
            QRadialGradient glow(QPointF(size.width() * 0.75, size.height() * 0.2),
                                 size.width() * 0.6);
            glow.setColorAt(0.0, QColor(255, 255, 255, 150));
            glow.setColorAt(1.0, QColor(255, 255, 255, 0));
            p.fillRect(image.rect(), glow);
            for (int i = 0; i < 26; ++i) {
                const QPointF c(std::fmod(i * 131.7 + 40, size.width()),
                                std::fmod(i * 71.3 + 10, size.height()));
                const double r = 5 + (i * 7) % 11;
                p.setPen(QPen(QColor(0x9F, 0xC4, 0xE8, 120), 1.1));
                for (int k = 0; k < 3; ++k) {
                    const double a = M_PI * k / 3.0;
                    const QPointF d(std::cos(a) * r, std::sin(a) * r);
                    p.drawLine(c - d, c + d);
                }
            }
            break;
        }
    }
    p.restore();

    // The rim: a dark line and a light one, both opaque so the cut edge stays clean.
    p.setPen(QPen(s.colours.edge.darker(220), 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
    p.setPen(QPen(s.colours.edge, 1.6));
    p.drawPath(outline);

    // Recesses under the controls, placed as the window will place them.
    const Placed at = place(s);
    drawWell(p, s, QRectF(at.holder).adjusted(-4, -4, 5, 6), 8);
    const QRectF column = QRectF(at.up.united(at.lists).united(at.down).united(at.count));
    drawWell(p, s, column.adjusted(-5, -4, 5, 4), 8);
    drawWell(p, s, QRectF(at.news).adjusted(-4, -3, 4, 3), 6);
    drawWell(p, s, QRectF(at.buttons).adjusted(-4, -4, 4, 4), 8);
    drawWell(p, s,
             QRectF(s.layout.min, QSize(s.caption.width() * 2 + 4, s.caption.height()))
                 .adjusted(-4, -4, 4, 4),
             6);

    if (s.outline == Outline::Capsule) {
        // A tuning dial in the knob.
        const QPointF k(40, 38);
        QRadialGradient dial(k - QPointF(5, 6), 22);
        dial.setColorAt(0.0, Qt::white);
        dial.setColorAt(1.0, s.colours.plateLit);
        p.setPen(QPen(s.colours.edge.darker(160), 1.6));
        p.setBrush(dial);
        p.drawEllipse(k, 17, 17);
        p.setPen(QPen(s.colours.accent, 1.4, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 12; ++i) {
            const double a = 2 * M_PI * i / 12.0;
            const QPointF d(std::cos(a), std::sin(a));
            p.drawLine(k + d * 20, k + d * (i % 3 == 0 ? 26 : 23));
        }
        p.setPen(QPen(s.colours.ink, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(k, k + QPointF(std::cos(-0.9), std::sin(-0.9)) * 12);
    }

    // The name plate: in the free corner the layout leaves.
    QPointF title;
    int titleSize = 22;
    switch (s.outline) {
        case Outline::Chamfered:
            title = QPointF(at.lists.left() + 4, 40);
            break;
        case Outline::Deco:
            title = QPointF(size.width() / 2.0 - 62, 21);
            titleSize = 20;
            break;
        case Outline::Capsule:
            title = QPointF(76, 36);
            break;
    }
    QPainterPath text;
    text.addText(title, font(titleSize, true, false, s.outline != Outline::Deco),
                 QStringLiteral("ZORVITA"));
    p.setPen(QPen(s.colours.edge.darker(250), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(text);
    p.setPen(Qt::NoPen);
    p.setBrush(s.colours.accent);
    p.drawPath(text);
    p.setPen(s.colours.fore);
    p.setFont(font(9, true, true));
    const QRectF nameBox(title.x(), title.y() + 3, 200, 14);
    p.drawText(nameBox, Qt::AlignLeft | Qt::AlignTop, s.name.toUpper());

    // A small station-column heading over the list.
    p.setFont(font(9, true, true));
    p.drawText(QRectF(at.up.right() + 8, at.up.top() - 1, 150, at.up.height() + 2),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("STATIONS"));
    p.end();

    writeKeyedBackground(s, image, outline);
    save(image.convertToFormat(QImage::Format_RGB888), folder, QStringLiteral("Main.bmp"));
}

void iconRecord(QPainter& p, QRectF r, QColor) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0x30, 0x3A));
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
}
void iconRecordStop(QPainter& p, QRectF r, QColor c) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0x30, 0x3A));
    p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
    p.fillRect(QRectF(r.center() - QPointF(3, 3), QSizeF(6, 6)), c);
}
void iconUp(QPainter& p, QRectF r, QColor c) {
    QPainterPath t;
    t.moveTo(r.left(), r.bottom() - 1);
    t.lineTo(r.center().x(), r.top() + 1);
    t.lineTo(r.right(), r.bottom() - 1);
    t.closeSubpath();
    p.fillPath(t, c);
}
void iconDown(QPainter& p, QRectF r, QColor c) {
    QPainterPath t;
    t.moveTo(r.left(), r.top() + 1);
    t.lineTo(r.center().x(), r.bottom() - 1);
    t.lineTo(r.right(), r.top() + 1);
    t.closeSubpath();
    p.fillPath(t, c);
}
void iconExit(QPainter& p, QRectF r, QColor c) {
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft() + QPointF(1, 1), r.bottomRight() - QPointF(1, 1));
    p.drawLine(r.topRight() + QPointF(-1, 1), r.bottomLeft() + QPointF(1, -1));
}
void iconMinimize(QPainter& p, QRectF r, QColor c) {
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + 1, r.bottom() - 1), r.bottomRight() - QPointF(1, 1));
}

// A picture button in the skin's style, drawn over the colour of the recess it sits in.
QImage button(const Skin& s, QSize size, bool lit, const Icon& icon, const QString& caption,
              QColor under) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(under);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const Palette& c = s.colours;
    const QRectF plate = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    const QColor face = lit ? c.plateLit : c.plate;
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0.0, face.lighter(135));
    g.setColorAt(0.55, face);
    g.setColorAt(1.0, face.darker(140));
    QPainterPath shape;
    switch (s.plate) {
        case Plate::Glass:
            shape.addRoundedRect(plate, 6, 6);
            break;
        case Plate::Deco: {
            const double k = std::min(6.0, plate.height() / 3);
            QPolygonF cut;
            cut << QPointF(plate.left() + k, plate.top()) << QPointF(plate.right() - k, plate.top())
                << QPointF(plate.right(), plate.top() + k)
                << QPointF(plate.right(), plate.bottom() - k)
                << QPointF(plate.right() - k, plate.bottom())
                << QPointF(plate.left() + k, plate.bottom())
                << QPointF(plate.left(), plate.bottom() - k)
                << QPointF(plate.left(), plate.top() + k);
            shape.addPolygon(cut);
            shape.closeSubpath();
            break;
        }
        case Plate::Pill:
            shape.addRoundedRect(plate, plate.height() / 2, plate.height() / 2);
            break;
    }
    p.setPen(QPen(lit ? c.accent : c.edge, lit ? 1.6 : 1.1));
    p.setBrush(g);
    p.drawPath(shape);
    if (s.plate != Plate::Deco) {
        QLinearGradient gloss(0, 0, 0, size.height() / 2.0);
        gloss.setColorAt(0.0, QColor(255, 255, 255, lit ? 120 : 80));
        gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(gloss);
        p.drawRoundedRect(plate.adjusted(3, 2, -3, -plate.height() / 2), 4, 4);
    } else {
        p.setPen(QPen(lit ? c.inkLit : c.accent, 0.8));
        p.setBrush(Qt::NoBrush);
        p.drawPath(
            QTransform()
                .translate(plate.center().x(), plate.center().y())
                .scale((plate.width() - 6) / plate.width(), (plate.height() - 6) / plate.height())
                .translate(-plate.center().x(), -plate.center().y())
                .map(shape));
    }

    const QColor ink = lit ? c.inkLit : c.ink;
    const double iconSide = std::min(size.height() * 0.46, 13.0);
    if (caption.isEmpty() || !s.captions) {
        const QRectF ir(plate.center() - QPointF(iconSide / 2, iconSide / 2),
                        QSizeF(iconSide, iconSide));
        if (icon) {
            icon(p, ir, ink);
        } else {
            p.setFont(font(11, true, true));
            p.setPen(ink);
            p.drawText(plate, Qt::AlignCenter, caption);
        }
    } else {
        toolart::iconAndCaption(p, plate, icon, iconSide, caption, ink);
    }
    p.end();
    return image;
}

void makeButtons(const Skin& s, const QString& folder) {
    struct Drawing {
        const char* file;
        QSize size;
        Icon icon;
        const char* caption;
        QColor under;
    };
    const QColor well = s.colours.well;
    const QColor box = s.colours.back;
    const Drawing drawings[] = {
        {"Play", s.button, iconPlay, "PLAY", well},
        {"Stop", s.button, iconStop, "STOP", well},
        {"Record", s.button, iconRecord, "REC", well},
        {"RecordStop", s.button, iconRecordStop, "SAVE", well},
        {"Settings", s.button, iconSettings, "SETUP", well},
        {"Advanced", s.button, iconAdvanced, "STUDIO", well},
        {"About", s.button, iconAbout, "ABOUT", well},
        {"Up", s.arrow, iconUp, "", well},
        {"Down", s.arrow, iconDown, "", well},
        {"Exit", s.caption, iconExit, "", well},
        {"Minimize", s.caption, iconMinimize, "", well},
        {"Close", s.close, nullptr, "OK", box},
    };
    for (const Drawing& d : drawings) {
        const QString name = QString::fromLatin1(d.file);
        const QString caption = QString::fromLatin1(d.caption);
        save(button(s, d.size, false, d.icon, caption, d.under), folder,
             name + QStringLiteral(".jpg"));
        save(button(s, d.size, true, d.icon, caption, d.under), folder,
             name + QStringLiteral("R.jpg"));
    }
}

void makeWelcome(const Skin& s, const QString& folder) {
    QImage image(kWelcome, QImage::Format_RGB32);
    image.fill(s.colours.well);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(kWelcome.width() / 2.0, 52), 120);
    glow.setColorAt(0.0, s.colours.plate.lighter(120));
    glow.setColorAt(1.0, s.colours.well);
    p.fillRect(image.rect(), glow);

    const QPointF m(kWelcome.width() / 2.0, 50);
    p.setPen(QPen(s.colours.edge, 2));
    p.setBrush(s.colours.plateLit);
    p.drawEllipse(m, 18, 18);
    iconPlay(p, QRectF(m - QPointF(6, 8), QSizeF(15, 16)), s.colours.inkLit);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        QColor wave = s.colours.accent;
        wave.setAlpha(240 - i * 50);
        p.setPen(QPen(wave, 2.2, Qt::SolidLine, Qt::RoundCap));
        const double r = 18 + i * 8;
        const QRectF arc(m.x() - r, m.y() - r, 2 * r, 2 * r);
        p.drawArc(arc, -40 * 16, 80 * 16);
        p.drawArc(arc, 140 * 16, 80 * 16);
    }
    p.setPen(s.colours.accent);
    p.setFont(font(17, true));
    p.drawText(QRectF(0, 84, kWelcome.width(), 24), Qt::AlignCenter, s.name);
    p.setPen(s.colours.fore);
    p.setFont(font(9, false, true));
    p.drawText(QRectF(0, 108, kWelcome.width(), 24), Qt::AlignCenter, s.tagline);
    p.end();
    save(image, folder, QStringLiteral("Welcome.jpg"));
}

void makeBox(const Skin& s, const QString& folder) {
    QImage image(kBox, QImage::Format_RGB32);
    image.fill(s.colours.back);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, kBox.height());
    g.setColorAt(0.0, s.colours.back.lighter(125));
    g.setColorAt(1.0, s.colours.back);
    p.fillRect(image.rect(), g);
    p.setPen(QPen(s.colours.accent, 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, kBox.width() - 3, kBox.height() - 3));
    p.setPen(QPen(s.colours.edge, 1));
    p.drawRect(QRectF(5.5, 5.5, kBox.width() - 11, kBox.height() - 11));
    p.end();
    save(image, folder, QStringLiteral("Box.jpg"));
}

QString rgb(QColor c) {
    return QStringLiteral("%1, %2, %3").arg(c.red()).arg(c.green()).arg(c.blue());
}

void writeSettings(const Skin& s, const QString& folder) {
    QFile file(folder + QStringLiteral("/Settings.ini"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "zorvita_sampleskins: cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    const Layout& l = s.layout;
    QStringList positions;
    for (int v : {l.box.x(), l.box.y(), l.play.y(), l.play.x(), l.mess.x(), l.mess.y(), l.listsLeft,
                  l.upLeft, l.min.y(), l.min.x()}) {
        positions << QString::number(v * kTwips);
    }
    QTextStream out(&file);
    out << rgb(s.colours.back) << "\r\n"
        << rgb(s.colours.fore) << "\r\n"
        << rgb(s.colours.combo) << "\r\n"
        << positions.join(QStringLiteral(", ")) << "\r\n";
}

void make(const Skin& s) {
    const QString folder = outDir + QLatin1Char('/') + s.name;
    QDir().mkpath(folder);
    writeSettings(s, folder);
    makeBackground(s, folder);
    makeButtons(s, folder);
    makeWelcome(s, folder);
    makeBox(s, folder);
}

// Aurora: night-sky teal with curtains of green and violet light; list on the left, player on
// the right, cut away from pure blue.
Skin aurora() {
    Skin s;
    s.name = QStringLiteral("Aurora");
    s.tagline = QStringLiteral("Radio under the northern lights");
    s.colours = {QColor(0, 0, 255),        QColor(0x0C, 0x3B, 0x4A), QColor(0x05, 0x12, 0x24),
                 QColor(0x5C, 0xE6, 0xC0), QColor(0x7D, 0xFF, 0xD4), QColor(0x03, 0x1A, 0x22),
                 QColor(0x0F, 0x5C, 0x5E), QColor(0x2C, 0xC2, 0x94), QColor(0xD9, 0xFF, 0xF2),
                 QColor(0x03, 0x1A, 0x22), QColor(0x04, 0x22, 0x2A), QColor(0xB4, 0xF5, 0xDF),
                 QColor(0x06, 0x2E, 0x38)};
    s.button = QSize(44, 34);
    s.arrow = QSize(30, 16);
    s.caption = QSize(22, 20);
    s.close = QSize(64, 24);
    s.captions = false;
    s.outline = Outline::Chamfered;
    s.plate = Plate::Glass;
    // Window 480 x 330: stations on the left, the player on the right, news and buttons below.
    s.layout = {QSize(480, 330), QPoint(28, 60), QPoint(28, 268), QPoint(282, 60), 20, 24,
                QPoint(414, 24)};
    return s;
}

// Copper Deco: bronze and gold on charcoal with a sunburst crown; the news strip and the
// buttons along the top, the player and the stations below, cut away from pure green.
Skin copperDeco() {
    Skin s;
    s.name = QStringLiteral("Copper Deco");
    s.tagline = QStringLiteral("Golden age of the wireless");
    s.colours = {QColor(0, 255, 0),        QColor(0x4A, 0x33, 0x24), QColor(0x17, 0x11, 0x0E),
                 QColor(0xD8, 0xA3, 0x5B), QColor(0xF2, 0xC9, 0x7D), QColor(0x1A, 0x13, 0x0F),
                 QColor(0x6B, 0x3F, 0x22), QColor(0xB8, 0x6B, 0x2E), QColor(0xF6, 0xDF, 0xB4),
                 QColor(0xFF, 0xF4, 0xDC), QColor(0x22, 0x19, 0x13), QColor(0xF0, 0xD3, 0x9C),
                 QColor(0x2E, 0x22, 0x18)};
    s.button = QSize(68, 26);
    s.arrow = QSize(28, 16);
    s.caption = QSize(24, 18);
    s.close = QSize(64, 24);
    s.captions = true;
    s.outline = Outline::Deco;
    s.plate = Plate::Deco;
    // Window 500 x 330: news at the top, the buttons under it, the player and the stations below.
    s.layout = {QSize(500, 330), QPoint(38, 100), QPoint(39, 94), QPoint(34, 138), 250, 254,
                QPoint(424, 36)};
    return s;
}

// Frost: a pale ice-blue capsule with dark blue text, round buttons and a knob at the left end;
// cut away from orange.
Skin frost() {
    Skin s;
    s.name = QStringLiteral("Frost");
    s.tagline = QStringLiteral("Cool, clear sound");
    s.colours = {QColor(255, 128, 0),      QColor(0xF4, 0xFA, 0xFF), QColor(0xB9, 0xD4, 0xEE),
                 QColor(0x5E, 0x8F, 0xC4), QColor(0x1E, 0x5A, 0xA8), QColor(0xE3, 0xEF, 0xFA),
                 QColor(0xFF, 0xFF, 0xFF), QColor(0x6C, 0xB6, 0xF5), QColor(0x1B, 0x3A, 0x66),
                 QColor(0xFF, 0xFF, 0xFF), QColor(0xEA, 0xF3, 0xFC), QColor(0x14, 0x2D, 0x55),
                 QColor(0xD6, 0xE7, 0xF8)};
    s.button = QSize(62, 26);
    s.arrow = QSize(32, 16);
    s.caption = QSize(22, 20);
    s.close = QSize(64, 24);
    s.captions = true;
    s.outline = Outline::Capsule;
    s.plate = Plate::Pill;
    // Window 520 x 324: the stations in the middle, the player on the right, buttons below.
    s.layout = {QSize(520, 324), QPoint(48, 64), QPoint(60, 272), QPoint(306, 62), 62, 66,
                QPoint(436, 22)};
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    return tools::runDrawingTool(argc, argv, "zorvita_sampleskins <Skins folder>",
                                 [](const QString& out) {
                                     outDir = out;
                                     for (const Skin& s : {aurora(), copperDeco(), frost()}) {
                                         make(s);
                                     }
                                     return 0;
                                 });
}
