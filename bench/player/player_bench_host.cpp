// Plays one stream address through the player control for a number of seconds, then exits:
// the program whose cost the player benchmark measures. "--show" shows the player (its picture
// and visualisation are drawn); otherwise it stays hidden, as in a minimised window.
#include "platform/player/mpv_player.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: player_bench_host <address> <seconds> [--show]\n");
        return 2;
    }
    platform::MpvPlayer player;
    player.resize(180, 184);
    if (args.contains(QStringLiteral("--show"))) {
        player.show();
    }
    int reachedPlaying = 0;
    player.StatusChange = [&] {
        if (player.playState() == platform::PlayPlaying) {
            ++reachedPlaying;
        }
    };
    player.setURL(args[1]);
    QTimer::singleShot(args[2].toInt() * 1000, &app, &QCoreApplication::quit);
    app.exec();
    player.close();
    return reachedPlaying > 0 ? 0 : 1;
}
