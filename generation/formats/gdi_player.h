// The graphics-state player behind the EMF and WMF readers: one device
// context (mapping, world transform, selected objects, clip, path) replayed
// onto a QPainter. The two file formats only decode records and call it.
#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <span>
#include <vector>

#include "generation/formats/formats.h"

namespace formats::gdi {

// Longest canvas side; larger pictures are drawn scaled down. Fuzz builds
// use a smaller canvas so that each input runs quickly.
#ifdef GALVORA_MAX_PIXELS
inline constexpr int kMaxCanvasSide = 2048;
#else
inline constexpr int kMaxCanvasSide = 8192;
#endif

// The raster a metafile is drawn on and its relation to the nominal size.
struct Canvas {
  int width = 0;
  int height = 0;
  // Canvas pixels per nominal pixel (1 unless capped or reduced).
  double scale = 1;
  // Set when the picture was drawn smaller for a thumbnail.
  bool reduced = false;
  int nominalWidth = 0;
  int nominalHeight = 0;
};

// Picks the canvas for a picture of nominal w × h pixels: rounded, capped to
// kMaxCanvasSide and the pixel limit, reduced when the caller asks for a
// thumbnail width. False when the size is not positive.
bool ChooseCanvas(double w, double h, const Source& src, Canvas& out);

// Creates the white canvas image; false when it cannot be allocated.
bool MakeCanvasImage(const Canvas& canvas, QImage& image);

// Copies the drawn canvas into `out` as RGB.
bool CanvasToImage(const Canvas& canvas, const QImage& image, Image& out);

// COLORREF: 0x00bbggrr.
inline QColor ColorRef(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

struct FontSpec {
  double height = 0;  // logical units; 0 = the default size
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  double escapement = 0;  // tenths of a degree, counter-clockwise
};

enum class ObjectKind { Pen, Brush, Font, Other };

struct GdiObject {
  ObjectKind kind = ObjectKind::Other;
  QPen pen;
  QBrush brush;
  FontSpec font;
};

// Builders for the logical objects both formats share.
GdiObject MakePen(std::uint32_t style, double width, std::uint32_t color, bool cosmeticOnly);
GdiObject MakeBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch);
// A pattern brush from a packed DIB (header + bits); a solid grey one when the
// DIB cannot be decoded.
GdiObject MakePatternBrush(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits);
// Stock objects (GetStockObject numbers); false for unknown numbers.
bool StockObject(std::uint32_t number, GdiObject& out);

// Mapping modes (SetMapMode).
enum MapMode : int {
  kMmText = 1,
  kMmLoMetric = 2,
  kMmHiMetric = 3,
  kMmLoEnglish = 4,
  kMmHiEnglish = 5,
  kMmTwips = 6,
  kMmIsotropic = 7,
  kMmAnisotropic = 8,
};

struct DcState {
  int mapMode = kMmText;
  QPointF windowOrg{0, 0};
  QPointF viewportOrg{0, 0};
  QSizeF windowExt{1, 1};
  QSizeF viewportExt{1, 1};
  QTransform world;
  QPen pen{QColor(Qt::black), 0};
  QBrush brush{QColor(Qt::white)};
  FontSpec font;
  QColor textColor{Qt::black};
  QColor bkColor{Qt::white};
  bool bkOpaque = true;
  Qt::FillRule fillRule = Qt::OddEvenFill;
  std::uint32_t textAlign = 0;
  QPointF current{0, 0};
  bool clipped = false;
  QRegion clip;  // canvas pixels
};

// Raster operations that need no source bitmap.
inline constexpr std::uint32_t kRopBlackness = 0x00000042;
inline constexpr std::uint32_t kRopWhiteness = 0x00FF0062;
inline constexpr std::uint32_t kRopDstInvert = 0x00550009;

class Player {
 public:
  // `deviceToCanvas` maps device units onto the canvas; `devicePerMm` is the
  // reference device's resolution for the metric mapping modes. With
  // `windowMapping`, every mapping mode behaves as anisotropic (WMF files are
  // played into a window → viewport mapping whatever mode they set).
  Player(QImage& canvas, const QTransform& deviceToCanvas, QPointF devicePerMm, bool windowMapping);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  DcState& dc() { return dc_; }
  // True once the drawing budget is spent: the caller stops playing.
  bool Exhausted() const { return exhausted_; }

