#include "imaging/png_writer.h"

#include <zlib.h>

#include <vector>

QByteArray png_chunk(const char* type, const QByteArray& data) {
  QByteArray chunk;
  const auto n = static_cast<quint32>(data.size());
  for (int i = 3; i >= 0; --i) chunk.append(char(n >> (8 * i)));
  QByteArray body = QByteArray(type, 4) + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()));
  chunk += body;
  for (int i = 3; i >= 0; --i) chunk.append(char(crc >> (8 * i)));
  return chunk;
}

QByteArray make_png(int width, int height, int bit_depth, int colour_type,
                    const std::function<QByteArray(int y)>& row, const QByteArray& palette,
                    const QByteArray& transparency) {
  QByteArray header;
  for (int v : {width, height}) {
    for (int i = 3; i >= 0; --i) header.append(char(quint32(v) >> (8 * i)));
  }
  header.append(char(bit_depth)).append(char(colour_type)).append(3, '\0');

  z_stream z{};
  deflateInit(&z, 1);
  QByteArray compressed;
  std::vector<unsigned char> out(1 << 16);
  for (int y = 0; y < height; ++y) {
    QByteArray line = QByteArray(1, '\0') + row(y);
    z.next_in = reinterpret_cast<Bytef*>(line.data());
    z.avail_in = uInt(line.size());
    const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      deflate(&z, flush);
      compressed.append(reinterpret_cast<const char*>(out.data()),
                        qsizetype(out.size() - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);

  QByteArray png("\x89PNG\r\n\x1A\n", 8);
  png += png_chunk("IHDR", header);
  if (!palette.isEmpty()) png += png_chunk("PLTE", palette);
  if (!transparency.isEmpty()) png += png_chunk("tRNS", transparency);
  png += png_chunk("IDAT", compressed);
  png += png_chunk("IEND", {});
  return png;
}
