// Enhanced metafiles (.emf): decodes the records and plays them on the
// shared device-context player. EMF+ comments are skipped; the EMF records
// that accompany them draw the picture.
#include <QString>

#include <cmath>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "generation/formats/gdi_player.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

using gdi::GdiObject;
using gdi::Player;

enum EmrType : std::uint32_t {
  kHeader = 1, kPolyBezier = 2, kPolygon = 3, kPolyline = 4, kPolyBezierTo = 5, kPolylineTo = 6,
  kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExtEx = 9, kSetWindowOrgEx = 10,
  kSetViewportExtEx = 11, kSetViewportOrgEx = 12, kEof = 14, kSetPixelV = 15, kSetMapMode = 17,
  kSetBkMode = 18, kSetPolyFillMode = 19, kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor = 25,
  kMoveToEx = 27, kExcludeClipRect = 29, kIntersectClipRect = 30, kScaleViewportExtEx = 31,
  kScaleWindowExtEx = 32, kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35,
  kModifyWorldTransform = 36, kSelectObject = 37, kCreatePen = 38, kCreateBrushIndirect = 39,
  kDeleteObject = 40, kEllipse = 42, kRectangle = 43, kRoundRect = 44, kArc = 45, kChord = 46,
  kPie = 47, kLineTo = 54, kBeginPath = 59, kEndPath = 60, kCloseFigure = 61, kFillPath = 62,
  kStrokeAndFillPath = 63, kStrokePath = 64, kSelectClipPath = 67, kAbortPath = 68,
  kGdiComment = 70, kFillRgn = 71, kPaintRgn = 74, kExtSelectClipRgn = 75, kBitBlt = 76,
  kStretchBlt = 77, kMaskBlt = 78, kSetDiBitsToDevice = 80, kStretchDiBits = 81,
  kExtCreateFontIndirectW = 82, kExtTextOutA = 83, kExtTextOutW = 84, kPolyBezier16 = 85,
  kPolygon16 = 86, kPolyline16 = 87, kPolyBezierTo16 = 88, kPolylineTo16 = 89,
  kPolyPolyline16 = 90, kPolyPolygon16 = 91, kCreateMonoBrush = 93,
  kCreateDibPatternBrushPt = 94, kExtCreatePen = 95, kAlphaBlend = 114, kTransparentBlt = 116,
};

constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kStockFlag = 0x80000000;
// Object indexes kept at once; creation beyond this is ignored.
constexpr std::size_t kMaxObjects = 65536;

QPointF PointL(Reader& r) {
  const double x = r.i32le();
  return QPointF(x, r.i32le());
}

QRectF RectL(Reader& r) {
  const double l = r.i32le();
  const double t = r.i32le();
  const double rr = r.i32le();
  const double b = r.i32le();
  return QRectF(QPointF(l, t), QPointF(rr, b));
}

QTransform XForm(Reader& r) {
  float v[6];
  for (float& f : v) {
    const std::uint32_t bits = r.u32le();
    std::memcpy(&f, &bits, sizeof f);
  }
  return QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
}

// Reads `count` points of 32- or 16-bit coordinates; false when the record is
// too short for them.
bool Points(Reader& r, std::uint64_t count, bool small, QPolygonF& out) {
  const std::uint64_t bytes = count * (small ? 4 : 8);
  if (count > r.remaining() || bytes > r.remaining()) return false;
  out.clear();
  out.reserve(static_cast<qsizetype>(count));
  for (std::uint64_t i = 0; i < count; ++i) {
    if (small) {
      const double x = r.i16le();
      out.append(QPointF(x, r.i16le()));
    } else {
      out.append(PointL(r));
    }
  }
  return r.ok();
}