  // Mapping.
  void SetMapMode(int mode);
  void SetWindowOrg(QPointF p) { dc_.windowOrg = p; }
  void SetViewportOrg(QPointF p) { dc_.viewportOrg = p; }
  void SetWindowExt(QSizeF s);
  void SetViewportExt(QSizeF s);
  void ScaleWindowExt(double xNum, double xDen, double yNum, double yDen);
  void ScaleViewportExt(double xNum, double xDen, double yNum, double yDen);
  // MWT_IDENTITY 1, LEFTMULTIPLY 2, RIGHTMULTIPLY 3, SET 4; invalid matrices
  // are ignored.
  void SetWorld(const QTransform& m);
  void ModifyWorld(const QTransform& m, std::uint32_t mode);

  // State stack (SaveDC / RestoreDC). Negative n: relative; positive: absolute.
  void Save();
  void Restore(int n);

  void Select(const GdiObject& object);

  // Drawing, in logical coordinates.
  void MoveTo(QPointF p);
  void LineTo(QPointF p);
  void Polyline(const QPolygonF& points);
  void PolylineTo(const QPolygonF& points);
  void PolyBezier(const QPolygonF& points);
  void PolyBezierTo(const QPolygonF& points);
  void Polygon(const QPolygonF& points);
  void PolyPolygon(const std::vector<QPolygonF>& polygons);
  void PolyPolyline(const std::vector<QPolygonF>& polylines);
  void Rectangle(const QRectF& r);
  void RoundRect(const QRectF& r, QSizeF corner);
  void Ellipse(const QRectF& r);
  enum class ArcKind { Arc, Chord, Pie };
  void Arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind);
  void SetPixel(QPointF p, const QColor& c);
  // A rectangle filled without a source bitmap (PatBlt, BitBlt without bits).
  void PatBlt(const QRectF& r, std::uint32_t rop);
  // Draws `image` (rows top-down) so that `src` (image pixels) covers `dest`
  // (logical); negative extents mirror, as in StretchBlt.
  void DrawBitmap(const QRectF& dest, const Image& image, QRectF src, bool useAlpha,
                  double opacity = 1.0);
  // Text at a logical reference point; `clipRect` (logical) is filled with the
  // background colour first when `opaqueRect` is set.
  void Text(QPointF ref, const QString& text, bool opaqueRect, const QRectF& rect);
  // Fills device-unit rectangles (a region) with a brush.
  void FillDeviceRects(const std::vector<QRectF>& rects, const QBrush& brush);

  // Paths.
  void BeginPath();
  void EndPath();
  void AbortPath();
  void CloseFigure();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  // Modes: RGN_AND 1, RGN_OR 2, RGN_XOR 3, RGN_DIFF 4, RGN_COPY 5.
  void SelectClipPath(int mode);

  // Clipping.
  void IntersectClipRect(const QRectF& r);
  void ExcludeClipRect(const QRectF& r);
  // A region given as device-unit rectangles; an empty list with RGN_COPY
  // resets the clip.
  void SelectClipDeviceRects(const std::vector<QRectF>& rects, int mode);
  void ResetClip();

 private:
  QTransform PageTransform() const;
  // Logical → canvas; false (and nothing drawn) when it is not usable.
  bool FullTransform(QTransform& out) const;
  double CanvasScale(const QTransform& t) const;
  QPen EffectivePen(const QTransform& t) const;
  void ApplyClip();
  void CombineClip(const QRegion& region, int mode);
  QRegion RegionFromCanvasPolygon(const QPolygonF& poly, Qt::FillRule rule) const;
  // Draws or, inside a path bracket, records a closed shape.
  void Shape(const QPainterPath& logical, bool fill, bool stroke);
  void DrawCanvasPath(const QPainterPath& canvasPath, bool fill, bool stroke, const QTransform& t);
  bool BoundsSane(const QRectF& canvasBounds) const;
  // Charges the painted area (plus a fixed cost per call) to the budget;
  // false when the shape is out of range or the budget is spent.
  bool Affordable(const QRectF& canvasBounds, double margin = 0);
  void AddLinesToPath(const QPolygonF& points, bool fromCurrent, bool bezier);

  QImage& canvas_;
  QPainter painter_;
  QTransform deviceToCanvas_;
  QPointF devicePerMm_;
  bool windowMapping_;
  DcState dc_;
  std::vector<DcState> saved_;
  // Path bracket: recorded in canvas coordinates.
  bool pathOpen_ = false;
  bool figureOpen_ = false;
  QPainterPath path_;
  bool textAllowed_ = false;
  // Canvas pixels the playback may still paint, so that a file of many
  // large records cannot keep the reader busy for minutes.
  double budget_ = 0;
  bool exhausted_ = false;
};

// Plays a WMF (with or without its placeable header). When forceWidth and
// forceHeight are positive, the picture is drawn at that size instead of its
// own (EPS previews take the BoundingBox size).
bool PlayWmf(std::span<const std::uint8_t> data, const Source& src, int forceWidth,
             int forceHeight, Image& out);

}  // namespace formats::gdi
