// The one font the main window and the password dialog paint their texts with, given a pixel
// height (18 for the text boxes, 15 for the selector and the book title, 12 for the status
// bar and the button labels). The program was drawn for the Song face "宋体"; here the first
// installed of AR PL UMing, Noto Serif CJK and WenQuanYi stands in for it, the others as
// fallbacks, then the desktop's default face.
#pragma once

#include <QFont>
#include <QStringList>

namespace morvane {

QFont StandardFont(int pixelHeight);
// The installed faces StandardFont asks for, best first; empty when none of them is installed.
QStringList StandardFontFaces();

}  // namespace morvane
