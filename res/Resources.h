// Pictures compiled into the program, addressed by resource identifier.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <vector>

namespace om {

// The resource's bytes as stored (a .bmp or .ico file), or empty when the
// program has no such resource. No copy is made.
QByteArray ResourceBytes(int id);

// Decodes a bitmap resource at its own size; a null image when missing.
QImage LoadBitmapResource(int id);

// The application icon with all its sizes.
QIcon LoadAppIcon();

// Every resource identifier, ascending.
std::vector<int> ResourceIds();

}  // namespace om
