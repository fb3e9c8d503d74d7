#include "platform/registry/registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
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

// A file that cannot be understood is kept beside the store for the user and replaced by an
// empty store, so that the programs still start.
void setAsideBadFile(const QString& path, const QByteArray& bytes, const QString& why) {
    // Reads repeat until the next write replaces the file: note each bad content once.
    static QString lastNoted;
    const QString noted = path + QString::number(qHash(bytes)) + QString::number(bytes.size());
    if (lastNoted == noted) {
        return;
    }
    lastNoted = noted;
    const QString copy =
        path + QStringLiteral(".bad-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    QFile::copy(path, copy);
    std::fprintf(stderr,
                 "Zorvita: the settings file %s could not be read (%s); starting with empty "
                 "settings. A copy of the bad file was kept as %s\n",
                 qPrintable(path), qPrintable(why), qPrintable(copy));
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

Tree load(const QString& path) {
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty()) {
        setAsideBadFile(path, bytes, QStringLiteral("the file is empty"));
        return {};
    }
    QString error;
    Tree tree = parse(bytes, &error);
    if (!error.isEmpty()) {
        setAsideBadFile(path, bytes, error);
    }
    return tree;
}

bool save(const QString& path, const Tree& tree) {
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
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = QJsonDocument(top).toJson(QJsonDocument::Indented);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Runs one change under the store's lock: read the file as it is now, change, write it back.
template <typename Change>
RegStatus modify(const QString& path, Change change) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    // A crashed holder's lock is recognised by its dead process; the age limit only guards
    // against a holder that hangs.
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000)) {
        return RegStatus::Failed;
    }
    Tree tree = load(path);
    bool changed = false;
    const RegStatus status = change(tree, changed);
    if (status == RegStatus::Ok && changed && !save(path, tree)) {
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
    const Tree tree = load(path_);
    if (subKey.trimmed().isEmpty()) {
        return RegStatus::Ok;
    }
    return tree.count(lower(fullPath(root, subKey))) ? RegStatus::Ok : RegStatus::FileNotFound;
}

RegStatus Registry::createKey(RegRoot root, const QString& subKey, int* disposition) {
    return modify(path_, [&](Tree& tree, bool& changed) {
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
    return modify(path_, [&](Tree& tree, bool& changed) {
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
    return modify(path_, [&](Tree& tree, bool& changed) {
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
    const Tree tree = load(path_);
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
