#pragma once
// The text of a PDF file page by page, as pdftotext (poppler-utils) reads it
// (with `layout`, as it stands on the page: a printed line is a line of text);
// empty when the file cannot be read.
#include <QProcess>
#include <QStringList>

inline QStringList PdfPages(const QString &path, bool layout = false)
{
    QProcess reader;
    QStringList arguments{QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")};
    if (layout)
        arguments.prepend(QStringLiteral("-layout"));
    reader.start(QStringLiteral("pdftotext"), arguments);
    if (!reader.waitForFinished(60000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0)
        return {};
    // pdftotext ends every page with a form feed.
    QStringList pages = QString::fromUtf8(reader.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}
