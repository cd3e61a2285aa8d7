// Reading Pascal VOC annotation XML for the import.
#include "dataset_tools/voc_import.h"

#include <QXmlStreamReader>

#include "labels/class_list.h"

namespace orvane {

namespace {

struct Refusal {
  QString text;
};

[[noreturn]] void refuse(const QString& why) { throw Refusal{why}; }

// The text of the current element, which may hold nothing but text.
QString leaf_text(QXmlStreamReader& xml) {
  const QString name = xml.name().toString();
  const QString text = xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
  if (xml.hasError()) refuse(QStringLiteral("<%1> holds more than text").arg(name));
  return text.trimmed();
}

double coordinate(QXmlStreamReader& xml, int object) {
  const QString name = xml.name().toString();
  bool ok = false;
  const QString text = leaf_text(xml);
  const double v = text.toDouble(&ok);
  if (!ok || !coordinate_ok(v)) {
    refuse(QStringLiteral("object %1: <%2> is \"%3\", not a number in 0 … %4")
               .arg(object)
               .arg(name, text)
               .arg(kMaxCoordinate, 0, 'f', 0));
  }
  return v;
}

int size_value(QXmlStreamReader& xml) {
  const QString name = xml.name().toString();
  const QString text = leaf_text(xml);
  bool ok = false;
  const double v = text.toDouble(&ok);  // some tools write "500.0"
  if (!ok || !(v >= 0 && v <= kMaxCoordinate) || v != double(int(v))) {
    refuse(QStringLiteral("<%1> is \"%2\", not a size in pixels").arg(name, text));
  }
  return int(v);
}

bool flag(QXmlStreamReader& xml) {
  const QString text = leaf_text(xml);
  bool ok = false;
  const int v = text.toInt(&ok);
  return ok ? v != 0 : text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void read_box(QXmlStreamReader& xml, VocObject& object, int index) {
  bool seen[4] = {};
  while (xml.readNextStartElement()) {
    const auto name = xml.name();
    double* target = name == QLatin1String("xmin")   ? &object.xmin
                     : name == QLatin1String("ymin") ? &object.ymin
                     : name == QLatin1String("xmax") ? &object.xmax
                     : name == QLatin1String("ymax") ? &object.ymax
                                                     : nullptr;
    if (!target) {
      xml.skipCurrentElement();
      continue;
    }
    seen[target - &object.xmin] = true;
    *target = coordinate(xml, index);
  }
  if (!(seen[0] && seen[1] && seen[2] && seen[3])) {
    refuse(QStringLiteral("object %1: <bndbox> lacks one of xmin, ymin, xmax, ymax").arg(index));
  }
  if (object.xmax < object.xmin || object.ymax < object.ymin) {
    refuse(QStringLiteral("object %1: the box's max lies below its min").arg(index));
  }
}

void read_object(QXmlStreamReader& xml, VocAnnotation& out) {
  const int index = int(out.objects.size()) + 1;
  VocObject object;
  bool named = false, boxed = false;
  while (xml.readNextStartElement()) {
    const auto name = xml.name();
    if (name == QLatin1String("name")) {
      const QString raw = leaf_text(xml);
      object.name = clean_class_name(raw);
      if (object.name.isEmpty() || object.name.contains(QLatin1Char('\n')) ||
          object.name.contains(QLatin1Char('\r'))) {
        refuse(QStringLiteral("object %1: \"%2\" cannot be a class name").arg(index).arg(raw));
      }
      named = true;
    } else if (name == QLatin1String("bndbox")) {
      read_box(xml, object, index);
      boxed = true;
    } else if (name == QLatin1String("difficult")) {
      object.difficult = flag(xml);
    } else if (name == QLatin1String("truncated")) {
      object.truncated = flag(xml);
    } else {
      xml.skipCurrentElement();  // pose, occluded, parts and the like
    }
  }
  if (!named) refuse(QStringLiteral("object %1 has no <name>").arg(index));
  if (!boxed) refuse(QStringLiteral("object %1 has no <bndbox>").arg(index));
  out.objects.push_back(std::move(object));
}

void read_annotation(QXmlStreamReader& xml, VocAnnotation& out) {
  if (!xml.readNextStartElement()) return;
  if (xml.name() != QLatin1String("annotation")) {
    refuse(QStringLiteral("the root element is <%1>, not <annotation>").arg(xml.name()));
  }
  while (xml.readNextStartElement()) {
    const auto name = xml.name();
    if (name == QLatin1String("filename")) {
      out.filename = leaf_text(xml);
      const QString unsafe = unsafe_name_reason(out.filename);
      if (!out.filename.isEmpty() && !unsafe.isEmpty()) refuse(unsafe);
    } else if (name == QLatin1String("size")) {
      while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("width")) {
          out.width = size_value(xml);
        } else if (xml.name() == QLatin1String("height")) {
          out.height = size_value(xml);
        } else {
          xml.skipCurrentElement();
        }
      }
    } else if (name == QLatin1String("object")) {
      read_object(xml, out);
    } else {
      xml.skipCurrentElement();
    }
  }
  // Anything after the root is an error the reader reports once it gets there.
  while (!xml.atEnd()) xml.readNext();
}

}  // namespace

bool read_voc(QByteArrayView bytes, VocAnnotation& out, QString& error) {
  out = {};
  QXmlStreamReader xml(bytes.toByteArray());
  try {
    read_annotation(xml, out);
    if (xml.hasError()) {
      error = QStringLiteral("The file is not valid XML (line %1): %2")
                  .arg(xml.lineNumber())
                  .arg(xml.errorString());
    } else if (xml.tokenType() == QXmlStreamReader::Invalid || bytes.isEmpty()) {
      error = QStringLiteral("The file holds no XML.");
    } else {
      return true;
    }
  } catch (const Refusal& r) {
    error = xml.hasError() ? QStringLiteral("The file is not valid XML (line %1): %2")
                                 .arg(xml.lineNumber())
                                 .arg(xml.errorString())
                           : r.text;
  }
  out = {};
  return false;
}

}  // namespace orvane
