#pragma once

#include <QString>

// The help window's six texts: a heading, a line of asterisks, then the body;
// lines end with a carriage return and a line feed, the last one included.
namespace HelpTexts {
QString welcome();
QString passwords();
QString notes();
QString personal();
QString todo();
QString backup();
} // namespace HelpTexts
