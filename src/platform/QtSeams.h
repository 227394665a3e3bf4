#pragma once

#include "Seams.h"

// The desktop's own implementations of the seams, wired by main().
class QtPrompter : public Prompter {
public:
    void warn(const QString& text, const QString& title) override;
    void info(const QString& text, const QString& title) override;
    void critical(const QString& text, const QString& title) override;
    bool ask(const QString& text, const QString& title) override;
    int choose(const QString& text, const QStringList& buttons, const QString& title) override;
    std::optional<QString> password(const QString& text, const QString& title) override;
};

class QtClipboard : public Clipboard {
public:
    void setText(const QString& text) override;
};

class QtBrowser : public Browser {
public:
    void open(const QString& address) override;
};

class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
};
