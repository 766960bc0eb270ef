#pragma once
// Type tests on copied file URLs. Any thread.

#include <QString>
#include <QUrl>

// Whether the file's type conforms to `type`. With an extension only the extension decides (an
// unknown one conforms to nothing); without one the file itself is examined (missing: false).
bool conforms(const QUrl &url, const QString &type);
bool isImage(const QUrl &url);
bool isVideo(const QUrl &url);
bool isMedia(const QUrl &url); // audiovisual content or an image
// Whether the URL names an existing directory itself (a symbolic link to one is not); false when
// it cannot be read.
bool isDirectory(const QUrl &url);
