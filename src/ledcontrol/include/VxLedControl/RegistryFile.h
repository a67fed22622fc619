// The per-user class registry: a small text file in the XDG data folder that
// stands in for the Windows registry's class entries. The control library
// writes it when it registers itself; the host reads it to find a control's
// library. Both sides share this one reader and writer, so the format cannot
// drift between them.
//
// Format (a subset of the .reg format):
//   [HKEY_CLASSES_ROOT\VxLedControl.MyPLed\CLSID]
//   @="{78FB632C-F8D8-475F-963C-D788EDC377FD}"
//   "Version"="1.0"
// Key paths and value names match without regard to case.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace vxled {

class RegistryFile {
  public:
    // $XDG_DATA_HOME/velotan/registry.reg, or ~/.local/share/... when the
    // variable is unset, empty or not absolute (as the XDG rules say).
    static QString defaultPath() {
        QString base = qEnvironmentVariable("XDG_DATA_HOME");
        if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
            QString home = qEnvironmentVariable("HOME");
            if (home.isEmpty()) {
                home = QDir::homePath();
            }
            base = home + QStringLiteral("/.local/share");
        }
        return base + QStringLiteral("/velotan/registry.reg");
    }

    // A missing file is an empty registry, not an error.
    bool load(const QString& path, QString* error = nullptr) {
        keys_.clear();
        QFile file(path);
        if (!file.exists()) {
            return true;
        }
        // Opening a named pipe would wait for a writer for ever.
        if (!QFileInfo(path).isFile()) {
            if (error) {
                *error = QStringLiteral("%1: not a regular file").arg(path);
            }
            return false;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            if (error) {
                *error = file.errorString();
            }
            return false;
        }
        const QString text = QString::fromUtf8(file.readAll());
        Key* current = nullptr;
        for (QString line : text.split(QLatin1Char('\n'))) {
            line = line.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) {
                continue;
            }
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
                current = &keyFor(line.mid(1, line.size() - 2));
                continue;
            }
            if (current == nullptr) {
                continue;
            }
            // Values: @="..." (the key's default value) or "name"="...".
            QString name;
            qsizetype pos = 0;
            if (line.startsWith(QLatin1Char('@'))) {
                pos = 1;
            } else {
                const std::optional<QString> quoted = unquote(line, pos);
                if (!quoted) {
                    continue;
                }
                name = *quoted;
            }
            if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
                continue;
            }
            ++pos;
            const std::optional<QString> value = unquote(line, pos);
            if (value) {
                setIn(*current, name, *value);
            }
        }
        return true;
    }

    // Replaces the file as a whole, so a failed write leaves the old one.
    bool save(const QString& path, QString* error = nullptr) const {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            if (error) {
                *error = file.errorString();
            }
            return false;
        }
        QString text = QStringLiteral("; velotan per-user class registry\n");
        for (const Key& key : keys_) {
            text += QStringLiteral("\n[") + key.path + QStringLiteral("]\n");
            for (const auto& [name, value] : key.values) {
                text += (name.isEmpty() ? QStringLiteral("@") : quote(name)) + QLatin1Char('=') +
                        quote(value) + QLatin1Char('\n');
            }
        }
        file.write(text.toUtf8());
        if (!file.commit()) {
            if (error) {
                *error = file.errorString();
            }
            return false;
        }
        return true;
    }

    bool hasKey(const QString& path) const { return indexOf(path) >= 0; }

    // name empty: the key's default value.
    std::optional<QString> value(const QString& path, const QString& name = {}) const {
        const qsizetype at = indexOf(path);
        if (at < 0) {
            return std::nullopt;
        }
        for (const auto& [n, v] : keys_[at].values) {
            if (n.compare(name, Qt::CaseInsensitive) == 0) {
                return v;
            }
        }
        return std::nullopt;
    }

    void createKey(const QString& path) { keyFor(path); }

    void setValue(const QString& path, const QString& name, const QString& value) {
        setIn(keyFor(path), name, value);
    }

    // Removes the key and every key below it; returns how many went.
    int removeTree(const QString& path) {
        const QString prefix = path + QLatin1Char('\\');
        int removed = 0;
        for (qsizetype n = keys_.size() - 1; n >= 0; --n) {
            const QString& p = keys_[n].path;
            if (p.compare(path, Qt::CaseInsensitive) == 0 ||
                p.startsWith(prefix, Qt::CaseInsensitive)) {
                keys_.removeAt(n);
                ++removed;
            }
        }
        return removed;
    }

    bool hasSubkeys(const QString& path) const {
        const QString prefix = path + QLatin1Char('\\');
        for (const Key& key : keys_) {
            if (key.path.startsWith(prefix, Qt::CaseInsensitive)) {
                return true;
            }
        }
        return false;
    }

    QStringList keyPaths() const {
        QStringList result;
        for (const Key& key : keys_) {
            result.append(key.path);
        }
        return result;
    }

  private:
    struct Key {
        QString path;
        QList<std::pair<QString, QString>> values;
    };

    qsizetype indexOf(const QString& path) const {
        for (qsizetype n = 0; n < keys_.size(); ++n) {
            if (keys_[n].path.compare(path, Qt::CaseInsensitive) == 0) {
                return n;
            }
        }
        return -1;
    }

    Key& keyFor(const QString& path) {
        const qsizetype at = indexOf(path);
        if (at >= 0) {
            return keys_[at];
        }
        keys_.append(Key{path, {}});
        return keys_.last();
    }

    static void setIn(Key& key, const QString& name, const QString& value) {
        for (auto& entry : key.values) {
            if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
                entry.second = value;
                return;
            }
        }
        key.values.append({name, value});
    }

    static QString quote(const QString& s) {
        QString out = QStringLiteral("\"");
        for (const QChar c : s) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
            }
            out += c;
        }
        return out + QLatin1Char('"');
    }

    // Reads a quoted string starting at pos; leaves pos after the closing quote.
    static std::optional<QString> unquote(const QString& line, qsizetype& pos) {
        if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
            return std::nullopt;
        }
        QString out;
        for (++pos; pos < line.size(); ++pos) {
            const QChar c = line[pos];
            if (c == QLatin1Char('\\') && pos + 1 < line.size()) {
                out += line[++pos];
            } else if (c == QLatin1Char('"')) {
                ++pos;
                return out;
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }

    QList<Key> keys_;
};

}  // namespace vxled
