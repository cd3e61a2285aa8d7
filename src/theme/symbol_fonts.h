// The pictographs and symbols in the window's texts (button captions, page
// headings, the theme knob) are not in the text font. Left to itself, Qt
// looks for them through the system's whole fallback list once for every
// size and weight they are shown in, loading font after font: a quarter of
// the start-up. Instead the fonts holding them are found once and put right
// behind the text font, so each size finds them at once.
#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

// Every symbol the window's texts use (those above U+2000); a new one goes here.
extern const QString kWindowSymbols;

// Finds the fonts holding `symbols` that the text font lacks, and makes them
// the first fallbacks of the style sheet's family list `families` (the first
// family that may be missing on this system). Returns the families put
// behind the text font, the text font first; empty when none were needed
// or found. Once per process; later calls return the first answer.
QStringList prepare_symbol_fonts(const QStringList& families, const QString& symbols);

}  // namespace orvane
