#pragma once

#include "store/Section.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <vector>

// One box of an editor. Positions are in twips, relative to the editor's frame.
struct EditorBox {
    enum Kind { Line, Lines, Choice };
    QString name;
    QString field;
    QString label; // empty: no label
    Kind kind = Line;
    int left = 0, top = 0, width = 0, height = 315;
    int labelRight = 0; // labels are right-aligned and end here
    QStringList items;  // the suggestions of a choice box
    bool blue = false;
    QString spoken; // what a screen reader calls the box where its label is shared; empty: the label
};

struct RequiredBox {
    QString box;
    QString message;
};

// Everything that makes one of the five record editors what it is.
struct EditorDescription {
    Section section;
    QString windowName;
    QString windowCaption;
    QString table;
    QString headerControl;
    QString addingCaption;
    QString editingCaption;
    QColor headerColour; // invalid: the default text colour
    QString frameCaption;
    int frameHeight;
    std::vector<EditorBox> boxes; // in tab order
    std::vector<RequiredBox> required;
    bool errorGuard = false;
    bool canGenerate = false;
    int clientWidth;
    int clientHeight;
    QString extraHeading; // a heading inside the frame ("Card Expiration")
    int extraHeadingLeft = 0, extraHeadingTop = 0;
};

const EditorDescription& editorDescription(Section section);
