#include "skins/builtin_skin.h"

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
    return QIcon(QStringLiteral(":/builtin-skin/Flash%1.png").arg(index));
}

}  // namespace skins
