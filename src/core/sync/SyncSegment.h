#pragma once
// The file form of what a device writes (segments, its key-value file): JSON, compressed, sealed
// with the folder key and bound to the file's device and name.

#include "core/sync/SyncCrypto.h"

#include <QJsonObject>

#include <optional>

namespace SyncSegment {
// Largest JSON a file may expand to.
constexpr qint64 kMaxPlainBytes = 256 * 1024 * 1024;
// Largest snapshot manifest read.
constexpr qint64 kMaxManifestBytes = 64 * 1024;

enum class OpenError { None, Unreadable, Malformed, NewerFormat };

QByteArray seal(const SyncKey &key, const QString &device, const QString &name, const QJsonObject &content);
// Unreadable: not sealed with the key for this place (a wrong key, a partial copy, a renamed
// file); Malformed: sealed but not a document of ours; NewerFormat: a later program's.
std::optional<QJsonObject> open(const SyncKey &key, const QString &device, const QString &name, const QByteArray &bytes,
                                OpenError *error = nullptr);
} // namespace SyncSegment
