#include "platform/registry/registry.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace platform {

namespace {

struct StoredValue {
    QString name;
    RegValue value;
};

struct StoredKey {
    QString path;
    std::map<QString, StoredValue> values;  // by lower-case name
};

using Tree = std::map<QString, StoredKey>;  // by lower-case full path

QString rootName(RegRoot root) {
    return root == RegRoot::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER")
                                        : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString fullPath(RegRoot root, const QString& subKey) {
    QString path = rootName(root);
    const auto parts = subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        path += QLatin1Char('\\') + part;
    }
    return path;
}

QString lower(const QString& s) {
    return s.toCaseFolded();
}

Tree parse(const QByteArray& bytes, QString* error) {
    Tree tree;
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = parseError.errorString();
        return {};
    }
    if (!doc.isObject() || !doc.object().value(QStringLiteral("keys")).isArray()) {
        *error = QStringLiteral("not a registry file");
        return {};
    }
    const QJsonArray keys = doc.object().value(QStringLiteral("keys")).toArray();
    for (const QJsonValue& k : keys) {
        const QJsonObject key = k.toObject();
        const QString path = key.value(QStringLiteral("path")).toString();
        if (path.isEmpty()) {
            continue;
        }
        StoredKey& stored = tree[lower(path)];
        stored.path = path;
        const QJsonArray values = key.value(QStringLiteral("values")).toArray();
        for (const QJsonValue& v : values) {
            const QJsonObject value = v.toObject();
            StoredValue sv;
            sv.name = value.value(QStringLiteral("name")).toString();
            if (value.value(QStringLiteral("type")).toString() == QLatin1String("REG_DWORD")) {
                sv.value.kind = RegKind::Dword;
                sv.value.dword =
                    static_cast<std::uint32_t>(value.value(QStringLiteral("data")).toInteger());
            } else {
                sv.value.kind = RegKind::String;
                sv.value.text = value.value(QStringLiteral("data")).toString();
            }
            stored.values[lower(sv.name)] = sv;
        }
    }
    return tree;
}

enum class FileState { Absent, Read, Damaged, Unreadable };

struct Loaded {
    FileState state = FileState::Absent;
    Tree tree;
    QString reason;         // why the file could not be read or understood
    bool copyKept = false;  // a damaged file: its content is safe beside the store
};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Reads the whole file. A FIFO or device in the file's place would block or never end, and a
// folder has no content: anything but a regular file is unreadable.
FileState readFile(const QString& path, QByteArray* bytes, QString* reason) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) {
            return FileState::Absent;
        }
        *reason = errnoText(errno);
        return FileState::Unreadable;
    }
    struct stat info {};
    FileState state = FileState::Read;
    if (::fstat(fd, &info) != 0) {
        *reason = errnoText(errno);
        state = FileState::Unreadable;
    } else if (!S_ISREG(info.st_mode)) {
        *reason = QStringLiteral("it is not a regular file");
        state = FileState::Unreadable;
    }
    char buffer[16384];
    while (state == FileState::Read) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes->append(buffer, n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            *reason = errnoText(errno);
            state = FileState::Unreadable;
        }
    }
    ::close(fd);
    return state;
}

// What this process has already said on stderr, so that repeated reads say it once.
QSet<QString>& notesGiven() {
    static QSet<QString> given;
    return given;
}

void noteOnce(const QString& key, const QString& text) {
    static QMutex mutex;
    const QMutexLocker locker(&mutex);
    if (notesGiven().contains(key)) {
        return;
    }
    notesGiven().insert(key);
    std::fprintf(stderr, "Zorvita: %s\n", qPrintable(text));
}

