// The window's one font recipe for painted texts and the text boxes.
#pragma once

#include <QFont>
#include <QStringList>

namespace morvane::skin {

// The standard font at a character height in pixels (18 text boxes, 15 strength selector and
// book title, 12 status and button labels): the standard pair of faces, antialiased.
QFont StandardFont(int pixelHeight, QFont::Weight weight = QFont::Normal);

// The pair every text is drawn in, chosen once from the installed faces: a sans face for
// Latin text (digits, hexadecimal, file names) first, then a CJK face (a sans one where
// installed) for the Chinese. Either is empty when none is installed; fontconfig then falls
// back as it would.
struct FacePair {
    QString latin;
    QString cjk;
};
const FacePair& StandardPair();

// The faces StandardFont asks for: the pair, the empty ones left out.
const QStringList& StandardFamilies();

// Makes the pair the application's font families too (the tree, the dialogs), at the
// platform's size.
void ApplyStandardFamilies();

}  // namespace morvane::skin
