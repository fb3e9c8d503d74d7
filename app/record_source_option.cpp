#include "app/record_source_option.h"

#include "app/controls.h"
#include "recording/RecordingSource.h"

#include <QCheckBox>

namespace app {

RecordSourceOption::RecordSourceOption(QWidget* panel, QPoint at, platform::SettingsStore& settings)
    : settings_(settings),
      check_(new QCheckBox(panel)),
      label_(new ClickLabel(panel, QStringLiteral("LblRecordOnlyPlayer"),
                            QStringLiteral("Record only this player's sound"))) {
    check_->setObjectName(QStringLiteral("ChkRecordOnlyPlayer"));
    check_->setGeometry(at.x(), at.y(), 18, 18);
    label_->setGeometry(at.x() + 20, at.y(), 190, 18);
    QObject::connect(label_, &ClickLabel::Click, check_, [this] { check_->toggle(); });
}

void RecordSourceOption::Load() {
    check_->setChecked(ReadRecordingSource(settings_) == RecordingSource::Player);
}

void RecordSourceOption::Save() {
    SaveRecordingSource(settings_,
                        check_->isChecked() ? RecordingSource::Player : RecordingSource::System);
}

}  // namespace app
