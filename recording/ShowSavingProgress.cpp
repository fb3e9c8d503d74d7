#include "recording/ShowSavingProgress.h"

#include <exception>

void ShowSavingProgress(StatusLabel& label, int percent) {
    try {
        label.setCaption(QStringLiteral("Saving MP3 File..........") + QString::number(percent) +
                         QLatin1Char('%'));
        label.repaintNow();
    } catch (const std::exception&) {
        // Progress is a courtesy; it never stops a conversion.
    }
}
