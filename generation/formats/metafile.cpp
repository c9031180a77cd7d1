// The device-context player shared by the EMF and WMF readers
// (metafile_emf.cpp, metafile_wmf.cpp): mapping modes, world transform, the
// state stack, objects, paths and clipping, drawn with QPainter.
#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "generation/formats/gdi_player.h"

namespace formats::gdi {
namespace {

// Deeper SaveDC nesting than this is ignored; real files stay far below.
constexpr std::size_t kMaxSaveDepth = 1024;
// Shapes reaching beyond this many canvas pixels are not drawn: no sensible
// picture needs them, and the rasteriser's fixed-point range ends near 2^23.
constexpr double kCoordLimit = 4'000'000;
// Longest text drawn by one record.
constexpr int kMaxTextLength = 8192;
// Region rectangles combined per record; beyond it the rest are dropped.
constexpr std::size_t kMaxRegionRects = 2048;
// Painting budget: this many canvas-sized fills, and never less than
// kMinBudget pixels; each drawing call also costs kCallCost.
constexpr double kBudgetCanvases = 256;
constexpr double kMinBudget = 1e9;
constexpr double kCallCost = 64;

bool Finite(const QTransform& t) {
  const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy(), t.m13(), t.m23(), t.m33()};
  for (double x : v) {
    if (!std::isfinite(x)) return false;
  }
  return true;
}

bool Usable(const QTransform& t) {
  if (!Finite(t)) return false;
  const double det = t.m11() * t.m22() - t.m12() * t.m21();
  return std::isfinite(det) && std::fabs(det) > 1e-300;
}

bool FiniteRect(const QRectF& r) {
  return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) &&
         std::isfinite(r.bottom());
}

// A DIB decoded by the BMP reader wrapped as a QImage without copying.
QImage WrapImage(const Image& image, bool useAlpha) {
  QImage::Format format = QImage::Format_RGB888;
  if (image.channels == 4) format = useAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
  return QImage(image.pixels.data(), image.width, image.height,
                static_cast<qsizetype>(image.Stride()), format);
}

}  // namespace

bool ChooseCanvas(double w, double h, const Source& src, Canvas& out) {
  if (!std::isfinite(w) || !std::isfinite(h)) return false;
  w = std::round(w);
  h = std::round(h);
  if (w < 1 || h < 1) return false;
  double scale = 1;
  const double side = std::max(w, h);
  if (side > kMaxCanvasSide) scale = kMaxCanvasSide / side;
  const double pixels = (w * scale) * (h * scale);
  if (pixels > static_cast<double>(kMaxPixels)) {
    scale *= std::sqrt(static_cast<double>(kMaxPixels) / pixels) * 0.999;
  }
  int cw = std::max(1, static_cast<int>(std::floor(w * scale + 0.5)));
  int ch = std::max(1, static_cast<int>(std::floor(h * scale + 0.5)));
  while (!DimensionsOk(cw, ch) && (cw > 1 || ch > 1)) {
    cw = std::max(1, cw / 2);
    ch = std::max(1, ch / 2);
  }
  if (!DimensionsOk(cw, ch)) return false;
  out = Canvas{};
  out.width = cw;
  out.height = ch;
  out.scale = cw / w;
  out.nominalWidth = cw;
  out.nominalHeight = ch;
  // Vector pictures can be drawn directly at thumbnail size.
  if (src.reduceToWidth > 0 && src.keepRatio && src.reduceToWidth < cw) {
    out.width = src.reduceToWidth;
    out.height = std::max(1, static_cast<int>(std::lround(static_cast<double>(ch) * src.reduceToWidth / cw)));
    out.scale = out.width / w;
    out.reduced = true;
  }
  return true;
}

bool MakeCanvasImage(const Canvas& canvas, QImage& image) {
  image = QImage(canvas.width, canvas.height, QImage::Format_RGB32);
  if (image.isNull()) return false;
  image.fill(Qt::white);
  return true;
}

bool CanvasToImage(const Canvas& canvas, const QImage& image, Image& out) {
  Image result;
  if (!result.Allocate(canvas.width, canvas.height, 3)) return false;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull() || rgb.width() != canvas.width || rgb.height() != canvas.height) return false;
  for (int y = 0; y < canvas.height; ++y) std::memcpy(result.Row(y), rgb.constScanLine(y), result.Stride());
  if (canvas.reduced) {
    result.fullWidth = canvas.nominalWidth;
    result.fullHeight = canvas.nominalHeight;
  }
  out = std::move(result);
  return true;
}

