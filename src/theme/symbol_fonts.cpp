#include "theme/symbol_fonts.h"

#include <fontconfig/fontconfig.h>

#include <QFont>
#include <QFontInfo>
#include <QRawFont>
#include <vector>

namespace orvane {

const QString kWindowSymbols = QStringLiteral(
    "\u2022\u2139\u21A9\u24D8\u2328\u23F9\u25C4\u25BA\u2600\u26A1\u2702\U0001F319\U0001F3A8"
    "\U0001F3AF\U0001F3F7"
    "\U0001F4BE\U0001F4C2\U0001F4CA\U0001F4CB\U0001F4CC\U0001F4E4\U0001F4E5\U0001F504\U0001F5D1"
    "\U0001F680\U0001F916\U0001F9E0\U0001F9EC\U0001FA7A");

namespace {

// The family fontconfig picks for these characters, best covering first.
QString family_holding(const std::vector<char32_t>& chars) {
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* charset = FcCharSetCreate();
  for (const char32_t c : chars) FcCharSetAddChar(charset, c);
  FcPatternAddCharSet(pattern, FC_CHARSET, charset);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  QString family;
  FcChar8* name = nullptr;
  if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
    family = QString::fromUtf8(reinterpret_cast<const char*>(name));
  }
  if (match) FcPatternDestroy(match);
  FcCharSetDestroy(charset);
  FcPatternDestroy(pattern);
  return family;
}

std::vector<char32_t> lacking(const QRawFont& font, const std::vector<char32_t>& chars) {
  std::vector<char32_t> left;
  for (const char32_t c : chars) {
    if (!font.isValid() || !font.supportsCharacter(uint(c))) left.push_back(c);
  }
  return left;
}

QStringList find_symbol_fonts(const QStringList& families, const QString& symbols) {
  QFont text_font;
  text_font.setFamilies(families);
  const QString text_family = QFontInfo(text_font).family();
  std::vector<char32_t> missing;
  for (const char32_t c : symbols.toUcs4()) missing.push_back(c);
  // Only the text font itself: a QFont would search its fallbacks too.
  missing = lacking(QRawFont::fromFont(QFont(text_family)), missing);
  QStringList chosen{text_family};
  while (!missing.empty()) {
    // All the rest in one font if there is one, else the font for the first.
    QString family = family_holding(missing);
    std::vector<char32_t> left = lacking(QRawFont::fromFont(QFont(family)), missing);
    if (left.size() == missing.size()) {
      family = family_holding({missing.front()});
      left = lacking(QRawFont::fromFont(QFont(family)), missing);
      if (left.size() == missing.size()) left.erase(left.begin());  // in no font here
    }
    if (!family.isEmpty() && !chosen.contains(family)) chosen << family;
    missing = std::move(left);
  }
  return chosen.size() > 1 ? chosen : QStringList();
}

}  // namespace

QStringList prepare_symbol_fonts(const QStringList& families, const QString& symbols) {
  static const QStringList chosen = [&] {
    QStringList found = find_symbol_fonts(families, symbols);
    // The first family is tried first: where it is missing, its substitutes
    // stand in, the text font first and then the symbol fonts as fallbacks.
    if (!found.isEmpty() && !families.isEmpty() &&
        !found.contains(families.front(), Qt::CaseInsensitive)) {
      QFont::insertSubstitutions(families.front(), found);
    }
    return found;
  }();
  return chosen;
}

}  // namespace orvane