// Keeps a damaged file's content beside the store for the user ("registry.json.bad-<time>"),
// once: a copy with the same content, made by this or the other program, is reused. Returns the
// copy's path, or empty text (with the reason) when none could be made.
QString keepBadCopy(const QString& path, const QByteArray& bytes, QString* reason) {
    const QFileInfo store(path);
    const QDir folder = store.absoluteDir();
    const QStringList copies =
        folder.entryList({store.fileName() + QStringLiteral(".bad-*")}, QDir::Files, QDir::Name);
    for (const QString& name : copies) {
        QFile copy(folder.filePath(name));
        if (copy.size() == bytes.size() && copy.open(QIODevice::ReadOnly) &&
            copy.readAll() == bytes) {
            return copy.fileName();
        }
    }
    QFile copy(path + QStringLiteral(".bad-") +
               QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        copy.write(bytes) != bytes.size() || !copy.flush()) {
        *reason = copy.errorString();
        copy.close();
        copy.remove();
        return {};
    }
    return copy.fileName();
}

Loaded load(const QString& path) {
    Loaded loaded;
    QByteArray bytes;
    loaded.state = readFile(path, &bytes, &loaded.reason);
    if (loaded.state == FileState::Unreadable) {
        noteOnce(QStringLiteral("unreadable ") + path + loaded.reason,
                 QStringLiteral("the settings file %1 cannot be read (%2). Settings read as "
                                "empty, and no setting can be saved until the file can be read; "
                                "the file is left as it is.")
                     .arg(path, loaded.reason));
        return loaded;
    }
    if (loaded.state == FileState::Absent) {
        return loaded;
    }
    if (bytes.trimmed().isEmpty()) {
        loaded.reason = QStringLiteral("the file is empty");
    } else {
        loaded.tree = parse(bytes, &loaded.reason);
    }
    if (loaded.reason.isEmpty()) {
        return loaded;
    }
    loaded.state = FileState::Damaged;
    loaded.tree.clear();
    QString copyError;
    const QString copy = keepBadCopy(path, bytes, &copyError);
    loaded.copyKept = !copy.isEmpty();
    const QString key = QStringLiteral("damaged ") + path + QString::number(qHash(bytes)) +
                        QLatin1Char('/') + QString::number(bytes.size());
    if (loaded.copyKept) {
        noteOnce(key, QStringLiteral("the settings file %1 could not be read (%2); starting with "
                                     "empty settings. A copy of the bad file was kept as %3")
                          .arg(path, loaded.reason, copy));
    } else {
        noteOnce(key + QStringLiteral(" no copy"),
                 QStringLiteral("the settings file %1 could not be read (%2), and no copy of it "
                                "could be kept (%3). Settings read as empty, and the file is left "
                                "as it is: no setting can be saved until it is mended or moved.")
                     .arg(path, loaded.reason, copyError));
    }
    return loaded;
}

bool save(const QString& path, const Tree& tree, QString* error) {
    QJsonArray keys;
    for (const auto& [_, key] : tree) {
        QJsonArray values;
        for (const auto& [__, v] : key.values) {
            QJsonObject value;
            value.insert(QStringLiteral("name"), v.name);
            if (v.value.kind == RegKind::Dword) {
                value.insert(QStringLiteral("type"), QStringLiteral("REG_DWORD"));
                value.insert(QStringLiteral("data"), static_cast<qint64>(v.value.dword));
            } else {
                value.insert(QStringLiteral("type"), QStringLiteral("REG_SZ"));
                value.insert(QStringLiteral("data"), v.value.text);
            }
            values.append(value);
        }
        QJsonObject k;
        k.insert(QStringLiteral("path"), key.path);
        k.insert(QStringLiteral("values"), values);
        keys.append(k);
    }
    QJsonObject top;
    top.insert(QStringLiteral("format"), 1);
    top.insert(QStringLiteral("keys"), keys);

    QSaveFile file(path);
    const QByteArray bytes = QJsonDocument(top).toJson(QJsonDocument::Indented);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

// Waits a short while for another process's change to end. Polling in small steps keeps the
// wait close to the few milliseconds a change holds the lock.
RegStatus takeLock(QLockFile& lock, QString* error) {
    const QDeadlineTimer deadline(Registry::kLockWaitMs);
    for (;;) {
        if (lock.tryLock(0)) {
            return RegStatus::Ok;
        }
        if (lock.error() != QLockFile::LockFailedError) {
            *error = QStringLiteral("its lock file %1 cannot be made").arg(lock.fileName());
            return RegStatus::Failed;
        }
        if (deadline.hasExpired()) {
            *error = QStringLiteral("another program kept it busy");
            return RegStatus::Busy;
        }
        QThread::msleep(5);
    }
}

// Runs one change under the store's lock: read the file as it is now, change, write it back. A
// file that could not be read, or a damaged one whose content could not be kept, is never
// written over.
template <typename Change>
RegStatus modify(const QString& path, QString* error, Change change) {
    error->clear();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    // A crashed holder's lock is recognised by its dead process; the age limit only guards
    // against a holder that hangs.
    lock.setStaleLockTime(10000);
    const RegStatus locked = takeLock(lock, error);
    if (locked != RegStatus::Ok) {
        return locked;
    }
    Loaded loaded = load(path);
    if (loaded.state == FileState::Unreadable) {
        *error = loaded.reason;
        return RegStatus::AccessDenied;
    }
    if (loaded.state == FileState::Damaged && !loaded.copyKept) {
        *error = loaded.reason + QStringLiteral(", and no copy of it could be kept");
        return RegStatus::AccessDenied;
    }
    bool changed = false;
    const RegStatus status = change(loaded.tree, changed);
    if (status == RegStatus::Ok && changed && !save(path, loaded.tree, error)) {
        return RegStatus::Failed;
    }
    return status;
}

}  // namespace

