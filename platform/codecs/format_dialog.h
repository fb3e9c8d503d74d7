#pragma once

#include "platform/codecs/wave_formats.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QWidget;

namespace platform {

// The format choice: a list of format families and, below it, the attributes (rate, channels,
// bits or bit rate) of the chosen family's formats. Modal; OK hands back the chosen entry.
class FormatDialog final : public QDialog {
    Q_OBJECT

  public:
    FormatDialog(std::vector<WaveFormatOption> options, const QByteArray& current,
                 const QString& title, QWidget* owner);

    // The entry the lists point at; nullptr when there is none.
    const WaveFormatOption* selected() const;
    QComboBox* formatTagList() const { return tags_; }
    QComboBox* formatIdList() const { return ids_; }

  private:
    void fillAttributes();

    std::vector<WaveFormatOption> options_;
    QComboBox* tags_ = nullptr;
    QComboBox* ids_ = nullptr;
};

// Shows the dialog for 16-bit PCM of rate and channels; true with *chosen when the user pressed
// OK on a format, false when cancelled (or when nothing can be offered).
bool chooseWaveFormat(QWidget* owner, const QString& title, int rate, int channels,
                      const QByteArray& current, WaveFormatOption* chosen);

}  // namespace platform
