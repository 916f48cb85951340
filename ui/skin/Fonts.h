// The window's one font recipe for painted texts and the text boxes.
#pragma once

#include <QFont>
#include <QStringList>

namespace morvane::skin {

// The standard font at a character height in pixels (18 text boxes, 15 strength selector and
// book title, 12 status and button labels): a Song (Ming) style CJK face, antialiased.
QFont StandardFont(int pixelHeight, QFont::Weight weight = QFont::Normal);

// The faces StandardFont asks for, best first; fontconfig picks the first one installed.
const QStringList& StandardFamilies();

}  // namespace morvane::skin
