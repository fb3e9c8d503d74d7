// When the stream's new title is told to the desktop.
#include "app/notify/title_notices.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

struct Told {
    std::vector<std::pair<QString, QString>> notices;
};

class RecordingNotifications final : public platform::Notifications {
  public:
    explicit RecordingNotifications(Told& told) : told_(told) {}
    void notify(const QString& summary, const QString& body) override {
        told_.notices.emplace_back(summary, body);
    }

  private:
    Told& told_;
};

TEST(TitleNoticesTest, NewTitlesAreToldOnlyWhileTheWindowIsOutOfSightAndWanted) {
    Told told;
    bool hidden = false;
    bool wanted = true;
    app::TitleNotices notices(std::make_unique<RecordingNotifications>(told),
                              {[&] { return hidden; }, [&] { return wanted; },
                               [] { return QStringLiteral("Tone One"); }});
    using Notice = std::pair<QString, QString>;

    notices.titleChanged(QStringLiteral("Morning Raga"));
    EXPECT_TRUE(told.notices.empty());

    // Seen in the window already: minimising does not tell it again.
    hidden = true;
    notices.titleChanged(QStringLiteral("Morning Raga"));
    EXPECT_TRUE(told.notices.empty());

    notices.titleChanged(QStringLiteral("Evening Raga - Live"));
    ASSERT_EQ(told.notices.size(), 1u);
    EXPECT_EQ(told.notices[0],
              Notice(QStringLiteral("Evening Raga - Live"), QStringLiteral("Tone One")));

    // The stream went quiet and came back with the same title: that is news again.
    notices.titleChanged(QString());
    notices.titleChanged(QStringLiteral("Evening Raga - Live"));
    EXPECT_EQ(told.notices.size(), 2u);

    wanted = false;
    notices.titleChanged(QStringLiteral("Night Flute"));
    EXPECT_EQ(told.notices.size(), 2u);
}

}  // namespace
