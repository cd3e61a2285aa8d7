// The resizer's numbers: size fields in pixels or physical units, the output
// size prediction and the texts that show them.
#pragma once

#include <QSize>
#include <QString>
#include <map>
#include <optional>
#include <stdexcept>

namespace orvane {

// A field that does not hold a number; what() is the message users see.
class ResizeInputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Inches in one unit; "px" has no entry (pixels are taken as they are).
const std::map<QString, double>& unit_to_inches();

// The text as a decimal number (surrounding white space ignored); throws
// ResizeInputError naming the text when it is not one.
double parse_number(const QString& text);

// The DPI field: 300.0 when empty, else its number.
double parse_dpi(const QString& text);

// A size field in pixels: none for empty text, else the value (times inches
// per unit times dpi for physical units) rounded half to even.
std::optional<int> to_px(const QString& text, const QString& unit, double dpi);

struct SizeFields {
  bool enabled = true;  // "Enable Resizing"
  QString width_text;
  QString height_text;
  QString unit = QStringLiteral("px");
  bool lock_aspect = true;
};

// The size fields as numbers, in pixels.
struct TargetSize {
  bool enabled = true;
  std::optional<int> width;  // none: the field is empty
  std::optional<int> height;
  bool lock_aspect = true;
};

// The fields in pixels at `dpi` (nothing is read from them when resizing is
// off); throws ResizeInputError for a field that is not a number.
TargetSize parse_size_fields(const SizeFields& fields, double dpi);

// The output size before rotation of an orig_w x orig_h source: a missing or
// 0 field keeps the source's dimension, or follows the other one when the
// aspect ratio is locked.
QSize target_size(int orig_w, int orig_h, const TargetSize& size);
// The same from the fields' texts; throws as parse_size_fields does.
QSize target_size(int orig_w, int orig_h, const SizeFields& fields, double dpi);

// Degrees from the rotation combo's text ("90°" gives 90).
int rotation_degrees(const QString& text);

// A double as Python prints it: shortest round-trip form, ".0" when integral.
QString format_real(double value);

// "Predicted Output: 800x600 px | 300.0 DPI | Orig: 245.3 KB".
QString prediction_text(QSize size, double dpi, qint64 file_bytes);

}  // namespace orvane
