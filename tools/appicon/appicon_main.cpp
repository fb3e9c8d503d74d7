// Writes the program's icon into a hicolor icon theme folder: the SVG and PNGs from 16 to 256
// pixels, for the desktop's applications menu.
//
// Usage: zorvita_appicon <share folder>   (writes <share folder>/icons/hicolor/...)
#include "tools/appicon/app_icon.h"
#include "tools/common/drawing_tool.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
    return tools::runDrawingTool(
        argc, argv, "zorvita_appicon <share folder>", [](const QString& out) {
            const QString theme = out + QStringLiteral("/icons/hicolor/");
            const QString scalable = theme + QStringLiteral("scalable/apps");
            bool ok = QDir().mkpath(scalable) &&
                      write(scalable + QStringLiteral("/zorvita.svg"), appicon::svg());
            for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
                const QString folder = theme + QStringLiteral("%1x%1/apps").arg(size);
                QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
                image.fill(Qt::transparent);
                QPainter p(&image);
                appicon::paint(p, size);
                p.end();
                ok = ok && QDir().mkpath(folder) &&
                     image.save(folder + QStringLiteral("/zorvita.png"));
            }
            if (!ok) {
                std::fprintf(stderr, "zorvita_appicon: cannot write the icons under %s\n",
                             qPrintable(theme));
                return 1;
            }
            return 0;
        });
}
