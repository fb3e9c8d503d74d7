// Any bytes as a skin's Settings.ini: nothing may crash or hang, a file is either refused with a
// numbered error or read into colours that are real colours.
#include "platform/ui/error.h"
#include "skins/skin_settings.h"

#include <cstddef>
#include <cstdint>

namespace {
void checkColour(const std::optional<long>& colour) {
    if (colour && (*colour < 0 || *colour > 0xFFFFFF)) {
        __builtin_trap();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const skins::SkinSettings settings = skins::ReadSkinSettings(bytes);
        checkColour(settings.backColor);
        checkColour(settings.foreColor);
        checkColour(settings.comboBackColor);
        const QStringList values = skins::PositionValues(settings.positions);
        if (!values.isEmpty() && values.size() != 10) {
            __builtin_trap();
        }
        for (const QString& value : values) {
            try {
                skins::LayoutNumber(value);
            } catch (const platform::Error&) {
            }
        }
    } catch (const platform::Error&) {
    }
    return 0;
}
