// Windows metafiles (.wmf), with or without the placeable header: decodes
// the 16-bit records and plays them on the shared device-context player.
// META_ESCAPE is never acted upon.
#include <QString>

#include <cmath>
#include <optional>
#include <set>
#include <vector>

#include "generation/formats/gdi_player.h"
#include "generation/formats/reader.h"

namespace formats {
namespace gdi {
namespace {

enum WmfFunction : std::uint16_t {
  kEof = 0x0000, kSaveDc = 0x001E, kSetBkColor = 0x0201, kSetBkMode = 0x0102, kSetMapMode = 0x0103,
  kSetPolyFillMode = 0x0106, kSetTextColor = 0x0209, kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C, kSetViewportOrg = 0x020D, kSetViewportExt = 0x020E,
  kOffsetWindowOrg = 0x020F, kScaleWindowExt = 0x0410, kLineTo = 0x0213, kMoveTo = 0x0214,
  kExcludeClipRect = 0x0415, kIntersectClipRect = 0x0416, kArc = 0x0817, kEllipse = 0x0418,
  kPie = 0x081A, kRectangle = 0x041B, kRoundRect = 0x061C, kPatBlt = 0x061D, kSetPixel = 0x041F,
  kTextOut = 0x0521, kPolygon = 0x0324, kPolyline = 0x0325, kEscape = 0x0626,
  kRestoreDc = 0x0127, kSelectObject = 0x012D, kSetTextAlign = 0x012E, kChord = 0x0830,
  kExtTextOut = 0x0A32, kSetDibToDev = 0x0D33, kPolyPolygon = 0x0538, kDibBitBlt = 0x0940,
  kDibStretchBlt = 0x0B41, kDibCreatePatternBrush = 0x0142, kStretchDib = 0x0F43,
  kDeleteObject = 0x01F0, kCreatePalette = 0x00F7, kCreatePatternBrush = 0x01F9,
  kCreatePenIndirect = 0x02FA, kCreateFontIndirect = 0x02FB, kCreateBrushIndirect = 0x02FC,
  kCreateRegion = 0x06FF,
};

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
// Object table slots; the file's own count is only a hint.
constexpr std::size_t kMaxObjects = 65535;

// The object table: every created object takes the lowest free slot.
class ObjectTable {
 public:
  void Add(GdiObject object) {
    std::size_t index;
    if (!free_.empty()) {
      index = *free_.begin();
      free_.erase(free_.begin());
    } else if (slots_.size() < kMaxObjects) {
      index = slots_.size();
      slots_.emplace_back();
    } else {
      return;
    }
    slots_[index] = std::move(object);
  }
  void Delete(std::size_t index) {
    if (index < slots_.size() && slots_[index]) {
      slots_[index].reset();
      free_.insert(index);
    }
  }
  const GdiObject* Get(std::size_t index) const {
    return index < slots_.size() && slots_[index] ? &*slots_[index] : nullptr;
  }

 private:
  std::vector<std::optional<GdiObject>> slots_;
  std::set<std::size_t> free_;
};

// Records are listed with their parameters in reverse order; these read
// the usual pairs.
QPointF PointYX(Reader& r) {
  const double y = r.i16le();
  return QPointF(r.i16le(), y);
}

QRectF RectBRTL(Reader& r) {
  const double b = r.i16le();
  const double rr = r.i16le();
  const double t = r.i16le();
  const double l = r.i16le();
  return QRectF(QPointF(l, t), QPointF(rr, b));
}

bool PointsXY(Reader& r, std::uint64_t count, QPolygonF& out) {
  if (count * 4 > r.remaining()) return false;
  out.clear();
  out.reserve(static_cast<qsizetype>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    const double x = r.i16le();
    out.append(QPointF(x, r.i16le()));
  }
  return r.ok();
}

QString Latin1(std::span<const std::uint8_t> bytes) {
  return QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(std::min<std::size_t>(bytes.size(), 8192)));
}

class WmfPlayer {
 public:
  explicit WmfPlayer(Player& p) : p_(p) {}
  void Record(std::uint16_t function, Reader& r, std::span<const std::uint8_t> rec);

