// Caption helper for form rows: the caption followed by an "ⓘ" mark whose tool
// tip explains the setting.
#pragma once

#include <QString>

class QWidget;

namespace orvane {

QWidget* create_info_label(const QString& text, const QString& tooltip_text);

}  // namespace orvane
