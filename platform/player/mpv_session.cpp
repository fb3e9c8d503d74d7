#include "platform/player/mpv_session.h"

#include "platform/audio/player_stream.h"
#include "platform/ui/error.h"

#include <mpv/client.h>

#include <QMetaObject>

namespace platform {

namespace {

void check(int code, const QString& what) {
    if (code < 0) {
        throw Error(code, programName(),
                    what + QStringLiteral(": ") + QString::fromUtf8(mpv_error_string(code)));
    }
}

// Keeps the UTF-8 bytes alive for the C argument array.
struct CArgs {
    explicit CArgs(const QStringList& args) {
        for (const QString& a : args) {
            bytes.push_back(a.toUtf8());
        }
        for (const QByteArray& b : bytes) {
            pointers.push_back(b.constData());
        }
        pointers.push_back(nullptr);
    }
    std::vector<QByteArray> bytes;
    std::vector<const char*> pointers;
};

struct NodeGuard {
    mpv_node node{};
    ~NodeGuard() { mpv_free_node_contents(&node); }
};

const mpv_node* mapValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP) {
        return nullptr;
    }
    for (int i = 0; i < map.u.list->num; ++i) {
        if (qstrcmp(map.u.list->keys[i], key) == 0) {
            return &map.u.list->values[i];
        }
    }
    return nullptr;
}

}  // namespace

void MpvSession::Destroy::operator()(mpv_handle* h) const {
    mpv_terminate_destroy(h);
}

MpvSession::Options MpvSession::safeDefaults() {
    return {
        {QStringLiteral("config"), QStringLiteral("no")},
        {QStringLiteral("load-scripts"), QStringLiteral("no")},
        {QStringLiteral("ytdl"), QStringLiteral("no")},
        {QStringLiteral("input-default-bindings"), QStringLiteral("no")},
        {QStringLiteral("input-vo-keyboard"), QStringLiteral("no")},
        {QStringLiteral("osc"), QStringLiteral("no")},
        {QStringLiteral("osd-level"), QStringLiteral("0")},
        {QStringLiteral("terminal"), QStringLiteral("no")},
        {QStringLiteral("load-unsafe-playlists"), QStringLiteral("no")},
        {QStringLiteral("access-references"), QStringLiteral("no")},
        {QStringLiteral("network-timeout"), QStringLiteral("15")},
        {QStringLiteral("cache"), QStringLiteral("yes")},
        {QStringLiteral("demuxer-max-bytes"), QStringLiteral("8MiB")},
        {QStringLiteral("demuxer-max-back-bytes"), QStringLiteral("1MiB")},
        {QStringLiteral("demuxer-readahead-secs"), QStringLiteral("5")},
        // A stream that drops reconnects a few times with a growing pause before it ends.
        {QStringLiteral("stream-lavf-o"),
         QStringLiteral("reconnect=1,reconnect_streamed=1,reconnect_at_eof=1,"
                        "reconnect_delay_max=8")},
        {QStringLiteral("idle"), QStringLiteral("yes")},
        {QStringLiteral("keep-open"), QStringLiteral("no")},
        // Recordings of the player's own sound find its stream at the sound server by this name.
        {QStringLiteral("audio-client-name"), kPlayerAudioName},
        // PulseAudio first (PipeWire serves it too), then whatever else works.
        {QStringLiteral("ao"), QStringLiteral("pulse,")},
        {QStringLiteral("title"), QStringLiteral("Zorvita")},
        // Radio needs no hardware decoding; probing for it only fills the terminal with noise.
        {QStringLiteral("hwdec"), QStringLiteral("no")},
        {QStringLiteral("gpu-hwdec-interop"), QStringLiteral("no")},
    };
}

MpvSession::MpvSession(const Options& options, QObject* parent) : QObject(parent) {
    handle_.reset(mpv_create());
    if (!handle_) {
        throw Error(MPV_ERROR_NOMEM, programName(),
                    QStringLiteral("The media player could not be created."));
    }
    for (const auto& [name, value] : options) {
        check(mpv_set_option_string(handle_.get(), name.toUtf8().constData(),
                                    value.toUtf8().constData()),
              name);
    }
    check(mpv_initialize(handle_.get()), QStringLiteral("initialize"));
    check(mpv_request_log_messages(handle_.get(), "no"), QStringLiteral("log"));
    mpv_set_wakeup_callback(
        handle_.get(),
        [](void* context) {
            // A libmpv thread: only queue the drain on the UI thread, once until it runs.
            auto* self = static_cast<MpvSession*>(context);
            if (!self->drainQueued_.exchange(true)) {
                QMetaObject::invokeMethod(self, &MpvSession::drain, Qt::QueuedConnection);
            }
        },
        this);
}