// POLYPOLYGON / POLYPOLYLINE bodies.
bool PolyPoly(Reader& r, bool small, std::vector<QPolygonF>& out) {
  r.skip(16);  // bounds
  const std::uint32_t polys = r.u32le();
  const std::uint32_t total = r.u32le();
  if (!r.ok() || polys > r.remaining() / 4) return false;
  std::vector<std::uint32_t> counts(polys);
  std::uint64_t sum = 0;
  for (auto& c : counts) {
    c = r.u32le();
    sum += c;
  }
  if (sum > total) return false;
  out.clear();
  for (std::uint32_t c : counts) {
    QPolygonF poly;
    if (!Points(r, c, small, poly)) return false;
    out.push_back(std::move(poly));
  }
  return true;
}

// Region data (RGNDATAHEADER + rectangles), device units.
std::vector<QRectF> RegionRects(Reader& r, std::uint32_t cb) {
  std::vector<QRectF> rects;
  if (cb < 32 || !r.has(32)) return rects;
  r.skip(8);  // dwSize, iType
  const std::uint32_t count = r.u32le();
  r.skip(4 + 16);  // nRgnSize, bounds
  const std::uint64_t fit = std::min<std::uint64_t>((cb - 32) / 16, r.remaining() / 16);
  const std::uint64_t n = std::min<std::uint64_t>({count, fit, 4096});
  rects.reserve(n);
  for (std::uint64_t i = 0; i < n; ++i) rects.push_back(RectL(r));
  return rects;
}

// The packed DIB a bitmap record carries (offsets from the record start).
bool RecordDib(std::span<const std::uint8_t> rec, std::uint32_t offBmi, std::uint32_t cbBmi,
               std::uint32_t offBits, std::uint32_t cbBits, Image& image, bool* bottomUp = nullptr,
               std::int32_t scans = -1) {
  if (cbBmi < 12 || static_cast<std::uint64_t>(offBmi) + cbBmi > rec.size() ||
      static_cast<std::uint64_t>(offBits) + cbBits > rec.size()) {
    return false;
  }
  std::vector<std::uint8_t> header(rec.begin() + offBmi, rec.begin() + offBmi + cbBmi);
  Reader h(header);
  const std::uint32_t headerSize = h.u32le();
  bool up = true;
  if (headerSize >= 40 && header.size() >= 12) {
    std::int32_t height;
    std::memcpy(&height, header.data() + 8, 4);
    up = height > 0;
    // SETDIBITSTODEVICE may carry fewer scan lines than the header's height.
    if (scans > 0 && scans < (height < 0 ? -static_cast<std::int64_t>(height) : height)) {
      const std::int32_t patched = up ? scans : -scans;
      std::memcpy(header.data() + 8, &patched, 4);
    }
  }
  if (bottomUp != nullptr) *bottomUp = up;
  return DecodeDib(header, rec.subspan(offBits, cbBits), image);
}

// StretchDIBits counts the source rectangle from the bottom of bottom-up DIBs.
QRectF DibSource(const Image& image, bool bottomUp, double x, double y, double w, double h) {
  if (bottomUp) y = image.height - y - h;
  return QRectF(x, y, w, h);
}

// Makes the pixels of `key` transparent (TRANSPARENTBLT).
void KeyOut(Image& image, std::uint32_t key) {
  Image rgba;
  if (!rgba.Allocate(image.width, image.height, 4)) return;
  const std::uint8_t kr = key & 0xFF, kg = (key >> 8) & 0xFF, kb = (key >> 16) & 0xFF;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.At(x, y);
      const bool hit = p[0] == kr && p[1] == kg && p[2] == kb;
      rgba.Set(x, y, p[0], p[1], p[2], hit ? 0 : 255);
    }
  }
  image = std::move(rgba);
}

class EmfPlayer {
 public:
  explicit EmfPlayer(Player& p) : p_(p) {}

  void Record(std::uint32_t type, Reader& r, std::span<const std::uint8_t> rec);