Registry::Registry(QString filePath) : path_(std::move(filePath)) {}

QString Registry::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/Zorvita/registry.json");
}

RegStatus Registry::openKey(RegRoot root, const QString& subKey) const {
    const Tree tree = load(path_).tree;
    if (subKey.trimmed().isEmpty()) {
        return RegStatus::Ok;
    }
    return tree.count(lower(fullPath(root, subKey))) ? RegStatus::Ok : RegStatus::FileNotFound;
}

RegStatus Registry::createKey(RegRoot root, const QString& subKey, int* disposition) {
    return modify(path_, &lastError_, [&](Tree& tree, bool& changed) {
        const QString path = fullPath(root, subKey);
        int result = RegOpenedExistingKey;
        // Parents exist implicitly, as on the platform the store stands in for: create each.
        QString partial = rootName(root);
        const auto parts = subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            partial += QLatin1Char('\\') + part;
            auto [it, inserted] = tree.try_emplace(lower(partial));
            if (inserted) {
                it->second.path = partial;
                changed = true;
                if (partial == path) {
                    result = RegCreatedNewKey;
                }
            }
        }
        if (disposition != nullptr) {
            *disposition = result;
        }
        return RegStatus::Ok;
    });
}

RegStatus Registry::setValue(RegRoot root, const QString& subKey, const QString& name,
                             const RegValue& value) {
    return modify(path_, &lastError_, [&](Tree& tree, bool& changed) {
        auto it = tree.find(lower(fullPath(root, subKey)));
        if (it == tree.end()) {
            return RegStatus::FileNotFound;
        }
        it->second.values[lower(name)] = StoredValue{name, value};
        changed = true;
        return RegStatus::Ok;
    });
}

RegStatus Registry::deleteValue(RegRoot root, const QString& subKey, const QString& name) {
    return modify(path_, &lastError_, [&](Tree& tree, bool& changed) {
        auto it = tree.find(lower(fullPath(root, subKey)));
        if (it == tree.end()) {
            return RegStatus::FileNotFound;
        }
        if (it->second.values.erase(lower(name)) == 0) {
            return RegStatus::FileNotFound;
        }
        changed = true;
        return RegStatus::Ok;
    });
}

std::optional<RegValue> Registry::queryValue(RegRoot root, const QString& subKey,
                                             const QString& name) const {
    const Tree tree = load(path_).tree;
    const auto key = tree.find(lower(fullPath(root, subKey)));
    if (key == tree.end()) {
        return std::nullopt;
    }
    const auto value = key->second.values.find(lower(name));
    if (value == key->second.values.end()) {
        return std::nullopt;
    }
    return value->second.value;
}

}  // namespace platform