MpvSession::~MpvSession() {
    if (handle_) {
        mpv_set_wakeup_callback(handle_.get(), nullptr, nullptr);
    }
}

void MpvSession::drain() {
    drainQueued_ = false;
    while (handle_) {
        const mpv_event* e = mpv_wait_event(handle_.get(), 0);
        if (e->event_id == MPV_EVENT_NONE) {
            return;
        }
        Event out;
        switch (e->event_id) {
            case MPV_EVENT_START_FILE:
                out.type = Event::Type::StartFile;
                out.entryId = static_cast<const mpv_event_start_file*>(e->data)->playlist_entry_id;
                break;
            case MPV_EVENT_FILE_LOADED:
                out.type = Event::Type::FileLoaded;
                break;
            case MPV_EVENT_END_FILE: {
                const auto* end = static_cast<const mpv_event_end_file*>(e->data);
                out.type = Event::Type::EndFile;
                out.entryId = end->playlist_entry_id;
                out.endReason = end->reason;
                out.error = end->error;
                out.insertId = end->playlist_insert_id;
                out.insertCount = end->playlist_insert_num_entries;
                break;
            }
            case MPV_EVENT_PROPERTY_CHANGE: {
                const auto* p = static_cast<const mpv_event_property*>(e->data);
                out.type = Event::Type::PropertyChange;
                out.name = QString::fromUtf8(p->name);
                if (p->format == MPV_FORMAT_FLAG && p->data != nullptr) {
                    out.value = *static_cast<const int*>(p->data) != 0;
                } else if (p->format == MPV_FORMAT_STRING && p->data != nullptr) {
                    out.value = QString::fromUtf8(*static_cast<char* const*>(p->data));
                }
                break;
            }
            default:
                continue;
        }
        if (onEvent) {
            onEvent(out);
        }
    }
}

std::int64_t MpvSession::command(const QStringList& args) {
    CArgs c(args);
    NodeGuard result;
    check(mpv_command_ret(handle_.get(), c.pointers.data(), &result.node), args.value(0));
    const mpv_node* id = mapValue(result.node, "playlist_entry_id");
    return id != nullptr && id->format == MPV_FORMAT_INT64 ? id->u.int64 : 0;
}

void MpvSession::setProperty(const QString& name, const QString& value) {
    check(mpv_set_property_string(handle_.get(), name.toUtf8().constData(),
                                  value.toUtf8().constData()),
          name);
}

void MpvSession::setDouble(const QString& name, double value) {
    check(mpv_set_property(handle_.get(), name.toUtf8().constData(), MPV_FORMAT_DOUBLE, &value),
          name);
}

QString MpvSession::stringProperty(const QString& name) const {
    char* text = mpv_get_property_string(handle_.get(), name.toUtf8().constData());
    if (text == nullptr) {
        return {};
    }
    const QString out = QString::fromUtf8(text);
    mpv_free(text);
    return out;
}

QStringList MpvSession::playlistFiles(std::int64_t first, int count) const {
    NodeGuard list;
    check(mpv_get_property(handle_.get(), "playlist", MPV_FORMAT_NODE, &list.node),
          QStringLiteral("playlist"));
    QStringList files;
    if (list.node.format != MPV_FORMAT_NODE_ARRAY) {
        return files;
    }
    for (int i = 0; i < list.node.u.list->num; ++i) {
        const mpv_node& entry = list.node.u.list->values[i];
        const mpv_node* id = mapValue(entry, "id");
        const mpv_node* file = mapValue(entry, "filename");
        if (id == nullptr || file == nullptr || id->format != MPV_FORMAT_INT64 ||
            file->format != MPV_FORMAT_STRING) {
            continue;
        }
        if (id->u.int64 >= first && id->u.int64 < first + count) {
            files.append(QString::fromUtf8(file->u.string));
        }
    }
    return files;
}

void MpvSession::observeFlag(const QString& name) {
    check(mpv_observe_property(handle_.get(), 0, name.toUtf8().constData(), MPV_FORMAT_FLAG), name);
}

void MpvSession::observeString(const QString& name) {
    check(mpv_observe_property(handle_.get(), 0, name.toUtf8().constData(), MPV_FORMAT_STRING),
          name);
}

}  // namespace platform