 private:
  void Store(std::uint32_t index, GdiObject object) {
    if (index == 0 || (index & kStockFlag) != 0) return;
    if (objects_.size() >= kMaxObjects && objects_.find(index) == objects_.end()) return;
    objects_[index] = std::move(object);
  }
  void Select(std::uint32_t index) {
    if (index & kStockFlag) {
      GdiObject stock;
      if (gdi::StockObject(index & ~kStockFlag, stock)) p_.Select(stock);
      return;
    }
    const auto it = objects_.find(index);
    if (it != objects_.end()) p_.Select(it->second);
  }
  void Poly(std::uint32_t type, Reader& r, bool small);
  void Blit(std::uint32_t type, Reader& r, std::span<const std::uint8_t> rec);
  void TextOut(Reader& r, std::span<const std::uint8_t> rec, bool wide);

  Player& p_;
  std::unordered_map<std::uint32_t, GdiObject> objects_;
};

void EmfPlayer::Poly(std::uint32_t type, Reader& r, bool small) {
  r.skip(16);  // bounds
  const std::uint32_t count = r.u32le();
  QPolygonF pts;
  if (!r.ok() || !Points(r, count, small, pts)) return;
  switch (type) {
    case kPolyBezier: case kPolyBezier16: p_.PolyBezier(pts); break;
    case kPolygon: case kPolygon16: p_.Polygon(pts); break;
    case kPolyline: case kPolyline16: p_.Polyline(pts); break;
    case kPolyBezierTo: case kPolyBezierTo16: p_.PolyBezierTo(pts); break;
    case kPolylineTo: case kPolylineTo16: p_.PolylineTo(pts); break;
    default: break;
  }
}

void EmfPlayer::Blit(std::uint32_t type, Reader& r, std::span<const std::uint8_t> rec) {
  r.skip(16);  // bounds
  Image image;
  if (type == kStretchDiBits || type == kSetDiBitsToDevice) {
    const double xDest = r.i32le(), yDest = r.i32le();
    const double xSrc = r.i32le(), ySrc = r.i32le();
    const double cxSrc = r.i32le(), cySrc = r.i32le();
    const std::uint32_t offBmi = r.u32le(), cbBmi = r.u32le();
    const std::uint32_t offBits = r.u32le(), cbBits = r.u32le();
    r.u32le();  // usage
    double cxDest = cxSrc, cyDest = cySrc;
    std::int32_t scans = -1;
    if (type == kStretchDiBits) {
      r.u32le();  // raster operation: every one is drawn as a copy
      cxDest = r.i32le();
      cyDest = r.i32le();
    } else {
      r.u32le();  // first scan line
      scans = r.i32le();
    }
    bool bottomUp = true;
    if (!r.ok() || !RecordDib(rec, offBmi, cbBmi, offBits, cbBits, image, &bottomUp, scans)) return;
    p_.DrawBitmap(QRectF(xDest, yDest, cxDest, cyDest), image,
                  DibSource(image, bottomUp, xSrc, ySrc, cxSrc, cySrc), false);
    return;
  }
  // BITBLT, STRETCHBLT, MASKBLT, ALPHABLEND, TRANSPARENTBLT share their start.
  const double xDest = r.i32le(), yDest = r.i32le();
  const double cxDest = r.i32le(), cyDest = r.i32le();
  const std::uint32_t rop = r.u32le();
  const double xSrc = r.i32le(), ySrc = r.i32le();
  r.skip(24);  // source transform
  r.u32le();   // source background colour
  r.u32le();   // usage
  const std::uint32_t offBmi = r.u32le(), cbBmi = r.u32le();
  const std::uint32_t offBits = r.u32le(), cbBits = r.u32le();
  double cxSrc = cxDest, cySrc = cyDest;
  if (type == kStretchBlt || type == kAlphaBlend || type == kTransparentBlt) {
    cxSrc = r.i32le();
    cySrc = r.i32le();
  }
  if (!r.ok()) return;
  const QRectF dest(xDest, yDest, cxDest, cyDest);
  if (cbBmi == 0) {
    if (type == kBitBlt || type == kStretchBlt || type == kMaskBlt) p_.PatBlt(dest, rop);
    return;
  }
  if (!RecordDib(rec, offBmi, cbBmi, offBits, cbBits, image)) return;
  const QRectF source(xSrc, ySrc, cxSrc, cySrc);
  if (type == kAlphaBlend) {
    const double constant = ((rop >> 16) & 0xFF) / 255.0;
    const bool perPixel = ((rop >> 24) & 0xFF) == 1;  // AC_SRC_ALPHA
    p_.DrawBitmap(dest, image, source, perPixel, constant);
  } else if (type == kTransparentBlt) {
    KeyOut(image, rop);
    p_.DrawBitmap(dest, image, source, true);
  } else {
    p_.DrawBitmap(dest, image, source, false);
  }
}