// ---- Objects ----

GdiObject MakePen(std::uint32_t style, double width, std::uint32_t color, bool cosmeticOnly) {
  GdiObject o;
  o.kind = ObjectKind::Pen;
  QPen pen(ColorRef(color));
  if (!std::isfinite(width) || width < 0) width = 0;
  pen.setWidthF(cosmeticOnly ? 0.0 : width);
  switch (style & 0x0F) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 5: pen.setStyle(Qt::NoPen); break;
    case 8: pen.setStyle(Qt::DotLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
  }
  switch (style & 0x0F00) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
  }
  switch (style & 0xF000) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
  }
  o.pen = pen;
  return o;
}

GdiObject MakeBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch) {
  GdiObject o;
  o.kind = ObjectKind::Brush;
  if (style == 1) {  // BS_NULL
    o.brush = QBrush(Qt::NoBrush);
  } else if (style == 2) {  // BS_HATCHED
    static const Qt::BrushStyle kHatch[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    o.brush = QBrush(ColorRef(color), hatch < 6 ? kHatch[hatch] : Qt::SolidPattern);
  } else {
    o.brush = QBrush(ColorRef(color));
  }
  return o;
}

GdiObject MakePatternBrush(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits) {
  GdiObject o;
  o.kind = ObjectKind::Brush;
  o.brush = QBrush(QColor(128, 128, 128));
  Image image;
  if (DecodeDib(header, bits, image) && image.width > 0 && image.height > 0 &&
      image.pixels.size() >= image.Stride() * static_cast<std::size_t>(image.height) &&
      static_cast<std::int64_t>(image.width) * image.height <= 1 << 20) {
    QImage tile = WrapImage(image, false).copy();
    if (!tile.isNull()) o.brush = QBrush(tile);
  }
  return o;
}

bool StockObject(std::uint32_t number, GdiObject& out) {
  out = GdiObject{};
  switch (number) {
    case 0: out = MakeBrush(0, 0xFFFFFF, 0); return true;   // WHITE_BRUSH
    case 1: out = MakeBrush(0, 0xC0C0C0, 0); return true;   // LTGRAY_BRUSH
    case 2: out = MakeBrush(0, 0x808080, 0); return true;   // GRAY_BRUSH
    case 3: out = MakeBrush(0, 0x404040, 0); return true;   // DKGRAY_BRUSH
    case 4: out = MakeBrush(0, 0x000000, 0); return true;   // BLACK_BRUSH
    case 5: out = MakeBrush(1, 0, 0); return true;          // NULL_BRUSH
    case 6: out = MakePen(0, 0, 0xFFFFFF, true); return true;  // WHITE_PEN
    case 7: out = MakePen(0, 0, 0x000000, true); return true;  // BLACK_PEN
    case 8: out = MakePen(5, 0, 0, true); return true;         // NULL_PEN
    case 18: out = MakeBrush(0, 0xFFFFFF, 0); return true;  // DC_BRUSH
    case 19: out = MakePen(0, 0, 0x000000, true); return true;  // DC_PEN
    default:
      if (number >= 10 && number <= 17 && number != 15) {  // the stock fonts
        out.kind = ObjectKind::Font;
        return true;
      }
      return false;
  }
}

// ---- Player ----

Player::Player(QImage& canvas, const QTransform& deviceToCanvas, QPointF devicePerMm, bool windowMapping)
    : canvas_(canvas), deviceToCanvas_(deviceToCanvas), devicePerMm_(devicePerMm), windowMapping_(windowMapping) {
  painter_.begin(&canvas_);
  painter_.setRenderHint(QPainter::Antialiasing, true);
  // Fonts need a running GUI application; without one, text is left out
  // rather than crashing.
  textAllowed_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  if (windowMapping_) dc_.mapMode = kMmAnisotropic;
  budget_ = std::max(kMinBudget, kBudgetCanvases * canvas_.width() * canvas_.height());
}

Player::~Player() { painter_.end(); }

void Player::SetMapMode(int mode) {
  if (mode >= kMmText && mode <= kMmAnisotropic) dc_.mapMode = mode;
}

void Player::SetWindowExt(QSizeF s) {
  if (std::isfinite(s.width()) && std::isfinite(s.height()) && s.width() != 0 && s.height() != 0) {
    dc_.windowExt = s;
  }
}

void Player::SetViewportExt(QSizeF s) {
  if (std::isfinite(s.width()) && std::isfinite(s.height()) && s.width() != 0 && s.height() != 0) {
    dc_.viewportExt = s;
  }
}

void Player::ScaleWindowExt(double xNum, double xDen, double yNum, double yDen) {
  if (xDen == 0 || yDen == 0) return;
  SetWindowExt(QSizeF(dc_.windowExt.width() * xNum / xDen, dc_.windowExt.height() * yNum / yDen));
}

void Player::ScaleViewportExt(double xNum, double xDen, double yNum, double yDen) {
  if (xDen == 0 || yDen == 0) return;
  SetViewportExt(QSizeF(dc_.viewportExt.width() * xNum / xDen, dc_.viewportExt.height() * yNum / yDen));
}

void Player::SetWorld(const QTransform& m) {
  if (Usable(m)) dc_.world = m;
}

void Player::ModifyWorld(const QTransform& m, std::uint32_t mode) {
  switch (mode) {
    case 1: dc_.world = QTransform(); break;
    case 2: if (Usable(m)) SetWorld(m * dc_.world); break;
    case 3: if (Usable(m)) SetWorld(dc_.world * m); break;
    case 4: SetWorld(m); break;
    default: break;
  }
}

void Player::Save() {
  if (saved_.size() < kMaxSaveDepth) saved_.push_back(dc_);
}

void Player::Restore(int n) {
  const std::int64_t depth = static_cast<std::int64_t>(saved_.size());
  std::int64_t target;  // the number of states left on the stack afterwards
  if (n < 0) {
    target = depth + static_cast<std::int64_t>(n);
  } else if (n > 0) {
    target = static_cast<std::int64_t>(n) - 1;
  } else {
    return;
  }
  if (target < 0 || target >= depth) return;
  dc_ = saved_[static_cast<std::size_t>(target)];
  saved_.resize(static_cast<std::size_t>(target));
  ApplyClip();
}

void Player::Select(const GdiObject& object) {
  switch (object.kind) {
    case ObjectKind::Pen: dc_.pen = object.pen; break;
    case ObjectKind::Brush: dc_.brush = object.brush; break;
    case ObjectKind::Font: dc_.font = object.font; break;
    case ObjectKind::Other: break;
  }
}

QTransform Player::PageTransform() const {
  double sx = 1;
  double sy = 1;
  const int mode = windowMapping_ ? static_cast<int>(kMmAnisotropic) : dc_.mapMode;
  double unitMm = 0;  // millimetres per logical unit in the metric modes
  switch (mode) {
    case kMmLoMetric: unitMm = 0.1; break;
    case kMmHiMetric: unitMm = 0.01; break;
    case kMmLoEnglish: unitMm = 0.254; break;
    case kMmHiEnglish: unitMm = 0.0254; break;
    case kMmTwips: unitMm = 25.4 / 1440; break;
    case kMmIsotropic:
    case kMmAnisotropic:
      sx = dc_.viewportExt.width() / dc_.windowExt.width();
      sy = dc_.viewportExt.height() / dc_.windowExt.height();
      if (mode == kMmIsotropic) {
        const double m = std::min(std::fabs(sx), std::fabs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default: break;
  }
  if (unitMm > 0) {
    // Fixed modes: y grows upwards.
    sx = devicePerMm_.x() * unitMm;
    sy = -devicePerMm_.y() * unitMm;
  }
  return QTransform(sx, 0, 0, sy, dc_.viewportOrg.x() - dc_.windowOrg.x() * sx,
                    dc_.viewportOrg.y() - dc_.windowOrg.y() * sy);
}

bool Player::FullTransform(QTransform& out) const {
  out = dc_.world * PageTransform() * deviceToCanvas_;
  return Usable(out);
}

double Player::CanvasScale(const QTransform& t) const {
  return std::sqrt(std::fabs(t.m11() * t.m22() - t.m12() * t.m21()));
}

QPen Player::EffectivePen(const QTransform& t) const {
  QPen pen = dc_.pen;
  if (pen.style() == Qt::NoPen) return pen;
  const double scale = CanvasScale(t);
  const double canvasWidth = pen.widthF() * scale;
  // A geometric pen narrower than a pixel still draws one pixel, as GDI does.
  if (!(canvasWidth >= 1)) {
    pen.setWidthF(0);
  } else {
    const double limit = 4.0 * std::max(canvas_.width(), canvas_.height());
    if (canvasWidth > limit) pen.setWidthF(limit / scale);
  }
  return pen;
}

bool Player::BoundsSane(const QRectF& b) const {
  return FiniteRect(b) && std::fabs(b.left()) < kCoordLimit && std::fabs(b.right()) < kCoordLimit &&
         std::fabs(b.top()) < kCoordLimit && std::fabs(b.bottom()) < kCoordLimit;
}

bool Player::Affordable(const QRectF& b, double margin) {
  if (exhausted_ || !BoundsSane(b)) return false;
  const QRectF area = b.adjusted(-margin, -margin, margin, margin).intersected(QRectF(canvas_.rect()));
  budget_ -= kCallCost + (area.isValid() ? area.width() * area.height() : 0);
  if (budget_ < 0) exhausted_ = true;
  return !exhausted_;
}

void Player::Shape(const QPainterPath& logical, bool fill, bool stroke) {
  QTransform t;
  if (!FullTransform(t)) return;
  if (pathOpen_) {
    path_.addPath(t.map(logical));
    figureOpen_ = false;
    return;
  }
  const QPen pen = stroke ? EffectivePen(t) : QPen(Qt::NoPen);
  if (!Affordable(t.mapRect(logical.controlPointRect()), pen.widthF() * CanvasScale(t) + 1)) return;
  QPainterPath p = logical;
  p.setFillRule(dc_.fillRule);
  painter_.setTransform(t);
  painter_.setBackgroundMode(dc_.bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
  painter_.setBackground(QBrush(dc_.bkColor));
  painter_.setBrush(fill ? dc_.brush : QBrush(Qt::NoBrush));
  painter_.setPen(pen);
  painter_.drawPath(p);
}

void Player::DrawCanvasPath(const QPainterPath& canvasPath, bool fill, bool stroke, const QTransform& t) {
  if (canvasPath.isEmpty()) return;
  QPen pen = EffectivePen(t);
  if (pen.widthF() > 0) pen.setWidthF(pen.widthF() * CanvasScale(t));
  if (!Affordable(canvasPath.controlPointRect(), pen.widthF() + 1)) return;
  QPainterPath p = canvasPath;
  p.setFillRule(dc_.fillRule);
  painter_.setTransform(QTransform());
  painter_.setBackgroundMode(dc_.bkOpaque ? Qt::OpaqueMode : Qt::TransparentMode);
  painter_.setBackground(QBrush(dc_.bkColor));
  painter_.setBrush(fill ? dc_.brush : QBrush(Qt::NoBrush));
  painter_.setPen(stroke ? pen : QPen(Qt::NoPen));
  painter_.drawPath(p);
}

void Player::AddLinesToPath(const QPolygonF& points, bool fromCurrent, bool bezier) {
  QTransform t;
  if (!FullTransform(t)) return;
  if (fromCurrent) {
    if (!figureOpen_) path_.moveTo(t.map(dc_.current));
  } else {
    if (points.isEmpty()) return;
    path_.moveTo(t.map(points.front()));
  }
  const qsizetype first = fromCurrent ? 0 : 1;
  if (bezier) {
    for (qsizetype i = first; i + 2 < points.size(); i += 3) {
      path_.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
    }
  } else {
    for (qsizetype i = first; i < points.size(); ++i) path_.lineTo(t.map(points[i]));
  }
  figureOpen_ = fromCurrent;
}

void Player::MoveTo(QPointF p) {
  dc_.current = p;
  if (pathOpen_) {
    QTransform t;
    if (!FullTransform(t)) return;
    path_.moveTo(t.map(p));
    figureOpen_ = true;
  }
}

void Player::LineTo(QPointF p) { PolylineTo(QPolygonF{p}); }

void Player::PolylineTo(const QPolygonF& points) {
  if (points.isEmpty()) return;
  if (pathOpen_) {
    AddLinesToPath(points, true, false);
  } else {
    QPainterPath path(dc_.current);
    for (const QPointF& p : points) path.lineTo(p);
    Shape(path, false, true);
  }
  dc_.current = points.back();
}

void Player::Polyline(const QPolygonF& points) {
  if (points.size() < 2) return;
  if (pathOpen_) {
    AddLinesToPath(points, false, false);
    return;
  }
  QPainterPath path;
  path.addPolygon(points);
  Shape(path, false, true);
}

void Player::PolyBezier(const QPolygonF& points) {
  if (points.size() < 4) return;
  if (pathOpen_) {
    AddLinesToPath(points, false, true);
    return;
  }
  QPainterPath path(points.front());
  for (qsizetype i = 1; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
  Shape(path, false, true);
}

void Player::PolyBezierTo(const QPolygonF& points) {
  if (points.size() < 3) return;
  if (pathOpen_) {
    AddLinesToPath(points, true, true);
  } else {
    QPainterPath path(dc_.current);
    for (qsizetype i = 0; i + 2 < points.size(); i += 3) path.cubicTo(points[i], points[i + 1], points[i + 2]);
    Shape(path, false, true);
  }
  dc_.current = points[(points.size() / 3) * 3 - 1];
}

void Player::Polygon(const QPolygonF& points) {
  if (points.size() < 2) return;
  QPainterPath path;
  path.addPolygon(points);
  path.closeSubpath();
  Shape(path, true, true);
}

void Player::PolyPolygon(const std::vector<QPolygonF>& polygons) {
  QPainterPath path;
  for (const QPolygonF& poly : polygons) {
    if (poly.size() < 2) continue;
    path.addPolygon(poly);
    path.closeSubpath();
  }
  if (!path.isEmpty()) Shape(path, true, true);
}

void Player::PolyPolyline(const std::vector<QPolygonF>& polylines) {
  for (const QPolygonF& poly : polylines) Polyline(poly);
}

void Player::Rectangle(const QRectF& r) {
  QPainterPath path;
  path.addRect(r.normalized());
  Shape(path, true, true);
}

void Player::RoundRect(const QRectF& r, QSizeF corner) {
  QPainterPath path;
  const QRectF n = r.normalized();
  const double rx = std::min(std::fabs(corner.width()) / 2, n.width() / 2);
  const double ry = std::min(std::fabs(corner.height()) / 2, n.height() / 2);
  path.addRoundedRect(n, rx, ry);
  Shape(path, true, true);
}

void Player::Ellipse(const QRectF& r) {
  QPainterPath path;
  path.addEllipse(r.normalized());
  Shape(path, true, true);
}

void Player::Arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind) {
  const QRectF b = box.normalized();
  const double rx = b.width() / 2;
  const double ry = b.height() / 2;
  if (!(rx > 0) || !(ry > 0)) return;
  const QPointF c = b.center();
  // Qt's arc angles are parametric; GDI's ends lie on the rays to the points.
  auto angle = [&](QPointF p) { return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / std::numbers::pi; };
  const double a0 = angle(start);
  double sweep = angle(end) - a0;
  if (!std::isfinite(a0) || !std::isfinite(sweep)) return;
  while (sweep <= 0) sweep += 360;
  QPainterPath path;
  if (kind == ArcKind::Pie) {
    path.moveTo(c);
    path.arcTo(b, a0, sweep);
    path.closeSubpath();
  } else {
    path.arcMoveTo(b, a0);
    path.arcTo(b, a0, sweep);
    if (kind == ArcKind::Chord) path.closeSubpath();
  }
  Shape(path, kind != ArcKind::Arc, true);
}

void Player::SetPixel(QPointF p, const QColor& c) {
  QTransform t;
  if (!FullTransform(t)) return;
  const QPointF q = t.map(p);
  if (!Affordable(QRectF(q, q), 1)) return;
  painter_.setTransform(QTransform());
  painter_.fillRect(QRectF(std::floor(q.x()), std::floor(q.y()), 1, 1), c);
}

void Player::PatBlt(const QRectF& r, std::uint32_t rop) {
  QBrush brush = dc_.brush;
  if (rop == kRopBlackness) brush = QBrush(Qt::black);
  if (rop == kRopWhiteness) brush = QBrush(Qt::white);
  if (rop == kRopDstInvert || brush.style() == Qt::NoBrush) return;
  QTransform t;
  if (!FullTransform(t)) return;
  const QRectF n = r.normalized();
  if (!Affordable(t.mapRect(n))) return;
  painter_.setTransform(t);
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(brush);
  painter_.drawRect(n);
}

void Player::DrawBitmap(const QRectF& dest, const Image& image, QRectF src, bool useAlpha, double opacity) {
  if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4) ||
      image.pixels.size() < image.Stride() * static_cast<std::size_t>(image.height)) {
    return;
  }
  double x = dest.x(), y = dest.y(), w = dest.width(), h = dest.height();
  double sx = src.x(), sy = src.y(), sw = src.width(), sh = src.height();
  if (sw == 0 || sh == 0 || w == 0 || h == 0) return;
  // Normalise negative source extents; the destination keeps the mirroring.
  if (sw < 0) { sx += sw; sw = -sw; x += w; w = -w; }
  if (sh < 0) { sy += sh; sh = -sh; y += h; h = -h; }
  const QRectF whole(0, 0, image.width, image.height);
  const QRectF part = QRectF(sx, sy, sw, sh).intersected(whole);
  if (part.isEmpty()) return;
  QTransform t;
  if (!FullTransform(t)) return;
  // Source-rectangle pixels → logical → canvas.
  const QTransform m = QTransform(w / sw, 0, 0, h / sh, x, y) * t;
  if (!Usable(m)) return;
  const QRectF target(part.x() - sx, part.y() - sy, part.width(), part.height());
  if (!Affordable(m.mapRect(target))) return;
  const QImage wrapped = WrapImage(image, useAlpha);
  if (wrapped.isNull()) return;
  painter_.setTransform(m);
  painter_.setOpacity(std::clamp(opacity, 0.0, 1.0));
  painter_.drawImage(target, wrapped, part);
  painter_.setOpacity(1.0);
}

void Player::Text(QPointF ref, const QString& input, bool opaqueRect, const QRectF& rect) {
  QTransform t;
  if (!FullTransform(t)) return;
  if (opaqueRect && FiniteRect(rect) && Affordable(t.mapRect(rect.normalized()))) {
    painter_.setTransform(t);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(dc_.bkColor);
    painter_.drawRect(rect.normalized());
  }
  if (!textAllowed_ || input.isEmpty()) return;
  const QString text = input.left(kMaxTextLength);
  double px;
  if (dc_.font.height == 0) {
    px = 12 * CanvasScale(deviceToCanvas_);
  } else {
    px = std::fabs(dc_.font.height) * std::hypot(t.m21(), t.m22());
  }
  const double longest = std::max(canvas_.width(), canvas_.height());
  if (!(px >= 0.5) || px > 2 * longest) return;
  const bool updateCp = (dc_.textAlign & 1) != 0;
  const QPointF anchor = t.map(updateCp ? dc_.current : ref);
  if (!BoundsSane(QRectF(anchor, anchor))) return;

  QFont font(QStringLiteral("sans-serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
  const int weight = dc_.font.weight <= 0 ? 400 : std::clamp(dc_.font.weight, 100, 900);
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setItalic(dc_.font.italic);
  font.setUnderline(dc_.font.underline);
  font.setStrikeOut(dc_.font.strikeOut);
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  double x = 0;
  switch (dc_.textAlign & 6) {
    case 6: x = -width / 2; break;  // TA_CENTER
    case 2: x = -width; break;      // TA_RIGHT
    default: break;
  }
  double y;
  switch (dc_.textAlign & 24) {
    case 24: y = 0; break;                   // TA_BASELINE
    case 8: y = -metrics.descent(); break;   // TA_BOTTOM
    default: y = metrics.ascent(); break;    // TA_TOP
  }
  double angle = dc_.font.escapement / 10.0;
  if (!std::isfinite(angle)) angle = 0;
  // Charge the text's box as if it were filled.
  const double extent = std::max(width, metrics.height());
  if (!Affordable(QRectF(anchor.x() - extent, anchor.y() - extent, 2 * extent, 2 * extent))) return;
  QTransform place;
  place.translate(anchor.x(), anchor.y());
  place.rotate(-std::fmod(angle, 360.0));
  painter_.setTransform(place);
  if (dc_.bkOpaque) {
    painter_.fillRect(QRectF(x, y - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                      dc_.bkColor);
  }
  painter_.setFont(font);
  painter_.setPen(dc_.textColor);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawText(QPointF(x, y), text);
  if (updateCp) {
    const double xs = std::hypot(t.m11(), t.m12());
    if (xs > 0) dc_.current.rx() += width / xs;
  }
}

void Player::FillDeviceRects(const std::vector<QRectF>& rects, const QBrush& brush) {
  if (brush.style() == Qt::NoBrush) return;
  painter_.setTransform(QTransform());
  painter_.setPen(Qt::NoPen);
  painter_.setBrush(brush);
  for (std::size_t i = 0; i < rects.size() && i < kMaxRegionRects; ++i) {
    const QRectF r = deviceToCanvas_.mapRect(rects[i].normalized());
    if (Affordable(r)) painter_.drawRect(r);
  }
}

// ---- Paths ----

void Player::BeginPath() {
  pathOpen_ = true;
  figureOpen_ = false;
  path_ = QPainterPath();
}

void Player::EndPath() {
  pathOpen_ = false;
  figureOpen_ = false;
}

void Player::AbortPath() {
  EndPath();
  path_ = QPainterPath();
}

void Player::CloseFigure() {
  if (!pathOpen_) return;
  path_.closeSubpath();
  figureOpen_ = false;
}

void Player::FillPath() {
  EndPath();
  QTransform t;
  if (FullTransform(t)) DrawCanvasPath(path_, true, false, t);
  path_ = QPainterPath();
}

void Player::StrokePath() {
  EndPath();
  QTransform t;
  if (FullTransform(t)) DrawCanvasPath(path_, false, true, t);
  path_ = QPainterPath();
}

void Player::StrokeAndFillPath() {
  EndPath();
  QTransform t;
  if (FullTransform(t)) DrawCanvasPath(path_, true, true, t);
  path_ = QPainterPath();
}

void Player::SelectClipPath(int mode) {
  EndPath();
  if (!path_.isEmpty() && BoundsSane(path_.controlPointRect())) {
    CombineClip(RegionFromCanvasPolygon(path_.toFillPolygon(), dc_.fillRule), mode);
  }
  path_ = QPainterPath();
}

// ---- Clipping ----

void Player::ApplyClip() {
  painter_.setTransform(QTransform());
  if (dc_.clipped) {
    painter_.setClipRegion(dc_.clip);
  } else {
    painter_.setClipping(false);
  }
}

void Player::CombineClip(const QRegion& region, int mode) {
  const QRegion base = dc_.clipped ? dc_.clip : QRegion(0, 0, canvas_.width(), canvas_.height());
  QRegion result;
  switch (mode) {
    case 1: result = base.intersected(region); break;
    case 2: result = base.united(region); break;
    case 3: result = base.xored(region); break;
    case 4: result = base.subtracted(region); break;
    case 5: result = region; break;
    default: return;
  }
  dc_.clip = result;
  dc_.clipped = true;
  ApplyClip();
}

QRegion Player::RegionFromCanvasPolygon(const QPolygonF& poly, Qt::FillRule rule) const {
  if (poly.isEmpty()) return QRegion();
  // Cut the polygon to the canvas (plus a margin) so that the region's scan
  // conversion never walks millions of rows.
  const QRectF frame(-2, -2, canvas_.width() + 4.0, canvas_.height() + 4.0);
  QPolygonF p = poly;
  if (!frame.contains(p.boundingRect())) p = p.intersected(QPolygonF(frame));
  return QRegion(p.toPolygon(), rule);
}

void Player::IntersectClipRect(const QRectF& r) {
  QTransform t;
  if (!FullTransform(t) || !FiniteRect(r)) return;
  const QPolygonF poly = t.map(QPolygonF(r.normalized()));
  if (!BoundsSane(poly.boundingRect())) return;
  CombineClip(RegionFromCanvasPolygon(poly, Qt::OddEvenFill), 1);
}

void Player::ExcludeClipRect(const QRectF& r) {
  QTransform t;
  if (!FullTransform(t) || !FiniteRect(r)) return;
  const QPolygonF poly = t.map(QPolygonF(r.normalized()));
  if (!BoundsSane(poly.boundingRect())) return;
  CombineClip(RegionFromCanvasPolygon(poly, Qt::OddEvenFill), 4);
}

void Player::SelectClipDeviceRects(const std::vector<QRectF>& rects, int mode) {
  if (rects.empty()) {
    if (mode == 5) ResetClip();
    return;
  }
  QRegion region;
  for (std::size_t i = 0; i < rects.size() && i < kMaxRegionRects; ++i) {
    const QRectF r = deviceToCanvas_.mapRect(rects[i].normalized());
    if (!BoundsSane(r)) continue;
    region = region.united(RegionFromCanvasPolygon(QPolygonF(r), Qt::OddEvenFill));
  }
  CombineClip(region, mode);
}

void Player::ResetClip() {
  dc_.clipped = false;
  dc_.clip = QRegion();
  ApplyClip();
}

}  // namespace formats::gdi
