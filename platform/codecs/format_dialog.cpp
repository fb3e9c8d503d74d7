#include "platform/codecs/format_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace platform {

FormatDialog::FormatDialog(std::vector<WaveFormatOption> options, const QByteArray& current,
                           const QString& title, QWidget* owner)
    : QDialog(owner), options_(std::move(options)) {
    setWindowTitle(title);
    setModal(true);
    tags_ = new QComboBox(this);
    tags_->setObjectName(QStringLiteral("FormatTag"));
    ids_ = new QComboBox(this);
    ids_->setObjectName(QStringLiteral("FormatID"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Format:"), tags_);
    form->addRow(QStringLiteral("&Attributes:"), ids_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (const WaveFormatOption& o : options_) {
        if (tags_->findText(o.tag) < 0) {
            tags_->addItem(o.tag);
        }
    }
    int currentIndex = -1;
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (options_[i].format == current) {
            currentIndex = static_cast<int>(i);
        }
    }
    if (currentIndex >= 0) {
        tags_->setCurrentText(options_[static_cast<std::size_t>(currentIndex)].tag);
    }
    fillAttributes();
    if (currentIndex >= 0) {
        ids_->setCurrentIndex(ids_->findData(currentIndex));
    }
    connect(tags_, &QComboBox::currentIndexChanged, this, [this] { fillAttributes(); });
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!options_.empty());
}

void FormatDialog::fillAttributes() {
    ids_->clear();
    const QString tag = tags_->currentText();
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (options_[i].tag == tag) {
            ids_->addItem(options_[i].id, static_cast<int>(i));
        }
    }
}

const WaveFormatOption* FormatDialog::selected() const {
    const QVariant index = ids_->currentData();
    if (!index.isValid()) {
        return nullptr;
    }
    return &options_.at(static_cast<std::size_t>(index.toInt()));
}

bool chooseWaveFormat(QWidget* owner, const QString& title, int rate, int channels,
                      const QByteArray& current, WaveFormatOption* chosen) {
    FormatDialog dialog(encodableWaveFormats(rate, channels), current, title, owner);
    if (dialog.exec() != QDialog::Accepted || dialog.selected() == nullptr) {
        return false;
    }
    *chosen = *dialog.selected();
    return true;
}

}  // namespace platform
