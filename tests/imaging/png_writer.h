// Hand-made PNG files for tests: any colour type, a broken checksum, or a
// header that promises more pixels than the data holds.
#pragma once

#include <QByteArray>
#include <functional>

// A PNG of width x height pixels; row(y) returns the raw bytes of row y
// (without the filter byte). Rows are compressed one at a time, so very large
// images need little memory.
QByteArray make_png(int width, int height, int bit_depth, int colour_type,
                    const std::function<QByteArray(int y)>& row, const QByteArray& palette = {},
                    const QByteArray& transparency = {});

// One PNG chunk: length, type, data and checksum.
QByteArray png_chunk(const char* type, const QByteArray& data);
