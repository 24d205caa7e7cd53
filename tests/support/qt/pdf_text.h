#pragma once
// A PDF as a reader finds it: its page count (pdfinfo) and its text with the
// layout kept (pdftotext -layout), one string a page.

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

namespace kv::test {

inline QString PopplerOutput(const QString& tool, const QStringList& args) {
  QProcess process;
  process.start(tool, args);
  process.waitForFinished(60000);
  return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPageCount(const QString& path) {
  const QRegularExpressionMatch m =
      QRegularExpression(R"(Pages:\s+(\d+))").match(PopplerOutput("pdfinfo", {path}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

inline QStringList PdfPages(const QString& path) {
  QStringList pages = PopplerOutput("pdftotext", {"-layout", path, "-"}).split('\f');
  pages.removeAll(QString());
  return pages;
}

/// The summary table's lines: "7 OCP completed by the load, FAIL FAIL" (step,
/// function, end reason and verdict, blanks folded).
inline QStringList PdfStepLines(const QString& text) {
  static const QRegularExpression line(
      R"(^ *(\d+) +(\S+) +\d{4}-\d\d-\d\d \d\d:\d\d:\d\d +\d+:\d\d:\d\d +(.*?) +-?\d+\.\d{4} +-?\d+\.\d{4} *(\w*)$)",
      QRegularExpression::MultilineOption);
  QStringList lines;
  for (auto it = line.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    lines << QStringList{m.captured(1), m.captured(2), m.captured(3), m.captured(4)}
                 .join(' ')
                 .trimmed();
  }
  return lines;
}

}  // namespace kv::test
