// File names are bytes, and not always valid UTF-8: a name written in
// Latin-1 on another system (café.smc as 63 61 66 E9 2E 73 6D 63) is as
// good a name as any. Qt's own conversions (QFile::decodeName,
// QCoreApplication::arguments, QUrl::toLocalFile) put U+FFFD for a byte that
// is not UTF-8, and the name then reaches open() as another name. These keep
// every byte: valid UTF-8 reads as usual, any other byte b becomes the lone
// surrogate U+DC00 + b (which no valid name decodes to) and goes back as b.
#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

namespace om {

QString PathFromBytes(const QByteArray& bytes);
QByteArray PathBytes(const QString& path);

// The local file a file: URL names, its bytes kept; empty for other URLs.
QString PathFromUrl(const QUrl& url);
// path made absolute against the current folder, cleaned of "." and "..".
QString AbsolutePath(const QString& path);
// path names a regular file (following links).
bool IsRegularFile(const QString& path);
// Something is there at path (following links).
bool PathExists(const QString& path);

}  // namespace om