void EmfPlayer::TextOut(Reader& r, std::span<const std::uint8_t> rec, bool wide) {
  r.skip(16);   // bounds
  r.skip(12);   // graphics mode, x and y scale
  const QPointF ref = PointL(r);
  const std::uint32_t chars = r.u32le();
  const std::uint32_t offString = r.u32le();
  const std::uint32_t options = r.u32le();
  const QRectF rect = RectL(r);
  if (!r.ok()) return;
  constexpr std::uint32_t kEtoOpaque = 2, kEtoGlyphIndex = 0x10;
  const std::uint64_t bytes = static_cast<std::uint64_t>(chars) * (wide ? 2 : 1);
  QString text;
  if (offString <= rec.size() && bytes <= rec.size() - offString && (options & kEtoGlyphIndex) == 0) {
    const std::uint8_t* s = rec.data() + offString;
    const qsizetype n = static_cast<qsizetype>(std::min<std::uint64_t>(chars, 8192));
    if (wide) {
      text.resize(n);
      for (qsizetype i = 0; i < n; ++i) text[i] = QChar(static_cast<char16_t>(s[2 * i] | (s[2 * i + 1] << 8)));
    } else {
      text = QString::fromLatin1(reinterpret_cast<const char*>(s), n);
    }
  }
  p_.Text(ref, text, (options & kEtoOpaque) != 0, rect);
}

