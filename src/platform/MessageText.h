#pragma once

#include <QString>

// Stored text quoted in a message: past a few hundred characters, or a few
// lines, its middle gives way to an ellipsis, so the message and its buttons
// stay on the screen whatever was stored.
QString quotedInMessage(const QString& stored);

// The same shortening for any text, with the limits given.
QString shortenedInTheMiddle(const QString& text, int maxCharacters, int maxLines);
