#include "resizer/resize_math.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orvane {

const std::map<QString, double>& unit_to_inches() {
  static const std::map<QString, double> table = {
      {QStringLiteral("in"), 1.0},
      {QStringLiteral("cm"), 0.39370078740157477},
      {QStringLiteral("mm"), 0.03937007874015748},
      {QStringLiteral("pt"), 0.013888888888888888},
  };
  return table;
}

double parse_number(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok) {
    throw ResizeInputError(
        QStringLiteral("could not convert string to float: '%1'").arg(text).toStdString());
  }
  return v;
}

double parse_dpi(const QString& text) { return text.isEmpty() ? 300.0 : parse_number(text); }

std::optional<int> to_px(const QString& text, const QString& unit, double dpi) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  double v = parse_number(t);
  if (unit != QStringLiteral("px")) {
    const auto it = unit_to_inches().find(unit);
    if (it == unit_to_inches().end()) {
      throw ResizeInputError(QStringLiteral("unknown unit '%1'").arg(unit).toStdString());
    }
    v = v * it->second * dpi;
  }
  const double r = std::nearbyint(v);
  if (!std::isfinite(r) || std::abs(r) > std::numeric_limits<int>::max()) {
    throw ResizeInputError(QStringLiteral("'%1' is too large for a size").arg(t).toStdString());
  }
  return int(r);
}

TargetSize parse_size_fields(const SizeFields& fields, double dpi) {
  TargetSize size;
  size.enabled = fields.enabled;
  size.lock_aspect = fields.lock_aspect;
  if (!fields.enabled) return size;
  size.width = to_px(fields.width_text, fields.unit, dpi);
  size.height = to_px(fields.height_text, fields.unit, dpi);
  return size;
}

QSize target_size(int orig_w, int orig_h, const SizeFields& fields, double dpi) {
  return target_size(orig_w, orig_h, parse_size_fields(fields, dpi));
}

QSize target_size(int orig_w, int orig_h, const TargetSize& size) {
  if (!size.enabled) return {orig_w, orig_h};
  std::optional<int> w = size.width;
  std::optional<int> h = size.height;
  const bool has_w = w && *w != 0;
  const bool has_h = h && *h != 0;
  if (size.lock_aspect) {
    const double ratio = double(orig_w) / orig_h;
    if (has_w && !has_h) {
      h = int(std::nearbyint(*w / ratio));
    } else if (has_h && !has_w) {
      w = int(std::nearbyint(*h * ratio));
    }
  }
  return {w && *w != 0 ? *w : orig_w, h && *h != 0 ? *h : orig_h};
}

int rotation_degrees(const QString& text) {
  return QString(text).remove(QChar(0x00B0)).trimmed().toInt();
}

QString format_real(double value) {
  if (std::isnan(value)) return QStringLiteral("nan");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
  char buffer[64];
  const double magnitude = std::abs(value);
  const bool fixed = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e16);
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 fixed ? std::chars_format::fixed : std::chars_format::scientific)
                       .ptr;
  QString text = QString::fromLatin1(buffer, int(end - buffer));
  if (fixed && !text.contains(QLatin1Char('.'))) text += QStringLiteral(".0");
  return text;
}

QString prediction_text(QSize size, double dpi, qint64 file_bytes) {
  // Rounded to one decimal as a decimal number (printf rounds the exact value).
  char kb[64];
  std::snprintf(kb, sizeof kb, "%.1f", double(file_bytes) / 1024.0);
  return QStringLiteral("Predicted Output: %1x%2 px | %3 DPI | Orig: %4 KB")
      .arg(size.width())
      .arg(size.height())
      .arg(format_real(dpi), format_real(std::strtod(kb, nullptr)));
}

}  // namespace orvane
