// Builds a language's PDF manual from its Markdown source with Qt's own
// text layout and PDF writer: each top-level heading starts a new page.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv)
{
    // No display is needed, nor wanted, at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE.md OUTPUT.pdf TITLE\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[1], qPrintable(source.errorString()));
        return 1;
    }
    QTextDocument document;
    QFont font(QStringLiteral("Liberation Sans"), 10);
    font.setStyleHint(QFont::SansSerif);
    document.setDefaultFont(font);
    document.setDefaultStyleSheet(QStringLiteral("code, pre { font-family: 'Liberation Mono'; }"));
    document.setMarkdown(QString::fromUtf8(source.readAll()));

    bool first = true;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1)
            continue;
        if (!first) {
            QTextCursor cursor(block);
            QTextBlockFormat format = block.blockFormat();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            cursor.setBlockFormat(format);
        }
        first = false;
    }

    QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
    writer.setTitle(QString::fromUtf8(argv[3]));
    writer.setCreator(QStringLiteral("Quorvane"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                     QPageLayout::Millimeter));
    writer.setResolution(300);
    document.print(&writer);
    if (!QFile::exists(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "%s: %s was not written\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
