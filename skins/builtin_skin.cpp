#include "skins/builtin_skin.h"

#include <QFile>
#include <QtGlobal>

// The resource is compiled into this static library; it has to be registered by name before use.
static void registerBuiltinSkin() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(builtin_skin);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace skins {

QPixmap builtinPicture(const QString& fileName) {
    registerBuiltinSkin();
    return QPixmap(QStringLiteral(":/builtin-skin/") + fileName);
}

QIcon builtinFlashIcon(int index) {
    registerBuiltinSkin();
    const QString name = QStringLiteral(":/builtin-skin/Flash%1").arg(index);
    QIcon icon(name + QStringLiteral(".png"));
    // The other sizes keep the icon sharp where the desktop shows it smaller or larger.
    for (const int size : {16, 24, 48, 64, 128, 256}) {
        const QString file = name + QStringLiteral("-%1.png").arg(size);
        if (QFile::exists(file)) {
            icon.addFile(file, QSize(size, size));
        }
    }
    return icon;
}

}  // namespace skins