void EmfPlayer::Record(std::uint32_t type, Reader& r, std::span<const std::uint8_t> rec) {
  switch (type) {
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
      Poly(type, r, false);
      break;
    case kPolyBezier16: case kPolygon16: case kPolyline16: case kPolyBezierTo16: case kPolylineTo16:
      Poly(type, r, true);
      break;
    case kPolyPolyline: case kPolyPolygon: case kPolyPolyline16: case kPolyPolygon16: {
      std::vector<QPolygonF> polys;
      const bool small = type == kPolyPolyline16 || type == kPolyPolygon16;
      if (!PolyPoly(r, small, polys)) break;
      if (type == kPolyPolygon || type == kPolyPolygon16) {
        p_.PolyPolygon(polys);
      } else {
        p_.PolyPolyline(polys);
      }
      break;
    }
    case kSetWindowExtEx: {
      const double cx = r.i32le();
      const double cy = r.i32le();
      if (r.ok()) p_.SetWindowExt(QSizeF(cx, cy));
      break;
    }
    case kSetViewportExtEx: {
      const double cx = r.i32le();
      const double cy = r.i32le();
      if (r.ok()) p_.SetViewportExt(QSizeF(cx, cy));
      break;
    }
    case kSetWindowOrgEx: { const QPointF pt = PointL(r); if (r.ok()) p_.SetWindowOrg(pt); break; }
    case kSetViewportOrgEx: { const QPointF pt = PointL(r); if (r.ok()) p_.SetViewportOrg(pt); break; }
    case kScaleViewportExtEx:
    case kScaleWindowExtEx: {
      const double xn = r.i32le(), xd = r.i32le(), yn = r.i32le(), yd = r.i32le();
      if (!r.ok()) break;
      if (type == kScaleWindowExtEx) {
        p_.ScaleWindowExt(xn, xd, yn, yd);
      } else {
        p_.ScaleViewportExt(xn, xd, yn, yd);
      }
      break;
    }
    case kSetMapMode: { const std::uint32_t m = r.u32le(); if (r.ok()) p_.SetMapMode(static_cast<int>(m)); break; }
    case kSetBkMode: { const std::uint32_t m = r.u32le(); if (r.ok()) p_.dc().bkOpaque = m == 2; break; }
    case kSetPolyFillMode: {
      const std::uint32_t m = r.u32le();
      if (r.ok()) p_.dc().fillRule = m == 2 ? Qt::WindingFill : Qt::OddEvenFill;
      break;
    }
    case kSetTextAlign: { const std::uint32_t a = r.u32le(); if (r.ok()) p_.dc().textAlign = a; break; }
    case kSetTextColor: { const std::uint32_t c = r.u32le(); if (r.ok()) p_.dc().textColor = gdi::ColorRef(c); break; }
    case kSetBkColor: { const std::uint32_t c = r.u32le(); if (r.ok()) p_.dc().bkColor = gdi::ColorRef(c); break; }
    case kSetPixelV: {
      const QPointF pt = PointL(r);
      const std::uint32_t c = r.u32le();
      if (r.ok()) p_.SetPixel(pt, gdi::ColorRef(c));
      break;
    }
    case kMoveToEx: { const QPointF pt = PointL(r); if (r.ok()) p_.MoveTo(pt); break; }
    case kLineTo: { const QPointF pt = PointL(r); if (r.ok()) p_.LineTo(pt); break; }
    case kExcludeClipRect: { const QRectF c = RectL(r); if (r.ok()) p_.ExcludeClipRect(c); break; }
    case kIntersectClipRect: { const QRectF c = RectL(r); if (r.ok()) p_.IntersectClipRect(c); break; }
    case kSaveDc: p_.Save(); break;
    case kRestoreDc: { const std::int32_t n = r.i32le(); if (r.ok()) p_.Restore(n); break; }
    case kSetWorldTransform: { const QTransform m = XForm(r); if (r.ok()) p_.SetWorld(m); break; }
    case kModifyWorldTransform: {
      const QTransform m = XForm(r);
      const std::uint32_t mode = r.u32le();
      if (r.ok()) p_.ModifyWorld(m, mode);
      break;
    }
    case kSelectObject: { const std::uint32_t i = r.u32le(); if (r.ok()) Select(i); break; }
    case kDeleteObject: { const std::uint32_t i = r.u32le(); if (r.ok()) objects_.erase(i); break; }
    case kCreatePen: {
      const std::uint32_t index = r.u32le();
      const std::uint32_t style = r.u32le();
      const double width = r.i32le();
      r.i32le();
      const std::uint32_t color = r.u32le();
      if (r.ok()) Store(index, gdi::MakePen(style, width, color, false));
      break;
    }
    case kExtCreatePen: {
      const std::uint32_t index = r.u32le();
      r.skip(16);  // pattern bitmap offsets
      const std::uint32_t style = r.u32le();
      const double width = r.u32le();
      const std::uint32_t brushStyle = r.u32le();
      const std::uint32_t color = r.u32le();
      if (!r.ok()) break;
      GdiObject pen = gdi::MakePen(style, width, color, (style & 0x10000) == 0);
      if (brushStyle == 1) pen.pen.setStyle(Qt::NoPen);  // BS_NULL
      Store(index, pen);
      break;
    }
    case kCreateBrushIndirect: {
      const std::uint32_t index = r.u32le();
      const std::uint32_t style = r.u32le();
      const std::uint32_t color = r.u32le();
      const std::uint32_t hatch = r.u32le();
      if (r.ok()) Store(index, gdi::MakeBrush(style, color, hatch));
      break;
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt: {
      const std::uint32_t index = r.u32le();
      r.u32le();  // usage
      const std::uint32_t offBmi = r.u32le(), cbBmi = r.u32le();
      const std::uint32_t offBits = r.u32le(), cbBits = r.u32le();
      if (!r.ok()) break;
      if (static_cast<std::uint64_t>(offBmi) + cbBmi <= rec.size() &&
          static_cast<std::uint64_t>(offBits) + cbBits <= rec.size()) {
        Store(index, gdi::MakePatternBrush(rec.subspan(offBmi, cbBmi), rec.subspan(offBits, cbBits)));
      } else {
        Store(index, gdi::MakeBrush(0, 0x808080, 0));
      }
      break;
    }
    case kExtCreateFontIndirectW: {
      const std::uint32_t index = r.u32le();
      GdiObject font;
      font.kind = gdi::ObjectKind::Font;
      font.font.height = r.i32le();
      r.i32le();  // width
      font.font.escapement = r.i32le();
      r.i32le();  // orientation
      font.font.weight = r.i32le();
      font.font.italic = r.u8() != 0;
      font.font.underline = r.u8() != 0;
      font.font.strikeOut = r.u8() != 0;
      if (r.ok()) Store(index, font);
      break;
    }
    case kRectangle: { const QRectF b = RectL(r); if (r.ok()) p_.Rectangle(b); break; }
    case kEllipse: { const QRectF b = RectL(r); if (r.ok()) p_.Ellipse(b); break; }
    case kRoundRect: {
      const QRectF b = RectL(r);
      const double cx = r.i32le();
      const double cy = r.i32le();
      if (r.ok()) p_.RoundRect(b, QSizeF(cx, cy));
      break;
    }
    case kArc: case kChord: case kPie: {
      const QRectF b = RectL(r);
      const QPointF s = PointL(r);
      const QPointF e = PointL(r);
      if (!r.ok()) break;
      p_.Arc(b, s, e, type == kArc ? Player::ArcKind::Arc : type == kChord ? Player::ArcKind::Chord : Player::ArcKind::Pie);
      break;
    }
    case kBeginPath: p_.BeginPath(); break;
    case kEndPath: p_.EndPath(); break;
    case kCloseFigure: p_.CloseFigure(); break;
    case kAbortPath: p_.AbortPath(); break;
    case kFillPath: p_.FillPath(); break;
    case kStrokePath: p_.StrokePath(); break;
    case kStrokeAndFillPath: p_.StrokeAndFillPath(); break;
    case kSelectClipPath: { const std::uint32_t m = r.u32le(); if (r.ok()) p_.SelectClipPath(static_cast<int>(m)); break; }
    case kExtSelectClipRgn: {
      const std::uint32_t cb = r.u32le();
      const std::uint32_t mode = r.u32le();
      if (!r.ok()) break;
      p_.SelectClipDeviceRects(RegionRects(r, cb), static_cast<int>(mode));
      break;
    }
    case kFillRgn:
    case kPaintRgn: {
      r.skip(16);  // bounds
      const std::uint32_t cb = r.u32le();
      QBrush brush = p_.dc().brush;
      if (type == kFillRgn) {
        const std::uint32_t index = r.u32le();
        if (index & kStockFlag) {
          GdiObject stock;
          if (gdi::StockObject(index & ~kStockFlag, stock)) brush = stock.brush;
        } else if (const auto it = objects_.find(index); it != objects_.end()) {
          brush = it->second.brush;
        }
      }
      if (r.ok()) p_.FillDeviceRects(RegionRects(r, cb), brush);
      break;
    }
    case kBitBlt: case kStretchBlt: case kMaskBlt: case kSetDiBitsToDevice: case kStretchDiBits:
    case kAlphaBlend: case kTransparentBlt:
      Blit(type, r, rec);
      break;
    case kExtTextOutW: TextOut(r, rec, true); break;
    case kExtTextOutA: TextOut(r, rec, false); break;
    // Comments (EMF+ included) are never acted upon; everything else unknown
    // is skipped by its size.
    case kGdiComment:
    default:
      break;
  }
}

bool PlayEmf(const Source& src, Image& out) {
  const auto data = src.data;
  Reader h(data);
  if (h.u32le() != kHeader) return false;
  const std::uint32_t headerSize = h.u32le();
  if (!h.ok() || headerSize < 88 || headerSize > data.size()) return false;
  const QRectF bounds = RectL(h);
  double fl = h.i32le(), ft = h.i32le(), fr = h.i32le(), fb = h.i32le();
  if (h.u32le() != kEmfSignature) return false;
  h.skip(12);  // version, bytes, records
  h.skip(4);   // handles, reserved
  const std::uint32_t descriptionChars = h.u32le();
  const std::uint32_t descriptionOffset = h.u32le();
  h.skip(4);  // palette entries
  const double devW = h.i32le(), devH = h.i32le();
  const double mmW = h.i32le(), mmH = h.i32le();
  // Older writers put the description right after the base header, where
  // the extension fields would be.
  std::uint32_t headerEnd = headerSize;
  if (descriptionChars > 0 && descriptionOffset < headerEnd) headerEnd = descriptionOffset;
  double umW = 0, umH = 0;
  if (headerEnd >= 108) {
    h.skip(12);  // pixel format, OpenGL
    umW = h.i32le();
    umH = h.i32le();
  }
  if (!h.ok()) return false;
  // Reference device resolution, pixels per millimetre.
  const double kDefault = 96 / 25.4;
  double pxX = kDefault, pxY = kDefault;
  if (devW > 0 && devH > 0) {
    if (umW > 0 && umH > 0 && (mmW <= 0 || std::fabs(umW / 1000 - mmW) <= 1 + mmW / 10)) {
      pxX = devW * 1000 / umW;
      pxY = devH * 1000 / umH;
    } else if (mmW > 0 && mmH > 0) {
      pxX = devW / mmW;
      pxY = devH / mmH;
    }
  }
  if (!(pxX > 0.01 && pxX < 1e5)) pxX = kDefault;
  if (!(pxY > 0.01 && pxY < 1e5)) pxY = kDefault;

  if (fr < fl) std::swap(fl, fr);
  if (fb < ft) std::swap(ft, fb);
  double width = (fr - fl) * 96 / 2540;
  double height = (fb - ft) * 96 / 2540;
  // Device rectangle the frame covers.
  QRectF device(fl / 100 * pxX, ft / 100 * pxY, (fr - fl) / 100 * pxX, (fb - ft) / 100 * pxY);
  if (!(std::round(width) >= 1 && std::round(height) >= 1)) {
    // No usable frame: fall back to the bounds, in device pixels.
    const QRectF b = bounds.normalized();
    device = QRectF(b.left(), b.top(), b.width() + 1, b.height() + 1);
    width = device.width() / pxX * 96 / 25.4;
    height = device.height() / pxY * 96 / 25.4;
  }
  gdi::Canvas canvas;
  if (!gdi::ChooseCanvas(width, height, src, canvas)) return false;
  const QTransform deviceToCanvas = QTransform::fromTranslate(-device.left(), -device.top()) *
                                    QTransform::fromScale(canvas.width / device.width(),
                                                          canvas.height / device.height());
  QImage image;
  if (!gdi::MakeCanvasImage(canvas, image)) return false;
  {
    Player player(image, deviceToCanvas, QPointF(pxX, pxY), false);
    EmfPlayer emf(player);
    std::size_t pos = 0;
    while (data.size() - pos >= 8) {
      Reader head(data.subspan(pos, 8));
      const std::uint32_t type = head.u32le();
      const std::uint32_t size = head.u32le();
      // An impossible size ends the playback; what was drawn stays.
      if (size < 8 || size % 4 != 0 || size > data.size() - pos) break;
      if (type == kEof) break;
      const auto rec = data.subspan(pos, size);
      Reader r(rec);
      r.skip(8);
      emf.Record(type, r, rec);
      if (player.Exhausted()) break;
      pos += size;
    }
  }
  return gdi::CanvasToImage(canvas, image, out);
}

}  // namespace

bool ReadEmf(const Source& src, Image& out) {
  try {
    return PlayEmf(src, out);
  } catch (...) {
    return false;
  }
}

}  // namespace formats
