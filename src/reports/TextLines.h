#pragma once

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// Widths of single characters in one font, measured once each. Summing them
// (kerning off) is how the report measures text: the same sums decide where
// lines break when pages are counted and when they are drawn, so both agree
// to the line whatever the device.
class CharWidths {
public:
    explicit CharWidths(const QFont& font);
    ~CharWidths();
    double of(char32_t c);
    double of(QStringView text);

private:
    struct Metrics;
    std::unique_ptr<Metrics> m_metrics;
    std::vector<float> m_bmp; // negative: not measured yet
    QHash<char32_t, double> m_others;
};

// One line of a wrapped text: a slice of the text it came from.
struct TextLine {
    qsizetype start = 0;
    qsizetype length = 0;
};

// Text as the report stores and draws it: line ends as "\n", tabs as four
// blanks, other control characters as one blank.
QString reportText(QString text);

// Greedy word wrap at the given width: breaks after blanks and hyphens, a word
// wider than the line is broken between characters, "\n" always breaks. An
// empty text is one empty line. Every character but the blank a line breaks
// at lands on exactly one line.
std::vector<TextLine> wrapLines(QStringView text, double width, CharWidths& widths);
// The number of lines wrapLines gives, without keeping them.
int countLines(QStringView text, double width, CharWidths& widths);
