#include "report/run_report_pdf.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <array>
#include <span>

#include "base/atomic_file_writer.h"
#include "base/errno_text.h"
#include "chart/chart_look.h"
#include "chart/chart_painter.h"
#include "chart/verdict_look.h"
#include "report/report_chart.h"

namespace kv {

namespace {

// Fine enough for a trace, coarse enough that a week decimates to about a
// thousand columns a pane.
constexpr int kDotsPerInch = 150;
constexpr qreal kMarginMm = 14;
constexpr qreal kBodyPoints = 8;

// Each table's columns as shares of the width; the last column takes the rest.
constexpr std::array<double, 8> kStepShares{0.05, 0.12, 0.20, 0.09, 0.26, 0.09, 0.09, 0.10};
constexpr std::array<double, 3> kTextShares{0.07, 0.15, 0.78};
// Columns whose numbers line up at the right.
constexpr std::array<bool, 8> kStepRight{false, false, false, true, false, true, true, false};

QColor VerdictColour(ReportVerdict verdict) {
  return verdict == ReportVerdict::Incomplete ? QColor(0xb3, 0x6b, 0x00)
                                              : VerdictInk(verdict == ReportVerdict::Pass);
}

QString Text(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class PageDrawer {
 public:
  PageDrawer(QPainter& p, const RunReportLayout& layout, const ChartSeries& chart)
      : p_(p),
        layout_(layout),
        chart_(chart),
        width_(p.device()->width()),
        height_(p.device()->height()) {
    body_ = QFont(QStringLiteral("DejaVu Sans"));
    body_.setPointSizeF(kBodyPoints);
    bold_ = body_;
    bold_.setBold(true);
    p_.setFont(body_);
    lineHeight_ = QFontMetrics(body_, p_.device()).height() * 6 / 5;
  }

  /// Lines a page holds below its title, and how long a wrapped text may be.
  ReportPageLines Room() const {
    const QFontMetrics fm(body_, p_.device());
    const int bodyHeight = height_ - TitleHeight() - lineHeight_ * 2;
    const auto shortest = static_cast<int>(width_ * kTextShares.back()) - 8;
    return {(bodyHeight - HeaderHeight() - ChartHeight()) / lineHeight_, bodyHeight / lineHeight_,
            shortest / std::max(fm.averageCharWidth(), 1)};
  }

  void Page(std::size_t index) {
    const ReportPage& page = layout_.pages[index];
    DrawTitle(index);
    int y = TitleHeight();
    if (page.header) {
      DrawHeader(y);
      y += HeaderHeight();
      DrawChart(QRect(0, y, width_, ChartHeight()));
      y += ChartHeight();
    }
    std::span<const double> shares = kTextShares;
    for (const PageLine& line : page.lines) {
      if (line.kind == PageLineKind::TableHeader) {
        shares = line.cells.size() == kStepShares.size() ? std::span<const double>(kStepShares)
                                                         : std::span<const double>(kTextShares);
      }
      y += DrawLine(line, shares, y);
    }
  }

 private:
  int TitleHeight() const { return lineHeight_ * 2; }
  int HeaderHeight() const { return static_cast<int>(kReportHeaderFields + 1) * lineHeight_; }
  int ChartHeight() const { return height_ * 9 / 25; }

  void DrawTitle(std::size_t index) {
    p_.setFont(bold_);
    p_.setPen(Qt::black);
    const QRect strip(0, 0, width_, lineHeight_);
    const QString number = Text(ReportPageNumber(index, layout_.pages.size()));
    p_.drawText(strip, Qt::AlignRight | Qt::AlignVCenter, number);
    const int room = width_ - p_.fontMetrics().horizontalAdvance(number) - lineHeight_;
    p_.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter,
                p_.fontMetrics().elidedText(Text(layout_.title), Qt::ElideMiddle, room));
    p_.setPen(QPen(Qt::gray, 1));
    p_.drawLine(0, lineHeight_ + 2, width_, lineHeight_ + 2);
    // The page number again at the foot, where a reader leafing looks.
    p_.setFont(body_);
    p_.setPen(Qt::black);
    p_.drawText(QRect(0, height_ - lineHeight_, width_, lineHeight_), Qt::AlignCenter, number);
  }

  void DrawHeader(int top) {
    const QString verdict = Text(std::string(ReportVerdictText(layout_.verdict)));
    QFont big = bold_;
    big.setPointSizeF(kBodyPoints * 2.2);
    p_.setFont(big);
    const QFontMetrics bigMetrics = p_.fontMetrics();
    QRect box(0, 0, bigMetrics.horizontalAdvance(verdict) + lineHeight_ * 2,
              bigMetrics.height() + lineHeight_);
    box.moveTopRight(QPoint(width_ - 1, top));
    p_.fillRect(box, VerdictColour(layout_.verdict));
    p_.setPen(Qt::white);
    p_.drawText(box, Qt::AlignCenter, verdict);
    p_.setFont(body_);
    p_.setPen(Qt::black);
    p_.drawText(box.translated(0, box.height()).adjusted(0, 2, 0, lineHeight_),
                Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("overall verdict"));

    const int captionWidth =
        p_.fontMetrics().horizontalAdvance(QStringLiteral("End reason")) * 3 / 2;
    const int valueWidth = box.left() - captionWidth - lineHeight_;
    int y = top;
    for (const ReportField& field : layout_.header) {
      p_.setFont(bold_);
      p_.drawText(QRect(0, y, captionWidth, lineHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                  Text(field.caption));
      p_.setFont(body_);
      p_.drawText(QRect(captionWidth, y, valueWidth, lineHeight_), Qt::AlignLeft | Qt::AlignVCenter,
                  p_.fontMetrics().elidedText(Text(field.value), Qt::ElideMiddle, valueWidth));
      y += lineHeight_;
    }
  }

  void DrawChart(const QRect& area) {
    using namespace chart_look;  // NOLINT(google-build-using-namespace): the chart's margins
    QFont small = body_;
    small.setPointSizeF(kBodyPoints - 1);
    p_.setFont(small);
    const double end = std::max(chart_.LastTime(), 1.0);
    PaintChart(
        p_, chart_,
        {area.adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin), 0.0, end, true},
        {Qt::black, Qt::gray, Qt::darkGray});
    p_.setFont(body_);
  }

  // Returns the height the line took.
  int DrawLine(const PageLine& line, std::span<const double> shares, int top) {
    const int height = PageLineUnits(line.kind) * lineHeight_;
    const QRect band(0, top + height - lineHeight_, width_, lineHeight_);
    p_.setFont(line.kind == PageLineKind::Row || line.kind == PageLineKind::Text ? body_ : bold_);
    if (line.kind == PageLineKind::Title) {
      QFont title = bold_;
      title.setPointSizeF(kBodyPoints * 1.25);
      p_.setFont(title);
    } else if (line.kind == PageLineKind::TableHeader) {
      p_.fillRect(band, QColor(0xe8, 0xe8, 0xe8));
    } else if (line.fail) {
      p_.fillRect(band, *VerdictBackground(kFailText));
    }
    p_.setPen(line.fail ? VerdictInk(false) : QColor(Qt::black));
    if (line.kind == PageLineKind::Title || line.kind == PageLineKind::Text) {
      p_.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, Text(line.cells.front()));
      return height;
    }
    const bool steps = shares.size() == kStepShares.size();
    int x = 0;
    for (std::size_t c = 0; c < line.cells.size() && c < shares.size(); ++c) {
      const int w = c + 1 == shares.size() ? width_ - x : static_cast<int>(width_ * shares[c]);
      const QRect cell(x + 6, band.top(), w - 12, band.height());
      const bool right = steps && kStepRight[c];
      const Qt::Alignment align = (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
      p_.drawText(cell, static_cast<int>(align),
                  p_.fontMetrics().elidedText(Text(line.cells[c]), Qt::ElideRight, cell.width()));
      x += w;
    }
    return height;
  }

  QPainter& p_;
  const RunReportLayout& layout_;
  const ChartSeries& chart_;
  int width_;
  int height_;
  QFont body_;
  QFont bold_;
  int lineHeight_ = 1;
};

}  // namespace

std::string RenderRunReport(const RunReportSource& source, std::size_t* pages) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  writer.setResolution(kDotsPerInch);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                   QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                   QPageLayout::Millimeter));
  writer.setCreator(Text(source.facts.identity.program + " " + source.facts.identity.version));
  writer.setTitle(Text("Run report " + source.facts.identity.listPath));
  const ChartSeries chart = ReportChartSeries(source);
  QPainter painter(&writer);
  // The layout needs the page's room, which the painter's fonts measure.
  RunReportLayout layout;
  const ReportPageLines room = PageDrawer(painter, layout, chart).Room();
  layout = LayOutRunReport(source, room);
  PageDrawer drawer(painter, layout, chart);
  for (std::size_t i = 0; i < layout.pages.size(); ++i) {
    if (i > 0) {
      writer.newPage();
    }
    drawer.Page(i);
  }
  painter.end();
  if (pages != nullptr) {
    *pages = layout.pages.size();
  }
  return bytes.toStdString();
}

RunReportResult WriteRunReport(const RunReportSource& source, const std::string& path) {
  RunReportResult result;
  const std::string pdf = RenderRunReport(source, &result.pages);
  AtomicWriteError error;
  if (!WriteFileAtomically(path, pdf, &error)) {
    result.ok = false;
    result.error = error.stage == AtomicWriteStage::ReadOnly
                       ? "Cannot write " + path + ": the file is read-only"
                       : "Cannot write " + path + ": " + ErrnoText(error.errorNumber);
  }
  return result;
}

}  // namespace kv
