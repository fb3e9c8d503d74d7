#pragma once

// Where things are on the recording-help picture. The picture is drawn at build time from these
// places, and the window puts its controls on the same places.
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace app::help {

inline constexpr QSize kPictureSize(480, 360);
// The bare check box sits on the picture's own "do not show again" text.
inline constexpr QRect kChkShow(22, 326, 13, 13);
inline constexpr QRect kDoNotShowText(40, 322, 220, 20);
inline constexpr QRect kImgOpen(280, 240, 186, 30);
inline constexpr QRect kImgEmail(280, 318, 74, 26);
inline constexpr QRect kPicClose(448, 8, 22, 22);

inline const QString kDoNotShowCaption = QStringLiteral("Do not show this message again");
inline const QString kTitle = QStringLiteral("How to record on this computer");

// The help text, a paragraph a line.
inline QStringList helpParagraphs() {
    return {
        QStringLiteral("The Record button saves what you hear as an MP3 file. What it hears is "
                       "set by the box \"Record only this player's sound\" in the settings panel:"),
        QStringLiteral("Ticked (the default): only this player's own sound, taken before the "
                       "system volume. The player's own volume slider applies; other programs "
                       "and system sounds are not recorded."),
        QStringLiteral("Unticked: whatever the sound card plays, taken from the monitor of the "
                       "default output. Other programs' sound is recorded too."),
        QStringLiteral("To record from another source, open the desktop's volume control "
                       "(pavucontrol), go to its Recording tab while a recording runs, and "
                       "choose the source for Zorvita there."),
    };
}

}  // namespace app::help
