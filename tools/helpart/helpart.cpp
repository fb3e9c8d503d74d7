// Draws the recording-help window's pictures into a folder, with a Qt resource file that lists
// them: the picture with the help text, the drawing of the recording control and the "do not
// show again" text, and the three image buttons.
//
// Usage: zorvita_helpart <output folder>
#include "app/help/help_layout.h"

#include "tools/common/drawing_tool.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace app::help;

const QColor kPaper(0xF4, 0xF1, 0xE8);
const QColor kInk(0x1E, 0x22, 0x2B);
const QColor kAccent(0xC8, 0x16, 0x1E);
const QColor kNavy(0x1C, 0x3F, 0x9A);
const QColor kPanel(0xE4, 0xE8, 0xF0);

QString outDir;
QStringList written;

void save(const QImage& image, const QString& name) {
    const QString path = outDir + QLatin1Char('/') + name;
    if (!image.save(path)) {
        std::fprintf(stderr, "zorvita_helpart: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    written << name;
}

QFont font(int pixelSize, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QImage button(QSize size, const QString& caption, QColor fill) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, fill.lighter(130));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.setPen(QPen(fill.darker(150), 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 6, 6);
    p.setPen(Qt::white);
    p.setFont(font(11, true));
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, caption);
    return image;
}

// The recording control as the volume control shows it: a stream with its source chooser.
void drawRecordingControl(QPainter& p, const QRect& r) {
    p.setPen(QPen(kInk.lighter(250), 1));
    p.setBrush(kPanel);
    p.drawRoundedRect(r, 5, 5);
    p.setPen(kNavy);
    p.setFont(font(10, true));
    p.drawText(r.adjusted(8, 4, -8, 0), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Recording"));
    p.setPen(kInk);
    p.setFont(font(10));
    p.drawText(r.adjusted(8, 22, -8, 0), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Zorvita  from"));
    const QRect combo(r.x() + 80, r.y() + 20, r.width() - 88, 18);
    p.setBrush(Qt::white);
    p.drawRect(combo);
    p.setFont(font(9));
    p.drawText(combo.adjusted(4, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Output monitor"));
    QPainterPath arrow;
    arrow.moveTo(combo.right() - 12, combo.y() + 7);
    arrow.lineTo(combo.right() - 4, combo.y() + 7);
    arrow.lineTo(combo.right() - 8, combo.y() + 12);
    arrow.closeSubpath();
    p.setBrush(kInk);
    p.drawPath(arrow);
    // The level meter of the stream.
    const QRect meter(r.x() + 8, r.y() + 46, r.width() - 16, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xC0, 0xC6, 0xD2));
    p.drawRect(meter);
    p.setBrush(QColor(0x3C, 0xA0, 0x4C));
    p.drawRect(meter.adjusted(0, 0, -meter.width() * 2 / 5, 0));
}

QImage message() {
    QImage image(kPictureSize, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(kNavy, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(1, 1), kPictureSize - QSize(2, 2)));
    p.fillRect(QRect(2, 2, kPictureSize.width() - 4, 36), kNavy);
    p.setPen(Qt::white);
    p.setFont(font(15, true));
    p.drawText(QRect(14, 2, 400, 36), Qt::AlignVCenter | Qt::AlignLeft, kTitle);

    p.setPen(kInk);
    int y = 48;
    const QStringList paragraphs = helpParagraphs();
    for (int i = 0; i < paragraphs.size(); ++i) {
        const bool choice = i == 1 || i == 2;
        const int left = choice ? 30 : 14;
        const int width = (i == 3 ? 256 : kPictureSize.width() - 28) - (left - 14);
        p.setFont(font(11));
        const QRect box(left, y, width, 200);
        const QRect used = p.boundingRect(box, Qt::TextWordWrap, paragraphs.at(i));
        if (choice) {
            p.setBrush(kAccent);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(21, y + 7), 3, 3);
            p.setPen(kInk);
        }
        p.drawText(box, Qt::TextWordWrap, paragraphs.at(i));
        y = used.bottom() + 10;
    }
    drawRecordingControl(p, QRect(280, 168, 186, 60));

    p.setPen(kInk.lighter(180));
    p.drawLine(14, 306, kPictureSize.width() - 14, 306);
    p.setPen(kInk);
    p.setFont(font(11));
    p.drawText(kDoNotShowText, Qt::AlignVCenter | Qt::AlignLeft, kDoNotShowCaption);
    return image;
}

QImage closeButton() {
    QImage image(kPicClose.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(kAccent);
    p.setPen(QPen(Qt::white, 1));
    p.drawEllipse(QRectF(0.5, 0.5, image.width() - 1, image.height() - 1));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    const double m = image.width() * 0.32;
    p.drawLine(QPointF(m, m), QPointF(image.width() - m, image.height() - m));
    p.drawLine(QPointF(image.width() - m, m), QPointF(m, image.height() - m));
    return image;
}

void writeResourceFile() {
    QFile qrc(outDir + QStringLiteral("/help_art.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "zorvita_helpart: cannot write the resource file\n");
        std::exit(1);
    }
    QTextStream out(&qrc);
    out << "<RCC>\n  <qresource prefix=\"/help\">\n";
    for (const QString& name : written) {
        out << "    <file>" << name << "</file>\n";
    }
    out << "  </qresource>\n</RCC>\n";
}

}  // namespace

int main(int argc, char** argv) {
    return tools::runDrawingTool(
        argc, argv, "zorvita_helpart <output folder>", [](const QString& out) {
            outDir = out;
            QDir().mkpath(outDir);
            save(message(), QStringLiteral("HelpMessage.png"));
            save(button(kImgOpen.size(), QStringLiteral("Open Recording Control"), kNavy),
                 QStringLiteral("HelpOpen.png"));
            save(button(kImgEmail.size(), QStringLiteral("E-mail"), kAccent),
                 QStringLiteral("HelpEmail.png"));
            save(closeButton(), QStringLiteral("HelpClose.png"));
            writeResourceFile();
            return 0;
        });
}