 private:
  void Bitmap(std::uint16_t function, Reader& r, std::span<const std::uint8_t> rec);

  Player& p_;
  ObjectTable objects_;
};

void WmfPlayer::Bitmap(std::uint16_t function, Reader& r, std::span<const std::uint8_t> rec) {
  // Bitmap records without a bitmap are exactly (function >> 8) + 3 words long.
  const bool noBitmap = rec.size() == (static_cast<std::size_t>(function >> 8) + 3) * 2;
  std::uint32_t rop = 0xCC0020;
  double srcH = 0, srcW = 0, ySrc = 0, xSrc = 0, destH = 0, destW = 0, yDest = 0, xDest = 0;
  std::int32_t scans = 0;
  switch (function) {
    case kStretchDib:
      rop = r.u32le();
      r.u16le();  // colour usage
      srcH = r.i16le(); srcW = r.i16le(); ySrc = r.i16le(); xSrc = r.i16le();
      destH = r.i16le(); destW = r.i16le(); yDest = r.i16le(); xDest = r.i16le();
      break;
    case kDibStretchBlt:
      rop = r.u32le();
      srcH = r.i16le(); srcW = r.i16le(); ySrc = r.i16le(); xSrc = r.i16le();
      if (noBitmap) r.u16le();
      destH = r.i16le(); destW = r.i16le(); yDest = r.i16le(); xDest = r.i16le();
      break;
    case kDibBitBlt:
      rop = r.u32le();
      ySrc = r.i16le(); xSrc = r.i16le();
      if (noBitmap) r.u16le();
      destH = r.i16le(); destW = r.i16le(); yDest = r.i16le(); xDest = r.i16le();
      srcH = destH;
      srcW = destW;
      break;
    case kSetDibToDev:
      r.u16le();  // colour usage
      scans = r.u16le();
      r.u16le();  // first scan
      ySrc = r.i16le(); xSrc = r.i16le();
      srcH = r.i16le(); srcW = r.i16le();
      yDest = r.i16le(); xDest = r.i16le();
      destW = srcW;
      destH = srcH;
      break;
    default: return;
  }
  if (!r.ok()) return;
  const QRectF dest(xDest, yDest, destW, destH);
  if (noBitmap) {
    p_.PatBlt(dest, rop);
    return;
  }
  std::vector<std::uint8_t> dib(rec.begin() + static_cast<std::ptrdiff_t>(r.pos()), rec.end());
  // DIB source rectangles of the DIB records count from the bottom of
  // bottom-up bitmaps.
  bool bottomUp = true;
  if (dib.size() >= 12) {
    Reader h(dib);
    if (h.u32le() >= 40) {
      h.skip(4);
      const std::int32_t height = h.i32le();
      bottomUp = height > 0;
      // SETDIBTODEV may carry fewer scan lines than the header's height.
      const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
      if (h.ok() && scans > 0 && scans < rows) {
        const std::int32_t patched = bottomUp ? scans : -scans;
        for (int i = 0; i < 4; ++i) dib[8 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(patched) >> (8 * i));
      }
    }
  }
  Image image;
  if (!DecodeDib(dib, {}, image)) return;
  if (bottomUp && (function == kStretchDib || function == kSetDibToDev)) {
    ySrc = image.height - ySrc - srcH;
  }
  p_.DrawBitmap(dest, image, QRectF(xSrc, ySrc, srcW, srcH), false);
}

void WmfPlayer::Record(std::uint16_t function, Reader& r, std::span<const std::uint8_t> rec) {
  switch (function) {
    case kSaveDc: p_.Save(); break;
    case kRestoreDc: { const std::int16_t n = r.i16le(); if (r.ok()) p_.Restore(n); break; }
    case kSetBkColor: { const std::uint32_t c = r.u32le(); if (r.ok()) p_.dc().bkColor = ColorRef(c); break; }
    case kSetTextColor: { const std::uint32_t c = r.u32le(); if (r.ok()) p_.dc().textColor = ColorRef(c); break; }
    case kSetBkMode: { const std::uint16_t m = r.u16le(); if (r.ok()) p_.dc().bkOpaque = m == 2; break; }
    case kSetPolyFillMode: {
      const std::uint16_t m = r.u16le();
      if (r.ok()) p_.dc().fillRule = m == 2 ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    }
    case kSetTextAlign: { const std::uint16_t a = r.u16le(); if (r.ok()) p_.dc().textAlign = a; break; }
    // The window maps onto the whole picture whatever the mapping mode says;
    // the viewport belongs to the player.
    case kSetMapMode: case kSetViewportOrg: case kSetViewportExt: break;
    case kSetWindowOrg: { const QPointF o = PointYX(r); if (r.ok()) p_.SetWindowOrg(o); break; }
    case kSetWindowExt: {
      const QPointF e = PointYX(r);
      if (r.ok()) p_.SetWindowExt(QSizeF(e.x(), e.y()));
      break;
    }
    case kOffsetWindowOrg: {
      const QPointF d = PointYX(r);
      if (r.ok()) p_.SetWindowOrg(p_.dc().windowOrg + d);
      break;
    }
    case kScaleWindowExt: {
      const double yDen = r.i16le(), yNum = r.i16le(), xDen = r.i16le(), xNum = r.i16le();
      if (r.ok()) p_.ScaleWindowExt(xNum, xDen, yNum, yDen);
      break;
    }
    case kMoveTo: { const QPointF pt = PointYX(r); if (r.ok()) p_.MoveTo(pt); break; }
    case kLineTo: { const QPointF pt = PointYX(r); if (r.ok()) p_.LineTo(pt); break; }
    case kExcludeClipRect: { const QRectF c = RectBRTL(r); if (r.ok()) p_.ExcludeClipRect(c); break; }
    case kIntersectClipRect: { const QRectF c = RectBRTL(r); if (r.ok()) p_.IntersectClipRect(c); break; }
    case kRectangle: { const QRectF b = RectBRTL(r); if (r.ok()) p_.Rectangle(b); break; }
    case kEllipse: { const QRectF b = RectBRTL(r); if (r.ok()) p_.Ellipse(b); break; }
    case kRoundRect: {
      const double h = r.i16le();
      const double w = r.i16le();
      const QRectF b = RectBRTL(r);
      if (r.ok()) p_.RoundRect(b, QSizeF(w, h));
      break;
    }
    case kArc: case kPie: case kChord: {
      const QPointF end = PointYX(r);
      const QPointF start = PointYX(r);
      const QRectF b = RectBRTL(r);
      if (!r.ok()) break;
      p_.Arc(b, start, end, function == kArc ? Player::ArcKind::Arc : function == kPie ? Player::ArcKind::Pie : Player::ArcKind::Chord);
      break;
    }
    case kSetPixel: {
      const std::uint32_t c = r.u32le();
      const QPointF pt = PointYX(r);
      if (r.ok()) p_.SetPixel(pt, ColorRef(c));
      break;
    }
    case kPatBlt: {
      const std::uint32_t rop = r.u32le();
      const double h = r.i16le(), w = r.i16le();
      const QPointF pt = PointYX(r);
      if (r.ok()) p_.PatBlt(QRectF(pt.x(), pt.y(), w, h), rop);
      break;
    }
    case kPolygon: case kPolyline: {
      const std::int16_t n = r.i16le();
      QPolygonF pts;
      if (!r.ok() || n < 0 || !PointsXY(r, static_cast<std::uint64_t>(n), pts)) break;
      if (function == kPolygon) {
        p_.Polygon(pts);
      } else {
        p_.Polyline(pts);
      }
      break;
    }
    case kPolyPolygon: {
      const std::uint16_t n = r.u16le();
      if (!r.ok() || static_cast<std::size_t>(n) * 2 > r.remaining()) break;
      std::vector<std::uint16_t> counts(n);
      for (auto& c : counts) c = r.u16le();
      std::vector<QPolygonF> polys;
      bool ok = true;
      for (std::uint16_t c : counts) {
        QPolygonF poly;
        if (!PointsXY(r, c, poly)) {
          ok = false;
          break;
        }
        polys.push_back(std::move(poly));
      }
      if (ok) p_.PolyPolygon(polys);
      break;
    }
    case kTextOut: {
      const std::uint16_t n = r.u16le();
      const auto text = r.bytes(n);
      r.skip(n & 1);
      const QPointF pt = PointYX(r);
      if (r.ok()) p_.Text(pt, Latin1(text), false, QRectF());
      break;
    }
    case kExtTextOut: {
      const QPointF pt = PointYX(r);
      const std::int16_t n = r.i16le();
      const std::uint16_t options = r.u16le();
      QRectF rect;
      if (options & 0x0006) {  // ETO_OPAQUE | ETO_CLIPPED carry a rectangle
        const double l = r.i16le(), t = r.i16le(), rr = r.i16le(), b = r.i16le();
        rect = QRectF(QPointF(l, t), QPointF(rr, b));
      }
      if (!r.ok() || n < 0) break;
      const auto text = r.bytes(static_cast<std::size_t>(n));
      if (r.ok()) p_.Text(pt, Latin1(text), (options & 0x0002) != 0, rect);
      break;
    }
    case kStretchDib: case kDibStretchBlt: case kDibBitBlt: case kSetDibToDev:
      Bitmap(function, r, rec);
      break;
    case kSelectObject: {
      const std::uint16_t i = r.u16le();
      if (!r.ok()) break;
      if (const GdiObject* o = objects_.Get(i)) p_.Select(*o);
      break;
    }
    case kDeleteObject: { const std::uint16_t i = r.u16le(); if (r.ok()) objects_.Delete(i); break; }
    case kCreatePenIndirect: {
      const std::uint16_t style = r.u16le();
      const double width = r.i16le();
      r.i16le();
      const std::uint32_t color = r.u32le();
      // A record too short still takes its slot, so later indexes stay right.
      objects_.Add(r.ok() ? MakePen(style, width, color, false) : GdiObject{});
      break;
    }
    case kCreateBrushIndirect: {
      const std::uint16_t style = r.u16le();
      const std::uint32_t color = r.u32le();
      const std::uint16_t hatch = r.u16le();
      objects_.Add(r.ok() ? MakeBrush(style, color, hatch) : GdiObject{});
      break;
    }
    case kCreateFontIndirect: {
      GdiObject font;
      font.kind = ObjectKind::Font;
      font.font.height = r.i16le();
      r.i16le();  // width
      font.font.escapement = r.i16le();
      r.i16le();  // orientation
      font.font.weight = r.i16le();
      font.font.italic = r.u8() != 0;
      font.font.underline = r.u8() != 0;
      font.font.strikeOut = r.u8() != 0;
      objects_.Add(r.ok() ? font : GdiObject{});
      break;
    }
    case kDibCreatePatternBrush: {
      const std::uint16_t style = r.u16le();
      r.u16le();  // colour usage
      if (r.ok() && style != 3) {  // BS_PATTERN carries an old device bitmap
        objects_.Add(MakePatternBrush(rec.subspan(r.pos()), {}));
      } else {
        objects_.Add(MakeBrush(0, 0x808080, 0));
      }
      break;
    }
    case kCreatePatternBrush:
      objects_.Add(MakeBrush(0, 0x808080, 0));
      break;
    case kCreatePalette: case kCreateRegion:
      objects_.Add(GdiObject{});
      break;
    case kEscape:  // never acted upon
    default:
      break;
  }
}

struct WmfLayout {
  bool placeable = false;
  QRectF box;           // placeable bounding box, logical units
  double unitsPerInch = 0;
  std::size_t firstRecord = 0;
};

bool ParseHeader(std::span<const std::uint8_t> data, WmfLayout& layout) {
  Reader r(data);
  std::size_t pos = 0;
  if (data.size() >= 22 && r.u32le() == kPlaceableKey) {
    layout.placeable = true;
    r.u16le();  // handle
    const double l = r.i16le(), t = r.i16le(), rr = r.i16le(), b = r.i16le();
    layout.box = QRectF(QPointF(l, t), QPointF(rr, b));
    layout.unitsPerInch = r.u16le();
    pos = 22;  // the checksum is not checked: writers get it wrong
  }
  Reader h(data);
  h.seek(pos);
  const std::uint16_t type = h.u16le();
  const std::uint16_t headerWords = h.u16le();
  h.skip(14);
  if (!h.ok() || (type != 1 && type != 2) || headerWords != 9) return false;
  layout.firstRecord = pos + 18;
  return true;
}

// Walks the records, calling fn(function, record); stops at EOF or at a
// record whose size is impossible.
template <typename Fn>
void ForEachRecord(std::span<const std::uint8_t> data, std::size_t pos, Fn fn) {
  while (data.size() - pos >= 6) {
    Reader head(data.subspan(pos, 6));
    const std::uint64_t size = static_cast<std::uint64_t>(head.u32le()) * 2;
    const std::uint16_t function = head.u16le();
    if (size < 6 || size > data.size() - pos) break;
    if (function == kEof) break;
    if (!fn(function, data.subspan(pos, static_cast<std::size_t>(size)))) break;
    pos += static_cast<std::size_t>(size);
  }
}

}  // namespace

bool PlayWmf(std::span<const std::uint8_t> data, const Source& src, int forceWidth, int forceHeight,
             Image& out) {
  WmfLayout layout;
  if (!ParseHeader(data, layout)) return false;
  // The window the picture starts with: the file's first SETWINDOWORG/EXT.
  std::optional<QPointF> org;
  std::optional<QSizeF> ext;
  ForEachRecord(data, layout.firstRecord, [&](std::uint16_t function, std::span<const std::uint8_t> rec) {
    Reader r(rec);
    r.skip(6);
    if (function == kSetWindowOrg && !org) {
      const QPointF o = PointYX(r);
      if (r.ok()) org = o;
    } else if (function == kSetWindowExt && !ext) {
      const QPointF e = PointYX(r);
      if (r.ok() && e.x() != 0 && e.y() != 0) ext = QSizeF(e.x(), e.y());
    }
    return !(org && ext);
  });

  QRectF window;
  double width = 0, height = 0;
  if (layout.placeable && layout.box.width() != 0 && layout.box.height() != 0 && layout.unitsPerInch > 0) {
    window = layout.box;
    width = std::fabs(layout.box.width()) * 96 / layout.unitsPerInch;
    height = std::fabs(layout.box.height()) * 96 / layout.unitsPerInch;
  } else if (ext) {
    window = QRectF(org.value_or(QPointF(0, 0)), *ext);
    width = std::fabs(ext->width());
    height = std::fabs(ext->height());
  } else {
    return false;  // nothing says how large the picture is
  }
  if (forceWidth > 0 && forceHeight > 0) {
    width = forceWidth;
    height = forceHeight;
  }
  Canvas canvas;
  if (!ChooseCanvas(width, height, src, canvas)) return false;
  QImage image;
  if (!MakeCanvasImage(canvas, image)) return false;
  {
    Player player(image, QTransform(), QPointF(96 / 25.4, 96 / 25.4), true);
    player.SetWindowOrg(window.topLeft());
    player.SetWindowExt(window.size());
    player.SetViewportOrg(QPointF(0, 0));
    player.SetViewportExt(QSizeF(canvas.width, canvas.height));
    WmfPlayer wmf(player);
    ForEachRecord(data, layout.firstRecord, [&](std::uint16_t function, std::span<const std::uint8_t> rec) {
      Reader r(rec);
      r.skip(6);
      wmf.Record(function, r, rec);
      return !player.Exhausted();
    });
  }
  return CanvasToImage(canvas, image, out);
}

}  // namespace gdi

bool ReadWmf(const Source& src, Image& out) {
  try {
    return gdi::PlayWmf(src.data, src, 0, 0, out);
  } catch (...) {
    return false;
  }
}

}  // namespace formats
